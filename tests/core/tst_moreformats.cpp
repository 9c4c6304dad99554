// Formats and PDF engines with Debian's pandoc, lualatex and pdftotext.
#include "conversionhelpers.h"
#include "fakes.h"
#include "pdfsetup.h"
#include "textprobe.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace {

bool convert(PandocViewModel &vm)
{
    return runToEnd(vm, 600000);
}

} // namespace

class TstMoreFormats final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listedFormats();
    void addedFormatEndToEnd_data();
    void addedFormatEndToEnd();
    void multiScriptPdf();
    void automaticReadsTheText_data();
    void automaticReadsTheText();
    void entitiesEndToEnd();
};

void TstMoreFormats::initTestCase()
{
    for (const char *tool :
         {"/usr/bin/pandoc", "/usr/bin/pdftotext", "/usr/bin/lualatex", "/usr/bin/xelatex"}) {
        if (!QFile::exists(QLatin1StringView(tool)))
            QFAIL(qPrintable(QStringLiteral("%1 is required: ./test.sh installs it").arg(tool)));
    }
}

void TstMoreFormats::listedFormats()
{
    TestWorld world;
    world.installRealPandoc();
    auto vm = world.makeViewModel();
    QSignalSpy listed(vm.get(), &PandocViewModel::converterFormatsChanged);
    vm->checkPandocInstallation();
    QVERIFY(listed.count() > 0 || listed.wait(60000));
    const QStringList in = vm->extraInputFormats();
    const QStringList out = vm->extraOutputFormats();
    for (const char *name : {"commonmark", "docbook", "jats", "ipynb"})
        QVERIFY2(in.contains(QLatin1StringView(name)), name);
    for (const char *name : {"commonmark", "docbook", "man", "revealjs", "beamer", "asciidoc"})
        QVERIFY2(out.contains(QLatin1StringView(name)), name);
    // The built-in entries are not offered twice.
    for (const char *name : {"markdown", "mediawiki", "html"})
        QVERIFY2(!in.contains(QLatin1StringView(name)), name);
    for (const char *name : {"html5", "pdf", "gfm", "plain", "docx"})
        QVERIFY2(!out.contains(QLatin1StringView(name)), name);
}

void TstMoreFormats::addedFormatEndToEnd_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("commonmark") << "commonmark"
                                << "Bericht.md" << QByteArray("# Kapitel Eins");
    QTest::newRow("docbook") << "docbook"
                             << "Bericht.xml" << QByteArray("<title>Kapitel Eins</title>");
}

void TstMoreFormats::addedFormatEndToEnd()
{
    QFETCH(QString, format);
    QFETCH(QString, output);
    QFETCH(QByteArray, expected);
    TestWorld world;
    world.installRealPandoc();
    const QString input =
        world.writeFile(QStringLiteral("Bericht.rst"), "Kapitel Eins\n============\n\nGrüße.\n\n"
                                                       "Kapitel Zwei\n============\n\nMehr.\n");
    auto vm = world.makeViewModel();
    vm->setInputFormat(QStringLiteral("rst"));
    vm->setOutputFormat(format);
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QCOMPARE(vm->outputFile(), world.path(output));
    QVERIFY(convert(*vm));
    QVERIFY2(vm->statusColor() == PandocViewModel::StatusColor::Green,
             qPrintable(vm->logMessages().join(u'\n')));
    const QByteArray text = fileBytes(world.path(output));
    QVERIFY2(text.contains(expected) && text.contains("Grüße"), text.constData());
}

