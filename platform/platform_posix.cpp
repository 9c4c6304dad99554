#include "platform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef Q_OS_LINUX
#include <linux/fs.h>
#include <linux/magic.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/vfs.h>
#endif

static_assert(Platform::kOwnerWrite == S_IWUSR && Platform::kGroupWrite == S_IWGRP &&
              Platform::kOthersWrite == S_IWOTH && Platform::kSticky == S_ISVTX);

namespace Platform {

namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

int signalOf(Stop how)
{
    return how == Stop::Kill ? SIGKILL : SIGTERM;
}

qint64 nanoseconds(const struct timespec &time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

} // namespace

UserId currentUserId()
{
    return UserId(::getuid());
}

UserId effectiveUserId()
{
    return UserId(::geteuid());
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

namespace {

#ifdef MSG_NOSIGNAL
constexpr int kNoSignal = MSG_NOSIGNAL; // a reader gone away is an error, not SIGPIPE
#else
constexpr int kNoSignal = 0; // SO_NOSIGPIPE does it there
#endif

bool localAddress(const QString &path, sockaddr_un *address)
{
    const QByteArray name = native(path);
    if (name.isEmpty() || name.size() >= qsizetype(sizeof(address->sun_path)))
        return false;
    *address = {};
    address->sun_family = AF_UNIX;
    std::memcpy(address->sun_path, name.constData(), size_t(name.size()));
    return true;
}

// Close-on-exec, so converters do not inherit it, and non-blocking, so the window never waits
// on it. Set with fcntl(): not every POSIX system has SOCK_CLOEXEC and accept4().
int prepared(int socket)
{
    if (socket < 0)
        return socket;
    ::fcntl(socket, F_SETFD, FD_CLOEXEC);
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
#ifdef SO_NOSIGPIPE
    const int on = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    return socket;
}

void setError(int *error, int code)
{
    if (error)
        *error = code;
}

// A new socket and the address of `path` for it.
int localSocketFor(const QString &path, sockaddr_un *address, int *error)
{
    if (!localAddress(path, address)) {
        setError(error, ENAMETOOLONG);
        return -1;
    }
    const int socket = prepared(::socket(AF_UNIX, SOCK_STREAM, 0));
    if (socket < 0)
        setError(error, errno);
    return socket;
}

// Milliseconds left of `timeoutMs` since `started`, never below 0.
int remainingMs(const QElapsedTimer &started, int timeoutMs)
{
    return int(std::max<qint64>(0, timeoutMs - started.elapsed()));
}

bool waitFor(int socket, short events, int timeoutMs)
{
    pollfd watched{socket, events, 0};
    int ready;
    do {
        ready = ::poll(&watched, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

} // namespace

int listenLocal(const QString &path, int *error)
{
    sockaddr_un address;
    const int socket = localSocketFor(path, &address, error);
    if (socket < 0)
        return -1;
    ::unlink(address.sun_path);
    // Owner only before anybody can connect: the mode is set between bind() and listen().
    if (::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(socket, 16) != 0) {
        setError(error, errno);
        ::close(socket);
        return -1;
    }
    return socket;
}

int acceptLocal(int listener)
{
    int socket;
    do {
        socket = ::accept(listener, nullptr, nullptr);
    } while (socket < 0 && errno == EINTR);
    return prepared(socket);
}

int connectLocal(const QString &path, int *error)
{
    sockaddr_un address;
    const int socket = localSocketFor(path, &address, error);
    if (socket < 0)
        return -1;
    int result;
    do {
        result = ::connect(socket, reinterpret_cast<sockaddr *>(&address), sizeof address);
    } while (result != 0 && errno == EINTR);
    // A full backlog says EAGAIN: the listener is there but busy, as good as not answering.
    if (result != 0) {
        setError(error, errno);
        ::close(socket);
        return -1;
    }
    return socket;
}

bool writeLocal(int socket, const QByteArray &data, int timeoutMs)
{
    QElapsedTimer started;
    started.start();
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t written =
            ::send(socket, data.constData() + done, size_t(data.size() - done), kNoSignal);
        if (written > 0) {
            done += written;
            continue;
        }
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
            waitFor(socket, POLLOUT, remainingMs(started, timeoutMs)))
            continue;
        return false;
    }
    return true;
}

bool waitReadableLocal(int socket, int timeoutMs)
{
    return waitFor(socket, POLLIN, timeoutMs);
}

QByteArray readLocal(int socket, qsizetype max, bool *open)
{
    QByteArray data(max, Qt::Uninitialized);
    ssize_t got;
    do {
        got = ::recv(socket, data.data(), size_t(max), 0);
    } while (got < 0 && errno == EINTR);
    *open = got > 0 || (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
    data.resize(got > 0 ? got : 0);
    return data;
}

void closeLocal(int socket)
{
    if (socket >= 0)
        ::close(socket);
}

std::optional<FileStatus> fileStatus(const QString &path, Links links)
{
    struct stat info = {};
    const QByteArray name = native(path);
    const int result =
        links == Links::Follow ? ::stat(name.constData(), &info) : ::lstat(name.constData(), &info);
    if (result != 0)
        return std::nullopt;
    FileStatus status;
    status.kind = S_ISREG(info.st_mode)   ? FileStatus::Kind::File
                  : S_ISDIR(info.st_mode) ? FileStatus::Kind::Folder
                                          : FileStatus::Kind::Other;
    status.device = quint64(info.st_dev);
    status.inode = quint64(info.st_ino);
    status.size = qint64(info.st_size);
#ifdef Q_OS_DARWIN
    status.modifiedNs = nanoseconds(info.st_mtimespec);
    status.changedNs = nanoseconds(info.st_ctimespec);
#else
    status.modifiedNs = nanoseconds(info.st_mtim);
    status.changedNs = nanoseconds(info.st_ctim);
#endif
    status.owner = UserId(info.st_uid);
    status.mode = quint32(info.st_mode) & kModeBits;
    status.links = quint64(info.st_nlink);
    return status;
}

bool foldsCase(const QString &folder)
{
#ifdef Q_OS_LINUX
    const QByteArray name = native(folder);
    struct statfs fs = {};
    if (::statfs(name.constData(), &fs) == 0) {
        switch (static_cast<unsigned long>(fs.f_type)) {
        case MSDOS_SUPER_MAGIC:
        case 0x2011BAB0UL: // exFAT
        case 0x5346544EUL: // NTFS
            return true;
        default:
            break;
        }
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    const bool folded = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & 0x40000000);
    ::close(fd);
    return folded;
#else
    Q_UNUSED(folder);
    return false;
#endif
}

int createNewFile(const QString &path, std::optional<quint32> mode)
{
    const int fd = ::open(native(path).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    if (mode)
        ::fchmod(fd, mode_t(*mode));
    ::close(fd);
    return 0;
}

int replaceFile(const QString &from, const QString &to)
{
    return ::rename(native(from).constData(), native(to).constData()) == 0 ? 0 : errno;
}

bool removeName(const QString &path)
{
    return ::unlink(native(path).constData()) == 0;
}

bool setMode(const QString &path, quint32 mode)
{
    return ::chmod(native(path).constData(), mode_t(mode)) == 0;
}

int syncFile(int handle)
{
    errno = 0;
    if (::fsync(handle) != 0 && errno != EINVAL && errno != EROFS)
        return errno;
    return 0;
}

bool makeOwnerOnlyFolder(const QString &path)
{
    // mkdir never follows a link or reuses what is there.
    return ::mkdir(native(path).constData(), 0700) == 0 || errno == EEXIST;
}

QString makeUniqueOwnerOnlyFolder(const QString &prefix)
{
    QByteArray name = native(prefix) + "-XXXXXX";
    if (::mkdtemp(name.data()) == nullptr)
        return {};
    return QFile::decodeName(name);
}

qint64 currentProcessId()
{
    return qint64(::getpid());
}

void becomeSubreaper()
{
#ifdef Q_OS_LINUX
    ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
#endif
}

void startInOwnGroup(QProcess &process)
{
    const pid_t parent = ::getpid();
    // Runs in the child between fork and exec: only async-signal-safe calls are allowed.
    process.setChildProcessModifier([parent] {
        ::setsid();
#ifdef Q_OS_LINUX
        ::prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
        // The parent may have died between fork() and prctl(): then nobody would signal us.
        if (::getppid() != parent)
            ::_exit(127);
#endif
    });
}

void stopProcess(qint64 pid, Stop how)
{
    ::kill(pid_t(pid), signalOf(how));
}

void stopGroup(qint64 group, Stop how)
{
    ::kill(pid_t(-group), signalOf(how));
}

bool collectChild(qint64 pid)
{
    int status = 0;
    return ::waitpid(pid_t(pid), &status, WNOHANG) != 0;
}

std::optional<ProcessState> processState(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = file.read(4096);
    // The command name may hold spaces and parentheses; the fields follow the last ')'.
    const qsizetype close = text.lastIndexOf(')');
    if (close < 0)
        return std::nullopt;
    const QList<QByteArray> fields = text.mid(close + 2).split(' ');
    if (fields.size() < 2)
        return std::nullopt;
    ProcessState state;
    state.zombie = fields.at(0) == "Z" || fields.at(0) == "X";
    state.parent = fields.at(1).toLongLong();
    return state;
}

QList<qint64> childProcesses(qint64 pid)
{
    // The kernel lists children per thread.
    QList<qint64> children;
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks + u'/' + task + QStringLiteral("/children"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &word : file.readAll().split(' ')) {
            bool number = false;
            const qint64 child = word.trimmed().toLongLong(&number);
            if (number)
                children.append(child);
        }
    }
    return children;
}

QByteArrayList processEnvironment(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/environ").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArrayList entries = file.readAll().split('\0');
    entries.removeAll(QByteArray());
    return entries;
}

namespace {

// The self-pipe: the handler may only write, the event loop reads.
int s_pipe[2] = {-1, -1};
constexpr int kQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};
QPointer<QSocketNotifier> s_notifier;

void onQuitSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
    errno = saved;
}

bool openPipe()
{
#ifdef Q_OS_LINUX
    return ::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) == 0;
#else
    if (::pipe(s_pipe) != 0)
        return false;
    for (int fd : s_pipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    return true;
#endif
}

} // namespace

bool watchQuitRequests(QObject *context, std::function<void()> onQuit)
{
    if (!openPipe())
        return false;
    s_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, context);
    QObject::connect(s_notifier, &QSocketNotifier::activated, context,
                     [onQuit = std::move(onQuit)] {
                         char buffer[16];
                         while (::read(s_pipe[0], buffer, sizeof buffer) > 0) {
                         }
                         if (onQuit)
                             onQuit();
                     });
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kQuitSignals)
        ::sigaction(signal, &action, nullptr);
    return true;
}

