#pragma once

#include "dialogs.h"
#include "records.h"
#include "storelocation.h"
#include "syncedrecords.h"

#include <QObject>
#include <QTimer>
#include <QUrl>

struct StoredFile;

// The template library: the index shared with other windows, the stored files, favourites,
// descriptions and when each template was last used.
class TemplateService final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplateService)

public:
    TemplateService(const StoreLocation &store, Dialogs *dialogs, Desktop *desktop,
                    StoreLog::Log log, QObject *parent = nullptr);
    ~TemplateService() override;

    const QList<Template> &templates() const { return m_records.list(); }
    void setTemplates(const QList<Template> &value) { m_records.set(value); }

    void load() { m_records.load(); }
    void save();
    // Description edits are saved once typing pauses; this writes a pending one now.
    void flushPendingSaves();
    void updateLastUsed(const Template &record);

    void importFile(const QUrl &file);
    // True when the template was added.
    bool add(const QString &name, TemplateType type, const QString &filePath,
             const QString &description);
    bool remove(const Template &record);
    void toggleFavorite(const std::optional<Template> &selected);
    void updateDescription(const QUuid &id, const QString &text);
    std::optional<QUuid> editedDescriptionId() const { return m_editedDescription; }
    void openFolder();
    bool exportTo(const Template &record, const QString &destination);
    QList<Template> filtered(std::optional<TemplateType> type, bool favoritesOnly) const;
    bool isInLibrary(const Template &record) const;
    QStringList outsideWarnings(const QList<Template> &passed) const;

    // Marks these templates as used now; written by saveStamps(), once a run has ended.
    void stamp(const QSet<QUuid> &ids);
    void saveStamps();

    static constexpr int kDescriptionSaveDelayMs = 500;

signals:
    void changed();

private:
    // Copies a file into the kind's folder and lists it; ok only when the index was written.
    StoredFile storeIntoLibrary(const QString &name, TemplateType type, const QString &source,
                                const QString &description);

    StoreLocation m_store;
    Dialogs *m_dialogs;
    Desktop *m_desktop;
    StoreLog::Log m_log;
    SyncedRecords<Template> m_records;
    QTimer m_descriptionSave;
    std::optional<QUuid> m_editedDescription;
    bool m_stampSavePending = false;
};
