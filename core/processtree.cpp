#include "processtree.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ProcessTree {

namespace {

struct ProcessInfo
{
    qint64 parent = 0;
    bool zombie = false;
};

bool readStat(qint64 pid, ProcessInfo *info)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.read(4096);
    // The command name may hold spaces and parentheses; the fields follow the last ')'.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return false;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    if (fields.size() < 2)
        return false;
    info->zombie = fields.at(0) == "Z" || fields.at(0) == "X";
    info->parent = fields.at(1).toLongLong();
    return true;
}

bool carriesMarker(qint64 pid, const QByteArray &marker)
{
    QFile file(QStringLiteral("/proc/%1/environ").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray wanted = QByteArray(kRunMarkerName) + '=' + marker;
    const QByteArray environment = file.readAll();
    for (const QByteArray &entry : environment.split('\0')) {
        if (entry == wanted)
            return true;
    }
    return false;
}

// Live children of `pid`, from the kernel's per-thread lists.
QList<qint64> childrenOf(qint64 pid)
{
    QList<qint64> children;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks + u'/' + task + QStringLiteral("/children"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &word : file.readAll().split(' ')) {
            bool number = false;
            const qint64 child = word.trimmed().toLongLong(&number);
            ProcessInfo info;
            if (number && readStat(child, &info) && !info.zombie)
                children.append(child);
        }
    }
    return children;
}

} // namespace

void becomeSubreaper()
{
    ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
}

void prepareChild(qint64 parent)
{
    ::setsid();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
    // The parent may have died between fork() and prctl(): then nobody would signal us.
    if (::getppid() != pid_t(parent))
        ::_exit(127);
}

QList<qint64> descendants(qint64 root, const QByteArray &marker)
{
    QList<qint64> found;
    QList<qint64> queue{root};
    if (!marker.isEmpty()) {
        for (qint64 pid : childrenOf(qint64(::getpid()))) {
            if (pid != root && carriesMarker(pid, marker)) {
                found.append(pid);
                queue.append(pid);
            }
        }
    }
    while (!queue.isEmpty()) {
        for (qint64 child : childrenOf(queue.takeLast())) {
            if (!found.contains(child)) {
                found.append(child);
                queue.append(child);
            }
        }
    }
    return found;
}

void signalAll(const QList<qint64> &pids, int signal)
{
    for (qint64 pid : pids)
        ::kill(pid_t(pid), signal);
}

QList<qint64> reap(const QList<qint64> &pids)
{
    QList<qint64> running;
    const qint64 self = ::getpid();
    for (qint64 pid : pids) {
        ProcessInfo info;
        if (!readStat(pid, &info))
            continue;
        if (info.parent != self) {
            // Not (yet) ours: a dead parent's orphans come to us a moment later.
            running.append(pid);
            continue;
        }
        int status = 0;
        const pid_t ended = ::waitpid(pid_t(pid), &status, WNOHANG);
        if (ended == 0)
            running.append(pid);
    }
    return running;
}

bool alive(qint64 pid)
{
    ProcessInfo info;
    return pid > 0 && readStat(pid, &info) && !info.zombie;
}

} // namespace ProcessTree
