#include "recordjson.h"

#include "jsonscan.h"

#include <nlohmann/json.hpp>

#include <array>
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

std::optional<bool> optionalBoolMember(const json &object, const char *key)
{
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return std::nullopt;
    if (!it->is_boolean())
        fail(key, "ist kein Wahrheitswert");
    return it->get<bool>();
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

QUuid uuidFromText(const std::string &text, const char *key)
{
    bool wellFormed = text.size() == 36;
    for (size_t i = 0; wellFormed && i < text.size(); ++i) {
        const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        wellFormed = hyphenPlace ? text[i] == '-' : isHexDigit(text[i]);
    }
    if (!wellFormed)
        fail(key, "ist keine gültige UUID");
    return QUuid::fromString(QLatin1StringView(text.data(), qsizetype(text.size())));
}

QUuid uuidMember(const json &object, const char *key)
{
    const json &value = member(object, key);
    if (!value.is_string())
        fail(key, "ist kein Text");
    return uuidFromText(value.get_ref<const std::string &>(), key);
}

QDateTime dateFromSeconds(double seconds, const char *key)
{
    if (!std::isfinite(seconds) || std::fabs(seconds) > kMaxAbsSeconds)
        fail(key, "liegt außerhalb des gültigen Bereichs");
    return fromReferenceSeconds(seconds);
}

TemplateType typeFromText(const QString &text, const char *key)
{
    const auto type = templateTypeFromRawValue(text);
    if (!type)
        fail(key, "ist keine bekannte Template-Art");
    return *type;
}

// Reads the template index without building a document tree: with a hundred thousand records
// the tree's allocations were most of the start-up time. It accepts and rejects exactly what
// the tree-based reader does, with the same messages: a syntax error anywhere comes first,
// then the first element that does not fit.
class TemplateReader
{
public:
    bool null() { return scalar(Slot::Null); }
    bool boolean(bool value)
    {
        m_scalar.flag = value;
        return scalar(Slot::Bool);
    }
    bool number_integer(json::number_integer_t value) { return number(double(value)); }
    bool number_unsigned(json::number_unsigned_t value) { return number(double(value)); }
    bool number_float(json::number_float_t value, const std::string &) { return number(value); }
    bool string(std::string &value)
    {
        m_scalar.text = std::move(value);
        return scalar(Slot::String);
    }
    bool binary(json::binary_t &) { return scalar(Slot::Other); }
    bool key(std::string &name)
    {
        if (m_depth == 2)
            m_field = fieldIndex(name);
        return true;
    }
    bool start_object(std::size_t) { return open(true); }
    bool start_array(std::size_t) { return open(false); }
    bool end_object() { return close(true); }
    bool end_array() { return close(false); }
    bool parse_error(std::size_t, const std::string &, const nlohmann::detail::exception &ex)
    {
        const auto *syntax = dynamic_cast<const json::parse_error *>(&ex);
        m_syntaxError = syntax ? QStringLiteral("Ungültiges JSON (Byte %1)").arg(syntax->byte)
                               : QString::fromUtf8(ex.what());
        return false;
    }

    bool finish(QList<Template> *out, QString *error)
    {
        const QString &message = !m_syntaxError.isEmpty() ? m_syntaxError : m_error;
        if (!message.isEmpty()) {
            if (error)
                *error = message;
            return false;
        }
        *out = std::move(m_records);
        return true;
    }

private:
    struct Slot
    {
        enum Kind
        {
            Absent,
            Null,
            String,
            Bool,
            Number,
            Other
        };
        Kind kind = Absent;
        std::string text;
        double number = 0;
        bool flag = false;
    };
    static constexpr const char *kFields[] = {"id",         "name",     "type",       "filePath",
                                              "isFavorite", "lastUsed", "description"};

    static int fieldIndex(const std::string &name)
    {
        for (int i = 0; i < int(std::size(kFields)); ++i) {
            if (name == kFields[i])
                return i;
        }
        return -1;
    }

    bool number(double value)
    {
        m_scalar.number = value;
        return scalar(Slot::Number);
    }

    bool scalar(Slot::Kind kind)
    {
        m_scalar.kind = kind;
        if (m_depth == 0)
            reject("Die Datei enthält keine Liste");
        else if (m_depth == 1)
            reject("Element " + std::to_string(m_index++) + " ist kein Objekt");
        else if (m_depth == 2 && m_field >= 0)
            std::swap(m_slots[size_t(m_field)], m_scalar);
        return true;
    }

    bool open(bool object)
    {
        if (m_depth == 0 && object)
            reject("Die Datei enthält keine Liste");
        else if (m_depth == 1 && !object)
            reject("Element " + std::to_string(m_index) + " ist kein Objekt");
        else if (m_depth == 1)
            m_slots = {};
        else if (m_depth == 2 && m_field >= 0)
            m_slots[size_t(m_field)].kind = Slot::Other;
        ++m_depth;
        return true;
    }

    bool close(bool object)
    {
        if (--m_depth != 1)
            return true;
        if (object && m_error.isEmpty()) {
            try {
                m_records.append(record());
            } catch (const DecodeError &e) {
                reject("Element " + std::to_string(m_index) + ": " + e.what());
            }
        }
        ++m_index;
        return true;
    }

    void reject(const std::string &message)
    {
        if (m_error.isEmpty())
            m_error = QString::fromStdString(message);
    }

    const Slot &present(int field)
    {
        const Slot &slot = m_slots[size_t(field)];
        if (slot.kind == Slot::Absent)
            fail(kFields[field], "fehlt");
        if (slot.kind == Slot::Null)
            fail(kFields[field], "ist null");
        return slot;
    }
    const std::string &text(int field)
    {
        const Slot &slot = present(field);
        if (slot.kind != Slot::String)
            fail(kFields[field], "ist kein Text");
        return slot.text;
    }

    Template record()
    {
        Template r;
        r.id = uuidFromText(text(0), kFields[0]);
        r.name = fromUtf8(text(1));
        r.type = typeFromText(fromUtf8(text(2)), kFields[2]);
        r.filePath = fromUtf8(text(3));
        if (present(4).kind != Slot::Bool)
            fail(kFields[4], "ist kein Wahrheitswert");
        r.isFavorite = m_slots[4].flag;
        if (present(5).kind != Slot::Number)
            fail(kFields[5], "ist keine Zahl");
        r.lastUsed = dateFromSeconds(m_slots[5].number, kFields[5]);
        r.description = fromUtf8(text(6));
        return r;
    }

    int m_depth = 0;
    int m_field = -1;
    qsizetype m_index = 0;
    Slot m_scalar;
    std::array<Slot, std::size(kFields)> m_slots;
    QList<Template> m_records;
    QString m_error;
    QString m_syntaxError;
};

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
    // Written only when an engine was chosen, so older readers see the familiar object.
    if (r.pdfEngine)
        w.string("pdfEngine", *r.pdfEngine);
    // Written only when set, so files stay as they were for presets without citations.
    if (r.bibliography)
        w.string("bibliography", *r.bibliography);
    if (r.csl)
        w.string("csl", *r.csl);
    if (r.citeproc)
        w.boolean("citeproc", *r.citeproc);
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
    r.pdfEngine = optionalStringMember(o, "pdfEngine");
    r.bibliography = optionalStringMember(o, "bibliography");
    r.csl = optionalStringMember(o, "csl");
    r.citeproc = optionalBoolMember(o, "citeproc");
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

bool decodeRecords(const QByteArray &data, QList<Template> *out, QString *error)
{
    {
        TemplateReader reader;
        if (jsonscan::scan(data.cbegin(), data.cend(), reader))
            return reader.finish(out, error);
    }
    if (nestsTooDeep(data)) {
        if (error)
            *error = QStringLiteral("Die Datei ist zu tief verschachtelt");
        return false;
    }
    TemplateReader reader;
    json::sax_parse(data.cbegin(), data.cend(), &reader);
    return reader.finish(out, error);
}

bool decodeRecords(const QByteArray &json, QList<Preset> *out, QString *error)
{
    return decode(json, out, error);
}
