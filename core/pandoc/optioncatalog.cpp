#include "optioncatalog.h"

#include <array>

namespace PandocOptions {

namespace {

using A = Arg;
using K = Key;
constexpr unsigned R = Reads, W = Writes, X = Runs;

// pandoc 2.17's options, plus the few later ones Velunor may meet in a newer pandoc.
constexpr std::array kOptions{
    Option{"from", 'f', A::Required, "from", K::Own, 0, nullptr},
    Option{"read", 'r', A::Required, "from", K::Own, 0, "from"},
    Option{"to", 't', A::Required, "to", K::Own, 0, nullptr},
    Option{"write", 'w', A::Required, "to", K::Own, 0, "to"},
    Option{"output", 'o', A::Required, "output-file", K::Own, W | NamesOutput, nullptr},
    Option{"data-dir", 0, A::Required, "data-dir", K::Text, R, nullptr},
    Option{"metadata", 'M', A::Required, "metadata", K::Map, 0, nullptr},
    Option{"metadata-file", 0, A::Required, "metadata-files", K::List, R, nullptr},
    Option{"defaults", 'd', A::Required, "defaults", K::Own, R | ReadsDefaults, nullptr},
    Option{"file-scope", 0, A::None, "file-scope", K::Flag, 0, nullptr},
    Option{"sandbox", 0, A::None, "sandbox", K::Flag, 0, nullptr},
    Option{"standalone", 's', A::None, "standalone", K::Own, 0, nullptr},
    Option{"template", 0, A::Required, "template", K::Own, R, nullptr},
    Option{"variable", 'V', A::Required, "variables", K::Map, 0, nullptr},
    Option{"wrap", 0, A::Required, "wrap", K::Text, 0, nullptr},
    Option{"ascii", 0, A::None, "ascii", K::Flag, 0, nullptr},
    Option{"toc", 0, A::None, "table-of-contents", K::Own, 0, nullptr},
    Option{"table-of-contents", 0, A::None, "table-of-contents", K::Own, 0, "toc"},
    Option{"toc-depth", 0, A::Required, "toc-depth", K::Number, 0, nullptr},
    Option{"number-sections", 'N', A::None, "number-sections", K::Own, 0, nullptr},
    Option{"number-offset", 0, A::Required, "number-offset", K::Own, 0, nullptr},
    Option{"top-level-division", 0, A::Required, "top-level-division", K::Text, 0, nullptr},
    Option{"extract-media", 0, A::Required, "extract-media", K::Text, W, nullptr},
    Option{"resource-path", 0, A::Required, "resource-path", K::Own, R, nullptr},
    Option{"include-in-header", 'H', A::Required, "include-in-header", K::List, R, nullptr},
    Option{"include-before-body", 'B', A::Required, "include-before-body", K::List, R, nullptr},
    Option{"include-after-body", 'A', A::Required, "include-after-body", K::List, R, nullptr},
    Option{"no-highlight", 0, A::None, "highlight-style", K::Own, 0, nullptr},
    Option{"highlight-style", 0, A::Required, "highlight-style", K::Text, R, nullptr},
    Option{"syntax-definition", 0, A::Required, "syntax-definitions", K::List, R, nullptr},
    Option{"dpi", 0, A::Required, "dpi", K::Number, 0, nullptr},
    Option{"eol", 0, A::Required, "eol", K::Text, 0, nullptr},
    Option{"columns", 0, A::Required, "columns", K::Number, 0, nullptr},
    Option{"preserve-tabs", 'p', A::None, "preserve-tabs", K::Flag, 0, nullptr},
    Option{"tab-stop", 0, A::Required, "tab-stop", K::Number, 0, nullptr},
    Option{"pdf-engine", 0, A::Required, "pdf-engine", K::Own, X, nullptr},
    // Options of the engine can make it run programs (-shell-escape).
    Option{"pdf-engine-opt", 0, A::Required, "pdf-engine-opts", K::List, X, nullptr},
    Option{"reference-doc", 0, A::Required, "reference-doc", K::Own, R, nullptr},
    Option{"self-contained", 0, A::None, "self-contained", K::Flag, R, nullptr},
    Option{"embed-resources", 0, A::None, "embed-resources", K::Flag, R, nullptr},
    Option{"request-header", 0, A::Required, "request-headers", K::None, 0, nullptr},
    Option{"no-check-certificate", 0, A::None, "no-check-certificate", K::Flag, 0, nullptr},
    Option{"abbreviations", 0, A::Required, "abbreviations", K::Text, R, nullptr},
    Option{"indented-code-classes", 0, A::Required, "indented-code-classes", K::Own, 0, nullptr},
    Option{"default-image-extension", 0, A::Required, "default-image-extension", K::Text, 0,
           nullptr},
    Option{"filter", 'F', A::Required, "filters", K::Own, X, nullptr},
    Option{"lua-filter", 'L', A::Required, "filters", K::Own, X, nullptr},
    Option{"shift-heading-level-by", 0, A::Required, "shift-heading-level-by", K::Number, 0,
           nullptr},
    Option{"base-header-level", 0, A::Required, "", K::None, 0, nullptr},
    Option{"strip-empty-paragraphs", 0, A::None, "", K::None, 0, nullptr},
    Option{"track-changes", 0, A::Required, "track-changes", K::Text, 0, nullptr},
    Option{"strip-comments", 0, A::None, "strip-comments", K::Flag, 0, nullptr},
    Option{"reference-links", 0, A::None, "reference-links", K::Flag, 0, nullptr},
    Option{"reference-location", 0, A::Required, "reference-location", K::Text, 0, nullptr},
    Option{"atx-headers", 0, A::None, "", K::None, 0, nullptr},
    Option{"markdown-headings", 0, A::Required, "markdown-headings", K::Text, 0, nullptr},
    Option{"listings", 0, A::None, "listings", K::Flag, 0, nullptr},
    Option{"incremental", 'i', A::None, "incremental", K::Flag, 0, nullptr},
    Option{"slide-level", 0, A::Required, "slide-level", K::Number, 0, nullptr},
    Option{"section-divs", 0, A::None, "section-divs", K::Flag, 0, nullptr},
    Option{"html-q-tags", 0, A::None, "html-q-tags", K::Flag, 0, nullptr},
    Option{"email-obfuscation", 0, A::Required, "email-obfuscation", K::Text, 0, nullptr},
    Option{"id-prefix", 0, A::Required, "identifier-prefix", K::Text, 0, nullptr},
    Option{"title-prefix", 'T', A::Required, "title-prefix", K::Text, 0, nullptr},
    Option{"css", 'c', A::Required, "css", K::Own, R, nullptr},
    Option{"epub-subdirectory", 0, A::Required, "epub-subdirectory", K::Text, 0, nullptr},
    Option{"epub-cover-image", 0, A::Required, "epub-cover-image", K::Text, R, nullptr},
    Option{"epub-metadata", 0, A::Required, "epub-metadata", K::Text, R, nullptr},
    Option{"epub-embed-font", 0, A::Required, "epub-fonts", K::List, R, nullptr},
    Option{"epub-chapter-level", 0, A::Required, "epub-chapter-level", K::Number, 0, nullptr},
    Option{"ipynb-output", 0, A::Required, "ipynb-output", K::Text, 0, nullptr},
    Option{"citeproc", 'C', A::None, "citeproc", K::Own, 0, nullptr},
    Option{"bibliography", 0, A::Required, "bibliography", K::Own, R, nullptr},
    Option{"csl", 0, A::Required, "csl", K::Own, R, nullptr},
    Option{"citation-abbreviations", 0, A::Required, "citation-abbreviations", K::Own, R, nullptr},
    Option{"natbib", 0, A::None, "cite-method", K::Own, 0, nullptr},
    Option{"biblatex", 0, A::None, "cite-method", K::Own, 0, nullptr},
    Option{"mathml", 0, A::None, "html-math-method", K::Own, 0, nullptr},
    Option{"webtex", 0, A::Optional, "html-math-method", K::Own, 0, nullptr},
    Option{"mathjax", 0, A::Optional, "html-math-method", K::Own, 0, nullptr},
    Option{"katex", 0, A::Optional, "html-math-method", K::Own, 0, nullptr},
    Option{"gladtex", 0, A::None, "html-math-method", K::Own, 0, nullptr},
    Option{"trace", 0, A::None, "trace", K::Flag, 0, nullptr},
    Option{"dump-args", 0, A::None, "dump-args", K::None, 0, nullptr},
    Option{"ignore-args", 0, A::None, "ignore-args", K::None, 0, nullptr},
    Option{"verbose", 0, A::None, "verbosity", K::Own, 0, nullptr},
    Option{"quiet", 0, A::None, "verbosity", K::Own, 0, nullptr},
    Option{"fail-if-warnings", 0, A::None, "fail-if-warnings", K::Flag, 0, nullptr},
    Option{"log", 0, A::Required, "log-file", K::Text, W, nullptr},
    Option{"bash-completion", 0, A::None, "", K::None, 0, nullptr},
    Option{"list-input-formats", 0, A::None, "", K::None, 0, nullptr},
    Option{"list-output-formats", 0, A::None, "", K::None, 0, nullptr},
    Option{"list-extensions", 0, A::Optional, "", K::None, 0, nullptr},
    Option{"list-highlight-languages", 0, A::None, "", K::None, 0, nullptr},
    Option{"list-highlight-styles", 0, A::None, "", K::None, 0, nullptr},
    Option{"print-default-template", 'D', A::Required, "", K::None, 0, nullptr},
    Option{"print-default-data-file", 0, A::Required, "", K::None, R, nullptr},
    Option{"print-highlight-style", 0, A::Required, "", K::None, R, nullptr},
    Option{"version", 'v', A::None, "", K::None, 0, nullptr},
    Option{"help", 'h', A::None, "", K::None, 0, nullptr},
};

bool isWordOption(const QString &word)
{
    return word.size() >= 2 && word.startsWith(u'-');
}

} // namespace

std::span<const Option> all()
{
    return kOptions;
}

const Option *byName(QStringView name)
{
    for (const Option &o : kOptions) {
        if (name == QLatin1StringView(o.name))
            return &o;
    }
    return nullptr;
}

const Option *byShortName(QChar shortName)
{
    for (const Option &o : kOptions) {
        if (o.shortName != 0 && shortName == QLatin1Char(o.shortName))
            return &o;
    }
    return nullptr;
}

const Option *byKey(QStringView key)
{
    // The option of that very name, where several share the key (highlight-style and
    // no-highlight).
    if (const Option *named = byName(key); named && key == QLatin1StringView(named->key))
        return named;
    for (const Option &o : kOptions) {
        if (o.canonical == nullptr && key == QLatin1StringView(o.key))
            return &o;
    }
    return nullptr;
}

QString canonicalName(const Option &option)
{
    return QLatin1StringView(option.canonical ? option.canonical : option.name);
}

const Option *byWrittenName(QStringView written)
{
    if (const Option *exact = byName(written))
        return exact;
    if (written.isEmpty())
        return nullptr;
    // Aliases of one option count once, as they do for pandoc.
    const Option *found = nullptr;
    for (const Option &o : kOptions) {
        if (!QLatin1StringView(o.name).startsWith(written))
            continue;
        if (found && canonicalName(*found) != canonicalName(o))
            return nullptr;
        found = &o;
    }
    return found;
}

Parsed parse(const QStringList &words)
{
    Parsed parsed;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words[i];
        if (word == u"--") {
            parsed.operands += words.mid(i + 1);
            break;
        }
        if (!isWordOption(word)) {
            parsed.operands << word;
            continue;
        }
        if (word.startsWith(u"--")) {
            const qsizetype eq = word.indexOf(u'=');
            const QString name = word.mid(2, eq < 0 ? -1 : eq - 2);
            Use use{byWrittenName(name), word.left(eq < 0 ? word.size() : eq), std::nullopt, i, 1};
            if (eq >= 0)
                use.value = word.mid(eq + 1);
            if (!use.option) {
                parsed.problems << word;
            } else if (use.option->arg == Arg::Required && !use.value) {
                // The next word is the value, whatever it looks like.
                if (i + 1 < words.size()) {
                    use.value = words[++i];
                    use.wordCount = 2;
                } else {
                    parsed.problems << word;
                }
            } else if (use.option->arg == Arg::None && use.value) {
                parsed.problems << word;
            }
            parsed.uses << use;
            continue;
        }
        // A bundle of short options: flags, then maybe one that takes the rest or the next word.
        for (qsizetype c = 1; c < word.size(); ++c) {
            const Option *option = byShortName(word.at(c));
            Use use{option, QStringLiteral("-") + word.at(c), std::nullopt, i, 1};
            if (!option) {
                parsed.problems << use.written;
                parsed.uses << use;
                continue;
            }
            if (option->arg != Arg::None) {
                if (c + 1 < word.size()) {
                    use.value = word.mid(c + 1);
                } else if (option->arg == Arg::Required && i + 1 < words.size()) {
                    use.value = words[++i];
                    use.wordCount = 2;
                } else if (option->arg == Arg::Required) {
                    parsed.problems << use.written;
                }
                parsed.uses << use;
                break;
            }
            parsed.uses << use;
        }
    }
    return parsed;
}

std::optional<Use> firstWith(const Parsed &parsed, unsigned effects)
{
    for (const Use &use : parsed.uses) {
        if (use.option && (use.option->effects & effects) != 0)
            return use;
    }
    return std::nullopt;
}

bool uses(const Parsed &parsed, QStringView canonicalName)
{
    return std::any_of(parsed.uses.begin(), parsed.uses.end(), [canonicalName](const Use &use) {
        return use.option && PandocOptions::canonicalName(*use.option) == canonicalName;
    });
}

QList<Use> takeUses(QStringList &words, const std::function<bool(const Option &)> &pick)
{
    QList<Use> taken;
    QStringList kept;
    qsizetype next = 0;
    for (const Use &use : parse(words).uses) {
        // A bundle such as -sN is one word: only its first use can take it.
        if (!use.option || use.firstWord < next || !pick(*use.option))
            continue;
        kept += words.mid(next, use.firstWord - next);
        next = use.firstWord + use.wordCount;
        taken << use;
    }
    kept += words.mid(next);
    words = kept;
    return taken;
}

} // namespace PandocOptions
