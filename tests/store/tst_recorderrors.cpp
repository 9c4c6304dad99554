// What each store file accepts and the exact words of each refusal: the log shows these texts
// to users, and csl-styles.json has always worded them more coarsely than the other two.
#include "cslstyles.h"
#include "recordjson.h"

#include <QTest>

namespace {

const QByteArray kTemplate =
    R"({"id": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "name": "n", "type": "css", )"
    R"("filePath": "/f", "isFavorite": false, "lastUsed": 0, "description": ""})";
const QByteArray kPreset =
    R"({"id": "0B1C2D3E-4F50-4A61-B7C8-D9EAFB0C1D2E", "name": "n", "inputFormat": "md", )"
    R"("outputFormat": "html5", "standalone": true, "tableOfContents": false, )"
    R"("numberSections": false, "additionalOptions": ""})";
const QByteArray kStyle =
    R"({"id": "E621E1F8-C36C-495A-93FC-0C247A3E6E5F", "name": "n", "filePath": "/s.csl", )"
    R"("added": 0})";

// The record with one member's text replaced, e.g. `"name": "n"` by `"name": 1`.
QByteArray with(QByteArray record, const QByteArray &from, const QByteArray &to)
{
    Q_ASSERT(record.contains(from));
    return record.replace(from, to);
}

template <typename T> QString decodeError(const QByteArray &json)
{
    QList<T> out;
    QString error;
    if (decodeRecords(json, &out, &error))
        return error.isEmpty() ? QStringLiteral("ok %1").arg(out.size()) : QStringLiteral("?");
    return error;
}

} // namespace

class TstRecordErrors final : public QObject
{
    Q_OBJECT

private slots:
    void firstFaultIsNamed_data();
    void firstFaultIsNamed();
};

