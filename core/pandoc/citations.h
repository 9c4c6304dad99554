#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The citation settings of one conversion, kept apart so a run can snapshot them.
struct CitationSettings
{
    QString bibliography;
    QString csl;
    bool process = false;

    friend bool operator==(const CitationSettings &, const CitationSettings &) = default;
};

// "--citeproc", "--bibliography FILE", "--csl FILE"; nothing while processing is off.
QStringList citationArguments(const CitationSettings &settings);

struct CitationProblem
{
    QString logLine;
    QString status;
};

// A chosen bibliography or style that is not a readable regular file stops the conversion;
// relative paths are read in the folder the converter runs in.
std::optional<CitationProblem> missingCitationFile(const CitationSettings &settings,
                                                   const QString &workingFolder);

// The converter's citation warnings (unknown keys and the like) as "⚠ " lines.
QStringList citationWarnings(const QString &errorText);
