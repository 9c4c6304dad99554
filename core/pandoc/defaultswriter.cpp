#include "defaultsfile.h"
#include "defaultsyaml.h"

#include "optioncatalog.h"
#include "shellwords.h"

#include <yaml-cpp/yaml.h>

#include <map>
#include <vector>

namespace {

using namespace PandocOptions;

// --- writing ---

// A value of a key that comes from the extra options.
struct Extra
{
    Key kind = Key::Text;
    QString text;
    bool flag = false;
    QStringList items;
    std::vector<std::pair<QString, QString>> members; // value empty with `bare`: true
    std::vector<bool> bare;
};

class ExportState
{
public:
    explicit ExportState(const DefaultsSettings &s) : m_s(s) {}

    void apply(const QStringList &words, bool automatic = false);
    QByteArray render(const QString &title) const;
    QStringList unmapped() const { return m_unmapped; }

private:
    bool map(const Use &use, bool automatic);
    bool applyOwn(const QString &name, const std::optional<QString> &value);
    bool applyTable(const Option &option, const std::optional<QString> &value);
    Extra &extra(const QString &key, Key kind);

    DefaultsSettings m_s;
    std::vector<std::pair<QString, Extra>> m_extras;
    std::vector<std::pair<QString, QString>> m_filters; // type, path
    QStringList m_unmapped;
    QStringList m_moreBibliographies;
    // Written by "Automatisch": the engine and header lines get a comment of their own.
    QStringList m_automaticKeys;
};

Extra &ExportState::extra(const QString &key, Key kind)
{
    for (auto &[k, e] : m_extras) {
        if (k == key)
            return e;
    }
    m_extras.push_back({key, Extra{kind, {}, false, {}, {}, {}}});
    return m_extras.back().second;
}

bool ExportState::applyOwn(const QString &name, const std::optional<QString> &value)
{
    const QString v = value.value_or(QString());
    if (name == u"from" || name == u"read")
        m_s.from = v;
    else if (name == u"to" || name == u"write")
        m_s.to = v;
    else if (name == u"standalone")
        m_s.standalone = true;
    else if (name == u"toc" || name == u"table-of-contents")
        m_s.tableOfContents = true;
    else if (name == u"number-sections")
        m_s.numberSections = true;
    else if (name == u"template")
        m_s.templatePath = v;
    else if (name == u"css")
        m_s.cssPaths << v;
    else if (name == u"reference-doc")
        m_s.referenceDoc = v;
    else if (name == u"pdf-engine")
        m_s.pdfEngine = v;
    else if (name == u"citeproc") {
        // Its place among the filters is the order the converter applies them in.
        if (!m_s.citeproc || std::none_of(m_filters.begin(), m_filters.end(),
                                          [](const auto &f) { return f.first == u"citeproc"; }))
            m_filters.push_back({QStringLiteral("citeproc"), QString()});
        m_s.citeproc = true;
    } else if (name == u"bibliography") {
        // The chosen file and those of the extra options are all read.
        if (m_s.bibliography.isEmpty())
            m_s.bibliography = v;
        else
            m_moreBibliographies << v;
    } else if (name == u"csl")
        m_s.csl = v;
    else if (name == u"citation-abbreviations") {
        Extra &metadata = extra(QStringLiteral("metadata"), Key::Map);
        metadata.members.push_back({name, v});
        metadata.bare.push_back(false);
    } else if (name == u"filter" || name == u"lua-filter")
        m_filters.push_back(
            {name == u"filter" ? QStringLiteral("json") : QStringLiteral("lua"), v});
    else if (name == u"natbib" || name == u"biblatex")
        extra(QStringLiteral("cite-method"), Key::Text).text = name;
    else if (name == u"verbose" || name == u"quiet")
        extra(QStringLiteral("verbosity"), Key::Text).text =
            name == u"verbose" ? QStringLiteral("INFO") : QStringLiteral("ERROR");
    else if (name == u"no-highlight")
        // A null style is how the defaults file says "no highlighting".
        extra(QStringLiteral("highlight-style"), Key::Text).flag = true;
    else if (name == u"number-offset" || name == u"indented-code-classes" ||
             name == u"resource-path") {
        const QChar separator = name == u"resource-path" ? u':' : u',';
        Extra &e = extra(name, name == u"number-offset" ? Key::Number : Key::List);
        e.items = v.split(separator, Qt::SkipEmptyParts);
    } else if (name == u"mathjax" || name == u"mathml" || name == u"webtex" || name == u"katex" ||
               name == u"gladtex") {
        Extra &e = extra(QStringLiteral("html-math-method"), Key::Map);
        e.members = {{QStringLiteral("method"), name}};
        e.bare = {false};
        if (value) {
            e.members.push_back({QStringLiteral("url"), *value});
            e.bare.push_back(false);
        }
    } else
        return false;
    return true;
}

bool ExportState::applyTable(const Option &option, const std::optional<QString> &value)
{
    const QString key = QString::fromLatin1(option.key);
    Extra &e = extra(key, option.keyType);
    switch (option.keyType) {
    case Key::Flag:
        e.flag = true;
        break;
    case Key::Text:
    case Key::Number:
        e.text = *value;
        e.flag = false;
        break;
    case Key::List:
        e.items << *value;
        break;
    case Key::Map: {
        const qsizetype eq = value->indexOf(u'=');
        const qsizetype colon = value->indexOf(u':');
        // Both "key=value" and the older "key:value" are accepted by the converter.
        const qsizetype at = eq < 0 ? colon : (colon < 0 ? eq : std::min(eq, colon));
        e.members.push_back(
            {at < 0 ? *value : value->left(at), at < 0 ? QString() : value->mid(at + 1)});
        e.bare.push_back(at < 0);
        break;
    }
    default:
        return false;
    }
    return true;
}

bool ExportState::map(const Use &use, bool automatic)
{
    const Option *option = use.option;
    if (!option || option->keyType == Key::None || (option->arg == Arg::Required && !use.value) ||
        (option->arg == Arg::None && use.value) ||
        (option->effects & (NamesOutput | ReadsDefaults)))
        return false;
    const bool mapped = option->keyType == Key::Own ? applyOwn(canonicalName(*option), use.value)
                                                    : applyTable(*option, use.value);
    if (mapped && automatic)
        m_automaticKeys << QString::fromLatin1(option->key);
    return mapped;
}

void ExportState::apply(const QStringList &words, bool automatic)
{
    const Parsed parsed = parse(words);
    std::vector<bool> taken(size_t(words.size()), false);
    for (const Use &use : parsed.uses) {
        for (qsizetype i = use.firstWord; i < use.firstWord + use.wordCount; ++i)
            taken[size_t(i)] = true;
    }
    const auto keep = [this, &words](qsizetype first, qsizetype end) {
        QStringList quoted;
        for (qsizetype i = first; i < end; ++i)
            quoted << shellQuote(words[i]);
        m_unmapped << quoted.join(u' ');
    };
    // Uses of one word (a bundle such as -sN) stand or fall together in the comment.
    for (qsizetype u = 0; u < parsed.uses.size();) {
        const Use &head = parsed.uses[u];
        qsizetype end = head.firstWord + head.wordCount;
        bool mapped = true;
        for (; u < parsed.uses.size() && parsed.uses[u].firstWord == head.firstWord; ++u) {
            end = std::max(end, parsed.uses[u].firstWord + parsed.uses[u].wordCount);
            mapped = map(parsed.uses[u], automatic) && mapped;
        }
        // An unknown option's value usually follows it as the next word.
        if (!head.option && end < words.size() && !taken[size_t(end)])
            taken[size_t(end++)] = true;
        if (!mapped)
            keep(head.firstWord, end);
    }
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (!taken[size_t(i)] && words[i] != u"--")
            keep(i, i + 1);
    }
}

