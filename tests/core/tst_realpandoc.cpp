// End-to-end conversions with Debian's pandoc.
#include "conversionhelpers.h"
#include "fakes.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace {

Template stored(TestWorld &world, const QString &name, TemplateType type, const QString &file,
                const QByteArray &content)
{
    Template t;
    t.id = QUuid::createUuid();
    t.name = name;
    t.type = type;
    t.filePath = world.writeFile(QStringLiteral("store/") + file, content);
    t.lastUsed = QDateTime::currentDateTimeUtc();
    return t;
}

} // namespace

class TstRealPandoc final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PandocViewModel> single(TestWorld &world, const QString &inputName,
                                            const QString &format);
    bool run(PandocViewModel &vm);

private slots:
    void initTestCase();
    void htmlWithTemplateAndCss();
    void libraryStyleIsEmbedded();
    void docxWithReferenceDocument();
    void zippedFormats_data();
    void zippedFormats();
    void pdf();
    void batchWithOneFailure();
    void hostileFileName();
    void versionCheck();
    void headingShiftReachesTheOutputAndThePreset();
};

void TstRealPandoc::initTestCase()
{
    if (!QFile::exists(QStringLiteral("/usr/bin/pandoc")))
        QFAIL("Debian's pandoc is required: ./test.sh installs it");
}

std::unique_ptr<PandocViewModel> TstRealPandoc::single(TestWorld &world, const QString &inputName,
                                                       const QString &format)
{
    world.installRealPandoc();
    const QString input = world.writeFile(
        inputName, "---\ntitle: Probe\n---\n\n# Kapitel Eins\n\nGrüße aus *Velunor*.\n");
    auto vm = world.makeViewModel();
    vm->setOutputFormat(format);
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    return vm;
}

bool TstRealPandoc::run(PandocViewModel &vm)
{
    QSignalSpy done(&vm, &PandocViewModel::conversionFinished);
    vm.convert();
    return done.count() > 0 || done.wait(120000);
}

void TstRealPandoc::htmlWithTemplateAndCss()
{
    TestWorld world;
    auto vm = single(world, QStringLiteral("doc.md"), QStringLiteral("html"));
    const Template page =
        stored(world, QStringLiteral("Seite"), TemplateType::Html, QStringLiteral("seite.html"),
               "<html><head>$for(css)$<link rel=\"stylesheet\" href=\"$css$\">"
               "$endfor$</head><body class=\"velunor-probe\">$body$</body>"
               "</html>\n");
    const Template css = stored(world, QStringLiteral("Stil"), TemplateType::Css,
                                QStringLiteral("stil.css"), "body { color: teal; }\n");
    vm->setTemplates({page, css});
    vm->setSelectedHtmlTemplate(page);
    vm->setSelectedCssTemplate(css);
    QVERIFY(run(*vm));
    QCOMPARE(vm->statusMessage(), QStringLiteral("✓ Konvertierung erfolgreich!"));
    const QByteArray html = fileBytes(world.path(QStringLiteral("doc.html")));
    QVERIFY2(html.contains("class=\"velunor-probe\""), html.constData());
    // This template only links styles, so the link stays.
    QVERIFY(html.contains(css.filePath.toUtf8()));
    QVERIFY(html.contains("Grüße aus <em>Velunor</em>"));
}

// With pandoc's own page the style goes inside it: a link into the private library would
// break as soon as the page is passed on. A style that closes its element stays a style.
void TstRealPandoc::libraryStyleIsEmbedded()
{
    TestWorld world;
    auto vm = single(world, QStringLiteral("doc.md"), QStringLiteral("html"));
    const Template css =
        stored(world, QStringLiteral("Stil"), TemplateType::Css, QStringLiteral("stil.css"),
               "body { color: teal; }\n</STYLE><script>alert(1)</script>\n");
    vm->setTemplates({css});
    vm->setSelectedCssTemplate(css);
    QVERIFY(vm->commandPreview().contains(QStringLiteral("--include-in-header=")));
    QVERIFY(run(*vm));
    QCOMPARE(vm->statusMessage(), QStringLiteral("✓ Konvertierung erfolgreich!"));
    const QByteArray html = fileBytes(world.path(QStringLiteral("doc.html")));
    QVERIFY(html.contains("body { color: teal; }"));
    QVERIFY(!html.contains(css.filePath.toUtf8()));
    QVERIFY(html.contains("<\\/STYLE><script>"));
    QVERIFY(!html.toLower().contains("</style><script>"));
}