void TstMoreFormats::multiScriptPdf()
{
    TestWorld world;
    world.installRealPandoc();
    const QString sample = QStringLiteral("Grüße aus München, Straße. Ça va très bien, l’œuvre. "
                                          "Καλημέρα κόσμε. Привет, мир. 你好，世界。 😀 🎉");
    const QString input =
        world.writeFile(QStringLiteral("Mehrsprachig.md"), "# Probe\n\n" + sample.toUtf8() + '\n');
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("pdf"));
    QCOMPARE(vm->pdfEngine(), PandocViewModel::kAutomaticPdfEngine);
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY(convert(*vm));
    QVERIFY2(vm->statusColor() == PandocViewModel::StatusColor::Green,
             qPrintable(vm->logMessages().join(u'\n')));

    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"),
                    {world.path(QStringLiteral("Mehrsprachig.pdf")), QStringLiteral("-")});
    QVERIFY(pdftotext.waitForFinished(60000));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    for (const char32_t c : sample.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        if (!one.trimmed().isEmpty())
            QVERIFY2(text.contains(one),
                     qPrintable(QStringLiteral("missing ") + one + u'\n' + text));
    }
}

void TstMoreFormats::automaticReadsTheText_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("expected");
    // Every document is ASCII; only pandoc's reading shows what will be set.
    QTest::newRow("plain") << QByteArray("Hallo Welt\n") << QStringList{} << "pdflatex";
    QTest::newRow("entities") << QByteArray("Text &kappa; und &#x416;\n") << QStringList{}
                              << "xelatex";
    QTest::newRow("bibliography") << QByteArray("Siehe [@wang].\n")
                                  << QStringList{"--citeproc", "--bibliography=refs.json"}
                                  << "xelatex";
    QTest::newRow("metadata") << QByteArray("Hallo\n") << QStringList{"-M", "title=Ωμέγα"}
                              << "xelatex";
    QTest::newRow("defaults file")
        << QByteArray("Hallo\n") << QStringList{"--defaults=meta.yaml"} << "xelatex";
}

void TstMoreFormats::automaticReadsTheText()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, options);
    QFETCH(QString, expected);
    TestWorld world;
    const QString input = world.writeFile(QStringLiteral("doc.md"), document);
    world.writeFile(QStringLiteral("refs.json"),
                    R"([{"id": "wang", "type": "book", "title": "你好 Βιβλίο",
                        "author": [{"family": "王"}], "issued": {"date-parts": [[2020]]}}])");
    world.writeFile(QStringLiteral("meta.yaml"), "metadata:\n  title: Ωμέγα\n");
    const PdfSetupPlanner planner(PdfSetup::findEngines(QStringLiteral("/usr/bin")),
                                  world.path(QStringLiteral("cache")));
    TextProbe probe;
    QSignalSpy learnt(&probe, &TextProbe::finished);
    probe.start(QStringLiteral("/usr/bin/pandoc"), QStringList{input} + options, world.root(),
                60000);
    QVERIFY(learnt.wait(60000));
    const auto text = learnt.first().first().value<std::optional<QString>>();
    QVERIFY(text);
    QCOMPARE(planner.automaticEngineForText(text), expected);
}

// The whole run: the engine chosen from the text is logged, and the characters are in the PDF.
void TstMoreFormats::entitiesEndToEnd()
{
    TestWorld world;
    world.installRealPandoc();
    const QString input =
        world.writeFile(QStringLiteral("Entitaeten.md"), "Kappa &kappa;, Zhe &#x416;.\n");
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("pdf"));
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY(convert(*vm));
    const QStringList log = vm->logMessages();
    QVERIFY2(vm->statusColor() == PandocViewModel::StatusColor::Green, qPrintable(log.join(u'\n')));
    QVERIFY2(log.contains(QStringLiteral("PDF-Engine (Automatisch): xelatex")),
             qPrintable(log.join(u'\n')));
    QProcess pdftotext;
    pdftotext.start(QStringLiteral("pdftotext"),
                    {world.path(QStringLiteral("Entitaeten.pdf")), QStringLiteral("-")});
    QVERIFY(pdftotext.waitForFinished(60000));
    const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
    QVERIFY2(text.contains(u'κ') && text.contains(u'Ж'), qPrintable(text));
}

QTEST_GUILESS_MAIN(TstMoreFormats)
#include "tst_moreformats.moc"
