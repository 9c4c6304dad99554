#include "runwatcher.h"

#include "platform.h"

#include <QFileInfo>
#include <QFileSystemWatcher>

RunWatcher::RunWatcher(QObject *parent) : QObject(parent), m_watcher(new QFileSystemWatcher(this))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &RunWatcher::settled);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &RunWatcher::look);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &RunWatcher::folderChanged);
}

RunWatcher::~RunWatcher() = default;

RunWatcher::State RunWatcher::stateOf(const QString &path)
{
    const auto status = Platform::fileStatus(path);
    if (!status)
        return {};
    return {true, status->inode, status->size, status->modifiedNs, status->changedNs};
}

void RunWatcher::watch(const QStringList &files)
{
    // Files watched already keep their state and any change not yet reported.
    const QSet<QString> wanted(files.cbegin(), files.cend());
    QStringList gone;
    for (auto it = m_files.begin(); it != m_files.end();) {
        if (wanted.contains(it.key())) {
            ++it;
            continue;
        }
        gone.append(it.key());
        m_changed.remove(it.key());
        it = m_files.erase(it);
    }
    QStringList added;
    for (const QString &file : files) {
        if (m_files.contains(file))
            continue;
        m_files.insert(file, stateOf(file));
        added.append(file);
    }
    QHash<QString, QStringList> byFolder;
    for (auto it = m_files.cbegin(); it != m_files.cend(); ++it)
        byFolder[QFileInfo(it.key()).absolutePath()].append(it.key());
    for (auto it = m_byFolder.cbegin(); it != m_byFolder.cend(); ++it) {
        if (!byFolder.contains(it.key()))
            gone.append(it.key());
    }
    for (auto it = byFolder.cbegin(); it != byFolder.cend(); ++it) {
        if (!m_byFolder.contains(it.key()))
            added.append(it.key());
    }
    m_byFolder = std::move(byFolder);
    const QStringList watched = m_watcher->files() + m_watcher->directories();
    gone.removeIf([&watched](const QString &path) { return !watched.contains(path); });
    if (!gone.isEmpty())
        m_watcher->removePaths(gone);
    // A file that is missing now is taken up from its folder's notice when it appears.
    added.removeIf([](const QString &path) { return !QFileInfo::exists(path); });
    if (!added.isEmpty())
        m_watcher->addPaths(added);
    if (m_changed.isEmpty())
        m_settle.stop();
}

void RunWatcher::look(const QString &path)
{
    const auto found = m_files.find(path);
    if (found == m_files.end())
        return;
    const State now = stateOf(path);
    // A file renamed over the old one is a new file to the system: watch it again.
    if (now.present && !m_watcher->files().contains(path))
        m_watcher->addPath(path);
    if (now == found.value())
        return;
    found.value() = now;
    m_changed.insert(path);
    m_settle.start();
}

void RunWatcher::folderChanged(const QString &folder)
{
    for (const QString &file : m_byFolder.value(folder))
        look(file);
}

void RunWatcher::settled()
{
    // A file in the middle of being replaced comes back with a notice of its own.
    QStringList present;
    for (const QString &file : std::as_const(m_changed)) {
        if (m_files.value(file).present)
            present.append(file);
    }
    m_changed.clear();
    if (!present.isEmpty()) {
        present.sort();
        emit changed(present);
    }
}
