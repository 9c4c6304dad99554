// Inputs the fuzz targets found, kept so the faults stay fixed.
#include "recordjson.h"
#include "shellwords.h"

#include <QTest>

class TstFuzzFindings final : public QObject
{
    Q_OBJECT

private slots:
    void unsplittableOptionsGiveNoWords_data();
    void unsplittableOptionsGiveNoWords();
    void deepNestingFailsWithoutParsing_data();
    void deepNestingFailsWithoutParsing();
};

void TstFuzzFindings::unsplittableOptionsGiveNoWords_data()
{
    QTest::addColumn<QByteArray>("text");
    // The fuzzer's own find: words were returned alongside the error.
    QTest::newRow("fuzz: quote reopened after words")
        << QByteArray("\"u\x9a\x9c\x93\xe0--metadata title=\"Mein Tite\xe0l\"\xe0\xe0 ");
    QTest::newRow("double quote after words") << QByteArray("--toc --metadata \"title=x");
    QTest::newRow("single quote after words") << QByteArray("-V 'a");
}

void TstFuzzFindings::unsplittableOptionsGiveNoWords()
{
    QFETCH(QByteArray, text);
    const ShellWords split = splitShellWords(QString::fromUtf8(text));
    QVERIFY(split.error);
    QVERIFY(!split.error->isEmpty());
    QVERIFY(split.words.isEmpty());
}

void TstFuzzFindings::deepNestingFailsWithoutParsing_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("accepted");
    const QByteArray deep = QByteArray(513, '[') + QByteArray(513, ']');
    QTest::newRow("513 levels") << deep << false;
    QTest::newRow("512 levels, not records") << deep.mid(1).chopped(1) << false;
    QTest::newRow("brackets inside a string do not count")
        << "[{\"id\": \"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\", \"name\": \"" +
               QByteArray(2000, '[') +
               "\\\"\", \"type\": \"css\", \"filePath\": \"a\", \"isFavorite\": false, "
               "\"lastUsed\": 0, \"description\": \"\"}]"
        << true;
}

void TstFuzzFindings::deepNestingFailsWithoutParsing()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, accepted);
    QList<Template> out;
    QString error;
    QCOMPARE(decodeRecords(json, &out, &error), accepted);
    if (accepted) {
        QCOMPARE(out.size(), 1);
        QCOMPARE(out.first().name, QString(2000, u'[') + u'"');
    } else {
        QVERIFY(!error.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TstFuzzFindings)
#include "tst_fuzzfindings.moc"
