#include "presetlist.h"

void upsertPresetByName(QList<Preset> &presets, const Preset &preset)
{
    for (Preset &existing : presets) {
        if (existing.name == preset.name) {
            existing = preset;
            return;
        }
    }
    presets.append(preset);
}

void removePresetsById(QList<Preset> &presets, const QUuid &id)
{
    presets.removeIf([&id](const Preset &p) { return p.id == id; });
}
