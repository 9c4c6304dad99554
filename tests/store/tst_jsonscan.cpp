// The fast scanner must hand the store reader exactly what the full JSON parser hands it, and
// give up (so the full parser reports the error) on everything else.
#include "jsonscan.h"

#include <QTest>

#include <nlohmann/json.hpp>

using nlohmann::json;

namespace {

// Writes every event down, so two event sequences can be compared as text.
struct Recorder
{
    std::string log;
    bool add(const std::string &event)
    {
        log += event + '\n';
        return true;
    }
    bool null() { return add("null"); }
    bool boolean(bool v) { return add(v ? "true" : "false"); }
    bool number_integer(json::number_integer_t v) { return number_float(double(v), {}); }
    bool number_unsigned(json::number_unsigned_t v) { return number_float(double(v), {}); }
    bool number_float(double v, const std::string &)
    {
        char text[64];
        std::snprintf(text, sizeof text, "num %.17g", v);
        return add(text);
    }
    bool string(std::string &v) { return add("str " + v); }
    bool binary(json::binary_t &) { return add("binary"); }
    bool key(std::string &v) { return add("key " + v); }
    bool start_object(std::size_t) { return add("{"); }
    bool end_object() { return add("}"); }
    bool start_array(std::size_t) { return add("["); }
    bool end_array() { return add("]"); }
    bool parse_error(std::size_t, const std::string &, const nlohmann::detail::exception &)
    {
        return add("error") && false;
    }
};

} // namespace

class TstJsonScan : public QObject
{
    Q_OBJECT

private slots:
    void sameEventsOrGivesUp_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<bool>("scanned");
        const auto row = [](const char *name, const QByteArray &doc, bool scanned) {
            QTest::newRow(name) << doc << scanned;
        };
        row("store file", "[ { \"id\": \"x\", \"isFavorite\": false, \"lastUsed\": 7.5e8 } ]",
            true);
        row("empty list", " [ ] ", true);
        row("escapes",
            "[\"a\\\"b\\\\c\\/d\\b\\f\\n\\r\\t\", \"\\u00e4\\u20ac\\ud83d\\ude00\", \"\\u0000\"]",
            true);
        row("raw UTF-8", "[\"\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80\"]", true);
        row("numbers", "[0, -0, 12, -3.25, 1e3, 1E-2, 2.5e+10, 123456789012345678901234]", true);
        row("nested values", "[{\"a\":{\"b\":[1,{\"c\":null}]},\"d\":true,\"a\":\"again\"}]", true);
        row("deep nesting", "[[[[[[[[[[1]]]]]]]]]]", false);
        row("byte-order mark", "\xef\xbb\xbf[]", false);
        row("lone high surrogate", "[\"\\ud83d\"]", false);
        row("lone low surrogate", "[\"\\ude00\"]", false);
        row("overlong UTF-8", "[\"\xc0\xaf\"]", false);
        row("UTF-8 surrogate", "[\"\xed\xa0\x80\"]", false);
        row("cut UTF-8", "[\"\xe2\x82\"]", false);
        row("control character", "[\"a\tb\"]", false);
        row("bad escape", "[\"\\x\"]", false);
        row("leading zero", "[01]", false);
        row("bare dot", "[1.]", false);
        row("plus sign", "[+1]", false);
        row("out of range", "[1e400]", false);
        row("trailing comma", "[1,]", false);
        row("missing colon", "[{\"a\" 1}]", false);
        row("trailing text", "[] x", false);
        row("unclosed", "[{\"a\":1}", false);
        row("empty", "", false);
        row("wrong literal", "[tru]", false);
    }

    void sameEventsOrGivesUp()
    {
        QFETCH(QByteArray, document);
        QFETCH(bool, scanned);
        Recorder fast;
        QCOMPARE(jsonscan::scan(document.cbegin(), document.cend(), fast), scanned);
        if (!scanned)
            return;
        Recorder full;
        QVERIFY(json::sax_parse(document.cbegin(), document.cend(), &full));
        QCOMPARE(QString::fromStdString(fast.log), QString::fromStdString(full.log));
    }
};

QTEST_GUILESS_MAIN(TstJsonScan)
#include "tst_jsonscan.moc"
