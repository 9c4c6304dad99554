#include "useraccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace UserAccess {

UserId currentUserId()
{
    return UserId(::getuid());
}

std::optional<UserId> peerUserId(qintptr socketDescriptor)
{
    if (socketDescriptor < 0)
        return std::nullopt;
#if defined(SO_PEERCRED)
    struct ucred credentials = {};
    socklen_t size = sizeof(credentials);
    if (::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return std::nullopt;
    return UserId(credentials.uid);
#else
    uid_t user = 0;
    gid_t group = 0;
    if (::getpeereid(int(socketDescriptor), &user, &group) != 0)
        return std::nullopt;
    return UserId(user);
#endif
}

bool isPrivateFolder(const QString &path)
{
    struct stat info = {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & 07777) != 0700)
        return false;
    // Another user who may write the parent could rename ours away and put theirs in its
    // place, unless the sticky bit (as on /tmp) forbids that.
    struct stat parent = {};
    const QByteArray parentPath = QFile::encodeName(QFileInfo(path).absolutePath());
    if (::stat(parentPath.constData(), &parent) != 0)
        return false;
    const bool othersWrite = (parent.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    const bool ownedSafely = parent.st_uid == ::getuid() || parent.st_uid == 0;
    return ownedSafely && (!othersWrite || (parent.st_mode & S_ISVTX));
}

QString makePrivateFolder(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    // mkdir never follows a link or reuses what is there; the check below judges that.
    if (::mkdir(QFile::encodeName(clean).constData(), 0700) != 0 && errno != EEXIST)
        return {};
    return isPrivateFolder(clean) ? clean : QString();
}

QString makeUniquePrivateFolder(const QString &prefix)
{
    QByteArray name = QFile::encodeName(QDir::cleanPath(prefix)) + "-XXXXXX";
    if (::mkdtemp(name.data()) == nullptr)
        return {};
    const QString path = QFile::decodeName(name);
    return isPrivateFolder(path) ? path : QString();
}

} // namespace UserAccess
