// Reading pandoc defaults files into the settings a preset can hold.
#include "defaultsfile.h"

#include "defaultsyaml.h"
#include "optioncatalog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <yaml-cpp/yaml.h>

namespace {

using namespace PandocOptions;

constexpr int kMaxIncludeDepth = 10;
constexpr int kMaxFiles = 64;

class Reader
{
public:
    explicit Reader(DefaultsImport &result) : m_r(result) {}
    void readFile(const QString &path, QStringList chain);

private:
    void applyKey(const QString &key, const YAML::Node &value);
    void applyMetadata(const YAML::Node &map, const QString &option, const QString &key);
    void applyFilters(const YAML::Node &list);
    void applyTableKey(const Option &option, const QString &key, const YAML::Node &value);
    // A value as a path: a file written or a program run gets its fixed place.
    QString pathValue(const Option &option, const QString &key, const QString &value);
    static const QHash<QString, QString> &singularKeys();
    // "${.}", "${USERDATA}" and environment variables expanded, as pandoc does.
    QString expand(const QString &path) const;
    // Expanded, and made absolute when it names a file beside the defaults file.
    QString resolve(const QString &path) const;
    // Expanded and made absolute against the defaults file's folder.
    QString absolute(const QString &path) const;
    // A key that writes a file or runs a program; returns the path a preset keeps.
    QString effect(const QString &key, const QString &value, unsigned effects);
    // A filter beside the defaults file, or one pandoc looks for by name.
    QString filterPath(const QString &path);
    void addOption(const QString &name, const QString &value = QString())
    {
        m_r.settings.extraOptions << QStringLiteral("--") + name;
        if (!value.isNull())
            m_r.settings.extraOptions << value;
    }

