#include "templateorder.h"

#include <algorithm>

namespace {

// UTF-16 units compared in code-point order: surrogates sort after the whole BMP.
inline char16_t codePointRank(char16_t unit)
{
    if (unit >= 0xE000)
        return char16_t(unit - 0x800);
    if (unit >= 0xD800)
        return char16_t(unit + 0x2000);
    return unit;
}

int compareCodeUnits(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = codePointRank(a[i].unicode());
        const char16_t y = codePointRank(b[i].unicode());
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool isPlainAscii(QStringView s)
{
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 0x80; });
}

QString composed(const QString &s)
{
    return isPlainAscii(s) ? s : s.normalized(QString::NormalizationForm_C);
}

} // namespace

int compareNamesByCodePoint(const QString &a, const QString &b)
{
    return compareCodeUnits(composed(a), composed(b));
}

QList<Template> sortedTemplates(QList<Template> templates)
{
    // Normalise each name once, not once per comparison.
    struct Keyed
    {
        QString key;
        qsizetype index;
    };
    std::vector<Keyed> keys;
    keys.reserve(size_t(templates.size()));
    for (qsizetype i = 0; i < templates.size(); ++i)
        keys.push_back({composed(templates[i].name), i});
    std::stable_sort(keys.begin(), keys.end(), [&templates](const Keyed &a, const Keyed &b) {
        const bool favA = templates[a.index].isFavorite;
        const bool favB = templates[b.index].isFavorite;
        if (favA != favB)
            return favA;
        return compareCodeUnits(a.key, b.key) < 0;
    });
    QList<Template> result;
    result.reserve(templates.size());
    for (const Keyed &k : keys)
        result.append(std::move(templates[k.index]));
    return result;
}

QList<Template> templatesOfType(const QList<Template> &templates, TemplateType type)
{
    QList<Template> ofType;
    for (const Template &t : templates) {
        if (t.type == type)
            ofType.append(t);
    }
    return sortedTemplates(std::move(ofType));
}
