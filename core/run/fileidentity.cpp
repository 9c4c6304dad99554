#include "fileidentity.h"

#include "platform.h"

#include <QFileInfo>

namespace {

QString key(const Platform::FileStatus &status)
{
    return QString::number(status.device) + u':' + QString::number(status.inode);
}

} // namespace

QString fileIdentity(const QString &path)
{
    const QFileInfo info(path);
    if (const auto file = Platform::fileStatus(info.absoluteFilePath()))
        return key(*file);
    const QString folder = info.absolutePath();
    const auto status = Platform::fileStatus(folder);
    if (!status)
        return {};
    const QString name =
        Platform::foldsCase(folder) ? info.fileName().toCaseFolded() : info.fileName();
    return key(*status) + u'/' + name;
}