void TstRealPandoc::docxWithReferenceDocument()
{
    TestWorld world;
    world.installRealPandoc();
    // A reference document whose Heading 1 style is a distinctive colour.
    const QString reference = world.path(QStringLiteral("ref.docx"));
    {
        QProcess p;
        p.start(QStringLiteral("/usr/bin/pandoc"),
                {QStringLiteral("-o"), reference, QStringLiteral("--print-default-data-file"),
                 QStringLiteral("reference.docx")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
    }
    const QString unpacked = world.path(QStringLiteral("ref"));
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"),
                {QStringLiteral("-q"), reference, QStringLiteral("-d"), unpacked});
    QVERIFY(unzip.waitForFinished(20000));
    const QString stylesPath = unpacked + QStringLiteral("/word/styles.xml");
    QByteArray styles = fileBytes(stylesPath);
    QVERIFY(!styles.isEmpty());
    styles.replace("w:styleId=\"Heading1\">", "w:styleId=\"Heading1\"><w:rPr><w:color "
                                              "w:val=\"C0FFEE\"/></w:rPr>");
    {
        QFile f(stylesPath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(styles);
    }
    QFile::remove(reference);
    QProcess zip;
    zip.setWorkingDirectory(unpacked);
    zip.start(QStringLiteral("zip"),
              {QStringLiteral("-q"), QStringLiteral("-r"), reference, QStringLiteral(".")});
    QVERIFY(zip.waitForFinished(20000));
    QCOMPARE(zip.exitCode(), 0);

    auto vm = single(world, QStringLiteral("doc.md"), QStringLiteral("docx"));
    Template t;
    t.id = QUuid::createUuid();
    t.name = QStringLiteral("Referenz");
    t.type = TemplateType::DocxReference;
    t.filePath = reference;
    vm->setTemplates({t});
    vm->setSelectedDocxTemplate(t);
    QVERIFY(run(*vm));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Green);
    const QByteArray outStyles =
        zipMember(world.path(QStringLiteral("doc.docx")), QStringLiteral("word/styles.xml"));
    QVERIFY(outStyles.contains("C0FFEE"));
}

void TstRealPandoc::zippedFormats_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("member");
    QTest::newRow("odt") << QStringLiteral("odt") << QStringLiteral("content.xml");
    QTest::newRow("epub") << QStringLiteral("epub") << QStringLiteral("EPUB/text/ch001.xhtml");
}

void TstRealPandoc::zippedFormats()
{
    QFETCH(QString, format);
    QFETCH(QString, member);
    TestWorld world;
    auto vm = single(world, QStringLiteral("doc.md"), format);
    QVERIFY(run(*vm));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Green);
    const QByteArray content = zipMember(world.path(QStringLiteral("doc.") + format), member);
    QVERIFY2(content.contains("Kapitel Eins"), content.left(400).constData());
}

void TstRealPandoc::pdf()
{
    TestWorld world;
    auto vm = single(world, QStringLiteral("doc.md"), QStringLiteral("pdf"));
    QVERIFY(run(*vm));
    QVERIFY2(vm->statusColor() == PandocViewModel::StatusColor::Green,
             qPrintable(vm->logMessages().join(u'\n')));
    QVERIFY(fileBytes(world.path(QStringLiteral("doc.pdf"))).startsWith("%PDF-"));
}

