#include "jobsources.h"

#include "extraoptions.h"
#include "optioncatalog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

namespace {

// pandoc logs a few lines per loaded file; anything near this is not its log.
constexpr qint64 kMaxLogBytes = 16 * 1024 * 1024;

void addFile(QStringList &files, const QString &folder, const QString &path)
{
    if (path.isEmpty())
        return;
    const QFileInfo info(QDir(folder).absoluteFilePath(path));
    const QString absolute = QDir::cleanPath(info.absoluteFilePath());
    if (info.isFile() && !files.contains(absolute))
        files.append(absolute);
}

} // namespace

QStringList namedSourceFiles(const PlannedJob &job, const ConversionSettings &settings)
{
    QStringList files;
    const QString &folder = job.workingFolder;
    addFile(files, folder, job.input);
    for (const Template &passed : job.templates)
        addFile(files, folder, passed.filePath);
    if (settings.citations.process) {
        addFile(files, folder, settings.citations.bibliography);
        addFile(files, folder, settings.citations.csl);
    }
    const ExtraOptions options = parseExtraOptions(settings.additionalOptions);
    if (options.error)
        return files;
    using namespace PandocOptions;
    for (const Use &use : parse(options.words).uses) {
        if (use.option && use.value && (use.option->effects & (Reads | Runs)))
            addFile(files, folder, *use.value);
    }
    return files;
}

std::optional<QStringList> loadedResources(const QString &logFile, const QString &workingFolder)
{
    QFile file(logFile);
    if (!QFileInfo(file).isFile() || file.size() > kMaxLogBytes || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonDocument log = QJsonDocument::fromJson(file.read(kMaxLogBytes));
    if (!log.isArray())
        return std::nullopt;
    QStringList files;
    for (const QJsonValue &entry : log.array()) {
        const QJsonObject message = entry.toObject();
        const QString type = message.value(u"type").toString();
        QString path;
        if (type == u"LoadedResource")
            path = message.value(u"from").toString();
        else if (type == u"Fetching")
            path = message.value(u"path").toString();
        else
            continue;
        // Addresses on the net are not files to compare or watch.
        const QUrl url(path);
        if (url.isValid() && url.scheme().size() > 1 && url.scheme() != u"file")
            continue;
        if (url.scheme() == u"file")
            path = url.toLocalFile();
        addFile(files, workingFolder, path);
    }
    return files;
}
