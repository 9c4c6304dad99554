#include "processtree.h"

namespace ProcessTree {

namespace {

bool carriesMarker(qint64 pid, const QByteArray &marker)
{
    const QByteArray wanted = QByteArray(kRunMarkerName) + '=' + marker;
    return Platform::processEnvironment(pid).contains(wanted);
}

QList<qint64> liveChildrenOf(qint64 pid)
{
    QList<qint64> children;
    for (qint64 child : Platform::childProcesses(pid)) {
        if (alive(child))
            children.append(child);
    }
    return children;
}

} // namespace

QList<qint64> descendants(qint64 root, const QByteArray &marker)
{
    QList<qint64> found;
    QList<qint64> queue{root};
    if (!marker.isEmpty()) {
        for (qint64 pid : liveChildrenOf(Platform::currentProcessId())) {
            if (pid != root && carriesMarker(pid, marker)) {
                found.append(pid);
                queue.append(pid);
            }
        }
    }
    while (!queue.isEmpty()) {
        for (qint64 child : liveChildrenOf(queue.takeLast())) {
            if (!found.contains(child)) {
                found.append(child);
                queue.append(child);
            }
        }
    }
    return found;
}

void stopAll(const QList<qint64> &pids, Platform::Stop how)
{
    for (qint64 pid : pids)
        Platform::stopProcess(pid, how);
}

QList<qint64> reap(const QList<qint64> &pids)
{
    QList<qint64> running;
    const qint64 self = Platform::currentProcessId();
    for (qint64 pid : pids) {
        const std::optional<Platform::ProcessState> state = Platform::processState(pid);
        if (!state)
            continue;
        if (state->parent != self) {
            // Not (yet) ours: a dead parent's orphans come to us a moment later.
            running.append(pid);
            continue;
        }
        if (!Platform::collectChild(pid))
            running.append(pid);
    }
    return running;
}

bool alive(qint64 pid)
{
    if (pid <= 0)
        return false;
    const std::optional<Platform::ProcessState> state = Platform::processState(pid);
    return state && !state->zombie;
}

} // namespace ProcessTree
