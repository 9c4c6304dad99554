// Presets as pandoc defaults files: the converter gives the same output either way.
#include "conversionhelpers.h"
#include "fakes.h"
#include "shellwords.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kData = QStringLiteral(VELUNOR_TEST_DATA_DIR "/citations/");

// Zipped formats carry time stamps; their document part is what must match.
QByteArray content(const QString &path)
{
    return path.endsWith(u".docx") ? docxBody(path) : fileBytes(path);
}

Template stored(TestWorld &world, const QString &name, TemplateType type, const QString &file,
                const QByteArray &bytes)
{
    return {QUuid::createUuid(),
            name,
            type,
            world.writeFile(QStringLiteral("lib/") + file, bytes),
            false,
            QDateTime::currentDateTimeUtc(),
            QString()};
}

Preset preset(const QString &name, const QString &from, const QString &to, bool standalone,
              bool toc, bool numbered, const QString &options)
{
    Preset p;
    p.id = QUuid::createUuid();
    p.name = name;
    p.inputFormat = from;
    p.outputFormat = to;
    p.standalone = standalone;
    p.tableOfContents = toc;
    p.numberSections = numbered;
    p.additionalOptions = options;
    return p;
}

bool convert(PandocViewModel &vm)
{
    return runToEnd(vm, 120000) && vm.statusColor() == PandocViewModel::StatusColor::Green;
}

const QStringList kInputs{QStringLiteral("auto (automatisch)"), QStringLiteral("markdown")};
const QStringList kOutputs{QStringLiteral("html"), QStringLiteral("docx"), QStringLiteral("latex"),
                           QStringLiteral("gfm (GitHub Markdown)")};

} // namespace

class TstDefaultsFile final : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void includesAndUnknownKeys();
    void badInput_data();
    void badInput();
    void includesAreReadOnce();
    void strangersFileAsksFirst_data();
    void strangersFileAsksFirst();
    void exportMeansWhatPandocReads();
    void automaticPdfEngineRoundTrip();
    void relativeBibliographyBesideTheDocuments();
    void citeprocKeyRunsBeforeFilters();
};

