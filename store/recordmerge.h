#pragma once

#include "records.h"

#include <QList>

// Three-way merge of a store list: `base` is the file as this process last read or wrote it,
// `ours` the list in memory, `theirs` the file as another writer left it.
//
// Records are matched by key (templates by id, presets by name; a repeated key by its
// occurrence). A record only one side changed takes that side's change. A template both sides
// changed is merged field by field (ours wins a field both changed, the later use counts); a
// preset both sides saved keeps ours, the later save. Additions of both sides are kept, theirs
// in file order followed by ours. A deletion wins over an unchanged record; where one side
// deleted what the other changed, the side saving now wins.
struct MergeOutcome
{
    // Records where a change of ours replaced a different change of theirs, or where one
    // side's edit met the other's deletion.
    int conflicts = 0;
};

QList<Template> mergeRecords(const QList<Template> &base, const QList<Template> &ours,
                             const QList<Template> &theirs, MergeOutcome *outcome);
QList<Preset> mergeRecords(const QList<Preset> &base, const QList<Preset> &ours,
                           const QList<Preset> &theirs, MergeOutcome *outcome);
