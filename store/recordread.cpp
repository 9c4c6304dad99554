#include "recordread.h"

#include "jsonscan.h"

#include <nlohmann/json.hpp>

#include <stdexcept>

using nlohmann::json;

namespace {

struct DecodeError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// nlohmann's parser keeps one bit per open level, but a file of nothing but brackets still
// costs a pass over all of it. Store files nest two levels; foreign keys may add a few.
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

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Reads the array without building a document tree: with a hundred thousand records the
// tree's allocations were most of the start-up time. Fed by the fast scanner or, when that
// is not sure, by nlohmann's own parser; both give the same events.
class Reader
{
public:
    Reader(const RecordShape &shape, RecordSink &sink)
        : m_shape(shape), m_sink(sink), m_values(shape.keys.size())
    {
    }

    bool null() { return scalar(RecordValue::Null); }
    bool boolean(bool value)
    {
        m_scalar.flag = value;
        return scalar(RecordValue::Bool);
    }
    bool number_integer(json::number_integer_t value) { return number(double(value)); }
    bool number_unsigned(json::number_unsigned_t value) { return number(double(value)); }
    bool number_float(json::number_float_t value, const std::string &) { return number(value); }
    bool string(std::string &value)
    {
        m_scalar.text = std::move(value);
        return scalar(RecordValue::String);
    }
    bool binary(json::binary_t &) { return scalar(RecordValue::Other); }
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
        m_syntaxError = syntax && !m_shape.coarseMessages
                            ? QStringLiteral("Ungültiges JSON (Byte %1)").arg(syntax->byte)
                            : QString::fromUtf8(ex.what());
        return false;
    }

    bool finish(QString *error) const
    {
        const QString &message = !m_syntaxError.isEmpty() ? m_syntaxError : m_error;
        if (message.isEmpty())
            return true;
        if (error)
            *error = message;
        return false;
    }

private:
    int fieldIndex(const std::string &name) const
    {
        for (size_t i = 0; i < m_shape.keys.size(); ++i) {
            if (name == m_shape.keys[i])
                return int(i);
        }
        return -1;
    }

    bool number(double value)
    {
        m_scalar.number = value;
        return scalar(RecordValue::Number);
    }

    bool scalar(RecordValue::Kind kind)
    {
        m_scalar.kind = kind;
        if (m_depth == 0)
            reject("Die Datei enthält keine Liste");
        else if (m_depth == 1)
            rejectElement(m_index++);
        else if (m_depth == 2 && m_field >= 0)
            std::swap(m_values[size_t(m_field)], m_scalar);
        return true;
    }

    bool open(bool object)
    {
        if (m_depth == 0 && object) {
            reject("Die Datei enthält keine Liste");
        } else if (m_depth == 1 && !object) {
            rejectElement(m_index);
        } else if (m_depth == 1) {
            for (RecordValue &value : m_values)
                value.kind = RecordValue::Absent;
        } else if (m_depth == 2 && m_field >= 0) {
            m_values[size_t(m_field)].kind = RecordValue::Other;
        }
        ++m_depth;
        return true;
    }

    bool close(bool object)
    {
        if (--m_depth != 1)
            return true;
        if (object && m_error.isEmpty()) {
            try {
                m_sink.add(RecordFields(m_shape, m_values));
            } catch (const DecodeError &e) {
                reject(m_shape.coarseMessages
                           ? std::string(e.what())
                           : "Element " + std::to_string(m_index) + ": " + e.what());
            }
        }
        ++m_index;
        return true;
    }

    void rejectElement(qsizetype index)
    {
        reject(m_shape.coarseMessages ? std::string("Ein Element ist kein Objekt")
                                      : "Element " + std::to_string(index) + " ist kein Objekt");
    }

    void reject(const std::string &message)
    {
        if (m_error.isEmpty())
            m_error = QString::fromStdString(message);
    }

    const RecordShape &m_shape;
    RecordSink &m_sink;
    int m_depth = 0;
    int m_field = -1;
    qsizetype m_index = 0;
    RecordValue m_scalar;
    std::vector<RecordValue> m_values;
    QString m_error;
    QString m_syntaxError;
};

} // namespace

void RecordFields::fail(int field, const std::string &what) const
{
    throw DecodeError(std::string("Schlüssel \"") + m_shape.keys[size_t(field)] + "\" " + what);
}

bool RecordFields::absent(int field) const
{
    const RecordValue::Kind kind = m_values[size_t(field)].kind;
    return kind == RecordValue::Absent || kind == RecordValue::Null;
}

const RecordValue &RecordFields::expect(int field, RecordValue::Kind kind,
                                        const char *wrongKind) const
{
    const RecordValue &value = m_values[size_t(field)];
    if (value.kind == kind)
        return value;
    if (m_shape.coarseMessages)
        fail(field, std::string("fehlt oder ") + wrongKind);
    if (value.kind == RecordValue::Absent)
        fail(field, "fehlt");
    if (value.kind == RecordValue::Null)
        fail(field, "ist null");
    fail(field, wrongKind);
}

const std::string &RecordFields::utf8(int field) const
{
    return expect(field, RecordValue::String, "ist kein Text").text;
}

QString RecordFields::text(int field) const
{
    const std::string &value = utf8(field);
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

std::optional<QString> RecordFields::optionalText(int field) const
{
    if (absent(field))
        return std::nullopt;
    return text(field);
}

bool RecordFields::flag(int field) const
{
    return expect(field, RecordValue::Bool, "ist kein Wahrheitswert").flag;
}

std::optional<bool> RecordFields::optionalFlag(int field) const
{
    if (absent(field))
        return std::nullopt;
    return flag(field);
}

double RecordFields::number(int field) const
{
    return expect(field, RecordValue::Number, "ist keine Zahl").number;
}

QUuid RecordFields::uuid(int field) const
{
    const std::string &text = utf8(field);
    bool wellFormed = text.size() == 36;
    for (size_t i = 0; wellFormed && i < text.size(); ++i) {
        const bool hyphenPlace = i == 8 || i == 13 || i == 18 || i == 23;
        wellFormed = hyphenPlace ? text[i] == '-' : isHexDigit(text[i]);
    }
    if (!wellFormed)
        fail(field, "ist keine gültige UUID");
    return QUuid::fromString(QLatin1StringView(text.data(), qsizetype(text.size())));
}

bool readRecords(const QByteArray &data, const RecordShape &shape, RecordSink &sink, QString *error)
{
    {
        Reader reader(shape, sink);
        if (jsonscan::scan(data.cbegin(), data.cend(), reader))
            return reader.finish(error);
    }
    if (shape.limitDepth && nestsTooDeep(data)) {
        if (error)
            *error = QStringLiteral("Die Datei ist zu tief verschachtelt");
        return false;
    }
    sink.restart();
    Reader reader(shape, sink);
    json::sax_parse(data.cbegin(), data.cend(), &reader);
    return reader.finish(error);
}
