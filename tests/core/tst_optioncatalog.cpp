// pandoc's options as Velunor reads them: the table against pandoc's own list, and words
// parsed the way pandoc parses them.
#include "extraoptions.h"
#include "optioncatalog.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace PandocOptions;

class TstOptionCatalog final : public QObject
{
    Q_OBJECT

private slots:
    void everyOptionOfPandocIsKnown();
    void outputOptions_data();
    void outputOptions();
};

void TstOptionCatalog::everyOptionOfPandocIsKnown()
{
    QProcess pandoc;
    pandoc.start(QStringLiteral("pandoc"), {QStringLiteral("--help")});
    QVERIFY(pandoc.waitForFinished(30000));
    const QString help = QString::fromUtf8(pandoc.readAllStandardOutput());
    // "  -M KEY[:VALUE]   --metadata=KEY[:VALUE]", "   --toc, --table-of-contents",
    // "--webtex[=URL]"
    static const QRegularExpression longForm(QStringLiteral("--([a-z0-9-]+)(\\[=|=)?"));
    static const QRegularExpression shortForm(QStringLiteral("^\\s+-([A-Za-z])\\b( [A-Z])?"));
    int seen = 0;
    for (const QString &line : help.split(u'\n')) {
        for (auto it = longForm.globalMatch(line); it.hasNext(); ++seen) {
            const auto m = it.next();
            const Option *option = byName(m.captured(1));
            QVERIFY2(option, qPrintable(m.captured(1)));
            const Arg expected = m.captured(2) == u"[="  ? Arg::Optional
                                 : m.captured(2) == u"=" ? Arg::Required
                                                         : Arg::None;
            QVERIFY2(option->arg == expected, qPrintable(m.captured(1)));
            if (const auto s = shortForm.match(line); s.hasMatch()) {
                const Option *named = byShortName(s.captured(1).at(0));
                QVERIFY2(named, qPrintable(line));
                QCOMPARE(named->arg == Arg::None, s.captured(2).isEmpty());
            }
        }
    }
    QVERIFY2(seen > 80, "pandoc --help listed too few options");
}

void TstOptionCatalog::outputOptions_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("found");
    QTest::newRow("metadata takes -- as its value") << "--metadata -- -o a.md"
                                                    << "-o";
    QTest::newRow("shortest prefix") << "--o a.md"
                                     << "--o";
    QTest::newRow("prefix with value") << "--outp=a.md"
                                       << "--outp=a.md";
    QTest::newRow("bundle ends in o") << "-sNo a.md"
                                      << "-sNo";
    QTest::newRow("attached value of M") << "-Mo=1"
                                         << "";
    QTest::newRow("value of a long option") << "--lua-filter -o"
                                            << "";
    QTest::newRow("value of V") << "-V -o"
                                << "";
    QTest::newRow("file names after --") << "-- -o a.md"
                                         << "";
    QTest::newRow("ambiguous prefix is no output") << "--t html"
                                                   << "";
    QTest::newRow("alias prefix") << "--table -o x"
                                  << "-o";
}

void TstOptionCatalog::outputOptions()
{
    QFETCH(QString, words);
    QFETCH(QString, found);
    QCOMPARE(findOutputOption(words.split(u' ')).value_or(QString()), found);
}

QTEST_GUILESS_MAIN(TstOptionCatalog)
#include "tst_optioncatalog.moc"
