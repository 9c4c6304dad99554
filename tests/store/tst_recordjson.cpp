#include "recordjson.h"
#include "records.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

namespace {

const QString kTemplateId = QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
const QString kPresetId = QStringLiteral("0B1C2D3E-4F50-4A61-B7C8-D9EAFB0C1D2E");

// Objects as another conforming writer would produce them: Qt writes slashes
// unescaped and sorts keys, unlike our own encoder.
QJsonObject templateObject()
{
    return QJsonObject{
        {QStringLiteral("id"), kTemplateId},
        {QStringLiteral("name"), QStringLiteral("Bericht")},
        {QStringLiteral("type"), QStringLiteral("html")},
        {QStringLiteral("filePath"), QStringLiteral("/data/Velunor/Templates/html/b.html")},
        {QStringLiteral("isFavorite"), false},
        {QStringLiteral("lastUsed"), 12.5},
        {QStringLiteral("description"), QString()}};
}

QJsonObject presetObject()
{
    return QJsonObject{{QStringLiteral("id"), kPresetId},
                       {QStringLiteral("name"), QStringLiteral("Standard")},
                       {QStringLiteral("inputFormat"), QStringLiteral("auto (automatisch)")},
                       {QStringLiteral("outputFormat"), QStringLiteral("html5")},
                       {QStringLiteral("htmlTemplate"), QStringLiteral("Bericht")},
                       {QStringLiteral("cssFile"), QStringLiteral("Stil")},
                       {QStringLiteral("latexTemplate"), QStringLiteral("Brief")},
                       {QStringLiteral("docxReference"), QStringLiteral("Firma")},
                       {QStringLiteral("standalone"), true},
                       {QStringLiteral("tableOfContents"), false},
                       {QStringLiteral("numberSections"), true},
                       {QStringLiteral("additionalOptions"), QStringLiteral("--wrap=none")}};
}

QByteArray arrayOf(const QJsonObject &a, const QJsonObject &b)
{
    return QJsonDocument(QJsonArray{a, b}).toJson(QJsonDocument::Indented);
}

Template sampleTemplate(const QString &name, TemplateType type)
{
    Template t;
    t.id = QUuid::createUuid();
    t.name = name;
    t.type = type;
    t.filePath = QStringLiteral("/home/a/.local/share/Velunor/Templates/") + rawValue(type) +
                 QStringLiteral("/") + name;
    t.isFavorite = type == TemplateType::Latex;
    t.lastUsed = QDateTime::fromMSecsSinceEpoch(1733580000123, Qt::UTC);
    t.description = QStringLiteral("Zeile 1\nZeile 2 \"zitiert\" \\ ä 😀");
    return t;
}

Preset samplePreset()
{
    Preset p;
    p.id = QUuid::createUuid();
    p.name = QStringLiteral("Standard");
    p.inputFormat = QStringLiteral("markdown");
    p.outputFormat = QStringLiteral("gfm (GitHub Markdown)");
    p.htmlTemplate = QStringLiteral("Bericht");
    p.latexTemplate = QString();
    p.standalone = false;
    p.tableOfContents = true;
    p.numberSections = true;
    p.additionalOptions = QStringLiteral("--metadata title=\"A/B\"");
    return p;
}

// Keys of each object in the order the text lists them.
QList<QStringList> keysInTextOrder(const QByteArray &json)
{
    QList<QStringList> objects;
    static const QRegularExpression line(QStringLiteral("^\\s*(\\{|\"(\\w+)\"\\s*:)"));
    for (const QByteArray &raw : json.split('\n')) {
        const auto m = line.match(QString::fromUtf8(raw));
        if (!m.hasMatch())
            continue;
        if (m.captured(1) == u"{")
            objects.append(QStringList());
        else
            objects.last().append(m.captured(2));
    }
    return objects;
}

} // namespace