void stopWatchingQuitRequests()
{
    for (int signal : kQuitSignals)
        ::signal(signal, SIG_DFL);
    delete s_notifier;
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

#ifdef __GLIBC__
namespace {
// glibc's own defaults, restored once the start is over.
constexpr int kDefaultMmapThreshold = 128 * 1024;
constexpr int kDefaultTrimThreshold = 128 * 1024;
// glibc refuses more.
constexpr qsizetype kLargestMmapThreshold = 32 * 1024 * 1024;
} // namespace

void *setHeapAside(qsizetype bytes)
{
    // Blocks of a backing image's size would otherwise get pages of their own from mmap, and
    // the freed block would be handed back to the system at once.
    ::mallopt(M_MMAP_THRESHOLD, int(std::min<qsizetype>(2 * bytes, kLargestMmapThreshold)));
    ::mallopt(M_TRIM_THRESHOLD, int(4 * bytes));
    return std::malloc(size_t(bytes));
}

void warmAndReleaseHeap(void *block, qsizetype bytes)
{
    if (!block)
        return;
    const long page = ::sysconf(_SC_PAGESIZE);
    const qsizetype step = page > 0 ? page : 4096;
    auto *bytesOf = static_cast<volatile char *>(block);
    for (qsizetype at = 0; at < bytes; at += step)
        bytesOf[at] = 0;
    std::free(block);
}

void restoreHeapRules()
{
    ::mallopt(M_MMAP_THRESHOLD, kDefaultMmapThreshold);
    ::mallopt(M_TRIM_THRESHOLD, kDefaultTrimThreshold);
    ::malloc_trim(0);
}
#else
void *setHeapAside(qsizetype)
{
    return nullptr;
}

void warmAndReleaseHeap(void *, qsizetype) {}

void restoreHeapRules() {}
#endif

} // namespace Platform
