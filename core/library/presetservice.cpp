#include "presetservice.h"

#include "presetlist.h"

#include <algorithm>

PresetService::PresetService(const StoreLocation &store, StoreLog::Log log, QObject *parent)
    : QObject(parent), m_log(log),
      m_records(store.isAvailable(), store.presetsFile(),
                {QStringLiteral("Die Presets"),
                 QStringLiteral("❌ Fehler beim Speichern der Presets: "),
                 QStringLiteral("⚠ Fehler beim Laden der Presets: "), QString()},
                log, [this] { emit changed(); })
{
}

void PresetService::setSelected(const std::optional<Preset> &value)
{
    if (m_selected == value)
        return;
    m_selected = value;
    emit selectedChanged();
}

bool PresetService::save(const Preset &preset)
{
    return m_records.update([&preset](QList<Preset> &list) {
        upsertPresetByName(list, preset);
        return true;
    });
}

void PresetService::deleteSelected()
{
    if (!m_selected)
        return;
    const Preset selected = *m_selected;
    if (!m_records.update([&selected](QList<Preset> &list) {
            removePresetsById(list, selected.id);
            return true;
        }))
        return;
    setSelected(std::nullopt);
    m_log(QStringLiteral("✓ Preset gelöscht: ") + selected.name);
}

bool PresetService::addUnique(Preset &preset, const QString &baseName)
{
    return m_records.update([&preset, &baseName](QList<Preset> &list) {
        const auto taken = [&list](const QString &name) {
            return std::any_of(list.begin(), list.end(),
                               [&name](const Preset &p) { return p.name == name; });
        };
        QString name = baseName;
        for (int n = 2; taken(name); ++n)
            name = baseName + QStringLiteral(" (") + QString::number(n) + u')';
        preset.name = name;
        list.append(preset);
        return true;
    });
}
