#include "recordjson.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <stdexcept>

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

constexpr qint64 kReferenceOffsetSeconds = 978307200; // 2001-01-01 minus 1970-01-01
// Far beyond any real date, but small enough that the millisecond value cannot overflow.
constexpr double kMaxAbsSeconds = 1.0e13;

struct DecodeError : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

std::string utf8(const QString &text)
{
    return text.toStdString();
}

QString fromUtf8(const std::string &text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string uuidText(const QUuid &id)
{
    return utf8(id.toString(QUuid::WithoutBraces).toUpper());
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

ordered_json toJson(const Template &r)
{
    ordered_json o = ordered_json::object();
    o["id"] = uuidText(r.id);
    o["name"] = utf8(r.name);
    o["type"] = utf8(rawValue(r.type));
    o["filePath"] = utf8(r.filePath);
    o["isFavorite"] = r.isFavorite;
    o["lastUsed"] = referenceSeconds(r.lastUsed);
    o["description"] = utf8(r.description);
    return o;
}

ordered_json toJson(const Preset &r)
{
    ordered_json o = ordered_json::object();
    o["id"] = uuidText(r.id);
    o["name"] = utf8(r.name);
    o["inputFormat"] = utf8(r.inputFormat);
    o["outputFormat"] = utf8(r.outputFormat);
    // Absent names are left out, never written as null.
    if (r.htmlTemplate)
        o["htmlTemplate"] = utf8(*r.htmlTemplate);
    if (r.cssFile)
        o["cssFile"] = utf8(*r.cssFile);
    if (r.latexTemplate)
        o["latexTemplate"] = utf8(*r.latexTemplate);
    if (r.docxReference)
        o["docxReference"] = utf8(*r.docxReference);
    o["standalone"] = r.standalone;
    o["tableOfContents"] = r.tableOfContents;
    o["numberSections"] = r.numberSections;
    o["additionalOptions"] = utf8(r.additionalOptions);
    return o;
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

template <typename T>
QByteArray encode(const QList<T> &records)
{
    ordered_json array = ordered_json::array();
    for (const T &record : records)
        array.push_back(toJson(record));
    std::string text = array.dump(2, ' ', false, ordered_json::error_handler_t::replace);
    // Slashes occur only inside strings here, so escaping every one is safe.
    QByteArray out;
    out.reserve(qsizetype(text.size() + text.size() / 16));
    for (char c : text) {
        if (c == '/')
            out.append('\\');
        out.append(c);
    }
    return out;
}

template <typename T>
bool decode(const QByteArray &data, QList<T> *out, QString *error)
{
    try {
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
