#pragma once

#include "recordmerge.h"
#include "recordstore.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>

// Identifies one version of a file: a replaced file has a new inode, an edited one a new time.
struct FileStamp
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    qint64 changedNs = 0;

    static FileStamp of(const QString &path);
    friend bool operator==(const FileStamp &, const FileStamp &) = default;
};

// A store file that other processes may write too. Every save holds a lock file beside the
// store; a file that changed since this process last read or wrote it is read again and
// merged (recordmerge.h), so another writer's change is never silently overwritten.
template <typename T> class SharedRecordStore final
{
public:
    using Loaded = typename RecordStore<T>::Loaded;

    struct Saved
    {
        RecordFile::SaveResult result;
        // Another writer had changed the file; the list now holds the merge.
        bool merged = false;
        int conflicts = 0;
        QStringList droppedEdits;
        // False when the change gave up; nothing was written.
        bool changed = true;
    };

    explicit SharedRecordStore(QString path)
        : m_store(std::move(path)), m_lockPath(m_store.path() + QStringLiteral(".lock"))
    {
    }

    QString path() const { return m_store.path(); }

    Loaded load()
    {
        m_stamp = FileStamp::of(path());
        Loaded loaded = m_store.load();
        m_base = loaded.records;
        return loaded;
    }

    // Takes in another writer's changes without writing.
    Saved refresh(QList<T> &records)
    {
        if (FileStamp::of(path()) == m_stamp)
            return {};
        QLockFile lock(m_lockPath);
        if (!lock.tryLock(kLockWaitMs))
            return {};
        return mergeFromDisk(records);
    }

    // Writes `records`, first merging another writer's changes into them.
    Saved save(QList<T> &records)
    {
        return update(
            records, [](QList<T> &) { return true; }, [](bool) {});
    }

    // Holds the lock while another writer's changes are merged into `records`, `change` edits
    // the merged list (false: give up without writing) and the result is written. Work that
    // must not interleave with another writer's, such as choosing a free file name and
    // copying into it, belongs in `change`; `finish` learns, still under the lock, whether
    // the list was written (to remove a file only once no record names it, or a copy that
    // is not listed).
    template <typename Change, typename Finish>
    Saved update(QList<T> &records, Change &&change, Finish &&finish)
    {
        Saved saved;
        QDir().mkpath(QFileInfo(path()).absolutePath());
        QLockFile lock(m_lockPath);
        // Without a lock file (a read-only folder) the write itself reports the reason.
        if (!lock.tryLock(kLockWaitMs) && lock.error() == QLockFile::LockFailedError) {
            saved.result.error =
                QStringLiteral("Die Datei wird gerade von einem anderen Programm gespeichert");
            return saved;
        }
        if (FileStamp::of(path()) != m_stamp)
            saved = mergeFromDisk(records);
        if (!change(records)) {
            saved.changed = false;
            return saved;
        }
        saved.result = m_store.save(records);
        if (saved.result.ok) {
            m_base = records;
            m_stamp = FileStamp::of(path());
        }
        finish(saved.result.ok);
        return saved;
    }

    // The list as the file holds it, as far as this process knows: what it last read,
    // merged or wrote.
    const QList<T> &stored() const { return m_base; }

    static constexpr int kLockWaitMs = 5000;

private:
    Saved mergeFromDisk(QList<T> &records)
    {
        Saved saved;
        const FileStamp stamp = FileStamp::of(path());
        Loaded theirs = m_store.load();
        // A vanished file holds nothing to keep; an unreadable one is set aside by the write.
        if (theirs.state == RecordFile::LoadState::Loaded && theirs.records != m_base) {
            MergeOutcome outcome;
            QList<T> merged = mergeRecords(m_base, records, theirs.records, &outcome);
            saved.merged = true;
            saved.conflicts = outcome.conflicts;
            saved.droppedEdits = std::move(outcome.droppedEdits);
            records = std::move(merged);
        }
        if (theirs.state == RecordFile::LoadState::Loaded)
            m_base = std::move(theirs.records);
        m_stamp = stamp;
        return saved;
    }

    RecordStore<T> m_store;
    QString m_lockPath;
    QList<T> m_base;
    FileStamp m_stamp;
};

using SharedPresetStore = SharedRecordStore<Preset>;
using SharedTemplateIndex = SharedRecordStore<Template>;
using SharedCslStyleIndex = SharedRecordStore<CslStyle>;
