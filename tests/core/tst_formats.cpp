// Formats beyond the pickers' own, derived file names, and the PDF engine choice.
#include "conversionhelpers.h"
#include "fakes.h"
#include "runplanner.h"

#include <QDir>
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
    void exitCode43Hint_data();
    void exitCode43Hint();
    void fontHeaderTrustsOnlyItsOwnFolder_data();
    void fontHeaderTrustsOnlyItsOwnFolder();
    void enginesOnlyFromAbsoluteFolders();
    void cancelWhileReadingTheText();
};

void TstFormats::derivedNames_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("pickers"); // h = HTML + CSS, l = LaTeX, d = DOCX
    // Every entry, the pickers' own ones too, gets the extension a file manager knows.
    QTest::newRow("html5") << "html5"
                           << "Bericht.html"
                           << "h";
    QTest::newRow("html") << "html"
                          << "Bericht.html"
                          << "h";
    QTest::newRow("html5 with extensions") << "html5+smart-raw_tex"
                                           << "Bericht.html"
                                           << "h";
    QTest::newRow("html4") << "html4"
                           << "Bericht.html"
                           << "h";
    QTest::newRow("latex") << "latex"
                           << "Bericht.tex"
                           << "l";
    QTest::newRow("pdf") << "pdf"
                         << "Bericht.pdf"
                         << "l";
    QTest::newRow("gfm") << "gfm (GitHub Markdown)"
                         << "Bericht.md"
                         << "";
    QTest::newRow("markdown") << "markdown"
                              << "Bericht.md"
                              << "";
    QTest::newRow("plain") << "plain (txt)"
                           << "Bericht.txt"
                           << "";
    QTest::newRow("rst") << "rst"
                         << "Bericht.rst"
                         << "";
    QTest::newRow("epub3") << "epub3"
                           << "Bericht.epub"
                           << "";
    QTest::newRow("dzslides") << "dzslides"
                              << "Bericht.html"
                              << "h";
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
    // A batch writes beside each input under the same rule.
    const auto batch =
        RunPlanner::besideInputs({world.path(QStringLiteral("a/Bericht.md"))}, format);
    QCOMPARE(batch.first().second, world.path(QStringLiteral("a/") + fileName));
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
    // xelatex switches to a font per script it knows; lualatex for the rest and the unknown.
    QTest::newRow("german") << all << QByteArray("Grüße aus München, Straße") << "pdflatex";
    QTest::newRow("french") << all << QByteArray("« Ça va » — l’œuvre… 12 €") << "pdflatex";
    QTest::newRow("arrow") << all << QByteArray("a → b") << "xelatex";
    QTest::newRow("cyrillic") << all << QByteArray("Привет") << "xelatex";
    QTest::newRow("greek") << all << QByteArray("Grüße, Καλημέρα") << "xelatex";
    QTest::newRow("emoji") << all << QByteArray("Hallo 😀") << "xelatex";
    QTest::newRow("chinese") << all << QByteArray("你好") << "xelatex";
    QTest::newRow("arabic") << all << QByteArray("مرحبا") << "lualatex";
    QTest::newRow("zip archive") << all << QByteArray("PK\x03\x04rest") << "lualatex";
    QTest::newRow("not utf-8") << all << QByteArray("Gr\xfc\xdf") << "lualatex";
    QTest::newRow("no xelatex") << QStringList{"pdflatex", "lualatex"} << QByteArray("Привет")
                                << "lualatex";
    QTest::newRow("no lualatex") << QStringList{"pdflatex", "xelatex"} << QByteArray("مرحبا")
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

    const QString engines = world.path(QStringLiteral("engines/"));
    // Only the fonts the text needs: Cyrillic is DejaVu's own, Chinese needs a fallback.
    const QString header = world.path(QStringLiteral("cache/unicode-fonts-cjk.tex"));
    QVERIFY2(vm.commandPreview().contains(QStringLiteral("--pdf-engine=") + engines +
                                          QStringLiteral("lualatex")),
             qPrintable(vm.commandPreview()));
    QVERIFY(vm.commandPreview().contains(QStringLiteral("--include-in-header=") + header));
    QVERIFY(fileBytes(header).contains("luaotfload.add_fallback"));

    QSignalSpy changed(&vm, &PandocViewModel::commandPreviewChanged);
    vm.setPdfEngine(QStringLiteral("xelatex"));
    QCOMPARE(changed.count(), 1);
    QVERIFY(vm.commandPreview().endsWith(QStringLiteral(" --standalone --pdf-engine=xelatex")));
    vm.setPdfEngine(QStringLiteral("lualatex"));
    QVERIFY(vm.commandPreview().endsWith(QStringLiteral(" --standalone --pdf-engine=") + engines +
                                         QStringLiteral("lualatex")));

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

void TstFormats::exitCode43Hint_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("advice");
    // Advice to pick what is already picked does not help.
    QTest::newRow("automatic") << PandocViewModel::kAutomaticPdfEngine << "obwohl „Automatisch“";
    QTest::newRow("chosen") << "pdflatex"
                            << "„Automatisch“ oder lualatex wählen";
}

void TstFormats::exitCode43Hint()
{
    QFETCH(QString, engine);
    QFETCH(QString, advice);
    TestWorld world;
    world.installFakePandoc();
    qputenv("FAKE_PANDOC_EXIT", "43");
    ViewModelEnvironment env = world.environment();
    env.enginePath = engineFolder(world, {"pdflatex", "lualatex"});
    PandocViewModel vm(env);
    vm.setInputFiles({QUrl::fromLocalFile(world.writeFile(QStringLiteral("a.md"), "Ω"))});
    vm.setOutputFormat(QStringLiteral("pdf"));
    vm.setPdfEngine(engine);
    vm.autoSetOutputFile();
    QSignalSpy done(&vm, &PandocViewModel::conversionFinished);
    vm.convert();
    QVERIFY(done.wait(10000));
    qunsetenv("FAKE_PANDOC_EXIT");
    const QString last = vm.logMessages().constLast();
    QVERIFY2(last.startsWith(QStringLiteral("⚠ ")) &&
                 last.contains(QStringLiteral("„PDF-Engine“")) && last.contains(advice),
             qPrintable(last));
}

