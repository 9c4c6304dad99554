#pragma once

// Hostile surroundings for the hardening tests: folders nobody may write into, a disk that is
// full, and small helpers to compare files without holding them twice in memory.

#include "records.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace hostile {

inline QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

inline QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

inline QList<Template> makeTemplates(int count, const QString &folder = QStringLiteral("/t"))
{
    QList<Template> list;
    for (int i = 0; i < count; ++i) {
        Template t;
        t.id = QUuid::createUuid();
        t.name = QStringLiteral("Vorlage %1").arg(i);
        t.type = TemplateType::Html;
        t.filePath = folder + QStringLiteral("/vorlage-%1.html").arg(i);
        t.lastUsed = QDateTime::fromMSecsSinceEpoch(1733580000000 + i, Qt::UTC);
        t.description = QStringLiteral("Beschreibung %1").arg(i);
        list.append(t);
    }
    return list;
}

// A folder nobody may write into, not even root, which ignores permission bits: the
// immutable attribute where the file system has it, else plain permissions for other users.
class WriteProtectedFolder final
{
public:
    explicit WriteProtectedFolder(const QString &path)
    {
        if (geteuid() != 0) {
            m_path = path;
            m_active = QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            return;
        }
        m_fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
        int flags = 0;
        if (m_fd >= 0 && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_active = ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
    }
    ~WriteProtectedFolder()
    {
        if (m_fd >= 0) {
            int flags = 0;
            if (m_active && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
            }
            ::close(m_fd);
        } else if (!m_path.isEmpty()) {
            QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        }
    }
    Q_DISABLE_COPY_MOVE(WriteProtectedFolder)
    bool isActive() const { return m_active; }

private:
    QString m_path;
    int m_fd = -1;
    bool m_active = false;
};

// A full disk as this process sees it: writes past `bytes` fail with EFBIG. SIGXFSZ is
// ignored meanwhile, or the first such write would end the process.
class FileSizeLimit final
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    Q_DISABLE_COPY_MOVE(FileSizeLimit)
    bool isActive() const { return m_active; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

// A really full disk: a tiny tmpfs mounted on `path`. Needs the right to mount.
class TinyDisk final
{
public:
    TinyDisk(const QString &path, int kilobytes) : m_path(path)
    {
        QDir().mkpath(path);
        QProcess mount;
        mount.start(QStringLiteral("mount"),
                    {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                     QStringLiteral("size=%1k").arg(kilobytes), QStringLiteral("tmpfs"), path});
        m_active = mount.waitForFinished() && mount.exitStatus() == QProcess::NormalExit &&
                   mount.exitCode() == 0;
        m_error = QString::fromLocal8Bit(mount.readAllStandardError()).trimmed();
    }
    ~TinyDisk()
    {
        if (m_active)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_path});
    }
    Q_DISABLE_COPY_MOVE(TinyDisk)
    bool isActive() const { return m_active; }
    QString error() const { return m_error; }

private:
    QString m_path;
    QString m_error;
    bool m_active = false;
};

} // namespace hostile
