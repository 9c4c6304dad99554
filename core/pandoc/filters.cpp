#include "filters.h"

#include "conversionsettings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// Filter programs people install beside pandoc.
constexpr const char *kKnownPrograms[] = {"pandoc-crossref", "pandoc-citeproc-preamble",
                                          "pandoc-plot",     "pandoc-include",
                                          "pandoc-mermaid",  "pandoc-fignos",
                                          "pandoc-eqnos",    "pandoc-tablenos"};

bool isLua(const QString &filter)
{
    return filter.endsWith(u".lua", Qt::CaseInsensitive);
}

// Only a regular readable file: a FIFO would leave the converter waiting for ever.
bool usable(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}

} // namespace

QString userFilterFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/pandoc/filters");
}

QStringList offeredFilters()
{
    QStringList names;
    const QString folder = userFilterFolder();
    if (!folder.isEmpty()) {
        for (const QFileInfo &info :
             QDir(folder).entryInfoList(QDir::Files | QDir::Readable, QDir::Name))
            names << info.fileName();
    }
    for (const char *program : kKnownPrograms) {
        if (!QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            names << QString::fromLatin1(program);
    }
    return names;
}

QString locateFilter(const QString &filter, const QString &workingFolder)
{
    if (filter.isEmpty())
        return {};
    const QString direct = QDir(workingFolder).absoluteFilePath(filter);
    if (usable(direct))
        return direct;
    if (filter.contains(u'/'))
        return {};
    if (const QString folder = userFilterFolder(); !folder.isEmpty()) {
        if (const QString inData = folder + u'/' + filter; usable(inData))
            return inData;
    }
    return isLua(filter) ? QString() : QStandardPaths::findExecutable(filter);
}

std::optional<QString> missingFilter(const QStringList &filters, const QString &workingFolder)
{
    for (const QString &filter : filters) {
        if (filter != kCiteprocStep && locateFilter(filter, workingFolder).isEmpty())
            return filter;
    }
    return std::nullopt;
}
