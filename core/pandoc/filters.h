#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Where the converter looks for filters: the user data folder's "filters".
QString userFilterFolder();

// Filters offered by name: the files in the user filter folder and well-known filter
// programs found on PATH.
QStringList offeredFilters();

// The file the converter would run for a filter entry, looked for as the converter does:
// the path itself (relative to the folder it runs in), then the user filter folder, then
// PATH for programs. Empty when there is none.
QString locateFilter(const QString &filter, const QString &workingFolder);

// The first of `filters` that is not there; the citation step is always there.
std::optional<QString> missingFilter(const QStringList &filters, const QString &workingFolder);
