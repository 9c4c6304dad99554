#pragma once

#include "platform.h"

#include <QByteArray>
#include <QList>

// Who descends from a converter and how to end them all, over the system's process list.
namespace ProcessTree {

// Environment variable every converter gets; its descendants inherit it, which marks
// them as belonging to that run even after their parent is gone.
inline constexpr char kRunMarkerName[] = "VELUNOR_RUN";

// Every live process below `root` by parent links, plus every process below us whose
// environment carries `marker` (an orphan reparented to us). `root` itself is not listed.
QList<qint64> descendants(qint64 root, const QByteArray &marker);

void stopAll(const QList<qint64> &pids, Platform::Stop how);

// Collects the exit status of those of `pids` that were our children and have ended.
// Returns the ones still running.
QList<qint64> reap(const QList<qint64> &pids);

// Whether a process with this id exists (a zombie counts as gone).
bool alive(qint64 pid);

} // namespace ProcessTree
