// Presets as pandoc defaults files: the converter gives the same output either way.
#include "conversionhelpers.h"
#include "fakes.h"

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

    // Read back in, the file gives a preset that converts the same way again.
    QVERIFY(vm->importDefaultsFile(yaml, kInputs, kOutputs));
    const Preset imported = *vm->selectedPreset();
    QCOMPARE(imported.pdfEngine, preset.pdfEngine);
    QCOMPARE(imported.outputFormat, preset.outputFormat);
    QCOMPARE(imported.htmlTemplate, preset.htmlTemplate);
    QCOMPARE(imported.cssFile, preset.cssFile);
    QCOMPARE(imported.docxReference, preset.docxReference);
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
             QStringLiteral("--css ") + world.path(QStringLiteral("d/teile/basis.css")) +
                 QStringLiteral(" --variable fontsize=12pt --metadata 'title=Ein: Titel' "
                                "--metadata draft"));
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
}

void TstDefaultsFile::badInput()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, reason);
    TestWorld world;
    auto vm = world.makeViewModel();
    world.writeFile(QStringLiteral("schleife.yaml"), "to: html\ndefaults: kaputt.yaml\n");
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

QTEST_GUILESS_MAIN(TstDefaultsFile)
#include "tst_defaultsfile.moc"
