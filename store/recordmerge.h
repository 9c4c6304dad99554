#pragma once

#include "cslstyles.h"
#include "records.h"

#include <QList>
#include <QStringList>

// Three-way merge of a store list: `base` is the file as this process last read or wrote it,
// `ours` the list in memory, `theirs` the file as another writer left it.
//
// Records are matched by key (templates and styles by id, presets by name; a repeated key by
// its occurrence). A record only one side changed takes that side's change. A template or style
// both sides changed is merged field by field (ours wins a field both changed, the later use
// counts); a preset both sides saved keeps ours, the later save. Additions of both sides are
// kept, theirs in file order followed by ours. A deletion wins, also over an edit of the other
// side: an edit would bring back a record whose file the deleting side has removed. A preset
// saved anew under a deleted name is a new save, not an edit, and stays.
struct MergeOutcome
{
    // Records where a change of ours replaced a different change of theirs, or where our
    // deletion met their edit.
    int conflicts = 0;
    // Names of our edited records that the other side had deleted; the edits are dropped.
    QStringList droppedEdits;
};

QList<Template> mergeRecords(const QList<Template> &base, const QList<Template> &ours,
                             const QList<Template> &theirs, MergeOutcome *outcome);
QList<Preset> mergeRecords(const QList<Preset> &base, const QList<Preset> &ours,
                           const QList<Preset> &theirs, MergeOutcome *outcome);
QList<CslStyle> mergeRecords(const QList<CslStyle> &base, const QList<CslStyle> &ours,
                             const QList<CslStyle> &theirs, MergeOutcome *outcome);