QByteArray ExportState::render(const QString &title) const
{
    YAML::Emitter out;
    out << YAML::BeginMap;
    if (!m_s.from.isEmpty())
        emitKey(out, "from"), emitText(out, m_s.from);
    emitKey(out, "to"), emitText(out, m_s.to);
    emitKey(out, "standalone"), out << m_s.standalone;
    emitKey(out, "table-of-contents"), out << m_s.tableOfContents;
    emitKey(out, "number-sections"), out << m_s.numberSections;
    if (!m_s.templatePath.isEmpty())
        emitKey(out, "template"), emitText(out, m_s.templatePath);
    if (!m_s.cssPaths.isEmpty()) {
        emitKey(out, "css");
        out << YAML::BeginSeq;
        for (const QString &css : m_s.cssPaths)
            emitText(out, css);
        out << YAML::EndSeq;
    }
    if (!m_s.referenceDoc.isEmpty())
        emitKey(out, "reference-doc"), emitText(out, m_s.referenceDoc);
    if (!m_s.pdfEngine.isEmpty())
        emitKey(out, "pdf-engine"), emitText(out, m_s.pdfEngine);
    // With filters, citeproc runs where the command line puts it.
    const bool placed = std::any_of(m_filters.begin(), m_filters.end(),
                                    [](const auto &f) { return f.first == u"citeproc"; });
    const bool otherFilters = std::any_of(m_filters.begin(), m_filters.end(),
                                          [](const auto &f) { return f.first != u"citeproc"; });
    if (m_s.citeproc && !otherFilters)
        emitKey(out, "citeproc"), out << true;
    QStringList bibliographies = m_moreBibliographies;
    if (m_s.citeproc && !m_s.bibliography.isEmpty())
        bibliographies.prepend(m_s.bibliography);
    if (bibliographies.size() == 1)
        emitKey(out, "bibliography"), emitText(out, bibliographies.first());
    else if (!bibliographies.isEmpty()) {
        emitKey(out, "bibliography");
        out << YAML::BeginSeq;
        for (const QString &file : std::as_const(bibliographies))
            emitText(out, file);
        out << YAML::EndSeq;
    }
    if (m_s.citeproc && !m_s.csl.isEmpty())
        emitKey(out, "csl"), emitText(out, m_s.csl);
    if (otherFilters) {
        emitKey(out, "filters");
        out << YAML::BeginSeq;
        const auto citeprocStep = [&out] {
            out << YAML::Flow << YAML::BeginMap << YAML::Key << "type" << YAML::Value << "citeproc"
                << YAML::EndMap;
        };
        // Citations given apart from the filters run before them, as on the command line.
        if (m_s.citeproc && !placed)
            citeprocStep();
        for (const auto &[type, path] : m_filters) {
            if (type == u"citeproc") {
                citeprocStep();
                continue;
            }
            out << YAML::BeginMap << YAML::Key << "type" << YAML::Value << utf8(type);
            out << YAML::Key << "path" << YAML::Value;
            emitText(out, path);
            out << YAML::EndMap;
        }
        out << YAML::EndSeq;
    }
    for (const auto &[key, e] : m_extras) {
        const std::string k = utf8(key);
        out << YAML::Key << k << YAML::Value;
        switch (e.kind) {
        case Key::Flag:
            out << e.flag;
            break;
        case Key::Text:
            if (e.flag)
                out << YAML::Null;
            else
                emitText(out, e.text);
            break;
        case Key::Number:
            if (e.items.isEmpty()) {
                emitNumber(out, e.text);
                break;
            }
            out << YAML::Flow << YAML::BeginSeq;
            for (const QString &item : e.items)
                emitNumber(out, item);
            out << YAML::EndSeq;
            break;
        case Key::List:
            out << YAML::BeginSeq;
            for (const QString &item : e.items)
                emitText(out, item);
            out << YAML::EndSeq;
            break;
        case Key::Map:
            // pandoc reads "-M key=false" as the boolean, "-V key=false" as text.
            emitMembers(out, e.members, e.bare, key == u"metadata");
            break;
        case Key::None:
        case Key::Own:
            break;
        }
    }
    out << YAML::EndMap;

    // Comments must stay on one line each.
    const auto oneLine = [](QString text) {
        return text.replace(u'\r', QStringLiteral("\\r")).replace(u'\n', QStringLiteral("\\n"));
    };
    QByteArray text = "# Velunor: " + oneLine(title).toUtf8() +
                      "\n# Aufruf: pandoc --defaults DIESE-DATEI eingabe.md -o ausgabe\n";
    QStringList automaticKeys = m_automaticKeys;
    automaticKeys.removeDuplicates();
    if (!automaticKeys.isEmpty())
        text += "# PDF-Engine „Automatisch“: was sie für diese Eingabe wählte, steht unter " +
                automaticKeys.join(QStringLiteral(", ")).toUtf8() +
                "; Velunor liest daraus wieder „Automatisch“.\n"
                "# velunor-pdf-engine: Automatisch\n";
    text += QByteArray(out.c_str(), qsizetype(out.size()));
    text += '\n';
    if (!m_unmapped.isEmpty()) {
        text += "# Ohne Schlüssel in Defaults-Dateien, beim Aufruf anzugeben:\n";
        for (const QString &group : m_unmapped)
            text += "#   " + oneLine(group).toUtf8() + '\n';
    }
    return text;
}

} // namespace

DefaultsExport writeDefaults(const DefaultsSettings &settings, const QString &title)
{
    ExportState state(settings);
    state.apply(settings.automaticPdfArguments, true);
    state.apply(settings.extraOptions);
    return {state.render(title), state.unmapped()};
}
