#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

class QFileSystemWatcher;

// Watches files for changes through the system's notifications (no polling) and reports
// them once they settle. Watches each file's folder too: an editor that saves by writing a
// new file and renaming it over the old one replaces the file the system was watching, and
// the new one is taken up from the folder's notice. A notice counts only when the file's
// state (size, times, identity, presence) differs from what was seen, so a converter writing
// its output beside the document does not look like an edit.
class RunWatcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunWatcher)

public:
    // Quiet time after the last change before a run: an editor's write-and-rename is over in a
    // few milliseconds, and a change during the run queues one more anyway.
    static constexpr int kSettleMs = 100;

    explicit RunWatcher(QObject *parent = nullptr);
    ~RunWatcher() override;

    // Watches exactly these files (absolute paths) from now on.
    void watch(const QStringList &files);
    void clear() { watch({}); }
    qsizetype count() const { return m_files.size(); }
    QStringList files() const { return m_files.keys(); }
    void setSettleMs(int ms) { m_settle.setInterval(ms); }

signals:
    // `kSettleMs` after the last change; the files that changed and are there now.
    void changed(const QStringList &files);

private:
    struct State
    {
        bool present = false;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        friend bool operator==(const State &, const State &) = default;
    };
    static State stateOf(const QString &path);
    void look(const QString &path);
    void folderChanged(const QString &folder);
    void settled();

    QFileSystemWatcher *m_watcher = nullptr;
    QHash<QString, State> m_files;
    QHash<QString, QStringList> m_byFolder;
    QSet<QString> m_changed;
    QTimer m_settle;
};
