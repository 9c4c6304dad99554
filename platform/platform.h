#pragma once

#include <QByteArrayList>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QObject;
class QProcess;

// Every call into the operating system that Qt does not make for us. The rest of Velunor
// uses only this namespace, so a port to another system implements this header in one file
// of its own (platform_posix.cpp serves Linux and, untested, other POSIX systems).
//
// Error codes are errno values as <cerrno> names them, 0 for none, so that messages read
// the same everywhere through std::strerror.
namespace Platform {

// ---- Users ---------------------------------------------------------------------------

using UserId = quint32;

// The real user running this process.
UserId currentUserId();
// The user whose rights this process has (differs from the real one only when set-uid).
UserId effectiveUserId();
// The user at the other end of a connected local socket; nothing when the system cannot say.
std::optional<UserId> peerUserId(qintptr socketDescriptor);

// ---- Local sockets -------------------------------------------------------------------

// Stream sockets named by a path, so that later starts can reach the running window without
// a network library. Descriptors are close-on-exec and non-blocking; -1 means failure, and
// `error` (when given) gets the error code.

// Listens at `path`, which only its owner may connect to; what lay at that name is removed.
int listenLocal(const QString &path, int *error = nullptr);
// A waiting connection, or -1 when there is none.
int acceptLocal(int listener);
// Connects to `path`; fails at once when nobody listens there.
int connectLocal(const QString &path, int *error = nullptr);
// Writes all of `data`, waiting at most `timeoutMs` in all. False on error or timeout.
bool writeLocal(int socket, const QByteArray &data, int timeoutMs);
// Waits at most `timeoutMs` until `socket` can be read (data or its end).
bool waitReadableLocal(int socket, int timeoutMs);
// What has arrived, at most `max` bytes; nothing with `open` false once the other end has
// closed or on error.
QByteArray readLocal(int socket, qsizetype max, bool *open);
void closeLocal(int socket);

// ---- Files ---------------------------------------------------------------------------

// Permission bits, valued as on POSIX; a port maps its own notion onto them.
inline constexpr quint32 kOwnerWrite = 0200;
inline constexpr quint32 kGroupWrite = 0020;
inline constexpr quint32 kOthersWrite = 0002;
inline constexpr quint32 kSticky = 01000;
// Permission bits plus set-uid, set-gid and sticky.
inline constexpr quint32 kModeBits = 07777;

struct FileStatus
{
    enum class Kind
    {
        File,
        Folder,
        Other
    };
    Kind kind = Kind::Other;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    // When the status itself (owner, mode, links, name) last changed.
    qint64 changedNs = 0;
    UserId owner = 0;
    // Masked with kModeBits.
    quint32 mode = 0;
    quint64 links = 0;
};

enum class Links
{
    Follow,
    // The status of a link itself, not of what it points to.
    DontFollow
};

std::optional<FileStatus> fileStatus(const QString &path, Links links = Links::Follow);

// Whether names in `folder` differ only in case name the same file: FAT, exFAT and NTFS
// everywhere, ext4 and f2fs folders marked to fold case. False when the system cannot say.
bool foldsCase(const QString &folder);

// Creates `path` as a new, empty file, never through a link and never reusing what is
// there; `mode`, when given, becomes its permission bits. Returns an error code (EEXIST
// when the name is taken).
int createNewFile(const QString &path, std::optional<quint32> mode);
// Replaces `to` with `from` in one step: a reader sees the old file or the new one, never
// none. Returns an error code.
int replaceFile(const QString &from, const QString &to);
// Removes the name `path`; a link goes, what it points to stays.
bool removeName(const QString &path);
bool setMode(const QString &path, quint32 mode);
// Flushes an open file's data to the disk. File systems that cannot do that (read-only
// ones, pipes) count as done. Returns an error code.
int syncFile(int handle);

// Creates `path` as a folder only this user may enter. True also when the name is taken
// already: the caller judges what is there.
bool makeOwnerOnlyFolder(const QString &path);
// A new owner-only folder named `prefix` plus a random part; empty when that failed.
QString makeUniqueOwnerOnlyFolder(const QString &prefix);

// ---- Processes -----------------------------------------------------------------------

qint64 currentProcessId();

// Makes orphaned descendants become our children instead of init's, so they can still be
// found and reaped. Linux only; elsewhere they are lost to us once their parent ends.
void becomeSubreaper();

// Makes `process`, once started, lead a session (and process group) of its own, and die
// when this process dies (Linux; elsewhere it outlives us). Call before start().
void startInOwnGroup(QProcess &process);

enum class Stop
{
    // Asks politely (SIGTERM).
    Terminate,
    // Cannot be refused (SIGKILL).
    Kill
};

void stopProcess(qint64 pid, Stop how);
// Stops every member of the process group `group` leads.
void stopGroup(qint64 group, Stop how);

// Collects the exit status of our child `pid` once it has ended. False only while it
// still runs; true as well when it was not ours to collect.
bool collectChild(qint64 pid);

struct ProcessState
{
    qint64 parent = 0;
    // Ended, waiting for its parent to collect it.
    bool zombie = false;
};

// What the system says about the process `pid`; nothing when there is none. The three
// calls below read Linux's /proc; elsewhere they find nothing, so a cancelled run ends
// its process group only. A port must at least answer this one truthfully: temporary
// outputs are removed as stale when their process is not found.
std::optional<ProcessState> processState(qint64 pid);
// Ids the system lists as children of `pid`, zombies included.
QList<qint64> childProcesses(qint64 pid);
// The environment `pid` started with, as "NAME=value" entries.
QByteArrayList processEnvironment(qint64 pid);

// ---- Quitting ------------------------------------------------------------------------

// Calls `onQuit` on the event loop of `context`'s thread whenever the user or the session
// asks us to quit from outside (SIGTERM, SIGINT, SIGHUP). One watcher at a time.
// Returns false when that cannot be set up.
bool watchQuitRequests(QObject *context, std::function<void()> onQuit);
// Restores the system's default handling.
void stopWatchingQuitRequests();

// ---- Memory --------------------------------------------------------------------------

// A first frame needs megabytes of fresh memory (the window's backing image alone is
// width × height × 4 bytes), and on some machines, virtual ones above all, the first touch
// of every page is slow. These let a start touch that memory on another thread beforehand.
//
// Sets `bytes` of heap aside, untouched; on the calling thread, before the window is built.
// Null where the allocator cannot be steered so.
void *setHeapAside(qsizetype bytes);
// Touches every page of what setHeapAside gave and returns it to the allocator, for the
// window's thread to take from. Any thread; null is a no-op.
void warmAndReleaseHeap(void *block, qsizetype bytes);
// The allocator's usual rules again, and unused memory back to the system; once the first
// frame is long done.
void restoreHeapRules();

} // namespace Platform
