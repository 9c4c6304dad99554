#include "defaultsoptions.h"

#include <array>

namespace {

using K = DefaultsKind;

constexpr std::array kOptions{
    DefaultsOption{"data-dir", 0, "data-dir", K::Text},
    DefaultsOption{"log", 0, "log-file", K::Text},
    DefaultsOption{"fail-if-warnings", 0, "fail-if-warnings", K::Flag},
    DefaultsOption{"sandbox", 0, "sandbox", K::Flag},
    DefaultsOption{"shift-heading-level-by", 0, "shift-heading-level-by", K::Number},
    DefaultsOption{"default-image-extension", 0, "default-image-extension", K::Text},
    DefaultsOption{"file-scope", 0, "file-scope", K::Flag},
    DefaultsOption{"metadata", 'M', "metadata", K::Map},
    DefaultsOption{"metadata-file", 0, "metadata-files", K::List},
    DefaultsOption{"preserve-tabs", 'p', "preserve-tabs", K::Flag},
    DefaultsOption{"tab-stop", 0, "tab-stop", K::Number},
    DefaultsOption{"track-changes", 0, "track-changes", K::Text},
    DefaultsOption{"extract-media", 0, "extract-media", K::Text},
    DefaultsOption{"abbreviations", 0, "abbreviations", K::Text},
    DefaultsOption{"trace", 0, "trace", K::Flag},
    DefaultsOption{"variable", 'V', "variables", K::Map},
    DefaultsOption{"eol", 0, "eol", K::Text},
    DefaultsOption{"dpi", 0, "dpi", K::Number},
    DefaultsOption{"wrap", 0, "wrap", K::Text},
    DefaultsOption{"columns", 0, "columns", K::Number},
    DefaultsOption{"toc-depth", 0, "toc-depth", K::Number},
    DefaultsOption{"strip-comments", 0, "strip-comments", K::Flag},
    DefaultsOption{"highlight-style", 0, "highlight-style", K::Text},
    DefaultsOption{"syntax-definition", 0, "syntax-definitions", K::List},
    DefaultsOption{"include-in-header", 'H', "include-in-header", K::List},
    DefaultsOption{"include-before-body", 'B', "include-before-body", K::List},
    DefaultsOption{"include-after-body", 'A', "include-after-body", K::List},
    DefaultsOption{"no-check-certificate", 0, "no-check-certificate", K::Flag},
    DefaultsOption{"self-contained", 0, "self-contained", K::Flag},
    DefaultsOption{"html-q-tags", 0, "html-q-tags", K::Flag},
    DefaultsOption{"ascii", 0, "ascii", K::Flag},
    DefaultsOption{"reference-links", 0, "reference-links", K::Flag},
    DefaultsOption{"reference-location", 0, "reference-location", K::Text},
    DefaultsOption{"markdown-headings", 0, "markdown-headings", K::Text},
    DefaultsOption{"top-level-division", 0, "top-level-division", K::Text},
    DefaultsOption{"listings", 0, "listings", K::Flag},
    DefaultsOption{"incremental", 'i', "incremental", K::Flag},
    DefaultsOption{"slide-level", 0, "slide-level", K::Number},
    DefaultsOption{"section-divs", 0, "section-divs", K::Flag},
    DefaultsOption{"email-obfuscation", 0, "email-obfuscation", K::Text},
    DefaultsOption{"id-prefix", 0, "identifier-prefix", K::Text},
    DefaultsOption{"title-prefix", 'T', "title-prefix", K::Text},
    DefaultsOption{"epub-cover-image", 0, "epub-cover-image", K::Text},
    DefaultsOption{"epub-metadata", 0, "epub-metadata", K::Text},
    DefaultsOption{"epub-embed-font", 0, "epub-fonts", K::List},
    DefaultsOption{"epub-chapter-level", 0, "epub-chapter-level", K::Number},
    DefaultsOption{"epub-subdirectory", 0, "epub-subdirectory", K::Text},
    DefaultsOption{"ipynb-output", 0, "ipynb-output", K::Text},
    DefaultsOption{"pdf-engine-opt", 0, "pdf-engine-opts", K::List},
};

} // namespace

const DefaultsOption *findOptionByName(const QString &longName)
{
    for (const DefaultsOption &o : kOptions) {
        if (longName == QLatin1StringView(o.longName))
            return &o;
    }
    return nullptr;
}

const DefaultsOption *findOptionByShortName(QChar shortName)
{
    for (const DefaultsOption &o : kOptions) {
        if (o.shortName != 0 && shortName == QLatin1Char(o.shortName))
            return &o;
    }
    return nullptr;
}

const DefaultsOption *findOptionByKey(const QString &key)
{
    for (const DefaultsOption &o : kOptions) {
        if (key == QLatin1StringView(o.key))
            return &o;
    }
    return nullptr;
}

bool shortOptionTakesValue(QChar shortName)
{
    return QStringView(u"frtwodMVcHBAFLT").contains(shortName);
}
