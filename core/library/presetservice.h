#pragma once

#include "records.h"
#include "storelocation.h"
#include "syncedrecords.h"

#include <QObject>

// The named presets, shared with other windows, and the one selected.
class PresetService final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PresetService)

public:
    PresetService(const StoreLocation &store, StoreLog::Log log, QObject *parent = nullptr);

    const QList<Preset> &presets() const { return m_records.list(); }
    void setPresets(const QList<Preset> &value) { m_records.set(value); }
    const std::optional<Preset> &selected() const { return m_selected; }
    void setSelected(const std::optional<Preset> &value);

    void load() { m_records.load(); }
    void saveAll() { m_records.save(); }
    // Replaces the preset of the same name, or adds it; true when written.
    bool save(const Preset &preset);
    void deleteSelected();
    // Lists the preset under `baseName`, numbered while another preset has that name (another
    // window's included); true when written. The preset's name is the one chosen.
    bool addUnique(Preset &preset, const QString &baseName);

signals:
    void changed();
    void selectedChanged();

private:
    StoreLog::Log m_log;
    SyncedRecords<Preset> m_records;
    std::optional<Preset> m_selected;
};