void TstFormats::fontHeaderTrustsOnlyItsOwnFolder_data()
{
    QTest::addColumn<bool>("link");
    QTest::addColumn<QFileDevice::Permissions>("folderMode");
    QTest::addColumn<bool>("written");
    const QFileDevice::Permissions own = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                         QFileDevice::ExeOwner | QFileDevice::ReadUser |
                                         QFileDevice::WriteUser | QFileDevice::ExeUser;
    QTest::newRow("private folder") << false << own << true;
    QTest::newRow("link at the header") << true << own << true;
    QTest::newRow("world-writable folder")
        << false << (own | QFileDevice::WriteOther | QFileDevice::ExeOther) << false;
    QTest::newRow("group-writable folder") << false << (own | QFileDevice::WriteGroup) << false;
}

void TstFormats::fontHeaderTrustsOnlyItsOwnFolder()
{
    QFETCH(bool, link);
    QFETCH(QFileDevice::Permissions, folderMode);
    QFETCH(bool, written);
    TestWorld world;
    const QString folder = world.path(QStringLiteral("cache"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::setPermissions(folder, folderMode));
    const QString header = folder + QStringLiteral("/unicode-fonts-cjk.tex");
    const QString target = world.writeFile(QStringLiteral("elsewhere.tex"), "someone else's");
    if (link)
        QVERIFY(QFile::link(target, header));
    const PdfSetupPlanner planner({{QStringLiteral("lualatex"), QStringLiteral("/x/lualatex")}},
                                  folder);
    const QStringList args = planner.argumentsForText(PdfSetup::kAutomatic, QStringLiteral("你好"));
    QCOMPARE(args.contains(QStringLiteral("--include-in-header=") + header), written);
    QCOMPARE(fileBytes(target), QByteArray("someone else's"));
    if (written) {
        QVERIFY(!QFileInfo(header).isSymLink());
        QVERIFY(fileBytes(header).startsWith("% Written by Velunor"));
    } else {
        QVERIFY(!QFileInfo::exists(header));
    }
}

void TstFormats::enginesOnlyFromAbsoluteFolders()
{
    TestWorld world;
    // A program named like an engine beside the input, where the converter runs.
    const QString input = world.writeFile(QStringLiteral("Texte/doc.md"), "Grüße");
    const QString fake = world.writeFile(QStringLiteral("Texte/pdflatex"), "#!/bin/sh\n");
    QFile::setPermissions(fake, QFile::permissions(fake) | QFile::ExeOwner);
    const QString trusted = engineFolder(world, {"lualatex"});
    const QString previous = QDir::currentPath();
    QDir::setCurrent(world.path(QStringLiteral("Texte")));
    ViewModelEnvironment env = world.environment();
    env.enginePath = QStringLiteral(".::Texte:") + trusted;
    PandocViewModel vm(env);
    QDir::setCurrent(previous);
    QCOMPARE(vm.pdfEngines(), QStringList{QStringLiteral("lualatex")});
    vm.setInputFiles({QUrl::fromLocalFile(input)});
    vm.setOutputFormat(QStringLiteral("pdf"));
    vm.autoSetOutputFile();
    QVERIFY2(vm.commandPreview().contains(QStringLiteral("--pdf-engine=") + trusted +
                                          QStringLiteral("/lualatex")),
             qPrintable(vm.commandPreview()));
}

// The text is asked for before the conversion; a cancel then ends the run, converter unstarted.
void TstFormats::cancelWhileReadingTheText()
{
    TestWorld world;
    world.installFakePandoc();
    const QString args = world.path(QStringLiteral("args.txt"));
    qputenv("FAKE_PANDOC_ARGS_FILE", args.toLocal8Bit());
    qputenv("FAKE_PANDOC_SLEEP_MS", "20000");
    qputenv("FAKE_PANDOC_SLEEP_MATCH", "--to=json");
    ViewModelEnvironment env = world.environment();
    env.enginePath = engineFolder(world, {"pdflatex", "xelatex"});
    PandocViewModel vm(env);
    vm.setInputFiles({QUrl::fromLocalFile(world.writeFile(QStringLiteral("a.md"), "abc")),
                      QUrl::fromLocalFile(world.writeFile(QStringLiteral("b.md"), "abc"))});
    vm.setOutputFormat(QStringLiteral("pdf"));
    QSignalSpy done(&vm, &PandocViewModel::conversionFinished);
    vm.convert();
    QTRY_VERIFY(QFileInfo(args).size() > 0);
    vm.cancelConversion();
    QVERIFY(done.wait(10000));
    qunsetenv("FAKE_PANDOC_ARGS_FILE");
    qunsetenv("FAKE_PANDOC_SLEEP_MS");
    qunsetenv("FAKE_PANDOC_SLEEP_MATCH");
    QVERIFY2(vm.statusMessage().contains(QStringLiteral("abgebrochen")),
             qPrintable(vm.statusMessage()));
    // Only text probes ran; no conversion wrote a PDF.
    QVERIFY(!fileBytes(args).contains("-o\n"));
}

QTEST_GUILESS_MAIN(TstFormats)
#include "tst_formats.moc"
