// Formats beyond the pickers' own, derived file names, and the PDF engine choice.
#include "conversionhelpers.h"
#include "fakes.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {

// A folder of stand-in engines; only their names and executability matter.
QString engineFolder(TestWorld &world, const QStringList &engines)
{
    const QString dir = world.path(QStringLiteral("engines"));
    for (const QString &engine : engines) {
        const QString file = world.writeFile(QStringLiteral("engines/") + engine, "#!/bin/sh\n");
        QFile::setPermissions(file, QFile::permissions(file) | QFile::ExeOwner);
    }
    return dir;
}

} // namespace

class TstFormats final : public QObject
{
    Q_OBJECT

private slots:
    void init() { FormatQuery::clearCache(); }
    void derivedNames_data();
    void derivedNames();
    void automaticEngine_data();
    void automaticEngine();
    void engineOnTheCommandLine();
    void presetKeepsTheEngine();
    void presetWithUnknownFormatWarns();
    void exitCode43Hint();
};

void TstFormats::derivedNames_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("pickers"); // h = HTML + CSS, l = LaTeX, d = DOCX
    // The pickers' own entries keep their format name as the extension.
    QTest::newRow("html5") << "html5"
                           << "Bericht.html5"
                           << "h";
    QTest::newRow("latex") << "latex"
                           << "Bericht.latex"
                           << "l";
    QTest::newRow("gfm") << "gfm (GitHub Markdown)"
                         << "Bericht.gfm"
                         << "";
    QTest::newRow("docx") << "docx"
                          << "Bericht.docx"
                          << "d";
    QTest::newRow("commonmark") << "commonmark"
                                << "Bericht.md"
                                << "";
    QTest::newRow("docbook") << "docbook5"
                             << "Bericht.xml"
                             << "";
    QTest::newRow("jats") << "jats"
                          << "Bericht.xml"
                          << "";
    QTest::newRow("man") << "man"
                         << "Bericht.1"
                         << "";
    QTest::newRow("ipynb") << "ipynb"
                           << "Bericht.ipynb"
                           << "";
    QTest::newRow("revealjs") << "revealjs"
                              << "Bericht.html"
                              << "h";
    QTest::newRow("slidy") << "slidy"
                           << "Bericht.html"
                           << "h";
    QTest::newRow("beamer") << "beamer"
                            << "Bericht.tex"
                            << "l";
    QTest::newRow("asciidoc") << "asciidoc"
                              << "Bericht.adoc"
                              << "";
    QTest::newRow("mediawiki") << "mediawiki"
                               << "Bericht.wiki"
                               << "";
    QTest::newRow("with extensions") << "markdown+smart-raw_html"
                                     << "Bericht.md"
                                     << "";
    QTest::newRow("unheard of") << "zeta"
                                << "Bericht.zeta"
                                << "";
}

void TstFormats::derivedNames()
{
    QFETCH(QString, format);
    QFETCH(QString, fileName);
    QFETCH(QString, pickers);
    TestWorld world;
    auto vm = world.makeViewModel();
    vm->setInputFiles({QUrl::fromLocalFile(world.path(QStringLiteral("Texte/Bericht.md")))});
    vm->setOutputFormat(format);
    vm->updateTemplateVisibility();
    vm->autoSetOutputFile();
    QCOMPARE(vm->outputFile(), world.path(QStringLiteral("Texte/") + fileName));
    QCOMPARE(vm->suggestedOutputFilename(), fileName);
    QCOMPARE(vm->showHtmlTemplate(), pickers == u"h");
    QCOMPARE(vm->showCssFile(), pickers == u"h");
    QCOMPARE(vm->showLatexTemplate(), pickers == u"l");
    QCOMPARE(vm->showDocxReference(), pickers == u"d");
}

void TstFormats::automaticEngine_data()
{
    QTest::addColumn<QStringList>("engines");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    const QStringList all{"pdflatex", "xelatex", "lualatex", "weasyprint"};
    QTest::newRow("german") << all << QByteArray("Grüße aus München, Straße") << "pdflatex";
    QTest::newRow("french") << all << QByteArray("« Ça va » — l’œuvre… 12 €") << "pdflatex";
    QTest::newRow("arrow") << all << QByteArray("a → b") << "lualatex";
    QTest::newRow("cyrillic") << all << QByteArray("Привет") << "lualatex";
    QTest::newRow("greek") << all << QByteArray("Grüße, Καλημέρα") << "lualatex";
    QTest::newRow("emoji") << all << QByteArray("Hallo 😀") << "lualatex";
    QTest::newRow("zip archive") << all << QByteArray("PK\x03\x04rest") << "lualatex";
    QTest::newRow("not utf-8") << all << QByteArray("Gr\xfc\xdf") << "lualatex";
    QTest::newRow("no lualatex") << QStringList{"pdflatex", "xelatex"} << QByteArray("Привет")
                                 << "xelatex";
    QTest::newRow("html engine only")
        << QStringList{"weasyprint"} << QByteArray("abc") << "weasyprint";
    QTest::newRow("pdflatex only") << QStringList{"pdflatex"} << QByteArray("你好") << "pdflatex";
    QTest::newRow("none") << QStringList{} << QByteArray("abc") << "";
}

void TstFormats::automaticEngine()
{
    QFETCH(QStringList, engines);
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    TestWorld world;
    ViewModelEnvironment env = world.environment();
    env.enginePath = engineFolder(world, engines);
    PandocViewModel vm(env);
    QCOMPARE(vm.pdfEngines(), engines);
    const QString input = world.writeFile(QStringLiteral("doc.md"), content);
    QCOMPARE(vm.automaticPdfEngine(input), expected);
}