void TstRealPandoc::batchWithOneFailure()
{
    TestWorld world;
    world.installRealPandoc();
    const QList<QUrl> inputs{QUrl::fromLocalFile(world.writeFile(QStringLiteral("a.md"), "# A\n")),
                             // Gone by the time the batch runs.
                             QUrl::fromLocalFile(world.path(QStringLiteral("b.md"))),
                             QUrl::fromLocalFile(world.writeFile(QStringLiteral("c.md"), "# C\n"))};
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->setInputFiles(inputs);
    QVERIFY(run(*vm));
    QCOMPARE(vm->statusMessage(),
             QStringLiteral("Batch-Konvertierung abgeschlossen! Erfolg: 2, Fehler: 1"));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Orange);
    QVERIFY(QFile::exists(world.path(QStringLiteral("a.html"))));
    QVERIFY(QFile::exists(world.path(QStringLiteral("c.html"))));
    // Caught before pandoc starts, in German.
    QVERIFY(vm->logMessages().contains(QStringLiteral("❌ Eingabedatei nicht gefunden: ") +
                                       world.path(QStringLiteral("b.md"))));
}

void TstRealPandoc::hostileFileName()
{
    TestWorld world;
    auto vm =
        single(world, QStringLiteral("-Bericht \"Grüße\" 'von' mir.md"), QStringLiteral("html"));
    QVERIFY(run(*vm));
    QVERIFY2(vm->statusColor() == PandocViewModel::StatusColor::Green,
             qPrintable(vm->logMessages().join(u'\n')));
    QVERIFY(fileBytes(world.path(QStringLiteral("-Bericht \"Grüße\" 'von' mir.html")))
                .contains("Kapitel Eins"));
}

void TstRealPandoc::versionCheck()
{
    TestWorld world;
    const QString path = world.installRealPandoc();
    auto vm = world.makeViewModel();
    QSignalSpy checked(vm.get(), &PandocViewModel::pandocCheckFinished);
    vm->checkPandocInstallation();
    QVERIFY(checked.count() > 0 || checked.wait(20000));
    QVERIFY(vm->statusMessage().startsWith(QStringLiteral("✓ pandoc ")));
    QVERIFY(vm->statusMessage().endsWith(QStringLiteral(" (") + path + u')'));
    QCOMPARE(vm->logMessages().last(), QStringLiteral("Pfad: ") + path);
}

void TstRealPandoc::headingShiftReachesTheOutputAndThePreset()
{
    TestWorld world;
    world.installRealPandoc();
    {
        auto vm = single(world, QStringLiteral("a.md"), QStringLiteral("html"));
        vm->setOptionValue(QStringLiteral("shift-heading-level-by"), QStringLiteral("1"));
        QVERIFY(vm->commandPreview().contains(QStringLiteral(" --shift-heading-level-by=1")));
        QVERIFY(run(*vm));
        const QByteArray html = fileBytes(vm->lastRunResults().first().output);
        QVERIFY2(html.contains("Kapitel Eins</h2>"), html.constData());
        vm->savePreset(QStringLiteral("Verschoben"));
    }
    auto vm = world.makeViewModel();
    vm->loadPresets();
    vm->loadPreset(vm->presets().first());
    QCOMPARE(vm->optionValue(QStringLiteral("shift-heading-level-by")), QStringLiteral("1"));

    // Set twice: the log says which value counts, and that one reaches the output.
    vm->handleInputFileSelection(
        {{QUrl::fromLocalFile(world.path(QStringLiteral("a.md")))}, std::nullopt});
    vm->setAdditionalOptions(QStringLiteral("--shift-heading-level-by=2"));
    world.dialogs.answers = {true, false}; // replace the first run's output, do not open it
    QVERIFY(run(*vm));
    QVERIFY(vm->logMessages().contains(
        QStringLiteral("⚠ Die Zusatzoptionen setzen --shift-heading-level-by, das auch "
                       "„Überschriften verschieben um“ einstellt; es gilt der Wert aus den "
                       "Zusatzoptionen.")));
    QVERIFY(fileBytes(vm->lastRunResults().first().output).contains("Kapitel Eins</h3>"));
}

QTEST_GUILESS_MAIN(TstRealPandoc)
#include "tst_realpandoc.moc"
