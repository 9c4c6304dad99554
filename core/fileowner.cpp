#include "fileowner.h"

#include "platform.h"

#include <QFileInfo>

bool isPrivateFolder(const QString &path, QString *reason)
{
    const QFileInfo info(path);
    const auto refuse = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    if (info.isSymLink())
        return refuse(QStringLiteral("is a symbolic link"));
    if (!info.isDir())
        return refuse(QStringLiteral("is not a folder"));
    if (info.ownerId() != Platform::effectiveUserId())
        return refuse(QStringLiteral("belongs to another user"));
    if (info.permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther))
        return refuse(QStringLiteral("is writable by others"));
    return true;
}