class TstRecordJson final : public QObject
{
    Q_OBJECT

private slots:
    void strictness_data();
    void strictness();
    void documentLevelFailures_data();
    void documentLevelFailures();
    void optionalNamesMissingOrNullAreAbsent();
    void templateTypeRawValues_data();
    void templateTypeRawValues();
    void uuidReadInLowerCaseIsWrittenUpperCase();
    void slashesReadEitherWayAndWrittenEscaped();
    void whitespaceAndKeyOrderCarryNoMeaning();
    void unknownKeysAreIgnoredAndDropped();
    void datesCountFromReferenceDate_data();
    void datesCountFromReferenceDate();
    void emptyList();
    void roundTrips();
    void keysWrittenInFieldOrderAndPrettyPrinted();
    void absentNamesAreLeftOutEmptyNamesAreKept();
    void equalityAndHash_data();
    void equalityAndHash();
    void equalInstantsInOtherZonesHashAlike();
};

// Each row mutates one key of the second element; a failure must reject the whole array.
void TstRecordJson::strictness_data()
{
    QTest::addColumn<bool>("isPreset");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("value"); // JSON text, or empty to remove the key
    QTest::addColumn<bool>("accepted");

    const QStringList templateKeys = templateObject().keys();
    for (const QString &key : templateKeys) {
        QTest::addRow("template %s missing", qPrintable(key))
            << false << key << QByteArray() << false;
        QTest::addRow("template %s null", qPrintable(key))
            << false << key << QByteArray("null") << false;
    }
    const QStringList optional{QStringLiteral("htmlTemplate"), QStringLiteral("cssFile"),
                               QStringLiteral("latexTemplate"), QStringLiteral("docxReference")};
    for (const QString &key : presetObject().keys()) {
        const bool opt = optional.contains(key);
        QTest::addRow("preset %s missing", qPrintable(key)) << true << key << QByteArray() << opt;
        QTest::addRow("preset %s null", qPrintable(key))
            << true << key << QByteArray("null") << opt;
    }

    auto t = [](const char *tag, const char *key, const char *value, bool accepted) {
        QTest::newRow(tag) << false << QString::fromLatin1(key) << QByteArray(value) << accepted;
    };
    t("template id number", "id", "42", false);
    t("template id not uuid", "id", "\"Bericht\"", false);
    t("template id braced", "id", "\"{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}\"", false);
    t("template id short", "id", "\"E621E1F8-C36C-495A-93FC-0C247A3E6E5\"", false);
    t("template id no hyphens", "id", "\"E621E1F8C36C495A93FC0C247A3E6E5F\"", false);
    t("template id non-hex", "id", "\"G621E1F8-C36C-495A-93FC-0C247A3E6E5F\"", false);
    t("template id hyphen moved", "id", "\"E621E1F-8C36C-495A-93FC-0C247A3E6E5F\"", false);
    t("template id lower case", "id", "\"e621e1f8-c36c-495a-93fc-0c247a3e6e5f\"", true);
    t("template id mixed case", "id", "\"e621E1F8-c36c-495A-93fc-0C247A3E6E5F\"", true);
    t("template name number", "name", "1", false);
    t("template name array", "name", "[\"a\"]", false);
    t("template name empty", "name", "\"\"", true);
    t("template type docx", "type", "\"docx\"", false);
    t("template type HTML", "type", "\"HTML\"", false);
    t("template type Latex", "type", "\"Latex\"", false);
    t("template type padded", "type", "\" css\"", false);
    t("template type empty", "type", "\"\"", false);
    t("template type number", "type", "0", false);
    t("template type docx-reference", "type", "\"docx-reference\"", true);
    t("template filePath bool", "filePath", "false", false);
    t("template isFavorite string", "isFavorite", "\"true\"", false);
    t("template isFavorite number", "isFavorite", "1", false);
    t("template lastUsed ISO text", "lastUsed", "\"2024-12-07T14:05:01Z\"", false);
    t("template lastUsed numeric text", "lastUsed", "\"0\"", false);
    t("template lastUsed bool", "lastUsed", "true", false);
    t("template lastUsed object", "lastUsed", "{}", false);
    t("template lastUsed integer", "lastUsed", "0", true);
    t("template lastUsed negative", "lastUsed", "-978307200", true);
    t("template lastUsed exponent", "lastUsed", "7.5e8", true);
    t("template description number", "description", "0", false);
    t("template unknown key", "extra", "{\"nested\": [1, null]}", true);

    auto p = [](const char *tag, const char *key, const char *value, bool accepted) {
        QTest::newRow(tag) << true << QString::fromLatin1(key) << QByteArray(value) << accepted;
    };
    p("preset id lower case", "id", "\"0b1c2d3e-4f50-4a61-b7c8-d9eafb0c1d2e\"", true);
    p("preset id number", "id", "7", false);
    p("preset outputFormat number", "outputFormat", "5", false);
    p("preset htmlTemplate number", "htmlTemplate", "1", false);
    p("preset cssFile bool", "cssFile", "true", false);
    p("preset latexTemplate array", "latexTemplate", "[]", false);
    p("preset docxReference object", "docxReference", "{}", false);
    p("preset htmlTemplate empty", "htmlTemplate", "\"\"", true);
    p("preset standalone string", "standalone", "\"yes\"", false);
    p("preset tableOfContents number", "tableOfContents", "0", false);
    p("preset numberSections string", "numberSections", "\"false\"", false);
    p("preset additionalOptions number", "additionalOptions", "0", false);
    p("preset additionalOptions array", "additionalOptions", "[\"--toc\"]", false);
    p("preset unknown key", "version", "2", true);
}

