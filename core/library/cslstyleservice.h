#pragma once

#include "cslstyles.h"
#include "dialogs.h"
#include "storelocation.h"
#include "syncedrecords.h"

#include <QObject>

// The library of citation styles: copies of .csl files in the store and their list.
class CslStyleService final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CslStyleService)

public:
    CslStyleService(const StoreLocation &store, Dialogs *dialogs, StoreLog::Log log,
                    QObject *parent = nullptr);

    const QList<CslStyle> &styles() const { return m_records.list(); }
    void load() { m_records.load(); }
    // Copies a .csl file into the style folder and lists it under `name`; the new entry (or
    // the entry of the same style listed before), none on failure.
    std::optional<CslStyle> add(const QString &name, const QString &path);
    // Asks first; the removed entry.
    std::optional<CslStyle> remove(const QUuid &id);

signals:
    void changed();

private:
    StoreLocation m_store;
    Dialogs *m_dialogs;
    StoreLog::Log m_log;
    SyncedRecords<CslStyle> m_records;
};
