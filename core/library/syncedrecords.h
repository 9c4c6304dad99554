#pragma once

#include "dialogs.h"
#include "sharedrecordstore.h"
#include "templatelibrary.h"

#include <QFile>

#include <functional>

// Log lines shared by every store a window shows.
namespace StoreLog {
using Log = std::function<void(const QString &)>;
void saveResult(const Log &log, const RecordFile::SaveResult &result, const QString &failure);
void merged(const Log &log, const QString &what, int conflicts);
void droppedEdits(const Log &log, const QStringList &names);
void renewedIds(const Log &log, qsizetype count, const QString &what);
} // namespace StoreLog

// One store file as a window shows it: the list, the file other windows write too, and the
// log lines about both. Every change goes through update(), under the store's lock.
template <typename T> class SyncedRecords final
{
public:
    struct Texts
    {
        // "Die Presets": the subject of the merge line.
        QString what;
        // Prefix of the failed-save line.
        QString failure;
        // Prefix of the failed-load line.
        QString loadFailure;
        // The records in the renewed-ids line; empty: ids are not renewed.
        QString renewedIds;
    };
    struct DeleteTexts
    {
        QString title;
        QString outside;
        QString shared;
    };

    SyncedRecords(bool available, const QString &path, Texts texts, StoreLog::Log log,
                  std::function<void()> changed)
        : m_available(available), m_store(path), m_texts(std::move(texts)), m_log(std::move(log)),
          m_changed(std::move(changed))
    {
    }

    bool available() const { return m_available; }
    const QList<T> &list() const { return m_list; }
    void set(const QList<T> &records)
    {
        if (m_list == records)
            return;
        m_list = records;
        m_changed();
    }
    // Changes records in place; announce() tells the window afterwards.
    QList<T> &edit() { return m_list; }
    void announce() { m_changed(); }

    void load()
    {
        if (!m_available)
            return;
        auto loaded = m_store.load();
        if (loaded.state == RecordFile::LoadState::Failed)
            m_log(m_texts.loadFailure + loaded.error);
        // Every operation addresses one record by id.
        if (!m_texts.renewedIds.isEmpty())
            StoreLog::renewedIds(m_log, renewDuplicateIds(loaded.records), m_texts.renewedIds);
        if (loaded.state == RecordFile::LoadState::Loaded)
            set(loaded.records);
    }

    // Takes in another writer's changes, runs `change` on the list under the store's lock and
    // writes the result; `finish` learns under the lock whether it was written. Afterwards the
    // list shows what the file holds: a change that could not be written is not kept. True
    // when the change was written (or, without a store, made in memory).
    template <typename Change, typename Finish> bool update(Change &&change, Finish &&finish)
    {
        QList<T> records = m_list;
        if (!m_available) {
            if (!change(records))
                return false;
            set(records);
            return true;
        }
        const auto synced = m_store.update(records, change, finish);
        if (synced.merged)
            StoreLog::merged(m_log, m_texts.what, synced.conflicts);
        // Another window deleted what this one changed: the deletion stands.
        StoreLog::droppedEdits(m_log, synced.droppedEdits);
        if (synced.changed) {
            StoreLog::saveResult(m_log, synced.result, m_texts.failure);
            if (!synced.result.ok)
                records = m_store.stored();
        }
        set(records);
        return synced.changed && synced.result.ok;
    }
    template <typename Change> bool update(Change &&change)
    {
        return update(std::forward<Change>(change), [](bool) {});
    }
    bool save()
    {
        return update([](QList<T> &) { return true; });
    }

    // Asks, then removes the record and, once the list without it is written, its stored file
    // unless it lies outside the library or another record still uses it.
    bool remove(const T &record, bool inLibrary, const DeleteTexts &texts, Dialogs *dialogs)
    {
        const auto othersOf = [&record](const QList<T> &list) {
            QList<T> others;
            others.reserve(list.size());
            for (const T &r : list) {
                if (r.id != record.id)
                    others.append(r);
            }
            return others;
        };
        const auto pathsOf = [](const QList<T> &list) {
            QStringList paths;
            for (const T &r : list)
                paths.append(r.filePath);
            return paths;
        };
        // Another record may share the stored file; it must not lose it.
        bool shared = inLibrary && isAnyOf(record.filePath, pathsOf(othersOf(m_list)));
        QString consequence = QStringLiteral("Die Datei wird ebenfalls gelöscht!");
        if (!inLibrary)
            consequence = texts.outside;
        else if (shared)
            consequence = texts.shared;
        const QString question = QStringLiteral("Möchten Sie '") + record.name +
                                 QStringLiteral("' wirklich löschen?\n\n") + consequence;
        if (!dialogs ||
            !dialogs->showWarningQuestion(texts.title, question, QStringLiteral("Löschen"),
                                          QStringLiteral("Abbrechen")))
            return false;
        // Another process may have given the file to a record of its own meanwhile: decided on
        // the merged list, and the file goes only once the list without the record is written.
        return update(
            [&](QList<T> &list) {
                list = othersOf(list);
                shared = inLibrary && isAnyOf(record.filePath, pathsOf(list));
                return true;
            },
            [&](bool written) {
                if (written && inLibrary && !shared)
                    QFile::remove(record.filePath);
            });
    }

private:
    bool m_available;
    SharedRecordStore<T> m_store;
    Texts m_texts;
    StoreLog::Log m_log;
    std::function<void()> m_changed;
    QList<T> m_list;
};
