#include "records.h"

namespace {

size_t hashOptional(const std::optional<QString> &value, size_t seed)
{
    // The present/absent marker keeps "absent" apart from an empty name.
    seed = qHashMulti(seed, value.has_value());
    return value ? qHash(*value, seed) : seed;
}

} // namespace

size_t qHash(TemplateType type, size_t seed) noexcept
{
    return qHash(rawValue(type), seed);
}

size_t qHash(const Template &r, size_t seed) noexcept
{
    return qHashMulti(seed, r.id, r.name, r.type, r.filePath, r.isFavorite,
                      r.lastUsed.toMSecsSinceEpoch(), r.description);
}

size_t qHash(const Preset &r, size_t seed) noexcept
{
    seed = qHashMulti(seed, r.id, r.name, r.inputFormat, r.outputFormat);
    seed = hashOptional(r.htmlTemplate, seed);
    seed = hashOptional(r.cssFile, seed);
    seed = hashOptional(r.latexTemplate, seed);
    seed = hashOptional(r.docxReference, seed);
    seed = qHashMulti(seed, r.standalone, r.tableOfContents, r.numberSections, r.additionalOptions);
    seed = hashOptional(r.pdfEngine, seed);
    seed = hashOptional(r.bibliography, seed);
    seed = hashOptional(r.csl, seed);
    seed = hashOptional(r.options, seed);
    seed = hashOptional(r.inputExtensions, seed);
    seed = hashOptional(r.outputExtensions, seed);
    seed = qHashMulti(seed, r.mergeInputs.has_value(), r.mergeInputs.value_or(false));
    return qHashMulti(seed, r.citeproc.has_value(), r.citeproc.value_or(false));
}
