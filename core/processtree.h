#pragma once

#include <QByteArray>
#include <QList>

// Linux process-tree calls behind one seam: who descends from a converter, how to end
// them all, and how a dead Velunor takes its converters with it.
namespace ProcessTree {

// Makes orphaned descendants (a helper that put itself into a session of its own, say)
// become our children instead of init's, so a run can still find and reap them.
void becomeSubreaper();

// Environment variable every converter gets; its descendants inherit it, which marks
// them as belonging to that run even after their parent is gone.
inline constexpr char kRunMarkerName[] = "VELUNOR_RUN";

// For QProcess::setChildProcessModifier: a session of its own and a signal when the
// Velunor that started it dies. Async-signal-safe; `parent` is our pid before the fork.
void prepareChild(qint64 parent);

// Every live process below `root` by parent links, plus every process below us whose
// environment carries `marker` (an orphan reparented to us). `root` itself is not listed.
QList<qint64> descendants(qint64 root, const QByteArray &marker);

// Sends `signal` to each of `pids`.
void signalAll(const QList<qint64> &pids, int signal);

// Collects the exit status of those of `pids` that were our children and have ended.
// Returns the ones still running.
QList<qint64> reap(const QList<qint64> &pids);

// Whether a process with this id exists (a zombie counts as gone).
bool alive(qint64 pid);

} // namespace ProcessTree