void TstRecordJson::strictness()
{
    QFETCH(bool, isPreset);
    QFETCH(QString, key);
    QFETCH(QByteArray, value);
    QFETCH(bool, accepted);

    QJsonObject mutated = isPreset ? presetObject() : templateObject();
    if (value.isEmpty()) {
        QVERIFY(mutated.contains(key));
        mutated.remove(key);
    } else {
        QJsonParseError parseError;
        const QJsonDocument wrapped = QJsonDocument::fromJson("[" + value + "]", &parseError);
        QCOMPARE(parseError.error, QJsonParseError::NoError);
        mutated.insert(key, wrapped.array().at(0));
    }
    const QByteArray json = arrayOf(isPreset ? presetObject() : templateObject(), mutated);

    QString error;
    bool ok = false;
    qsizetype count = -1;
    if (isPreset) {
        QList<Preset> out{samplePreset()};
        const QList<Preset> before = out;
        ok = decodeRecords(json, &out, &error);
        count = out.size();
        if (!ok)
            QCOMPARE(out, before);
    } else {
        QList<Template> out{sampleTemplate(QStringLiteral("x"), TemplateType::Css)};
        const QList<Template> before = out;
        ok = decodeRecords(json, &out, &error);
        count = out.size();
        if (!ok)
            QCOMPARE(out, before);
    }
    QCOMPARE(ok, accepted);
    if (accepted)
        QCOMPARE(count, 2);
    else
        QVERIFY2(!error.isEmpty(), "a rejected file must say why");
}

void TstRecordJson::documentLevelFailures_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("blank") << QByteArray(" \n\t") << false;
    QTest::newRow("object") << QByteArray("{}") << false;
    QTest::newRow("null") << QByteArray("null") << false;
    QTest::newRow("string") << QByteArray("\"[]\"") << false;
    QTest::newRow("truncated") << QByteArray("[{\"id\": \"E621E1F8-C36C") << false;
    QTest::newRow("unclosed array") << QByteArray("[") << false;
    QTest::newRow("trailing comma") << QByteArray("[{},]") << false;
    QTest::newRow("element number") << QByteArray("[1]") << false;
    QTest::newRow("element null") << QByteArray("[null]") << false;
    QTest::newRow("element array") << QByteArray("[[]]") << false;
    QTest::newRow("two documents") << QByteArray("[] []") << false;
    QTest::newRow("comment") << QByteArray("// list\n[]") << false;
    QTest::newRow("empty array, spaced") << QByteArray("\r\n [ \t ] \n") << true;
}