void TstDefaultsFile::roundTrip_data()
{
    QTest::addColumn<Preset>("preset");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("unmapped");

    Preset html = preset(QStringLiteral("Web: \"Bericht\""), QStringLiteral("markdown"),
                         QStringLiteral("html"), true, true, true,
                         QStringLiteral("--metadata title=\"Probe Titel\" -V lang=de "
                                        "--toc-depth=2 --shift-heading-level-by 1 --section-divs"));
    html.htmlTemplate = QStringLiteral("Seite");
    html.cssFile = QStringLiteral("Stil");
    QTest::newRow("html with template, css and options") << html << "html" << QString();

    Preset docx =
        preset(QStringLiteral("Word mit Literatur"), QStringLiteral("auto (automatisch)"),
               QStringLiteral("docx"), true, false, false, QStringLiteral("-M lang=de-DE"));
    docx.docxReference = QStringLiteral("Referenz");
    docx.bibliography = kData + QStringLiteral("refs.bib");
    docx.csl = kData + QStringLiteral("numbered.csl");
    QTest::newRow("docx with reference and citations") << docx << "docx" << QString();

    const Preset latex =
        preset(QStringLiteral("-Buch"), QStringLiteral("markdown"), QStringLiteral("latex"), false,
               false, true,
               QStringLiteral("--top-level-division=chapter --listings -V documentclass=report "
                              "--request-header 'X-Probe: 1'"));
    QTest::newRow("latex with an option that has no key")
        << latex << "tex" << QStringLiteral("--request-header 'X-Probe: 1'");

    Preset engine = preset(QStringLiteral("Druck"), QStringLiteral("markdown"),
                           QStringLiteral("latex"), true, false, false, QString());
    engine.pdfEngine = QStringLiteral("lualatex");
    QTest::newRow("latex with an engine of its own") << engine << "tex" << QString();

    const Preset gfm =
        preset(QStringLiteral("GitHub"), QStringLiteral("markdown"),
               QStringLiteral("gfm (GitHub Markdown)"), false, true, false,
               QStringLiteral("--wrap=none --reference-links --citeproc --bibliography ") + kData +
                   QStringLiteral("refs.bib"));
    QTest::newRow("gfm, citations through extra options") << gfm << "gfm" << QString();

    // The controls: written in their own order, so that an import gives the same words.
    Preset meta = preset(QStringLiteral("Web mit Metadaten"), QStringLiteral("markdown"),
                         QStringLiteral("html"), true, true, true, QString());
    meta.options = QStringLiteral("--toc-depth=1 --number-offset=2 --metadata=title=Probe "
                                  "--metadata=author=Ada --metadata=author=Grace "
                                  "--metadata=lang=de --variable=maxwidth=30em");
    QTest::newRow("html with metadata and variables") << meta << "html" << QString();
    Preset extensions =
        preset(QStringLiteral("Erweiterungen"), QStringLiteral("markdown"),
               QStringLiteral("gfm (GitHub Markdown)"), false, false, false, QString());
    extensions.inputExtensions = QStringLiteral("-auto_identifiers+hard_line_breaks");
    extensions.outputExtensions = QStringLiteral("-raw_html");
    extensions.options = QStringLiteral("--wrap=none --columns=50");
    QTest::newRow("gfm with extensions") << extensions << "gfm" << QString();
    Preset filtered = preset(QStringLiteral("Word gefiltert"), QStringLiteral("markdown"),
                             QStringLiteral("docx"), true, false, false, QString());
    filtered.bibliography = kData + QStringLiteral("refs.bib");
    filtered.options = QStringLiteral("--citeproc --lua-filter=@FILTER@");
    QTest::newRow("docx, citations before a Lua filter") << filtered << "docx" << QString();
    Preset latexControls = preset(QStringLiteral("Satz"), QStringLiteral("markdown"),
                                  QStringLiteral("latex"), true, false, true, QString());
    latexControls.options = QStringLiteral("--top-level-division=chapter "
                                           "--highlight-style=zenburn --variable=papersize=a4 "
                                           "--variable=fontsize=12pt --lua-filter=@FILTER@");
    QTest::newRow("latex with options, variables and a filter")
        << latexControls << "tex" << QString();
    Preset page = preset(QStringLiteral("Eine Seite"), QStringLiteral("markdown"),
                         QStringLiteral("html"), true, false, false, QString());
    page.outputExtensions = QStringLiteral("-smart");
    page.options = QStringLiteral("--no-highlight --mathml --self-contained "
                                  "--reference-location=section --metadata=entwurf=false");
    QTest::newRow("self-contained html with math") << page << "html" << QString();
}

