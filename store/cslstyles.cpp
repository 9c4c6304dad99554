#include "cslstyles.h"

#include "recordjson.h"
#include "recordread.h"

#include <nlohmann/json.hpp>

using nlohmann::ordered_json;

namespace {

std::string utf8(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

constexpr const char *kStyleKeys[] = {"id", "name", "filePath", "added"};

CslStyle makeStyle(const RecordFields &f)
{
    enum
    {
        Id,
        Name,
        FilePath,
        Added
    };
    CslStyle s;
    // Any form Qt reads, braces included: this file was never held to the stricter UUIDs.
    s.id = QUuid::fromString(f.text(Id));
    if (s.id.isNull())
        f.fail(Id, "ist keine gültige UUID");
    s.name = f.text(Name);
    s.filePath = f.text(FilePath);
    s.added = fromReferenceSeconds(f.number(Added));
    return s;
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
    return readRecords(data,
                       RecordShape{.keys = kStyleKeys, .coarseMessages = true, .limitDepth = false},
                       makeStyle, out, error);
}