void TstRecordJson::documentLevelFailures()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, accepted);
    QList<Template> templates{sampleTemplate(QStringLiteral("x"), TemplateType::Html)};
    QList<Preset> presets{samplePreset()};
    QString error;
    QCOMPARE(decodeRecords(json, &templates, &error), accepted);
    QCOMPARE(templates.size(), accepted ? 0 : 1);
    QCOMPARE(decodeRecords(json, &presets, &error), accepted);
    QCOMPARE(presets.size(), accepted ? 0 : 1);
}

void TstRecordJson::optionalNamesMissingOrNullAreAbsent()
{
    QJsonObject missing = presetObject();
    missing.remove(QStringLiteral("htmlTemplate"));
    QJsonObject null = presetObject();
    null.insert(QStringLiteral("htmlTemplate"), QJsonValue::Null);
    null.insert(QStringLiteral("cssFile"), QJsonValue::Null);

    QList<Preset> out;
    QString error;
    QVERIFY2(decodeRecords(arrayOf(missing, null), &out, &error), qPrintable(error));
    QCOMPARE(out.size(), 2);
    QCOMPARE(out[0].htmlTemplate, std::nullopt);
    QCOMPARE(out[0].cssFile, std::optional<QString>(QStringLiteral("Stil")));
    QCOMPARE(out[1].htmlTemplate, std::nullopt);
    QCOMPARE(out[1].cssFile, std::nullopt);
    QCOMPARE(out[1].latexTemplate, std::optional<QString>(QStringLiteral("Brief")));
    QCOMPARE(out[1].docxReference, std::optional<QString>(QStringLiteral("Firma")));

    // Written back, the absent names are left out, never written as null.
    const QJsonArray written = QJsonDocument::fromJson(encodeRecords(out)).array();
    QVERIFY(!written[0].toObject().contains(QStringLiteral("htmlTemplate")));
    QVERIFY(!written[1].toObject().contains(QStringLiteral("htmlTemplate")));
    QVERIFY(!written[1].toObject().contains(QStringLiteral("cssFile")));
    QCOMPARE(written[1].toObject().value(QStringLiteral("latexTemplate")).toString(),
             QStringLiteral("Brief"));
}

void TstRecordJson::templateTypeRawValues_data()
{
    QTest::addColumn<QString>("raw");
    QTest::addColumn<int>("kind"); // -1: no kind
    QTest::addColumn<QString>("display");

    QTest::newRow("html") << "html" << int(TemplateType::Html) << "HTML-Template";
    QTest::newRow("latex") << "latex" << int(TemplateType::Latex) << "LaTeX-Template";
    QTest::newRow("docx-reference")
        << "docx-reference" << int(TemplateType::DocxReference) << "DOCX-Referenz";
    QTest::newRow("css") << "css" << int(TemplateType::Css) << "CSS-Datei";
    QTest::newRow("HTML") << "HTML" << -1 << QString();
    QTest::newRow("docx") << "docx" << -1 << QString();
    QTest::newRow("docxReference") << "docxReference" << -1 << QString();
    QTest::newRow("tex") << "tex" << -1 << QString();
    QTest::newRow("trailing blank") << "css " << -1 << QString();
    QTest::newRow("empty") << "" << -1 << QString();
}

void TstRecordJson::templateTypeRawValues()
{
    QFETCH(QString, raw);
    QFETCH(int, kind);
    QFETCH(QString, display);

    const std::optional<TemplateType> type = templateTypeFromRawValue(raw);
    QCOMPARE(type.has_value(), kind >= 0);
    if (!type)
        return;
    QCOMPARE(int(*type), kind);
    QCOMPARE(rawValue(*type), raw);
    QCOMPARE(displayName(*type), display);

    // The same spelling must survive the index file both ways.
    Template t = sampleTemplate(QStringLiteral("k"), *type);
    const QJsonArray written = QJsonDocument::fromJson(encodeRecords(QList<Template>{t})).array();
    QCOMPARE(written[0].toObject().value(QStringLiteral("type")).toString(), raw);
}