void TstDefaultsFile::roundTrip()
{
    QFETCH(Preset, preset);
    QFETCH(QString, extension);
    QFETCH(QString, unmapped);
    TestWorld world;
    world.installRealPandoc();
    auto vm = world.makeViewModel();
    vm->setTemplates(
        {stored(world, QStringLiteral("Seite"), TemplateType::Html, QStringLiteral("seite.html"),
                "<html><head>$for(css)$<link href=\"$css$\">$endfor$<title>$title$</title>"
                "</head><body lang=\"$lang$\">$table-of-contents$$body$</body></html>\n"),
         stored(world, QStringLiteral("Stil"), TemplateType::Css,
                QStringLiteral("stil mit ' quote.css"), "body { color: teal; }\n"),
         stored(world, QStringLiteral("Referenz"), TemplateType::DocxReference,
                QStringLiteral("ref.docx"), QByteArray())});
    // A real reference document: pandoc's own.
    QProcess::execute(QStringLiteral("/usr/bin/pandoc"),
                      {QStringLiteral("-o"), world.path(QStringLiteral("lib/ref.docx")),
                       QStringLiteral("--print-default-data-file"),
                       QStringLiteral("reference.docx")});

    // A filter the converter runs: it must run alike from the defaults file.
    const QString filter = world.writeFile(
        QStringLiteral("filter/groß schreiben.lua"),
        "function Str(s) if s.text == 'Text' then return pandoc.Str('TEXT') end end\n");
    if (preset.options)
        preset.options->replace(QStringLiteral("@FILTER@"), shellQuote(filter));
    const QString input = world.writeFile(
        QStringLiteral("in put/Grüße.md"),
        "# Kapitel\n\nText mit *Betonung* [@knuth84] und [Verweis](https://example.org).\n\n"
        "## Abschnitt\n\n```\ncode\n```\n");
    vm->setOutputFormat(preset.outputFormat);
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    vm->loadPreset(preset);
    const QString velunorOut = world.path(QStringLiteral("in put/Grüße.") + extension);
    vm->setOutputFile(velunorOut);
    QVERIFY2(convert(*vm), qPrintable(vm->logMessages().join(u'\n')));

    const QString yaml = world.path(QStringLiteral("exportiert.yaml"));
    QVERIFY(vm->exportDefaultsFile(preset, yaml));
    const QString lastLine = vm->logMessages().last();
    if (unmapped.isEmpty()) {
        QCOMPARE(lastLine, QStringLiteral("✓ Defaults-Datei exportiert: exportiert.yaml"));
    } else {
        QVERIFY2(lastLine.startsWith(u"⚠ ") && lastLine.endsWith(unmapped), qPrintable(lastLine));
        QVERIFY(fileBytes(yaml).contains(QByteArray("#   ").append(unmapped.toUtf8())));
    }

    QProcess pandoc;
    pandoc.setWorkingDirectory(world.path(QStringLiteral("in put")));
    const QString pandocOut = world.path(QStringLiteral("from-defaults.") + extension);
    pandoc.start(QStringLiteral("/usr/bin/pandoc"),
                 {QStringLiteral("--defaults"), yaml, input, QStringLiteral("-o"), pandocOut});
    QVERIFY(pandoc.waitForFinished(120000));
    QVERIFY2(pandoc.exitCode() == 0, pandoc.readAllStandardError().constData());
    const QByteArray expected = content(velunorOut);
    QVERIFY(!expected.isEmpty());
    QCOMPARE(content(pandocOut), expected);

    // The engine is written only when the preset names one.
    const QByteArray engineLine =
        "pdf-engine: \"" + preset.pdfEngine.value_or(QString()).toUtf8() + '"';
    QCOMPARE(fileBytes(yaml).contains(engineLine), preset.pdfEngine.has_value());

    // Read back in, the file gives a preset that converts the same way again; a filter is
    // kept once agreed to.
    world.dialogs.answers = {true};
    QVERIFY(vm->importDefaultsFile(yaml, kInputs, kOutputs));
    const Preset imported = *vm->selectedPreset();
    QCOMPARE(imported.pdfEngine, preset.pdfEngine);
    QCOMPARE(imported.outputFormat, preset.outputFormat);
    QCOMPARE(imported.htmlTemplate, preset.htmlTemplate);
    QCOMPARE(imported.cssFile, preset.cssFile);
    QCOMPARE(imported.docxReference, preset.docxReference);
    // Options typed among the extra ones come back in their controls.
    if (preset.options)
        QCOMPARE(splitShellWords(imported.options.value_or(QString())).words.join(u'|'),
                 splitShellWords(*preset.options).words.join(u'|'));
    QCOMPARE(imported.inputExtensions, preset.inputExtensions);
    QCOMPARE(imported.outputExtensions, preset.outputExtensions);
    QFile::remove(velunorOut);
    vm->loadPreset(imported);
    QVERIFY2(convert(*vm), qPrintable(vm->logMessages().join(u'\n')));
    QCOMPARE(content(velunorOut), expected);
}

void TstDefaultsFile::includesAndUnknownKeys()
{
    TestWorld world;
    auto vm = world.makeViewModel();
    world.writeFile(QStringLiteral("d/teile/basis.yaml"),
                    "to: latex\nnumber-sections: true\nvariables:\n  fontsize: 12pt\n"
                    "pdf-engine: lualatex\n"
                    "css: ${.}/basis.css\n");
    const QString main = world.writeFile(
        QStringLiteral("d/Brief.yaml"),
        "defaults: teile/basis\nto: html\nfancy-key: 1\ninput-files: [a.md]\n"
        "metadata:\n  title: \"Ein: Titel\"\n  draft: true\ncitation-abbreviations: x.json\n");
    QVERIFY(vm->importDefaultsFile(main, kInputs, kOutputs));
    const Preset p = vm->presets().last();
    QCOMPARE(p.name, QStringLiteral("Brief"));
    QCOMPARE(p.outputFormat, QStringLiteral("html"));
    QCOMPARE(p.inputFormat, QStringLiteral("auto (automatisch)"));
    QVERIFY(p.numberSections);
    QCOMPARE(p.pdfEngine, QStringLiteral("lualatex"));
    QCOMPARE(p.additionalOptions,
             QStringLiteral("--css ") + world.path(QStringLiteral("d/teile/basis.css")));
    // Metadata and variables go to their controls.
    QCOMPARE(splitShellWords(p.options.value_or(QString())).words,
             QStringList({QStringLiteral("--metadata=title=Ein: Titel"),
                          QStringLiteral("--metadata=draft=true"),
                          QStringLiteral("--variable=fontsize=12pt")}));
    const QStringList log = vm->logMessages();
    QVERIFY(log.contains(QStringLiteral("⚠ Unbekannte Schlüssel nicht übernommen: fancy-key")));
    QVERIFY(log.contains(QStringLiteral(
        "⚠ In einer Voreinstellung nicht darstellbar, nicht übernommen: input-files, "
        "citation-abbreviations")));
    // A second import of the same file does not replace the first preset.
    QVERIFY(vm->importDefaultsFile(main, kInputs, kOutputs));
    QCOMPARE(vm->presets().last().name, QStringLiteral("Brief (2)"));
}

