#include "cslstyles.h"

#include "recordjson.h"

#include <nlohmann/json.hpp>

using nlohmann::json;
using nlohmann::ordered_json;

namespace {

std::string utf8(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

QString text(const json &object, const char *key)
{
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string())
        throw std::runtime_error(std::string("Schlüssel \"") + key + "\" fehlt oder ist kein Text");
    const auto &value = it->get_ref<const std::string &>();
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

} // namespace

QByteArray encodeRecords(const QList<CslStyle> &styles)
{
    ordered_json array = ordered_json::array();
    for (const CslStyle &s : styles) {
        ordered_json o;
        o["id"] = utf8(s.id.toString(QUuid::WithoutBraces).toUpper());
        o["name"] = utf8(s.name);
        o["filePath"] = utf8(s.filePath);
        o["added"] = referenceSeconds(s.added);
        array.push_back(std::move(o));
    }
    const std::string out = array.dump(2);
    return QByteArray(out.data(), qsizetype(out.size()));
}

bool decodeRecords(const QByteArray &data, QList<CslStyle> *out, QString *error)
{
    try {
        const json document = json::parse(data.cbegin(), data.cend(), nullptr, true, false);
        if (!document.is_array())
            throw std::runtime_error("Die Datei enthält keine Liste");
        QList<CslStyle> styles;
        for (const json &element : document) {
            if (!element.is_object())
                throw std::runtime_error("Ein Element ist kein Objekt");
            CslStyle s;
            s.id = QUuid::fromString(text(element, "id"));
            if (s.id.isNull())
                throw std::runtime_error("Schlüssel \"id\" ist keine gültige UUID");
            s.name = text(element, "name");
            s.filePath = text(element, "filePath");
            const auto added = element.find("added");
            if (added == element.end() || !added->is_number())
                throw std::runtime_error("Schlüssel \"added\" fehlt oder ist keine Zahl");
            s.added = fromReferenceSeconds(added->get<double>());
            styles.append(std::move(s));
        }
        *out = std::move(styles);
        return true;
    } catch (const std::exception &e) {
        if (error)
            *error = QString::fromUtf8(e.what());
    }
    return false;
}
