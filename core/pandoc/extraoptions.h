#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

// The extra options as converter arguments, or why they cannot be used.
struct ExtraOptions
{
    QStringList words;
    std::optional<QString> error;
};

// Splits like a shell and refuses any way of naming the output file: the output
// field is where that is chosen, and the run's checks rely on it.
ExtraOptions parseExtraOptions(const QString &text);

// The first word that sets the converter's output file, if any, read as pandoc reads it.
std::optional<QString> findOutputOption(const QStringList &words);

// Files no option may write, by file identity, with the names the refusal gives.
using ProtectedFiles = QHash<QString, QString>;
ProtectedFiles protectedFiles(const QStringList &paths);

// What the options do to files when pandoc runs in `workingFolder`: a defaults file they
// name is read and checked like the options themselves; a file they write must not be one
// of `protect` (the run's inputs and outputs). The reason they cannot be used, if any.
std::optional<QString> checkOptionFiles(const QStringList &words, const QString &workingFolder,
                                        const ProtectedFiles &protect);
