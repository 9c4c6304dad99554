#include "defaultsfile.h"

#include "defaultsoptions.h"
#include "shellwords.h"

#include <yaml-cpp/yaml.h>

#include <map>
#include <vector>

namespace {

std::string utf8(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// --- writing ---

// A value of a key that comes from the extra options.
struct Extra
{
    DefaultsKind kind = DefaultsKind::Text;
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

    void apply(const QStringList &words);
    QByteArray render(const QString &title) const;
    QStringList unmapped() const { return m_unmapped; }

private:
    bool applySpecial(const QString &name, const std::optional<QString> &value);
    bool applyTable(const DefaultsOption &option, const std::optional<QString> &value);
    Extra &extra(const QString &key, DefaultsKind kind);
    static bool takesValue(const QString &longName);

    DefaultsSettings m_s;
    std::vector<std::pair<QString, Extra>> m_extras;
    std::vector<std::pair<QString, QString>> m_filters; // type, path
    QStringList m_unmapped;
};

Extra &ExportState::extra(const QString &key, DefaultsKind kind)
{
    for (auto &[k, e] : m_extras) {
        if (k == key)
            return e;
    }
    m_extras.push_back({key, Extra{kind, {}, false, {}, {}, {}}});
    return m_extras.back().second;
}

bool ExportState::takesValue(const QString &name)
{
    static const QStringList withValue{QStringLiteral("from"),
                                       QStringLiteral("read"),
                                       QStringLiteral("to"),
                                       QStringLiteral("write"),
                                       QStringLiteral("template"),
                                       QStringLiteral("css"),
                                       QStringLiteral("reference-doc"),
                                       QStringLiteral("pdf-engine"),
                                       QStringLiteral("bibliography"),
                                       QStringLiteral("csl"),
                                       QStringLiteral("filter"),
                                       QStringLiteral("lua-filter"),
                                       QStringLiteral("number-offset"),
                                       QStringLiteral("indented-code-classes"),
                                       QStringLiteral("resource-path"),
                                       QStringLiteral("output"),
                                       QStringLiteral("defaults"),
                                       QStringLiteral("citation-abbreviations")};
    if (withValue.contains(name))
        return true;
    const DefaultsOption *option = findOptionByName(name);
    return option && option->kind != DefaultsKind::Flag;
}

bool ExportState::applySpecial(const QString &name, const std::optional<QString> &value)
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
    else if (name == u"citeproc")
        m_s.citeproc = true;
    else if (name == u"bibliography")
        m_s.bibliography = v;
    else if (name == u"csl")
        m_s.csl = v;
    else if (name == u"citation-abbreviations") {
        Extra &metadata = extra(QStringLiteral("metadata"), DefaultsKind::Map);
        metadata.members.push_back({name, v});
        metadata.bare.push_back(false);
    } else if (name == u"filter" || name == u"lua-filter")
        m_filters.push_back(
            {name == u"filter" ? QStringLiteral("json") : QStringLiteral("lua"), v});
    else if (name == u"natbib" || name == u"biblatex")
        extra(QStringLiteral("cite-method"), DefaultsKind::Text).text = name;
    else if (name == u"verbose" || name == u"quiet")
        extra(QStringLiteral("verbosity"), DefaultsKind::Text).text =
            name == u"verbose" ? QStringLiteral("INFO") : QStringLiteral("ERROR");
    else if (name == u"no-highlight")
        // A null style is how the defaults file says "no highlighting".
        extra(QStringLiteral("highlight-style"), DefaultsKind::Text).flag = true;
    else if (name == u"number-offset" || name == u"indented-code-classes" ||
             name == u"resource-path") {
        const QChar separator = name == u"resource-path" ? u':' : u',';
        Extra &e =
            extra(name, name == u"number-offset" ? DefaultsKind::Number : DefaultsKind::List);
        e.items = v.split(separator, Qt::SkipEmptyParts);
    } else if (name == u"mathjax" || name == u"mathml" || name == u"webtex" || name == u"katex" ||
               name == u"gladtex") {
        Extra &e = extra(QStringLiteral("html-math-method"), DefaultsKind::Map);
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

bool ExportState::applyTable(const DefaultsOption &option, const std::optional<QString> &value)
{
    const QString key = QString::fromLatin1(option.key);
    Extra &e = extra(key, option.kind);
    switch (option.kind) {
    case DefaultsKind::Flag:
        e.flag = true;
        break;
    case DefaultsKind::Text:
    case DefaultsKind::Number:
        e.text = *value;
        e.flag = false;
        break;
    case DefaultsKind::List:
        e.items << *value;
        break;
    case DefaultsKind::Map: {
        const qsizetype eq = value->indexOf(u'=');
        const qsizetype colon = value->indexOf(u':');
        // Both "key=value" and the older "key:value" are accepted by the converter.
        const qsizetype at = eq < 0 ? colon : (colon < 0 ? eq : std::min(eq, colon));
        e.members.push_back(
            {at < 0 ? *value : value->left(at), at < 0 ? QString() : value->mid(at + 1)});
        e.bare.push_back(at < 0);
        break;
    }
    }
    return true;
}

void ExportState::apply(const QStringList &words)
{
    static const QStringList flags{QStringLiteral("standalone"),
                                   QStringLiteral("toc"),
                                   QStringLiteral("table-of-contents"),
                                   QStringLiteral("number-sections"),
                                   QStringLiteral("citeproc"),
                                   QStringLiteral("natbib"),
                                   QStringLiteral("biblatex"),
                                   QStringLiteral("verbose"),
                                   QStringLiteral("quiet"),
                                   QStringLiteral("no-highlight"),
                                   QStringLiteral("mathjax"),
                                   QStringLiteral("mathml"),
                                   QStringLiteral("webtex"),
                                   QStringLiteral("katex"),
                                   QStringLiteral("gladtex")};
    static const std::map<QChar, QString> shortNames{
        {u'f', QStringLiteral("from")},       {u'r', QStringLiteral("from")},
        {u't', QStringLiteral("to")},         {u'w', QStringLiteral("to")},
        {u's', QStringLiteral("standalone")}, {u'N', QStringLiteral("number-sections")},
        {u'c', QStringLiteral("css")},        {u'C', QStringLiteral("citeproc")},
        {u'F', QStringLiteral("filter")},     {u'L', QStringLiteral("lua-filter")},
        {u'o', QStringLiteral("output")},     {u'd', QStringLiteral("defaults")}};

    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words[i];
        QString name;
        std::optional<QString> value;
        bool needsValue = false;
        if (word.startsWith(u"--") && word.size() > 2) {
            const qsizetype eq = word.indexOf(u'=');
            name = word.mid(2, eq < 0 ? -1 : eq - 2);
            if (eq >= 0)
                value = word.mid(eq + 1);
            needsValue = takesValue(name);
        } else if (word.startsWith(u'-') && word.size() >= 2 && word[1] != u'-') {
            const QChar c = word[1];
            const auto it = shortNames.find(c);
            const DefaultsOption *option = findOptionByShortName(c);
            name = it != shortNames.end() ? it->second
                   : option               ? QString::fromLatin1(option->longName)
                                          : QString();
            if (word.size() > 2)
                value = word.mid(2);
            needsValue = shortOptionTakesValue(c);
            if (name.isEmpty() || (value && !needsValue))
                name.clear();
        }
        QStringList group{word};
        if (needsValue && !value && i + 1 < words.size()) {
            value = words[++i];
            group << *value;
        }
        const bool known = !name.isEmpty() && (!needsValue || value) &&
                           (needsValue || !value || flags.contains(name)) && name != u"output" &&
                           name != u"defaults";
        bool mapped = false;
        if (known) {
            if (const DefaultsOption *option = findOptionByName(name))
                mapped = applyTable(*option, value);
            else
                mapped = applySpecial(name, value);
        }
        if (!mapped) {
            // An unknown option's value usually follows it as the next word.
            if (!needsValue && !value && word.startsWith(u'-') && i + 1 < words.size() &&
                !words[i + 1].startsWith(u'-'))
                group << words[++i];
            QStringList quoted;
            for (const QString &w : group)
                quoted << shellQuote(w);
            m_unmapped << quoted.join(u' ');
        }
    }
}

void emitText(YAML::Emitter &out, const QString &text)
{
    out << YAML::DoubleQuoted << utf8(text);
}

void emitKey(YAML::Emitter &out, const char *key)
{
    out << YAML::Key << key << YAML::Value;
}

void emitNumber(YAML::Emitter &out, const QString &text)
{
    bool ok = false;
    const long long n = text.toLongLong(&ok);
    if (ok)
        out << n;
    else
        emitText(out, text);
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
    // With filters, citeproc runs where the command line puts it: before them.
    if (m_s.citeproc && m_filters.empty())
        emitKey(out, "citeproc"), out << true;
    if (m_s.citeproc && !m_s.bibliography.isEmpty())
        emitKey(out, "bibliography"), emitText(out, m_s.bibliography);
    if (m_s.citeproc && !m_s.csl.isEmpty())
        emitKey(out, "csl"), emitText(out, m_s.csl);
    if (!m_filters.empty()) {
        emitKey(out, "filters");
        out << YAML::BeginSeq;
        if (m_s.citeproc)
            out << YAML::Flow << YAML::BeginMap << YAML::Key << "type" << YAML::Value << "citeproc"
                << YAML::EndMap;
        for (const auto &[type, path] : m_filters) {
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
        case DefaultsKind::Flag:
            out << e.flag;
            break;
        case DefaultsKind::Text:
            if (e.flag)
                out << YAML::Null;
            else
                emitText(out, e.text);
            break;
        case DefaultsKind::Number:
            if (e.items.isEmpty()) {
                emitNumber(out, e.text);
                break;
            }
            out << YAML::Flow << YAML::BeginSeq;
            for (const QString &item : e.items)
                emitNumber(out, item);
            out << YAML::EndSeq;
            break;
        case DefaultsKind::List:
            out << YAML::BeginSeq;
            for (const QString &item : e.items)
                emitText(out, item);
            out << YAML::EndSeq;
            break;
        case DefaultsKind::Map:
            out << YAML::BeginMap;
            for (size_t i = 0; i < e.members.size(); ++i) {
                out << YAML::Key << YAML::DoubleQuoted << utf8(e.members[i].first) << YAML::Value;
                if (e.bare[i])
                    out << true;
                else
                    emitText(out, e.members[i].second);
            }
            out << YAML::EndMap;
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
    state.apply(settings.extraOptions);
    return {state.render(title), state.unmapped()};
}