void TstDefaultsFile::badInput_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("reason");
    QTest::newRow("list") << QByteArray("- to: html\n") << "keine Zuordnung";
    QTest::newRow("scalar") << QByteArray("html\n") << "keine Zuordnung";
    QTest::newRow("empty") << QByteArray() << "keine Zuordnung";
    QTest::newRow("bool as word") << QByteArray("standalone: ja\n")
                                  << "„standalone“ hat den falschen Typ";
    QTest::newRow("quoted bool") << QByteArray("citeproc: \"true\"\n")
                                 << "„citeproc“ hat den falschen Typ";
    QTest::newRow("list as format")
        << QByteArray("to: [html, pdf]\n") << "„to“ hat den falschen Typ";
    QTest::newRow("map as css") << QByteArray("css: {a: b}\n") << "„css“ hat den falschen Typ";
    QTest::newRow("not UTF-8") << QByteArray("to: html\ntitle: \xff\xfe\n") << "kein UTF-8-Text";
    QTest::newRow("broken YAML") << QByteArray("to: [html\n") << "kein gültiges YAML";
    QTest::newRow("include loop") << QByteArray("defaults: schleife\n") << "Schleife";
    QTest::newRow("include missing")
        << QByteArray("defaults: [fehlt.yaml]\n") << "Datei nicht gefunden";
    QTest::newRow("sixteen files, each including the next eight times")
        << QByteArray("defaults: c0\n") << "zu tief verschachtelt";
    QByteArray wide = "defaults:\n";
    for (int i = 0; i < 70; ++i)
        wide += "- w" + QByteArray::number(i) + '\n';
    QTest::newRow("seventy files") << wide << "mehr als 64 Dateien";
    QTest::newRow("a /proc file of size 0")
        << QByteArray("defaults: /proc/self/pagemap\n") << "zu groß";
    QByteArray laughs = "a0: &a0 [x, x, x, x, x, x, x, x, x, x]\n";
    for (int i = 1; i < 10; ++i) {
        const QByteArray prev = "*a" + QByteArray::number(i - 1);
        laughs += 'a' + QByteArray::number(i) + ": &a" + QByteArray::number(i) + " [" + prev;
        for (int k = 1; k < 10; ++k)
            laughs += ", " + prev;
        laughs += "]\n";
    }
    QTest::newRow("billion laughs") << laughs.append("metadata: {t: *a9}\n") << "zu groß";
}

void TstDefaultsFile::badInput()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    TestWorld world;
    auto vm = world.makeViewModel();
    world.writeFile(QStringLiteral("schleife.yaml"), "to: html\ndefaults: kaputt.yaml\n");
    for (int i = 0; i < 15; ++i) {
        const QByteArray next = 'c' + QByteArray::number(i + 1);
        world.writeFile(QStringLiteral("c%1.yaml").arg(i),
                        "defaults: [" + QList<QByteArray>(8, next).join(", ") + "]\n");
    }
    world.writeFile(QStringLiteral("c15.yaml"), "to: html\n");
    for (int i = 0; i < 70; ++i)
        world.writeFile(QStringLiteral("w%1.yaml").arg(i), "toc: true\n");
    const QString path = world.writeFile(QStringLiteral("kaputt.yaml"), text);
    const qsizetype before = vm->logMessages().size();
    QVERIFY(!vm->importDefaultsFile(path, kInputs, kOutputs));
    const QStringList added = vm->logMessages().mid(before);
    QCOMPARE(added.size(), 1);
    QVERIFY2(
        added[0].startsWith(QStringLiteral("❌ Defaults-Datei nicht übernommen (kaputt.yaml): ")) &&
            added[0].contains(reason),
        qPrintable(added[0]));
    QVERIFY(vm->presets().isEmpty());
    QVERIFY(!vm->selectedPreset());
}

