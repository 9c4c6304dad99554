#pragma once

#include <QString>
#include <QStringList>

// How one converter option appears in a defaults file.
enum class DefaultsKind
{
    Flag,   // --opt             key: true
    Text,   // --opt VALUE       key: VALUE
    Number, // --opt N         key: N
    List,   // --opt A --opt B   key: [A, B]
    Map,    // --opt K=V         key: {K: V}
};

struct DefaultsOption
{
    const char *longName;
    char shortName; // 0 for none
    const char *key;
    DefaultsKind kind;
};

// The options that map one to one onto a defaults key; the settings a preset holds itself
// (formats, switches, templates, citations) and the few with their own forms are handled
// by the defaults writer and reader.
const DefaultsOption *findOptionByName(const QString &longName);
const DefaultsOption *findOptionByShortName(QChar shortName);
const DefaultsOption *findOptionByKey(const QString &key);

// Short options that take a value, also written attached ("-Mtitle=x").
bool shortOptionTakesValue(QChar shortName);
