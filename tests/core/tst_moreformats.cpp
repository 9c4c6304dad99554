// Formats and PDF engines with Debian's pandoc, lualatex and pdftotext.
#include "conversionhelpers.h"
#include "fakes.h"

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
};

void TstMoreFormats::initTestCase()
{
    for (const char *tool : {"/usr/bin/pandoc", "/usr/bin/pdftotext", "/usr/bin/lualatex"}) {
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

QTEST_GUILESS_MAIN(TstMoreFormats)
#include "tst_moreformats.moc"
