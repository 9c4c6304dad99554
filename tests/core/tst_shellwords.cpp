#include "shellwords.h"

#include <QProcess>
#include <QTest>

class TstShellWords final : public QObject
{
    Q_OBJECT

private slots:
    void splits_data();
    void splits();
    void unbalancedQuotesFail_data();
    void unbalancedQuotesFail();
    void quoteRoundTripsThroughShell_data();
    void quoteRoundTripsThroughShell();
};

void TstShellWords::splits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("only blanks") << QStringLiteral("   \t ") << QStringList();
    QTest::newRow("two blanks between")
        << QStringLiteral("--toc  --foo")
        << QStringList{QStringLiteral("--toc"), QStringLiteral("--foo")};
    QTest::newRow("field example")
        << QStringLiteral("--metadata title=\"Titel\"")
        << QStringList{QStringLiteral("--metadata"), QStringLiteral("title=Titel")};
    QTest::newRow("quoted blank stays one word")
        << QStringLiteral("--metadata title=\"Mein Titel\"")
        << QStringList{QStringLiteral("--metadata"), QStringLiteral("title=Mein Titel")};
    QTest::newRow("single quotes are literal")
        << QStringLiteral("'a \"b\" \\c'") << QStringList{QStringLiteral("a \"b\" \\c")};
    QTest::newRow("backslash escapes blank")
        << QStringLiteral("a\\ b c") << QStringList{QStringLiteral("a b"), QStringLiteral("c")};
    QTest::newRow("escapes inside double quotes")
        << QStringLiteral("\"x\\\"y\\\\z\\n\"") << QStringList{QStringLiteral("x\"y\\z\\n")};
    QTest::newRow("empty quotes give an empty word")
        << QStringLiteral("-V x= ''")
        << QStringList{QStringLiteral("-V"), QStringLiteral("x="), QString()};
    QTest::newRow("adjacent parts join")
        << QStringLiteral("a'b'\"c\"d") << QStringList{QStringLiteral("abcd")};
    QTest::newRow("tabs and newlines separate")
        << QStringLiteral("a\tb\nc")
        << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    QTest::newRow("no expansion") << QStringLiteral("$HOME ~ *.md")
                                  << QStringList{QStringLiteral("$HOME"), QStringLiteral("~"),
                                                 QStringLiteral("*.md")};
    QTest::newRow("umlauts") << QStringLiteral("--metadata=autor:\"Jürgen Größe\"")
                             << QStringList{QStringLiteral("--metadata=autor:Jürgen Größe")};
}

void TstShellWords::splits()
{
    QFETCH(QString, text);
    QFETCH(QStringList, words);
    const ShellWords result = splitShellWords(text);
    QVERIFY(!result.error);
    QCOMPARE(result.words, words);
}

void TstShellWords::unbalancedQuotesFail_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("double") << QStringLiteral("--metadata title=\"Titel");
    QTest::newRow("single") << QStringLiteral("'abc");
    QTest::newRow("escaped closing quote") << QStringLiteral("\"abc\\\"");
}

void TstShellWords::unbalancedQuotesFail()
{
    QFETCH(QString, text);
    QVERIFY(splitShellWords(text).error.has_value());
}

void TstShellWords::quoteRoundTripsThroughShell_data()
{
    QTest::addColumn<QString>("argument");
    QTest::newRow("plain") << QStringLiteral("--toc");
    QTest::newRow("empty") << QString();
    QTest::newRow("blank") << QStringLiteral("/tmp/mein Ordner/a.md");
    QTest::newRow("single quote") << QStringLiteral("it's");
    QTest::newRow("double quote and dollar") << QStringLiteral("\"$HOME\" `x`");
    QTest::newRow("leading dash and umlaut") << QStringLiteral("-Ärger.md");
    QTest::newRow("newline") << QStringLiteral("a\nb");
}

void TstShellWords::quoteRoundTripsThroughShell()
{
    QFETCH(QString, argument);
    // Ask a real shell to read the quoted text back.
    QProcess sh;
    sh.start(QStringLiteral("/bin/sh"),
             {QStringLiteral("-c"), QStringLiteral("printf '%s' ") + shellQuote(argument)});
    QVERIFY(sh.waitForFinished(5000));
    QCOMPARE(QString::fromUtf8(sh.readAllStandardOutput()), argument);
    // And our own splitter agrees with the shell.
    QCOMPARE(splitShellWords(shellQuote(argument)).words, QStringList{argument});
}

QTEST_GUILESS_MAIN(TstShellWords)
#include "tst_shellwords.moc"
