#include "recordjson.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <stdexcept>

using nlohmann::json;

namespace {

constexpr qint64 kReferenceOffsetSeconds = 978307200; // 2001-01-01 minus 1970-01-01
// Far beyond any real date, but small enough that the millisecond value cannot overflow.
constexpr double kMaxAbsSeconds = 1.0e13;

struct DecodeError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// The parser keeps every open level on the heap, so a file of nothing but brackets would
// take gigabytes before it fails. Store files nest two levels; foreign keys may add a few.
constexpr int kMaxDepth = 512;

bool nestsTooDeep(const QByteArray &data)
{
    int depth = 0;
    bool inString = false;
    const qsizetype n = data.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = data[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth)
                return true;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

[[noreturn]] void fail(const char *key, const char *what)
{
    throw DecodeError(std::string("Schlüssel \"") + key + "\" " + what);
}

const json &member(const json &object, const char *key)
{
    auto it = object.find(key);
    if (it == object.end())
        fail(key, "fehlt");
    if (it->is_null())
        fail(key, "ist null");
    return *it;
}

QString stringMember(const json &object, const char *key)
{
    const json &value = member(object, key);
    if (!value.is_string())
        fail(key, "ist kein Text");
    return fromUtf8(value.get_ref<const std::string &>());
}

bool boolMember(const json &object, const char *key)
{
    const json &value = member(object, key);
    if (!value.is_boolean())
        fail(key, "ist kein Wahrheitswert");
    return value.get<bool>();
}

std::optional<QString> optionalStringMember(const json &object, const char *key)
{
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return std::nullopt;
    if (!it->is_string())
        fail(key, "ist kein Text");
    return fromUtf8(it->get_ref<const std::string &>());
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

QUuid uuidMember(const json &object, const char *key)
{
    const json &value = member(object, key);
    if (!value.is_string())
        fail(key, "ist kein Text");
    const std::string &text = value.get_ref<const std::string &>();
    bool wellFormed = text.size() == 36;
    for (size_t i = 0; wellFormed && i < text.size(); ++i) {
        const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        wellFormed = hyphenPlace ? text[i] == '-' : isHexDigit(text[i]);
    }
    if (!wellFormed)
        fail(key, "ist keine gültige UUID");
    return QUuid::fromString(QLatin1StringView(text.data(), qsizetype(text.size())));
}

QDateTime dateMember(const json &object, const char *key)
{
    const json &value = member(object, key);
    if (!value.is_number())
        fail(key, "ist keine Zahl");
    const double seconds = value.get<double>();
    if (!std::isfinite(seconds) || std::fabs(seconds) > kMaxAbsSeconds)
        fail(key, "liegt außerhalb des gültigen Bereichs");
    return fromReferenceSeconds(seconds);
}

TemplateType typeMember(const json &object, const char *key)
{
    const auto type = templateTypeFromRawValue(stringMember(object, key));
    if (!type)
        fail(key, "ist keine bekannte Template-Art");
    return *type;
}

// Writes the pretty-printed array directly; building a JSON tree first made saving
// a large index several times slower.
class Writer
{
public:
    explicit Writer(qsizetype expectedRecords) { m_out.reserve(expectedRecords * 360 + 8); }

    void beginRecord()
    {
        m_out.append(m_records++ == 0 ? "[\n  {" : ",\n  {");
        m_members = 0;
    }
    void endRecord() { m_out.append("\n  }"); }
    QByteArray finish()
    {
        m_out.append(m_records == 0 ? "[]" : "\n]");
        return std::move(m_out);
    }

    void string(const char *key, const QString &value)
    {
        beginMember(key);
        appendEscaped(value.toUtf8());
    }
    void ascii(const char *key, const QByteArray &value)
    {
        beginMember(key);
        m_out.append('"').append(value).append('"');
    }
    void boolean(const char *key, bool value)
    {
        beginMember(key);
        m_out.append(value ? "true" : "false");
    }
    void number(const char *key, double value)
    {
        beginMember(key);
        // Shortest text that reads back as the same double.
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        m_out.append(buffer, qsizetype(result.ptr - buffer));
    }

private:
    void beginMember(const char *key)
    {
        m_out.append(m_members++ == 0 ? "\n    \"" : ",\n    \"").append(key).append("\": ");
    }

    // JSON escaping as the platform encoder does it, forward slashes included.
    void appendEscaped(const QByteArray &utf8)
    {
        m_out.append('"');
        const char *p = utf8.constData();
        const char *const end = p + utf8.size();
        const char *run = p;
        for (; p != end; ++p) {
            const auto c = static_cast<unsigned char>(*p);
            if (c >= 0x20 && c != '"' && c != '\\' && c != '/')
                continue;
            m_out.append(run, qsizetype(p - run));
            run = p + 1;
            switch (c) {
            case '"':
                m_out.append("\\\"");
                break;
            case '\\':
                m_out.append("\\\\");
                break;
            case '/':
                m_out.append("\\/");
                break;
            case '\b':
                m_out.append("\\b");
                break;
            case '\f':
                m_out.append("\\f");
                break;
            case '\n':
                m_out.append("\\n");
                break;
            case '\r':
                m_out.append("\\r");
                break;
            case '\t':
                m_out.append("\\t");
                break;
            default: {
                static const char hex[] = "0123456789abcdef";
                const char escaped[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xf]};
                m_out.append(escaped, sizeof escaped);
            }
            }
        }
        m_out.append(run, qsizetype(end - run));
        m_out.append('"');
    }

    QByteArray m_out;
    qsizetype m_records = 0;
    int m_members = 0;
};

QByteArray uuidText(const QUuid &id)
{
    return id.toByteArray(QUuid::WithoutBraces).toUpper();
}

void write(Writer &w, const Template &r)
{
    w.ascii("id", uuidText(r.id));
    w.string("name", r.name);
    w.ascii("type", rawValue(r.type).toLatin1());
    w.string("filePath", r.filePath);
    w.boolean("isFavorite", r.isFavorite);
    w.number("lastUsed", referenceSeconds(r.lastUsed));
    w.string("description", r.description);
}

void write(Writer &w, const Preset &r)
{
    w.ascii("id", uuidText(r.id));
    w.string("name", r.name);
    w.string("inputFormat", r.inputFormat);
    w.string("outputFormat", r.outputFormat);
    // Absent names are left out, never written as null.
    if (r.htmlTemplate)
        w.string("htmlTemplate", *r.htmlTemplate);
    if (r.cssFile)
        w.string("cssFile", *r.cssFile);
    if (r.latexTemplate)
        w.string("latexTemplate", *r.latexTemplate);
    if (r.docxReference)
        w.string("docxReference", *r.docxReference);
    w.boolean("standalone", r.standalone);
    w.boolean("tableOfContents", r.tableOfContents);
    w.boolean("numberSections", r.numberSections);
    w.string("additionalOptions", r.additionalOptions);
}

void fromJson(const json &o, Template &r)
{
    r.id = uuidMember(o, "id");
    r.name = stringMember(o, "name");
    r.type = typeMember(o, "type");
    r.filePath = stringMember(o, "filePath");
    r.isFavorite = boolMember(o, "isFavorite");
    r.lastUsed = dateMember(o, "lastUsed");
    r.description = stringMember(o, "description");
}

void fromJson(const json &o, Preset &r)
{
    r.id = uuidMember(o, "id");
    r.name = stringMember(o, "name");
    r.inputFormat = stringMember(o, "inputFormat");
    r.outputFormat = stringMember(o, "outputFormat");
    r.htmlTemplate = optionalStringMember(o, "htmlTemplate");
    r.cssFile = optionalStringMember(o, "cssFile");
    r.latexTemplate = optionalStringMember(o, "latexTemplate");
    r.docxReference = optionalStringMember(o, "docxReference");
    r.standalone = boolMember(o, "standalone");
    r.tableOfContents = boolMember(o, "tableOfContents");
    r.numberSections = boolMember(o, "numberSections");
    r.additionalOptions = stringMember(o, "additionalOptions");
}

template <typename T> QByteArray encode(const QList<T> &records)
{
    Writer w(records.size());
    for (const T &record : records) {
        w.beginRecord();
        write(w, record);
        w.endRecord();
    }
    return w.finish();
}

template <typename T> bool decode(const QByteArray &data, QList<T> *out, QString *error)
{
    try {
        if (nestsTooDeep(data))
            throw DecodeError("Die Datei ist zu tief verschachtelt");
        const json document = json::parse(data.cbegin(), data.cend());
        if (!document.is_array())
            throw DecodeError("Die Datei enthält keine Liste");
        QList<T> records;
        records.reserve(qsizetype(document.size()));
        qsizetype index = 0;
        for (const json &element : document) {
            if (!element.is_object())
                throw DecodeError("Element " + std::to_string(index) + " ist kein Objekt");
            T record;
            try {
                fromJson(element, record);
            } catch (const DecodeError &e) {
                throw DecodeError("Element " + std::to_string(index) + ": " + e.what());
            }
            records.append(std::move(record));
            ++index;
        }
        *out = std::move(records);
        return true;
    } catch (const json::parse_error &e) {
        if (error)
            *error = QStringLiteral("Ungültiges JSON (Byte %1)").arg(e.byte);
    } catch (const std::exception &e) {
        if (error)
            *error = QString::fromUtf8(e.what());
    }
    return false;
}

} // namespace

double referenceSeconds(const QDateTime &time)
{
    return double(time.toMSecsSinceEpoch()) / 1000.0 - double(kReferenceOffsetSeconds);
}

QDateTime fromReferenceSeconds(double seconds)
{
    const auto msecs = qint64(std::llround((seconds + double(kReferenceOffsetSeconds)) * 1000.0));
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

QByteArray encodeRecords(const QList<Template> &records)
{
    return encode(records);
}

QByteArray encodeRecords(const QList<Preset> &records)
{
    return encode(records);
}

bool decodeRecords(const QByteArray &json, QList<Template> *out, QString *error)
{
    return decode(json, out, error);
}

bool decodeRecords(const QByteArray &json, QList<Preset> *out, QString *error)
{
    return decode(json, out, error);
}
