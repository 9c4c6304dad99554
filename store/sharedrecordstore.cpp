#include "sharedrecordstore.h"

#include "platform.h"

FileStamp FileStamp::of(const QString &path)
{
    FileStamp stamp;
    const std::optional<Platform::FileStatus> status = Platform::fileStatus(path);
    if (!status)
        return stamp;
    stamp.exists = true;
    stamp.device = status->device;
    stamp.inode = status->inode;
    stamp.size = status->size;
    stamp.modifiedNs = status->modifiedNs;
    stamp.changedNs = status->changedNs;
    return stamp;
}