void TstDefaultsFile::includesAreReadOnce()
{
    // Nine levels of eight includes each: 8^8 reads unless a file already read is skipped.
    TestWorld world;
    auto vm = world.makeViewModel();
    for (int i = 0; i < 8; ++i) {
        const QByteArray next = 'f' + QByteArray::number(i + 1);
        world.writeFile(QStringLiteral("f%1.yaml").arg(i),
                        "defaults: [" + QList<QByteArray>(8, next).join(", ") + "]\n");
    }
    world.writeFile(QStringLiteral("f8.yaml"), "to: latex\n");
    QVERIFY(vm->importDefaultsFile(world.path(QStringLiteral("f0.yaml")), kInputs, kOutputs));
    QCOMPARE(vm->presets().last().outputFormat, QStringLiteral("latex"));
}

void TstDefaultsFile::strangersFileAsksFirst_data()
{
    QTest::addColumn<bool>("agree");
    QTest::newRow("declined") << false;
    QTest::newRow("agreed") << true;
}

void TstDefaultsFile::strangersFileAsksFirst()
{
    QFETCH(bool, agree);
    TestWorld world;
    world.installFakePandoc();
    const QString argsFile = world.path(QStringLiteral("args.txt"));
    FakeEnv env;
    env.set("FAKE_PANDOC_ARGS_FILE", argsFile.toUtf8());
    const QString input = world.writeFile(QStringLiteral("docs/notizen.md"), "# Notizen\n");
    world.writeFile(QStringLiteral("docs/hilfe.sh"), "#!/bin/sh\ntouch ran\n");
    const QString yaml = world.writeFile(
        QStringLiteral("docs/fremd.yaml"),
        "to: html\nlog-file: notizen.md\nfilters: [hilfe.sh]\nnumber-sections: true\n");
    auto vm = world.makeViewModel();
    world.dialogs.answers = {agree};
    QVERIFY(vm->importDefaultsFile(yaml, kInputs, kOutputs));

    QCOMPARE(world.dialogs.calls.size(), 1);
    const QString question = world.dialogs.calls.first().message;
    QVERIFY2(question.contains(QStringLiteral("ausführen")) &&
                 question.contains(QStringLiteral("filters: hilfe.sh")) &&
                 question.contains(QStringLiteral("schreiben")) &&
                 question.contains(QStringLiteral("log-file: notizen.md")),
             qPrintable(question));
    const Preset p = vm->presets().last();
    QVERIFY(p.numberSections);
    if (!agree) {
        QCOMPARE(p.additionalOptions, QString());
        QVERIFY(vm->logMessages().contains(
            QStringLiteral("⚠ Ohne Zustimmung nicht übernommen: log-file, filters")));
        return;
    }
    // Made absolute against the file's folder, so no other folder's file is meant.
    QCOMPARE(p.additionalOptions, QStringLiteral("--log ") + shellQuote(input));
    QCOMPARE(p.options,
             shellQuote(QStringLiteral("--filter=") + world.path(QStringLiteral("docs/hilfe.sh"))));
    vm->loadPreset(p);
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY(runToEnd(*vm));
    QCOMPARE(vm->logMessages().last(),
             QStringLiteral("❌ Zusatzoptionen fehlerhaft: --log würde notizen.md überschreiben"));
    QVERIFY(recordedRuns(argsFile).isEmpty());
    QCOMPARE(fileBytes(input), QByteArray("# Notizen\n"));
}

void TstDefaultsFile::exportMeansWhatPandocReads()
{
    TestWorld world;
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->setBibliographyFile(kData + QStringLiteral("refs.bib"));
    vm->setAdditionalOptions(QStringLiteral("-M entwurf=false -M final=TRUE -V flag=false "
                                            "--bibliography mehr.bib"));
    const QString yaml = world.path(QStringLiteral("aktuell.yaml"));
    QVERIFY(vm->exportDefaultsFile(std::nullopt, yaml));
    const QByteArray text = fileBytes(yaml);
    QVERIFY2(text.contains("\"entwurf\": false") && text.contains("\"final\": true") &&
                 text.contains("\"flag\": \"false\""),
             text.constData());
    const QByteArray both =
        "bibliography:\n  - \"" + kData.toUtf8() + "refs.bib\"\n  - \"mehr.bib\"";
    QVERIFY2(text.contains(both), text.constData());
}

