#pragma once

#include "records.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The JSON form of the two store files: one pretty-printed array of records,
// keys in field order, UUIDs upper-case, dates as seconds since 2001-01-01 UTC.
QByteArray encodeRecords(const QList<Template> &records);
QByteArray encodeRecords(const QList<Preset> &records);

// Strict: one bad element fails the whole array. On failure `error` says why
// and `out` is left untouched.
bool decodeRecords(const QByteArray &json, QList<Template> *out, QString *error);
bool decodeRecords(const QByteArray &json, QList<Preset> *out, QString *error);

// Seconds since 2001-01-01 00:00:00 UTC, the unit of the stored dates.
double referenceSeconds(const QDateTime &time);
QDateTime fromReferenceSeconds(double seconds);
