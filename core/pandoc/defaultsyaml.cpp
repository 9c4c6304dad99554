// The YAML side of reading defaults files: bounded loading and typed values.
#include "defaultsyaml.h"

#include <QFile>
#include <QHash>
#include <QStringDecoder>

#include <yaml-cpp/eventhandler.h>

#include <sstream>
#include <vector>

namespace {

constexpr qint64 kMaxDefaultsSize = 1024 * 1024;
// Nodes after every alias is expanded; a real defaults file has a few hundred.
constexpr qint64 kMaxNodes = 100000;
// The line the writer puts above an engine that "Automatisch" chose.
const QByteArray kAutomaticMark = "# velunor-pdf-engine: Automatisch";

// Counts the nodes a document has once its aliases are expanded, without expanding them:
// ten levels of ten aliases each would be 10^10 nodes for whoever walks the tree.
class NodeCounter final : public YAML::EventHandler
{
public:
    void OnDocumentStart(const YAML::Mark &) override {}
    void OnDocumentEnd() override {}
    void OnNull(const YAML::Mark &, YAML::anchor_t anchor) override { leaf(anchor); }
    void OnAlias(const YAML::Mark &, YAML::anchor_t anchor) override
    {
        add(m_sizes.value(anchor, 1));
    }
    void OnScalar(const YAML::Mark &, const std::string &, YAML::anchor_t anchor,
                  const std::string &) override
    {
        leaf(anchor);
    }
    void OnSequenceStart(const YAML::Mark &, const std::string &, YAML::anchor_t anchor,
                         YAML::EmitterStyle::value) override
    {
        open(anchor);
    }
    void OnSequenceEnd() override { close(); }
    void OnMapStart(const YAML::Mark &, const std::string &, YAML::anchor_t anchor,
                    YAML::EmitterStyle::value) override
    {
        open(anchor);
    }
    void OnMapEnd() override { close(); }

    qint64 count() const { return m_count; }

private:
    void add(qint64 n)
    {
        m_count += n;
        if (m_count > kMaxNodes)
            throw std::length_error("nodes");
    }
    void leaf(YAML::anchor_t anchor)
    {
        add(1);
        if (anchor != YAML::NullAnchor)
            m_sizes.insert(anchor, 1);
    }
    void open(YAML::anchor_t anchor)
    {
        add(1);
        m_open.push_back({anchor, m_count - 1});
    }
    void close()
    {
        const auto [anchor, start] = m_open.back();
        m_open.pop_back();
        if (anchor != YAML::NullAnchor)
            m_sizes.insert(anchor, m_count - start);
    }

    qint64 m_count = 0;
    QHash<YAML::anchor_t, qint64> m_sizes;
    std::vector<std::pair<YAML::anchor_t, qint64>> m_open;
};

} // namespace

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

LoadedYaml loadDefaultsYaml(const QString &path, const QString &name)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ReadError(name + QStringLiteral(": ") + file.errorString());
    // The reported size means nothing for /proc files: read no more than the limit.
    // Such files may also hand out their bytes in short reads, or only in whole words.
    QByteArray data;
    while (data.size() <= kMaxDefaultsSize) {
        const QByteArray chunk = file.read(64 * 1024);
        if (chunk.isEmpty())
            break;
        data += chunk;
    }
    if (file.error() != QFileDevice::NoError)
        throw ReadError(name + QStringLiteral(": ") + file.errorString());
    if (data.size() > kMaxDefaultsSize)
        throw ReadError(name + QStringLiteral(" ist zu groß"));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(data);
    if (decoder.hasError())
        throw ReadError(name + QStringLiteral(" ist kein UTF-8-Text"));

    const std::string text(data.constData(), size_t(data.size()));
    try {
        std::stringstream stream(text);
        YAML::Parser parser(stream);
        NodeCounter counter;
        while (parser.HandleNextDocument(counter)) {
        }
        return {YAML::Load(text), data.contains(kAutomaticMark)};
    } catch (const std::length_error &) {
        throw ReadError(name + QStringLiteral(" ist zu groß: mehr als ") +
                        QString::number(kMaxNodes) + QStringLiteral(" Werte"));
    } catch (const YAML::Exception &e) {
        throw ReadError(name + QStringLiteral(": kein gültiges YAML (Zeile ") +
                        QString::number(e.mark.line + 1) + QStringLiteral("): ") + fromUtf8(e.msg));
    }
}

std::string utf8(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), size_t(bytes.size()));
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

void emitMembers(YAML::Emitter &out, const std::vector<std::pair<QString, QString>> &members,
                 const std::vector<bool> &bare, bool typedBooleans)
{
    const auto emitValue = [&](size_t i) {
        const QString &v = members[i].second;
        if (bare[i])
            out << true;
        else if (typedBooleans && (v == u"true" || v == u"True" || v == u"TRUE"))
            out << true;
        else if (typedBooleans && (v == u"false" || v == u"False" || v == u"FALSE"))
            out << false;
        else
            emitText(out, v);
    };
    out << YAML::BeginMap;
    QStringList written;
    for (size_t i = 0; i < members.size(); ++i) {
        const QString &name = members[i].first;
        if (written.contains(name))
            continue;
        written << name;
        out << YAML::Key << YAML::DoubleQuoted << utf8(name) << YAML::Value;
        std::vector<size_t> uses;
        for (size_t j = i; j < members.size(); ++j) {
            if (members[j].first == name)
                uses.push_back(j);
        }
        if (uses.size() == 1) {
            emitValue(i);
            continue;
        }
        out << YAML::BeginSeq;
        for (size_t j : uses)
            emitValue(j);
        out << YAML::EndSeq;
    }
    out << YAML::EndMap;
}