    DefaultsImport &m_r;
    QString m_folder;
    QString m_file;
    QSet<QString> m_read;
};

// "${.}" is the file's own folder; other variables come from the environment; a relative
// path that names a file beside the defaults file is made absolute, anything else stays.
QString Reader::expand(const QString &path) const
{
    static const QRegularExpression variable(QStringLiteral("\\$\\{([^}]*)\\}"));
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString out;
    qsizetype last = 0;
    for (auto it = variable.globalMatch(path); it.hasNext();) {
        const auto m = it.next();
        out += path.mid(last, m.capturedStart() - last);
        const QString name = m.captured(1);
        if (name == u".")
            out += m_folder;
        else if (name == u"USERDATA")
            out += QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                   QStringLiteral("/pandoc");
        else
            out += env.value(name);
        last = m.capturedEnd();
    }
    out += path.mid(last);
    return out;
}

QString Reader::resolve(const QString &path) const
{
    const QString out = expand(path);
    if (!out.isEmpty() && QFileInfo(out).isRelative() && QFileInfo::exists(m_folder + u'/' + out))
        return QDir::cleanPath(m_folder + u'/' + out);
    return out;
}

QString Reader::absolute(const QString &path) const
{
    const QString out = expand(path);
    return out.isEmpty() ? out : QDir::cleanPath(QDir(m_folder).absoluteFilePath(out));
}

QString Reader::filterPath(const QString &path)
{
    const QString expanded = expand(path);
    m_r.effects.append({QStringLiteral("filters"), expanded, m_file, Runs});
    // A bare name that is not beside the file is looked for in pandoc's data folder and
    // on the search path; anything else is a path.
    if (!expanded.contains(u'/') && !QFileInfo::exists(m_folder + u'/' + expanded))
        return expanded;
    return absolute(path);
}

QString Reader::effect(const QString &key, const QString &value, unsigned effects)
{
    m_r.effects.append({key, expand(value), m_file, effects});
    return absolute(value);
}

void Reader::readFile(const QString &path, QStringList chain)
{
    const QFileInfo info(path);
    const QString name = info.fileName();
    const QString identity = info.canonicalFilePath();
    if (!info.isFile() || identity.isEmpty())
        throw ReadError(QStringLiteral("Datei nicht gefunden: ") + path);
    if (chain.contains(identity))
        throw ReadError(QStringLiteral("„defaults“ bildet eine Schleife über ") + name);
    if (chain.size() >= kMaxIncludeDepth)
        throw ReadError(QStringLiteral("„defaults“ ist zu tief verschachtelt: ") + name);
    // A file included twice says nothing new; reading it again would let a few files that
    // include each other many times cost millions of reads.
    if (m_read.contains(identity))
        return;
    if (m_read.size() >= kMaxFiles)
        throw ReadError(QStringLiteral("„defaults“ bindet mehr als ") + QString::number(kMaxFiles) +
                        QStringLiteral(" Dateien ein"));
    m_read.insert(identity);
    const LoadedYaml loaded = loadDefaultsYaml(path, name);
    if (loaded.automaticMark)
        m_r.automaticPdfEngine = true;
    const YAML::Node &root = loaded.root;
    if (!root.IsMap())
        throw ReadError(name + QStringLiteral(" enthält keine Zuordnung von Schlüsseln zu Werten"));

    chain << identity;
    const QString folder = info.absolutePath();
    // Included files come first: the including file's own keys take priority.
    if (const YAML::Node includes = root["defaults"]; includes && !includes.IsNull()) {
        m_folder = folder;
        for (QString include : toTexts(includes, QStringLiteral("defaults"))) {
            include = resolve(include);
            QString target = QDir(folder).absoluteFilePath(include);
            if (!QFileInfo(target).isFile() && QFileInfo(target).suffix().isEmpty())
                target += QStringLiteral(".yaml");
            readFile(target, chain);
        }
    }
    m_folder = folder;
    m_file = path;
    for (const auto &entry : root) {
        if (!entry.first.IsScalar())
            throw ReadError(name + QStringLiteral(": ein Schlüssel ist kein Text"));
        const QString key = fromUtf8(entry.first.Scalar());
        if (key != u"defaults")
            applyKey(key, entry.second);
    }
}

void Reader::applyMetadata(const YAML::Node &map, const QString &option, const QString &key)
{
    if (!map.IsMap())
        wrongType(key, "Zuordnung");
    for (const auto &entry : map) {
        const QString name = toText(entry.first, key);
        const YAML::Node &value = entry.second;
        if (option == u"metadata" && (name == u"bibliography" || name == u"csl")) {
            applyKey(name, value);
        } else if (isBool(value)) {
            addOption(option, toBool(value, name) ? name : name + QStringLiteral("=false"));
        } else if (value.IsScalar()) {
            addOption(option, name + u'=' + fromUtf8(value.Scalar()));
        } else if (value.IsSequence() && std::all_of(value.begin(), value.end(),
                                                     [](const auto &v) { return v.IsScalar(); })) {
            // A list (several authors) is the key given once per item.
            for (const YAML::Node &item : value) {
                const bool flag = isBool(item);
                const QString text = flag ? (toBool(item, name) ? "true" : "false") : "";
                addOption(option, name + u'=' + (flag ? text : fromUtf8(item.Scalar())));
            }
        } else {
            m_r.unsupportedKeys << key + u'.' + name;
        }
    }
}

void Reader::applyFilters(const YAML::Node &list)
{
    if (!list.IsSequence())
        wrongType(QStringLiteral("filters"), "Liste");
    for (const YAML::Node &filter : list) {
        QString type;
        QString path;
        if (filter.IsScalar()) {
            path = fromUtf8(filter.Scalar());
            type = path == u"citeproc"      ? QStringLiteral("citeproc")
                   : path.endsWith(u".lua") ? QStringLiteral("lua")
                                            : QStringLiteral("json");
        } else if (filter.IsMap()) {
            type = filter["type"] ? toText(filter["type"], QStringLiteral("filters.type"))
                                  : QStringLiteral("json");
            if (filter["path"])
                path = toText(filter["path"], QStringLiteral("filters.path"));
        } else {
            wrongType(QStringLiteral("filters"), "Text oder Zuordnung");
        }
        if (type == u"citeproc")
            addOption(QStringLiteral("citeproc"));
        else if (type == u"lua" || type == u"json")
            addOption(type == u"lua" ? QStringLiteral("lua-filter") : QStringLiteral("filter"),
                      filterPath(path));
        else
            wrongType(QStringLiteral("filters.type"), "citeproc, lua oder json");
    }
}

const QHash<QString, QString> &Reader::singularKeys()
{
    // pandoc takes the one-item form of these list keys too.
    static const QHash<QString, QString> keys{
        {QStringLiteral("metadata-file"), QStringLiteral("metadata-files")},
        {QStringLiteral("syntax-definition"), QStringLiteral("syntax-definitions")},
        {QStringLiteral("pdf-engine-opt"), QStringLiteral("pdf-engine-opts")}};
    return keys;
}

QString Reader::pathValue(const Option &option, const QString &key, const QString &value)
{
    if (option.effects & Writes)
        return effect(key, value, option.effects);
    if (option.effects & Runs) { // engine options: not a path, but asked about
        effect(key, value, option.effects);
        return value;
    }
    return option.effects & Reads ? resolve(value) : value;
}

void Reader::applyTableKey(const Option &option, const QString &key, const YAML::Node &value)
{
    const QString name = QString::fromLatin1(option.name);
    switch (option.keyType) {
    case Key::Flag:
        if (toBool(value, key))
            addOption(name);
        break;
    case Key::Text:
    case Key::Number:
        addOption(name, pathValue(option, key, toText(value, key)));
        break;
    case Key::List:
        for (const QString &item : toTexts(value, key))
            addOption(name, pathValue(option, key, item));
        break;
    case Key::Map:
        applyMetadata(value, name, key);
        break;
    default:
        break;
    }
}

void Reader::applyKey(const QString &key, const YAML::Node &value)
{
    DefaultsSettings &s = m_r.settings;
    if (key == u"from" || key == u"reader")
        s.from = value.IsNull() ? QString() : toText(value, key);
    else if (key == u"to" || key == u"writer")
        s.to = value.IsNull() ? QString() : toText(value, key);
    else if (key == u"standalone")
        s.standalone = toBool(value, key);
    else if (key == u"table-of-contents" || key == u"toc")
        s.tableOfContents = toBool(value, key);
    else if (key == u"number-sections")
        s.numberSections = toBool(value, key);
    else if (key == u"template")
        s.templatePath = value.IsNull() ? QString() : resolve(toText(value, key));
    else if (key == u"css") {
        for (const QString &css : toTexts(value, key))
            s.cssPaths << resolve(css);
    } else if (key == u"reference-doc")
        s.referenceDoc = resolve(toText(value, key));
    else if (key == u"pdf-engine") {
        s.pdfEngine = toText(value, key);
        // A bare engine name is searched on the absolute search path; a path is a program.
        if (s.pdfEngine.contains(u'/') || s.pdfEngine.contains(u"${"))
            s.pdfEngine = effect(key, s.pdfEngine, Runs);
    } else if (key == u"output-file") {
        if (!value.IsNull())
            effect(key, toText(value, key), Writes | NamesOutput);
        m_r.unsupportedKeys << key;
    } else if (key == u"citeproc")
        s.citeproc = toBool(value, key);
    else if (key == u"bibliography") {
        const QStringList files = toTexts(value, key);
        for (qsizetype i = 0; i < files.size(); ++i) {
            // A preset holds one bibliography; further ones go on as options.
            if (i == 0 && s.bibliography.isEmpty())
                s.bibliography = resolve(files[i]);
            else
                addOption(key, resolve(files[i]));
        }
    } else if (key == u"csl")
        s.csl = resolve(toText(value, key));
    else if (key == u"metadata")
        applyMetadata(value, QStringLiteral("metadata"), key);
    else if (key == u"variables")
        applyMetadata(value, QStringLiteral("variable"), key);
    else if (key == u"filters")
        applyFilters(value);
    else if (key == u"cite-method") {
        const QString method = toText(value, key);
        if (method == u"natbib" || method == u"biblatex")
            addOption(method);
        else if (method != u"citeproc")
            wrongType(key, "citeproc, natbib oder biblatex");
    } else if (key == u"verbosity") {
        const QString level = toText(value, key);
        if (level == u"INFO")
            addOption(QStringLiteral("verbose"));
        else if (level == u"ERROR")
            addOption(QStringLiteral("quiet"));
        else if (level != u"WARNING")
            wrongType(key, "ERROR, WARNING oder INFO");
    } else if (key == u"html-math-method") {
        if (!value.IsMap() || !value["method"])
            wrongType(key, "Zuordnung mit „method“");
        const QString method = toText(value["method"], key);
        const QString url = value["url"] ? toText(value["url"], key) : QString();
        if (method != u"plain")
            addOption(url.isEmpty() ? method : method + u'=' + url);
    } else if (key == u"highlight-style" && value.IsNull())
        addOption(QStringLiteral("no-highlight"));
    else if (key == u"number-offset" || key == u"indented-code-classes" ||
             key == u"resource-path") {
        const QString separator =
            key == u"resource-path" ? QStringLiteral(":") : QStringLiteral(",");
        addOption(key + u'=' + toTexts(value, key).join(separator));
    } else if (const Option *option = byKey(singularKeys().value(key, key));
               option && (option->keyType == Key::Flag || option->keyType == Key::Text ||
                          option->keyType == Key::Number || option->keyType == Key::List ||
                          option->keyType == Key::Map)) {
        applyTableKey(*option, key, value);
    } else {
        // Keys of pandoc's that a preset cannot hold: inputs, request headers, wrapper flags.
        const bool known = key == u"input-file" || key == u"input-files" ||
                           key == u"citation-abbreviations" || byKey(key) != nullptr;
        (known ? m_r.unsupportedKeys : m_r.unknownKeys) << key;
    }
}

// The writer spelled out what "Automatisch" chose; a preset goes back to choosing per file.
void forgetAutomaticChoice(DefaultsImport &result)
{
    DefaultsSettings &s = result.settings;
    s.pdfEngine.clear();
    QStringList kept;
    for (qsizetype i = 0; i < s.extraOptions.size(); ++i) {
        const QString &word = s.extraOptions[i];
        if (word == u"--include-in-header" && i + 1 < s.extraOptions.size()) {
            const QString file = QFileInfo(s.extraOptions[i + 1]).fileName();
            if ((file.startsWith(QStringLiteral("script-fonts")) ||
                 file.startsWith(QStringLiteral("unicode-fonts"))) &&
                file.endsWith(u".tex")) {
                ++i;
                continue;
            }
        }
        kept << word;
    }
    s.extraOptions = kept;
    result.effects.removeIf([](const DefaultsEffect &e) { return e.key == u"pdf-engine"; });
}

} // namespace

DefaultsImport readDefaults(const QString &path)
{
    DefaultsImport result;
    try {
        Reader(result).readFile(QFileInfo(path).absoluteFilePath(), {});
    } catch (const ReadError &e) {
        result = DefaultsImport();
        result.error = QString::fromStdString(e.what());
    } catch (const YAML::Exception &e) {
        result = DefaultsImport();
        result.error = QStringLiteral("YAML: ") + fromUtf8(e.msg);
    }
    if (result.automaticPdfEngine)
        forgetAutomaticChoice(result);
    result.unknownKeys.removeDuplicates();
    result.unsupportedKeys.removeDuplicates();
    return result;
}