void TstRecordErrors::firstFaultIsNamed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expected"); // "ok N" for N records read

    const auto row = [](const QByteArray &tag, const char *kind, const QByteArray &json,
                        const QString &expected) {
        QTest::newRow(tag.constData()) << QString::fromLatin1(kind) << json << expected;
    };
    const QByteArray t = kTemplate;
    const QByteArray p = kPreset;
    const QByteArray s = kStyle;
    const QByteArray deep = QByteArray(513, '[') + QByteArray(513, ']');
    const QByteArray deepKey =
        "\"x\": " + QByteArray(600, '[') + QByteArray(600, ']') + ", \"name\"";

    for (const char *kind : {"template", "preset"}) {
        const QByteArray r = QByteArray(kind) == "template" ? t : p;
        const auto tag = [kind](const char *what) -> QByteArray {
            return QByteArray(kind) + ' ' + what;
        };
        row(tag("syntax"), kind, "[" + r + ",]",
            QStringLiteral("Ungültiges JSON (Byte %1)").arg(r.size() + 3));
        row(tag("syntax after a bad element"), kind, "[1, {]", "Ungültiges JSON (Byte 6)");
        row(tag("empty"), kind, "", "Ungültiges JSON (Byte 1)");
        row(tag("no list"), kind, "{}", "Die Datei enthält keine Liste");
        row(tag("no object"), kind, "[" + r + ", 3]", "Element 1 ist kein Objekt");
        row(tag("name missing"), kind, "[" + with(r, "\"name\": \"n\", ", "") + "]",
            "Element 0: Schlüssel \"name\" fehlt");
        row(tag("name null"), kind, "[" + with(r, "\"n\"", "null") + "]",
            "Element 0: Schlüssel \"name\" ist null");
        row(tag("name number"), kind, "[" + r + ", " + with(r, "\"n\"", "1") + "]",
            "Element 1: Schlüssel \"name\" ist kein Text");
        row(tag("id not a uuid"), kind, "[" + with(r, "\"name\"", "\"id\": \"x\", \"name\"") + "]",
            "Element 0: Schlüssel \"id\" ist keine gültige UUID");
        row(tag("id braced"), kind,
            "[" +
                with(r, "\"name\"",
                     "\"id\": \"{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}\", \"name\"") +
                "]",
            "Element 0: Schlüssel \"id\" ist keine gültige UUID");
        row(tag("id before name"), kind, "[" + with(with(r, "\"n\"", "1"), "\"id\"", "\"i\"") + "]",
            "Element 0: Schlüssel \"id\" fehlt");
        row(tag("too deep"), kind, deep, "Die Datei ist zu tief verschachtelt");
        row(tag("too deep in a foreign key"), kind, "[" + with(r, "\"name\"", deepKey) + "]",
            "Die Datei ist zu tief verschachtelt");
        row(tag("number overflow"), kind, "[1e400]",
            "[json.exception.out_of_range.406] number overflow parsing '1e400'");
        row(tag("foreign keys"), kind,
            "[" + with(r, "\"name\"", "\"x\": [{\"y\": null}], \"name\"") + ", " + r + "]", "ok 2");
    }
    row("template type unknown", "template", "[" + with(t, "\"css\"", "\"CSS\"") + "]",
        "Element 0: Schlüssel \"type\" ist keine bekannte Template-Art");
    row("template favorite number", "template", "[" + with(t, "false", "0") + "]",
        "Element 0: Schlüssel \"isFavorite\" ist kein Wahrheitswert");
    row("template date text", "template",
        "[" + with(t, "\"lastUsed\": 0", "\"lastUsed\": \"0\"") + "]",
        "Element 0: Schlüssel \"lastUsed\" ist keine Zahl");
    row("template date far out", "template",
        "[" + with(t, "\"lastUsed\": 0", "\"lastUsed\": -1e14") + "]",
        "Element 0: Schlüssel \"lastUsed\" liegt außerhalb des gültigen Bereichs");
    row("template last key wins", "template",
        "[" + with(t, "\"name\"", "\"type\": 1, \"name\"") + "]", "ok 1");
    row("preset optional name number", "preset",
        "[" + with(p, "\"name\"", "\"cssFile\": 1, \"name\"") + "]",
        "Element 0: Schlüssel \"cssFile\" ist kein Text");
    row("preset optional switch text", "preset",
        "[" + with(p, "\"name\"", "\"citeproc\": \"ja\", \"name\"") + "]",
        "Element 0: Schlüssel \"citeproc\" ist kein Wahrheitswert");
    row("preset optional names null", "preset",
        "[" + with(p, "\"name\"", "\"cssFile\": null, \"citeproc\": null, \"name\"") + "]", "ok 1");

    row("style syntax", "csl", "[" + s + ",]",
        QStringLiteral(
            "[json.exception.parse_error.101] parse error at line 1, column %1: syntax "
            "error while parsing value - unexpected ']'; expected '[', '{', or a literal")
            .arg(s.size() + 3));
    row("style empty", "csl", "",
        "[json.exception.parse_error.101] parse error at line 1, column 1: syntax error while "
        "parsing value - unexpected end of input; expected '[', '{', or a literal");
    row("style no list", "csl", "{}", "Die Datei enthält keine Liste");
    row("style no object", "csl", "[" + s + ", 3]", "Ein Element ist kein Objekt");
    row("style name missing", "csl", "[" + with(s, "\"name\": \"n\", ", "") + "]",
        "Schlüssel \"name\" fehlt oder ist kein Text");
    row("style name null", "csl", "[" + s + ", " + with(s, "\"n\"", "null") + "]",
        "Schlüssel \"name\" fehlt oder ist kein Text");
    row("style date text", "csl", "[" + with(s, "\"added\": 0", "\"added\": \"0\"") + "]",
        "Schlüssel \"added\" fehlt oder ist keine Zahl");
    row("style id not a uuid", "csl", "[" + with(s, "\"E621E1F8", "\"X621E1F8") + "]",
        "Schlüssel \"id\" ist keine gültige UUID");
    row("style id null uuid", "csl",
        "[" +
            with(s, "E621E1F8-C36C-495A-93FC-0C247A3E6E5F",
                 "00000000-0000-0000-0000-000000000000") +
            "]",
        "Schlüssel \"id\" ist keine gültige UUID");
    row("style id braced, lower case", "csl",
        "[" +
            with(s, "E621E1F8-C36C-495A-93FC-0C247A3E6E5F",
                 "{e621e1f8-c36c-495a-93fc-0c247a3e6e5f}") +
            "]",
        "ok 1");
    row("style date far out", "csl", "[" + with(s, "\"added\": 0", "\"added\": 1e14") + "]",
        "ok 1");
    row("style deep in a foreign key", "csl", "[" + with(s, "\"name\"", deepKey) + "]", "ok 1");
}

void TstRecordErrors::firstFaultIsNamed()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, json);
    QFETCH(QString, expected);
    const QString actual = kind == u"template" ? decodeError<Template>(json)
                           : kind == u"preset" ? decodeError<Preset>(json)
                                               : decodeError<CslStyle>(json);
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(TstRecordErrors)
#include "tst_recorderrors.moc"
