#pragma once

#include "conversionplan.h"
#include "conversionsettings.h"

#include <QString>
#include <QStringList>
#include <optional>

// What a conversion reads: the files it is told to read, and those the converter reports.

// Where the converter writes its report (`--log`), inside the job's temporary folder.
inline const QString kResourceLogName = QStringLiteral("velunor-resources.json");

// The document and every file the settings name for it: templates, CSS, reference document,
// bibliography and style, and the files extra options read or run (defaults files, headers,
// filters). Absolute paths of regular files, the document first, each once.
QStringList namedSourceFiles(const PlannedJob &job, const ConversionSettings &settings);

// The local files a converter's JSON log (`--log`) says it loaded, resolved against the
// folder it ran in; none when the log is missing, too large or not such a log.
std::optional<QStringList> loadedResources(const QString &logFile, const QString &workingFolder);
