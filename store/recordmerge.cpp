#include "recordmerge.h"

#include <QHash>

#include <algorithm>
#include <utility>

namespace {

QUuid keyOf(const Template &t)
{
    return t.id;
}

QString keyOf(const Preset &p)
{
    return p.name;
}

QUuid keyOf(const CslStyle &s)
{
    return s.id;
}

// Each listed field takes the side that changed it; ours wins a field both changed.
// True when one field was changed differently on both sides.
template <typename T, typename... Members>
bool mergeFields(const T &base, const T &ours, const T &theirs, T *out, Members... members)
{
    bool conflict = false;
    *out = ours;
    auto take = [&](auto member) {
        if (ours.*member == base.*member)
            (*out).*member = theirs.*member;
        else if (!(theirs.*member == base.*member) && !(theirs.*member == ours.*member))
            conflict = true;
    };
    (take(members), ...);
    return conflict;
}

// Both sides changed one template: field by field, and the later use wins.
bool mergeBoth(const Template &base, const Template &ours, const Template &theirs, Template *out)
{
    const bool conflict =
        mergeFields(base, ours, theirs, out, &Template::name, &Template::type, &Template::filePath,
                    &Template::isFavorite, &Template::description);
    out->lastUsed = std::max(ours.lastUsed, theirs.lastUsed);
    return conflict;
}

bool mergeBoth(const CslStyle &base, const CslStyle &ours, const CslStyle &theirs, CslStyle *out)
{
    return mergeFields(base, ours, theirs, out, &CslStyle::name, &CslStyle::filePath,
                       &CslStyle::added);
}

// Where the other side deleted a record we changed, the deletion wins; a preset saved again
// under that name carries a new id and is a save of its own.
bool isNewSave(const Template &, const Template &)
{
    return false;
}

bool isNewSave(const CslStyle &, const CslStyle &)
{
    return false;
}

bool isNewSave(const Preset &base, const Preset &ours)
{
    return base.id != ours.id;
}

// A preset is saved as a whole; the later save wins.
bool mergeBoth(const Preset &, const Preset &ours, const Preset &theirs, Preset *out)
{
    *out = ours;
    return !(ours == theirs);
}

template <typename T> using KeyOf = decltype(keyOf(std::declval<const T &>()));

// Each record's key with its occurrence, so a file with a repeated key still merges one to one.
template <typename T> QHash<std::pair<KeyOf<T>, int>, qsizetype> indexOf(const QList<T> &list)
{
    QHash<std::pair<KeyOf<T>, int>, qsizetype> index;
    QHash<KeyOf<T>, int> seen;
    index.reserve(list.size());
    for (qsizetype i = 0; i < list.size(); ++i)
        index.insert({keyOf(list[i]), seen[keyOf(list[i])]++}, i);
    return index;
}

template <typename T>
QList<T> merge(const QList<T> &base, const QList<T> &ours, const QList<T> &theirs,
               MergeOutcome *outcome)
{
    const auto baseIndex = indexOf(base);
    const auto ourIndex = indexOf(ours);
    const auto theirIndex = indexOf(theirs);
    int conflicts = 0;
    QStringList dropped;
    QList<T> result;
    result.reserve(std::max(ours.size(), theirs.size()));

    QHash<KeyOf<T>, int> seen;
    for (const T &their : theirs) {
        const std::pair<KeyOf<T>, int> key{keyOf(their), seen[keyOf(their)]++};
        const auto b = baseIndex.constFind(key);
        const auto o = ourIndex.constFind(key);
        if (o == ourIndex.cend()) {
            if (b == baseIndex.cend())
                result.append(their); // they added it
            else if (!(base[*b] == their))
                ++conflicts; // we deleted what they changed: the deletion stands
            continue;
        }
        const T &our = ours[*o];
        if (b == baseIndex.cend()) {
            // Both added the same key.
            conflicts += their == our ? 0 : 1;
            result.append(our);
        } else if (our == base[*b]) {
            result.append(their);
        } else if (their == base[*b]) {
            result.append(our);
        } else {
            T merged;
            conflicts += mergeBoth(base[*b], our, their, &merged) ? 1 : 0;
            result.append(merged);
        }
    }

    seen.clear();
    for (const T &our : ours) {
        const std::pair<KeyOf<T>, int> key{keyOf(our), seen[keyOf(our)]++};
        if (theirIndex.contains(key))
            continue;
        const auto b = baseIndex.constFind(key);
        if (b == baseIndex.cend()) {
            result.append(our); // we added it
        } else if (isNewSave(base[*b], our)) {
            result.append(our);
        } else if (!(base[*b] == our)) {
            dropped.append(our.name);
        }
    }
    if (outcome) {
        outcome->conflicts = conflicts;
        outcome->droppedEdits = std::move(dropped);
    }
    return result;
}

} // namespace

QList<Template> mergeRecords(const QList<Template> &base, const QList<Template> &ours,
                             const QList<Template> &theirs, MergeOutcome *outcome)
{
    return merge(base, ours, theirs, outcome);
}

QList<Preset> mergeRecords(const QList<Preset> &base, const QList<Preset> &ours,
                           const QList<Preset> &theirs, MergeOutcome *outcome)
{
    return merge(base, ours, theirs, outcome);
}

QList<CslStyle> mergeRecords(const QList<CslStyle> &base, const QList<CslStyle> &ours,
                             const QList<CslStyle> &theirs, MergeOutcome *outcome)
{
    return merge(base, ours, theirs, outcome);
}
