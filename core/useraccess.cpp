#include "useraccess.h"

#include "platform.h"

#include <QDir>
#include <QFileInfo>

namespace UserAccess {

bool isPrivateFolder(const QString &path)
{
    using Platform::FileStatus;
    const std::optional<FileStatus> info =
        path.isEmpty() ? std::nullopt : Platform::fileStatus(path, Platform::Links::DontFollow);
    if (!info || info->kind != FileStatus::Kind::Folder ||
        info->owner != Platform::currentUserId() || info->mode != 0700)
        return false;
    // Another user who may write the parent could rename ours away and put theirs in its
    // place, unless the sticky bit (as on /tmp) forbids that.
    const std::optional<FileStatus> parent = Platform::fileStatus(QFileInfo(path).absolutePath());
    if (!parent)
        return false;
    const bool othersWrite = (parent->mode & (Platform::kGroupWrite | Platform::kOthersWrite)) != 0;
    const bool ownedSafely = parent->owner == Platform::currentUserId() || parent->owner == 0;
    return ownedSafely && (!othersWrite || (parent->mode & Platform::kSticky));
}

QString makePrivateFolder(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    // Creating never reuses what is there; the check below judges that.
    if (!Platform::makeOwnerOnlyFolder(clean))
        return {};
    return isPrivateFolder(clean) ? clean : QString();
}

QString makeUniquePrivateFolder(const QString &prefix)
{
    const QString path = Platform::makeUniqueOwnerOnlyFolder(QDir::cleanPath(prefix));
    if (path.isEmpty())
        return {};
    return isPrivateFolder(path) ? path : QString();
}

} // namespace UserAccess
