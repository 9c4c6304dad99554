#pragma once

#include "recordstore.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUuid>

// A citation style in the library; filePath points at the copy in the style folder.
struct CslStyle
{
    QUuid id;
    QString name;
    QString filePath;
    QDateTime added;

    friend bool operator==(const CslStyle &, const CslStyle &) = default;
};
Q_DECLARE_METATYPE(CslStyle)

// The kind the template library shows for styles, beside the template kinds.
inline const QString kCslStyleKindName = QStringLiteral("CSL-Stil");

// Pretty-printed JSON array, the same value forms as the template index; reading is strict
// like the other stores: one bad element fails the whole list.
QByteArray encodeRecords(const QList<CslStyle> &styles);
bool decodeRecords(const QByteArray &json, QList<CslStyle> *out, QString *error);

using CslStyleIndex = RecordStore<CslStyle>;
