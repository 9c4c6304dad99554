#pragma once

#include <QString>
#include <QStringList>

#include <yaml-cpp/yaml.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// Ends the reading of a defaults file with one message; no preset comes of it.
struct ReadError : std::runtime_error
{
    explicit ReadError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

struct LoadedYaml
{
    YAML::Node root;
    // The writer's mark that the PDF engine in the file is what "Automatisch" chose.
    bool automaticMark = false;
};

// Reads at most 1 MiB of the file whatever size it reports (a /proc file reports 0), checks
// it is UTF-8 and that its aliases do not expand beyond 100,000 nodes, then parses it.
LoadedYaml loadDefaultsYaml(const QString &path, const QString &name);

QString fromUtf8(const std::string &text);
std::string utf8(const QString &text);
void emitText(YAML::Emitter &out, const QString &text);
void emitKey(YAML::Emitter &out, const char *key);
// A whole number as a number, anything else as text.
void emitNumber(YAML::Emitter &out, const QString &text);
// Key/value pairs as a mapping; a key given twice becomes a list, as the converter makes it.
// A bare key is true; with `typedBooleans`, "true"/"false" values are booleans too.
void emitMembers(YAML::Emitter &out, const std::vector<std::pair<QString, QString>> &members,
                 const std::vector<bool> &bare, bool typedBooleans);
[[noreturn]] void wrongType(const QString &key, const char *expected);
bool isBool(const YAML::Node &node);
bool toBool(const YAML::Node &node, const QString &key);
QString toText(const YAML::Node &node, const QString &key);
// A text or a list of texts.
QStringList toTexts(const YAML::Node &node, const QString &key);
