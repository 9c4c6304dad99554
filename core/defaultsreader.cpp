// Reading pandoc defaults files into the settings a preset can hold.
#include "defaultsfile.h"

#include "defaultsoptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringDecoder>

#include <yaml-cpp/yaml.h>

#include <stdexcept>

namespace {

constexpr qint64 kMaxDefaultsSize = 1024 * 1024;
constexpr int kMaxIncludeDepth = 16;

// Ends the reading with one message; no preset comes of it.
struct ReadError : std::runtime_error
{
    explicit ReadError(const QString &message) : std::runtime_error(message.toStdString()) {}
};

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

[[noreturn]] void wrongType(const QString &key, const char *expected)
{
    throw ReadError(QStringLiteral("„") + key +
                    QStringLiteral("“ hat den falschen Typ (erwartet: ") +
                    QString::fromUtf8(expected) + u')');
}

bool isBool(const YAML::Node &node)
{
    static const QStringList words{QStringLiteral("true"),  QStringLiteral("True"),
                                   QStringLiteral("TRUE"),  QStringLiteral("false"),
                                   QStringLiteral("False"), QStringLiteral("FALSE")};
    return node.IsScalar() && node.Tag() != "!" && words.contains(fromUtf8(node.Scalar()));
}

bool toBool(const YAML::Node &node, const QString &key)
{
    if (!isBool(node))
        wrongType(key, "true oder false");
    return fromUtf8(node.Scalar()).toLower() == u"true";
}

QString toText(const YAML::Node &node, const QString &key)
{
    if (!node.IsScalar())
        wrongType(key, "Text");
    return fromUtf8(node.Scalar());
}

// A text or a list of texts.
QStringList toTexts(const YAML::Node &node, const QString &key)
{
    if (node.IsScalar())
        return {fromUtf8(node.Scalar())};
    if (!node.IsSequence())
        wrongType(key, "Text oder Liste von Texten");
    QStringList items;
    for (const YAML::Node &item : node)
        items << toText(item, key);
    return items;
}

class Reader
{
public:
    explicit Reader(DefaultsImport &result) : m_r(result) {}
    void readFile(const QString &path, QStringList chain);

private:
    void applyKey(const QString &key, const YAML::Node &value);
    void applyMetadata(const YAML::Node &map, const QString &option, const QString &key);
    void applyFilters(const YAML::Node &list);
    QString resolve(const QString &path) const;
    void addOption(const QString &name, const QString &value = QString())
    {
        m_r.settings.extraOptions << QStringLiteral("--") + name;
        if (!value.isNull())
            m_r.settings.extraOptions << value;
    }

    DefaultsImport &m_r;
    QString m_folder;
};

// "${.}" is the file's own folder; other variables come from the environment; a relative
// path that names a file beside the defaults file is made absolute, anything else stays.
QString Reader::resolve(const QString &path) const
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
    if (!out.isEmpty() && QFileInfo(out).isRelative() && QFileInfo::exists(m_folder + u'/' + out))
        return QDir::cleanPath(m_folder + u'/' + out);
    return out;
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
    if (info.size() > kMaxDefaultsSize)
        throw ReadError(name + QStringLiteral(" ist zu groß"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ReadError(name + QStringLiteral(": ") + file.errorString());
    const QByteArray data = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(data);
    if (decoder.hasError())
        throw ReadError(name + QStringLiteral(" ist kein UTF-8-Text"));

    YAML::Node root;
    try {
        root = YAML::Load(std::string(data.constData(), size_t(data.size())));
    } catch (const YAML::Exception &e) {
        throw ReadError(name + QStringLiteral(": kein gültiges YAML (Zeile ") +
                        QString::number(e.mark.line + 1) + QStringLiteral("): ") + fromUtf8(e.msg));
    }
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
                      resolve(path));
        else
            wrongType(QStringLiteral("filters.type"), "citeproc, lua oder json");
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
    else if (key == u"pdf-engine")
        s.pdfEngine = toText(value, key);
    else if (key == u"citeproc")
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
    } else if (key == u"metadata-file" || key == u"syntax-definition" || key == u"pdf-engine-opt") {
        addOption(key, key == u"pdf-engine-opt" ? toText(value, key) : resolve(toText(value, key)));
    } else if (const DefaultsOption *option = findOptionByKey(key)) {
        const QString name = QString::fromLatin1(option->longName);
        switch (option->kind) {
        case DefaultsKind::Flag:
            if (toBool(value, key))
                addOption(name);
            break;
        case DefaultsKind::Text:
        case DefaultsKind::Number:
            addOption(name, toText(value, key));
            break;
        case DefaultsKind::List:
            for (const QString &item : toTexts(value, key))
                addOption(name, key == u"pdf-engine-opts" ? item : resolve(item));
            break;
        case DefaultsKind::Map:
            applyMetadata(value, name, key);
            break;
        }
    } else {
        static const QStringList notForPresets{QStringLiteral("input-file"),
                                               QStringLiteral("input-files"),
                                               QStringLiteral("output-file"),
                                               QStringLiteral("request-headers"),
                                               QStringLiteral("dump-args"),
                                               QStringLiteral("ignore-args"),
                                               QStringLiteral("citation-abbreviations")};
        (notForPresets.contains(key) ? m_r.unsupportedKeys : m_r.unknownKeys) << key;
    }
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
    result.unknownKeys.removeDuplicates();
    result.unsupportedKeys.removeDuplicates();
    return result;
}