void TstRecordJson::uuidReadInLowerCaseIsWrittenUpperCase()
{
    const QString lower = QStringLiteral("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    QJsonObject t = templateObject();
    t.insert(QStringLiteral("id"), lower);
    QJsonObject p = presetObject();
    p.insert(QStringLiteral("id"), lower);

    QList<Template> templates;
    QList<Preset> presets;
    QString error;
    QVERIFY(decodeRecords(QJsonDocument(QJsonArray{t}).toJson(), &templates, &error));
    QVERIFY(decodeRecords(QJsonDocument(QJsonArray{p}).toJson(), &presets, &error));
    QCOMPARE(templates[0].id, QUuid::fromString(lower));
    QCOMPARE(presets[0].id, QUuid::fromString(lower));

    for (const QByteArray &text : {encodeRecords(templates), encodeRecords(presets)}) {
        QVERIFY2(text.contains(QByteArray("\"" + lower.toUpper().toLatin1() + "\"")),
                 text.constData());
        QVERIFY(!text.contains(lower.toLatin1()));
    }
}

void TstRecordJson::slashesReadEitherWayAndWrittenEscaped()
{
    const QByteArray escaped =
        R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","name":"a\/b","type":"css",)"
        R"("filePath":"\/srv\/Velunor\/Templates\/css\/a.css","isFavorite":true,)"
        R"("lastUsed":1,"description":"\u00e4\/\/ \/"}])";
    QByteArray plain = escaped;
    plain.replace("\\/", "/");

    QList<Template> fromEscaped;
    QList<Template> fromPlain;
    QString error;
    QVERIFY2(decodeRecords(escaped, &fromEscaped, &error), qPrintable(error));
    QVERIFY2(decodeRecords(plain, &fromPlain, &error), qPrintable(error));
    QCOMPARE(fromEscaped, fromPlain);
    QCOMPARE(fromPlain[0].name, QStringLiteral("a/b"));
    QCOMPARE(fromPlain[0].filePath, QStringLiteral("/srv/Velunor/Templates/css/a.css"));
    QCOMPARE(fromPlain[0].description, QStringLiteral("ä// /"));

    const QByteArray written = encodeRecords(fromPlain);
    QVERIFY2(written.contains(R"("\/srv\/Velunor\/Templates\/css\/a.css")"), written.constData());
    QVERIFY(written.contains(R"("a\/b")"));
    // Every slash of the document is escaped; none is doubled.
    QCOMPARE(written.count('/'), written.count("\\/"));
    QVERIFY(!written.contains("\\\\/"));

    Preset p = samplePreset();
    const QByteArray presetText = encodeRecords(QList<Preset>{p});
    QVERIFY(presetText.contains(R"(title=\"A\/B\")"));
    QList<Preset> back;
    QVERIFY(decodeRecords(presetText, &back, &error));
    QCOMPARE(back[0].additionalOptions, p.additionalOptions);
}

void TstRecordJson::whitespaceAndKeyOrderCarryNoMeaning()
{
    // Reversed key order, tabs, CRLF and no whitespace at all side by side.
    const QByteArray json =
        "[\r\n\t{\"description\":\"d\",\"lastUsed\":0.5,\"isFavorite\":true,\r\n"
        "\t\"filePath\":\"/p\",\"type\":\"latex\",\"name\":\"n\",\r\n"
        "\t\"id\":\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\"}\r\n,"
        "{\"id\":\"0B1C2D3E-4F50-4A61-B7C8-D9EAFB0C1D2E\",\"name\":\"m\",\"type\":\"css\","
        "\"filePath\":\"/q\",\"isFavorite\":false,\"lastUsed\":-1,\"description\":\"\"}]";
    QList<Template> out;
    QString error;
    QVERIFY2(decodeRecords(json, &out, &error), qPrintable(error));
    QCOMPARE(out.size(), 2);
    QCOMPARE(out[0].id, QUuid::fromString(kTemplateId));
    QCOMPARE(out[0].name, QStringLiteral("n"));
    QCOMPARE(out[0].type, TemplateType::Latex);
    QCOMPARE(out[0].filePath, QStringLiteral("/p"));
    QCOMPARE(out[0].isFavorite, true);
    QCOMPARE(out[0].description, QStringLiteral("d"));
    QCOMPARE(out[0].lastUsed, QDateTime(QDate(2001, 1, 1), QTime(0, 0, 0, 500), Qt::UTC));
    QCOMPARE(out[1].lastUsed, QDateTime(QDate(2000, 12, 31), QTime(23, 59, 59), Qt::UTC));
}

void TstRecordJson::unknownKeysAreIgnoredAndDropped()
{
    QJsonObject t = templateObject();
    t.insert(QStringLiteral("tags"), QJsonArray{QStringLiteral("x")});
    t.insert(QStringLiteral("ID"), 5); // keys are case-sensitive: this is an unknown key
    QList<Template> out;
    QString error;
    QVERIFY2(decodeRecords(QJsonDocument(QJsonArray{t}).toJson(), &out, &error), qPrintable(error));
    QCOMPARE(out[0].id, QUuid::fromString(kTemplateId));
    const QByteArray written = encodeRecords(out);
    QVERIFY(!written.contains("tags"));
    QVERIFY(!written.contains("\"ID\""));
}

void TstRecordJson::datesCountFromReferenceDate_data()
{
    QTest::addColumn<QByteArray>("number");
    QTest::addColumn<QDateTime>("time");

    const Qt::TimeSpec utc = Qt::UTC;
    QTest::newRow("zero") << QByteArray("0") << QDateTime(QDate(2001, 1, 1), QTime(0, 0), utc);
    QTest::newRow("zero as float")
        << QByteArray("0.0") << QDateTime(QDate(2001, 1, 1), QTime(0, 0), utc);
    QTest::newRow("unix epoch") << QByteArray("-978307200")
                                << QDateTime(QDate(1970, 1, 1), QTime(0, 0), utc);
    QTest::newRow("one day and a fraction")
        << QByteArray("86400.25") << QDateTime(QDate(2001, 1, 2), QTime(0, 0, 0, 250), utc);
    QTest::newRow("2024") << QByteArray("755272800.5")
                          << QDateTime(QDate(2024, 12, 7), QTime(14, 0, 0, 500), utc);
}

void TstRecordJson::datesCountFromReferenceDate()
{
    QFETCH(QByteArray, number);
    QFETCH(QDateTime, time);

    QByteArray json = QJsonDocument(QJsonArray{templateObject()}).toJson();
    json.replace("\"lastUsed\": 12.5", QByteArray("\"lastUsed\": " + number));
    QList<Template> out;
    QString error;
    QVERIFY2(decodeRecords(json, &out, &error), json.constData());
    QCOMPARE(out[0].lastUsed, time);
    QCOMPARE(referenceSeconds(time), number.toDouble());

    // Written as a JSON number of the same value.
    const QJsonValue written = QJsonDocument::fromJson(encodeRecords(out))
                                   .array()[0]
                                   .toObject()[QStringLiteral("lastUsed")];
    QVERIFY(written.isDouble());
    QCOMPARE(written.toDouble(), number.toDouble());
}

void TstRecordJson::emptyList()
{
    const QByteArray templates = encodeRecords(QList<Template>());
    const QByteArray presets = encodeRecords(QList<Preset>());
    for (const QByteArray &text : {templates, presets}) {
        const QJsonDocument doc = QJsonDocument::fromJson(text);
        QVERIFY2(doc.isArray(), text.constData());
        QVERIFY(doc.array().isEmpty());
    }
    QList<Template> t{sampleTemplate(QStringLiteral("x"), TemplateType::Html)};
    QList<Preset> p{samplePreset()};
    QString error;
    QVERIFY(decodeRecords(templates, &t, &error));
    QVERIFY(decodeRecords(presets, &p, &error));
    QVERIFY(t.isEmpty());
    QVERIFY(p.isEmpty());
}

void TstRecordJson::roundTrips()
{
    QList<Template> templates;
    for (TemplateType type : templateTypeAllCases)
        templates.append(sampleTemplate(QStringLiteral("T ") + rawValue(type), type));
    // Times at millisecond precision anywhere in a wide range come back exactly.
    templates[0].lastUsed = QDateTime::currentDateTimeUtc();
    templates[1].lastUsed = QDateTime(QDate(1999, 3, 4), QTime(5, 6, 7, 999), Qt::UTC);
    templates[2].lastUsed = QDateTime(QDate(2100, 1, 1), QTime(0, 0, 0, 1), Qt::UTC);
    templates[3].name = QString();
    templates[3].description = QStringLiteral("\t\b\f\r\u0001\u001f\u007f\u2028 </script>");

    const QByteArray text = encodeRecords(templates);
    QList<Template> templatesBack;
    QString error;
    QVERIFY2(decodeRecords(text, &templatesBack, &error), qPrintable(error));
    QCOMPARE(templatesBack, templates);
    // Another reader sees the same strings, so the escaping is plain JSON.
    const QJsonArray independent = QJsonDocument::fromJson(text).array();
    QCOMPARE(independent.size(), templates.size());
    for (qsizetype i = 0; i < templates.size(); ++i) {
        const QJsonObject o = independent[i].toObject();
        QCOMPARE(o.value(QStringLiteral("name")).toString(), templates[i].name);
        QCOMPARE(o.value(QStringLiteral("description")).toString(), templates[i].description);
        QCOMPARE(o.value(QStringLiteral("filePath")).toString(), templates[i].filePath);
    }

    Preset none;
    none.id = QUuid::createUuid();
    none.name = QString();
    Preset all = samplePreset();
    all.cssFile = QStringLiteral("Stil");
    all.docxReference = QStringLiteral("Firma 😀");
    const QList<Preset> presets{samplePreset(), none, all};
    QList<Preset> presetsBack;
    QVERIFY2(decodeRecords(encodeRecords(presets), &presetsBack, &error), qPrintable(error));
    QCOMPARE(presetsBack, presets);
}

void TstRecordJson::keysWrittenInFieldOrderAndPrettyPrinted()
{
    const QByteArray templates =
        encodeRecords(QList<Template>{sampleTemplate(QStringLiteral("a"), TemplateType::Html),
                                      sampleTemplate(QStringLiteral("b"), TemplateType::Css)});
    const QStringList templateKeys{"id",         "name",     "type",       "filePath",
                                   "isFavorite", "lastUsed", "description"};
    QCOMPARE(keysInTextOrder(templates), (QList<QStringList>{templateKeys, templateKeys}));

    Preset all = samplePreset();
    all.cssFile = QStringLiteral("c");
    all.docxReference = QStringLiteral("d");
    const QByteArray presets = encodeRecords(QList<Preset>{all});
    QCOMPARE(keysInTextOrder(presets),
             (QList<QStringList>{{"id", "name", "inputFormat", "outputFormat", "htmlTemplate",
                                  "cssFile", "latexTemplate", "docxReference", "standalone",
                                  "tableOfContents", "numberSections", "additionalOptions"}}));

    // One member per line, nested levels indented deeper than the array's.
    const QList<QByteArray> lines = presets.trimmed().split('\n');
    QCOMPARE(lines.size(), 12 + 4);
    QCOMPARE(lines.first(), QByteArray("["));
    QCOMPARE(lines.last(), QByteArray("]"));
    const qsizetype objectIndent = lines[1].indexOf('{');
    QVERIFY(lines[2].indexOf('"') > objectIndent);
}

void TstRecordJson::absentNamesAreLeftOutEmptyNamesAreKept()
{
    Preset p = samplePreset();
    p.htmlTemplate = std::nullopt;
    p.cssFile = std::nullopt;
    p.latexTemplate = QString();
    p.docxReference = std::nullopt;
    const QByteArray text = encodeRecords(QList<Preset>{p});
    QVERIFY(!text.contains("null"));
    const QJsonObject o = QJsonDocument::fromJson(text).array()[0].toObject();
    QVERIFY(!o.contains(QStringLiteral("htmlTemplate")));
    QVERIFY(!o.contains(QStringLiteral("cssFile")));
    QVERIFY(!o.contains(QStringLiteral("docxReference")));
    QVERIFY(o.value(QStringLiteral("latexTemplate")).isString());
    QCOMPARE(o.value(QStringLiteral("latexTemplate")).toString(), QString());
    QCOMPARE(o.size(), 9);
}

void TstRecordJson::equalityAndHash_data()
{
    QTest::addColumn<QString>("field");

    for (const char *f : {"id",
                          "name",
                          "type",
                          "filePath",
                          "isFavorite",
                          "lastUsed",
                          "description",
                          "p.id",
                          "p.name",
                          "p.inputFormat",
                          "p.outputFormat",
                          "p.htmlTemplate absent",
                          "p.htmlTemplate empty",
                          "p.cssFile",
                          "p.latexTemplate",
                          "p.docxReference",
                          "p.standalone",
                          "p.tableOfContents",
                          "p.numberSections",
                          "p.additionalOptions"})
        QTest::newRow(f) << QString::fromLatin1(f);
}

// Changing any single field makes two records unequal and (almost surely) hash differently.
void TstRecordJson::equalityAndHash()
{
    QFETCH(QString, field);

    if (!field.startsWith(u"p.")) {
        const Template a = sampleTemplate(QStringLiteral("a"), TemplateType::Html);
        Template b = a;
        QCOMPARE(a, b);
        QCOMPARE(qHash(a), qHash(b));
        QCOMPARE(qHash(a, 7), qHash(b, 7));
        if (field == u"id")
            b.id = QUuid::createUuid();
        else if (field == u"name")
            b.name = QStringLiteral("A");
        else if (field == u"type")
            b.type = TemplateType::Css;
        else if (field == u"filePath")
            b.filePath += u'x';
        else if (field == u"isFavorite")
            b.isFavorite = !b.isFavorite;
        else if (field == u"lastUsed")
            b.lastUsed = b.lastUsed.addMSecs(1);
        else if (field == u"description")
            b.description.clear();
        QVERIFY(!(a == b));
        QVERIFY(a != b);
        QVERIFY(qHash(a) != qHash(b));
        return;
    }

    Preset a = samplePreset();
    a.cssFile = QStringLiteral("c");
    Preset b = a;
    QCOMPARE(a, b);
    QCOMPARE(qHash(a), qHash(b));
    if (field == u"p.id")
        b.id = QUuid::createUuid();
    else if (field == u"p.name")
        b.name = QStringLiteral("standard");
    else if (field == u"p.inputFormat")
        b.inputFormat = QStringLiteral("html");
    else if (field == u"p.outputFormat")
        b.outputFormat = QStringLiteral("gfm");
    else if (field == u"p.htmlTemplate absent")
        b.htmlTemplate = std::nullopt;
    else if (field == u"p.htmlTemplate empty") {
        // An absent name and an empty name are different values.
        a.htmlTemplate = std::nullopt;
        b.htmlTemplate = QString();
    } else if (field == u"p.cssFile")
        b.cssFile = QStringLiteral("C");
    else if (field == u"p.latexTemplate")
        b.latexTemplate = std::nullopt;
    else if (field == u"p.docxReference")
        b.docxReference = QStringLiteral("d");
    else if (field == u"p.standalone")
        b.standalone = !b.standalone;
    else if (field == u"p.tableOfContents")
        b.tableOfContents = !b.tableOfContents;
    else if (field == u"p.numberSections")
        b.numberSections = !b.numberSections;
    else if (field == u"p.additionalOptions")
        b.additionalOptions += u' ';
    QVERIFY(a != b);
    QVERIFY(qHash(a) != qHash(b));
}

void TstRecordJson::equalInstantsInOtherZonesHashAlike()
{
    Template utc = sampleTemplate(QStringLiteral("a"), TemplateType::Html);
    Template shifted = utc;
    shifted.lastUsed = utc.lastUsed.toOffsetFromUtc(2 * 3600);
    Template local = utc;
    local.lastUsed = utc.lastUsed.toLocalTime();
    QCOMPARE(shifted, utc);
    QCOMPARE(local, utc);
    QCOMPARE(qHash(shifted), qHash(utc));
    QCOMPARE(qHash(local), qHash(utc));

    QSet<Template> set{utc, shifted, local};
    QCOMPARE(set.size(), 1);
}

QTEST_GUILESS_MAIN(TstRecordJson)
#include "tst_recordjson.moc"