void TstFormats::engineOnTheCommandLine()
{
    TestWorld world;
    world.installFakePandoc();
    ViewModelEnvironment env = world.environment();
    env.enginePath = engineFolder(world, {"pdflatex", "lualatex"});
    PandocViewModel vm(env);
    const QString input = world.writeFile(QStringLiteral("doc.md"), "Привет, 世界");
    vm.setInputFiles({QUrl::fromLocalFile(input)});
    vm.setOutputFormat(QStringLiteral("pdf"));
    vm.autoSetOutputFile();

    const QString header = world.path(QStringLiteral("cache/unicode-fonts.tex"));
    QVERIFY2(vm.commandPreview().contains(QStringLiteral("--pdf-engine=lualatex")),
             qPrintable(vm.commandPreview()));
    QVERIFY(vm.commandPreview().contains(QStringLiteral("--include-in-header=") + header));
    QVERIFY(fileBytes(header).contains("luaotfload.add_fallback"));

    QSignalSpy changed(&vm, &PandocViewModel::commandPreviewChanged);
    vm.setPdfEngine(QStringLiteral("xelatex"));
    QCOMPARE(changed.count(), 1);
    QVERIFY(vm.commandPreview().endsWith(QStringLiteral(" --standalone --pdf-engine=xelatex")));

    // An engine named in the extra options is the user's word.
    vm.setPdfEngine(PandocViewModel::kAutomaticPdfEngine);
    vm.setAdditionalOptions(QStringLiteral("--pdf-engine=tectonic"));
    QCOMPARE(vm.commandPreview().count(QStringLiteral("--pdf-engine")), 1);
    QVERIFY(!vm.commandPreview().contains(QStringLiteral("--include-in-header")));
    vm.setAdditionalOptions({});

    // Only PDF output takes an engine.
    vm.setOutputFormat(QStringLiteral("html"));
    QVERIFY(!vm.commandPreview().contains(QStringLiteral("--pdf-engine")));
    QVERIFY(!vm.showPdfEngine());
}

void TstFormats::presetKeepsTheEngine()
{
    TestWorld world;
    {
        auto vm = world.makeViewModel();
        vm->setOutputFormat(QStringLiteral("pdf"));
        vm->setPdfEngine(QStringLiteral("xelatex"));
        vm->savePreset(QStringLiteral("Xe"));
        vm->setPdfEngine(PandocViewModel::kAutomaticPdfEngine);
        vm->savePreset(QStringLiteral("Auto"));
    }
    const QByteArray file = fileBytes(world.storeRoot() + QStringLiteral("/Velunor/presets.json"));
    QCOMPARE(file.count("\"pdfEngine\""), 1);
    QVERIFY(file.contains("\"pdfEngine\": \"xelatex\""));

    auto vm = world.makeViewModel();
    QCOMPARE(vm->presets().size(), 2);
    vm->loadPreset(vm->presets().at(0));
    QCOMPARE(vm->pdfEngine(), QStringLiteral("xelatex"));
    vm->loadPreset(vm->presets().at(1));
    QCOMPARE(vm->pdfEngine(), PandocViewModel::kAutomaticPdfEngine);
}

void TstFormats::presetWithUnknownFormatWarns()
{
    TestWorld world;
    world.installFakePandoc();
    qputenv("FAKE_PANDOC_INPUT_FORMATS", "markdown");
    qputenv("FAKE_PANDOC_OUTPUT_FORMATS", "docx pdf");
    auto vm = world.makeViewModel();
    QSignalSpy listed(vm.get(), &PandocViewModel::converterFormatsChanged);
    vm->checkPandocInstallation();
    QVERIFY(listed.wait(10000));
    qunsetenv("FAKE_PANDOC_INPUT_FORMATS");
    qunsetenv("FAKE_PANDOC_OUTPUT_FORMATS");

    Preset preset;
    preset.id = QUuid::createUuid();
    preset.name = QStringLiteral("Neu");
    preset.inputFormat = QStringLiteral("markdown");
    preset.outputFormat = QStringLiteral("typst");
    preset.pdfEngine = QStringLiteral("no-such-engine");
    vm->loadPreset(preset);
    QCOMPARE(vm->outputFormat(), QStringLiteral("typst"));
    const QStringList log = vm->logMessages();
    QVERIFY(
        log.contains(QStringLiteral("⚠ Pandoc kennt das Ausgabeformat des Presets nicht: typst")));
    QVERIFY(
        log.contains(QStringLiteral("⚠ PDF-Engine des Presets nicht gefunden: no-such-engine")));
    QVERIFY(!log.join(u'\n').contains(QStringLiteral("Eingabeformat")));
}

void TstFormats::exitCode43Hint()
{
    TestWorld world;
    world.installFakePandoc();
    qputenv("FAKE_PANDOC_EXIT", "43");
    auto vm = world.makeViewModel();
    vm->setInputFiles({QUrl::fromLocalFile(world.writeFile(QStringLiteral("a.md"), "Ω"))});
    vm->setOutputFormat(QStringLiteral("pdf"));
    vm->autoSetOutputFile();
    QSignalSpy done(vm.get(), &PandocViewModel::conversionFinished);
    vm->convert();
    QVERIFY(done.wait(10000));
    qunsetenv("FAKE_PANDOC_EXIT");
    const QString last = vm->logMessages().constLast();
    QVERIFY2(last.startsWith(QStringLiteral("⚠ ")) && last.contains(QStringLiteral("„PDF-Engine“")),
             qPrintable(last));
}

QTEST_GUILESS_MAIN(TstFormats)
#include "tst_formats.moc"