void TstDefaultsFile::automaticPdfEngineRoundTrip()
{
    // pandoc alone takes pdflatex, which cannot set Greek; the file must say what Velunor took.
    TestWorld world;
    world.installRealPandoc();
    auto vm = world.makeViewModel();
    const QString input = world.writeFile(QStringLiteral("Ωμέγα.md"), "# Ωμέγα\n\nκείμενο\n");
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    vm->setOutputFormat(QStringLiteral("pdf"));
    vm->setOutputFile(world.path(QStringLiteral("velunor.pdf")));
    QVERIFY2(convert(*vm), qPrintable(vm->logMessages().join(u'\n')));

    const QString yaml = world.path(QStringLiteral("pdf.yaml"));
    QVERIFY(vm->exportDefaultsFile(std::nullopt, yaml));
    QVERIFY(fileBytes(yaml).contains("pdf-engine: "));
    QProcess pandoc;
    pandoc.setWorkingDirectory(world.root());
    pandoc.start(QStringLiteral("/usr/bin/pandoc"),
                 {QStringLiteral("--defaults"), yaml, input, QStringLiteral("-o"),
                  world.path(QStringLiteral("pandoc.pdf"))});
    QVERIFY(pandoc.waitForFinished(180000));
    QVERIFY2(pandoc.exitCode() == 0, pandoc.readAllStandardError().constData());

    QVERIFY(vm->importDefaultsFile(yaml, kInputs, {QStringLiteral("pdf")}));
    const Preset imported = *vm->selectedPreset();
    QCOMPARE(imported.pdfEngine, std::optional<QString>());
    QCOMPARE(imported.additionalOptions, QString());
    QCOMPARE(vm->pdfEngine(), PandocViewModel::kAutomaticPdfEngine);
}

void TstDefaultsFile::relativeBibliographyBesideTheDocuments()
{
    TestWorld world;
    world.installRealPandoc();
    auto vm = world.makeViewModel();
    world.writeFile(QStringLiteral("texte/refs.bib"),
                    fileBytes(kData + QStringLiteral("refs.bib")));
    const QString input = world.writeFile(QStringLiteral("texte/a.md"), "Siehe [@knuth84].\n");
    const QString yaml = world.writeFile(QStringLiteral("vorlagen/zitate.yaml"),
                                         "to: html\nciteproc: true\nbibliography: refs.bib\n");
    QVERIFY(vm->importDefaultsFile(yaml, kInputs, kOutputs));
    vm->loadPreset(*vm->selectedPreset());
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY2(convert(*vm), qPrintable(vm->logMessages().join(u'\n')));
    QVERIFY(fileBytes(world.path(QStringLiteral("texte/a.html"))).contains("Knuth"));
}

// pandoc runs "citeproc: true" before the filters of the same file.
void TstDefaultsFile::citeprocKeyRunsBeforeFilters()
{
    TestWorld world;
    auto vm = world.makeViewModel();
    const QString filter = world.writeFile(QStringLiteral("d/f.lua"), "return {}\n");
    const QString yaml =
        world.writeFile(QStringLiteral("d/zitate.yaml"),
                        QByteArray("filters: [f.lua]\nciteproc: true\nbibliography: ") +
                            (kData + QStringLiteral("refs.bib")).toUtf8() + '\n');
    world.dialogs.answers = {true};
    QVERIFY(vm->importDefaultsFile(yaml, kInputs, kOutputs));
    const Preset p = vm->presets().last();
    QCOMPARE(splitShellWords(p.options.value_or(QString())).words,
             QStringList({QStringLiteral("--citeproc"), QStringLiteral("--lua-filter=") + filter}));
    vm->loadPreset(p);
    vm->handleInputFileSelection(
        {{QUrl::fromLocalFile(world.writeFile(QStringLiteral("d/a.md"), "[@knuth84]\n"))},
         std::nullopt});
    const QString line = vm->commandPreview();
    QVERIFY2(line.contains(u"--lua-filter") &&
                 line.indexOf(u"--citeproc") < line.indexOf(u"--lua-filter"),
             qPrintable(line));
}

QTEST_GUILESS_MAIN(TstDefaultsFile)
#include "tst_defaultsfile.moc"
