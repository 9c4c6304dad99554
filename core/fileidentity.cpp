#include "fileidentity.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

QString key(const struct stat &info)
{
    return QString::number(quint64(info.st_dev)) + u':' + QString::number(quint64(info.st_ino));
}

// FAT, exFAT and NTFS fold case everywhere; ext4 and f2fs per folder when asked to.
bool foldsCase(const QByteArray &folder)
{
    struct statfs fs = {};
    if (::statfs(folder.constData(), &fs) == 0) {
        switch (static_cast<unsigned long>(fs.f_type)) {
        case MSDOS_SUPER_MAGIC:
        case 0x2011BAB0UL: // exFAT
        case 0x5346544EUL: // NTFS
            return true;
        default:
            break;
        }
    }
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    const bool folded = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & 0x40000000);
    ::close(fd);
    return folded;
}

} // namespace

QString fileIdentity(const QString &path)
{
    const QFileInfo info(path);
    struct stat st = {};
    if (::stat(QFile::encodeName(info.absoluteFilePath()).constData(), &st) == 0)
        return key(st);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    if (::stat(folder.constData(), &st) != 0)
        return {};
    const QString name = foldsCase(folder) ? info.fileName().toCaseFolded() : info.fileName();
    return key(st) + u'/' + name;
}
