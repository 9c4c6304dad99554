#pragma once

#include "records.h"

#include <QList>

// Replaces the first preset with the same name (exact, case-sensitive) in place,
// or appends when there is none.
void upsertPresetByName(QList<Preset> &presets, const Preset &preset);

// Removes every preset with this id; the others keep their order.
void removePresetsById(QList<Preset> &presets, const QUuid &id);
