// Citations: arguments, missing files, the converter's warnings, presets and the style library.
#include "conversionhelpers.h"
#include "fakes.h"
#include "recordjson.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kData = QStringLiteral(VELUNOR_TEST_DATA_DIR "/citations/");

} // namespace

class TstCitations final : public QObject
{
    Q_OBJECT

private slots:
    void bibliographyTurnsProcessingOn();
    void missingFileStopsConversion_data();
    void missingFileStopsConversion();
    void realPandoc_data();
    void realPandoc();
    void unknownKeyBecomesWarning();
    void presetCarriesCitations();
    void styleLibrary();
    void foreignStyleListIsGuarded_data();
    void foreignStyleListIsGuarded();
};

void TstCitations::bibliographyTurnsProcessingOn()
{
    TestWorld world;
    world.installFakePandoc();
    auto vm = world.makeViewModel();
    const QString input = world.writeFile(QStringLiteral("a b.md"), "x\n");
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY(!vm->commandPreview().contains(u"--citeproc"));

    vm->setBibliographyFile(world.path(QStringLiteral("Quellen ä.bib")));
    vm->setCslFile(world.path(QStringLiteral("stil.csl")));
    QVERIFY(vm->processCitations());
    QVERIFY2(vm->commandPreview().endsWith(QStringLiteral("--citeproc --bibliography '") +
                                           world.path(QStringLiteral("Quellen ä.bib")) +
                                           QStringLiteral("' --csl ") +
                                           world.path(QStringLiteral("stil.csl"))),
             qPrintable(vm->commandPreview()));
    // Turned off by hand, nothing of it reaches the converter.
    vm->setProcessCitations(false);
    QVERIFY(!vm->commandPreview().contains(u"--bibliography"));
    vm->setProcessCitations(true);
    vm->setBibliographyFile(QString());
    QVERIFY(!vm->processCitations());
}

void TstCitations::missingFileStopsConversion_data()
{
    QTest::addColumn<bool>("bibliographyMissing");
    QTest::addColumn<bool>("styleIsFolder");
    QTest::addColumn<QString>("line");
    QTest::newRow("bibliography gone")
        << true << false << QStringLiteral("❌ Literaturdatei nicht gefunden: ");
    QTest::newRow("style is a folder")
        << false << true << QStringLiteral("❌ Zitierstil nicht gefunden: ");
}

void TstCitations::missingFileStopsConversion()
{
    QFETCH(bool, bibliographyMissing);
    QFETCH(bool, styleIsFolder);
    QFETCH(QString, line);
    TestWorld world;
    world.installFakePandoc();
    const QString argsFile = world.path(QStringLiteral("args.txt"));
    qputenv("FAKE_PANDOC_ARGS_FILE", argsFile.toUtf8());
    auto vm = world.makeViewModel();
    const QString input = world.writeFile(QStringLiteral("doc.md"), "[@knuth84]\n");
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    vm->setBibliographyFile(bibliographyMissing ? world.path(QStringLiteral("weg.bib"))
                                                : kData + QStringLiteral("refs.bib"));
    QDir().mkpath(world.path(QStringLiteral("folder.csl")));
    if (styleIsFolder)
        vm->setCslFile(world.path(QStringLiteral("folder.csl")));

    QVERIFY(runToEnd(*vm, 120000));
    qunsetenv("FAKE_PANDOC_ARGS_FILE");
    QVERIFY2(vm->logMessages().last().startsWith(line), qPrintable(vm->logMessages().join(u'\n')));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Red);
    QVERIFY(!QFile::exists(argsFile));
}

void TstCitations::realPandoc_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("style");
    QTest::addColumn<QStringList>("expected");
    const QString numbered = kData + QStringLiteral("numbered.csl");
    QTest::newRow("html, default style")
        << QStringLiteral("html") << QString()
        << QStringList{QStringLiteral("(Knuth 1984"), QStringLiteral("id=\"refs\""),
                       QStringLiteral("Addison-Wesley")};
    QTest::newRow("html, numbered style")
        << QStringLiteral("html") << numbered
        << QStringList{QStringLiteral(">[1]</span>"),
                       QStringLiteral("1. The <span>TeX</span>book")};
    QTest::newRow("docx, default style")
        << QStringLiteral("docx") << QString()
        << QStringList{QStringLiteral("(Knuth 1984, 3)"), QStringLiteral("Addison-Wesley")};
    QTest::newRow("docx, numbered style")
        << QStringLiteral("docx") << numbered
        << QStringList{QStringLiteral(">[1]<"), QStringLiteral("w:name=\"ref-knuth84\""),
                       QStringLiteral(">1. The<")};
}

void TstCitations::realPandoc()
{
    QFETCH(QString, format);
    QFETCH(QString, style);
    QFETCH(QStringList, expected);
    TestWorld world;
    world.installRealPandoc();
    auto vm = world.makeViewModel();
    const QString input =
        world.writeFile(QStringLiteral("Aufsatz mit Zitat.md"), "Wie gezeigt [@knuth84, p. 3].\n");
    vm->setOutputFormat(format);
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    vm->setBibliographyFile(kData + QStringLiteral("refs.bib"));
    vm->setCslFile(style);
    QVERIFY(runToEnd(*vm, 120000));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Green);

    const QString output = world.path(QStringLiteral("Aufsatz mit Zitat.") + format);
    const QString text =
        QString::fromUtf8(format == u"docx" ? docxBody(output) : fileBytes(output));
    for (const QString &piece : expected)
        QVERIFY2(text.contains(piece), qPrintable(piece + u'\n' + text.left(3000)));
    // The numbered style leaves no author-date form behind.
    QCOMPARE(text.contains(u"(Knuth 1984"), style.isEmpty());
}

void TstCitations::unknownKeyBecomesWarning()
{
    TestWorld world;
    world.installRealPandoc();
    auto vm = world.makeViewModel();
    const QString input =
        world.writeFile(QStringLiteral("doc.md"), "[@knuth84] und [@gibtsnicht]\n");
    vm->setOutputFormat(QStringLiteral("html"));
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    vm->setBibliographyFile(kData + QStringLiteral("refs.bib"));
    QVERIFY(runToEnd(*vm, 120000));
    const QStringList log = vm->logMessages();
    const qsizetype success = log.indexOf(QStringLiteral("✓ Konvertierung erfolgreich: doc.html"));
    QVERIFY2(success >= 0, qPrintable(log.join(u'\n')));
    QCOMPARE(log.mid(success + 1), QStringList{QStringLiteral(
                                       "⚠ Zitat ohne Eintrag in der Literaturdatei: @gibtsnicht")});
}

void TstCitations::presetCarriesCitations()
{
    TestWorld world;
    auto vm = world.makeViewModel();
    vm->setBibliographyFile(QStringLiteral("/q/refs.bib"));
    vm->setProcessCitations(false);
    vm->savePreset(QStringLiteral("Mit Literatur"));
    vm->setBibliographyFile(QString());
    vm->savePreset(QStringLiteral("Ohne"));

    const QByteArray json = fileBytes(StoreLocation(world.storeRoot()).presetsFile());
    QList<Preset> stored;
    QVERIFY(decodeRecords(json, &stored, nullptr));
    QCOMPARE(stored.size(), 2);
    QCOMPARE(stored[0].bibliography, std::optional<QString>(QStringLiteral("/q/refs.bib")));
    QCOMPARE(stored[0].citeproc, std::optional<bool>(false));
    // Presets without citations keep the old form: no new keys at all.
    QCOMPARE(json.count("\"bibliography\""), 1);
    QVERIFY(!json.contains("\"csl\""));
    QCOMPARE(json.count("\"citeproc\""), 1);

    vm->loadPreset(stored[0]);
    QCOMPARE(vm->bibliographyFile(), QStringLiteral("/q/refs.bib"));
    QVERIFY(!vm->processCitations());
    vm->loadPreset(stored[1]);
    QVERIFY(vm->bibliographyFile().isEmpty());
}

void TstCitations::styleLibrary()
{
    TestWorld world;
    const StoreLocation store(world.storeRoot());
    world.dialogs.answers = {true};
    {
        auto vm = world.makeViewModel();
        const auto style = vm->importCslStyle(kData + QStringLiteral("numbered.csl"));
        QVERIFY(style);
        QCOMPARE(style->name, QStringLiteral("numbered"));
        QCOMPARE(QFileInfo(style->filePath).absolutePath(), store.cslFolder());
        // Choosing the same file again lists it once; anything but .csl is refused.
        QCOMPARE(vm->importCslStyle(kData + QStringLiteral("numbered.csl"))->id, style->id);
        QVERIFY(!vm->importCslStyle(kData + QStringLiteral("refs.bib")));
        QCOMPARE(vm->cslStyles().size(), 1);
    }
    // The template index never sees the style.
    QVERIFY(!QFile::exists(store.templatesFile()));
    auto vm = world.makeViewModel();
    QCOMPARE(vm->cslStyles().size(), 1);
    const CslStyle style = vm->cslStyles().first();
    vm->setCslFile(style.filePath);
    // A running conversion may still read it.
    vm->setIsConverting(true);
    QVERIFY(!vm->deleteCslStyle(style.id));
    QVERIFY(QFile::exists(style.filePath));
    vm->setIsConverting(false);
    QVERIFY(vm->deleteCslStyle(style.id));
    QVERIFY(!QFile::exists(style.filePath));
    QVERIFY(vm->cslFile().isEmpty());
    QVERIFY(QFile::exists(kData + QStringLiteral("numbered.csl")));

    // A broken list is kept aside, never overwritten silently.
    world.writeFile(QStringLiteral("support/Velunor/csl-styles.json"), "[{\"id\": 1}]");
    auto reloaded = world.makeViewModel();
    QVERIFY(reloaded->cslStyles().isEmpty());
    QVERIFY(reloaded->logMessages().last().startsWith(
        QStringLiteral("⚠ Fehler beim Laden der CSL-Stile: ")));
}

void TstCitations::foreignStyleListIsGuarded_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("fileKept");
    QTest::newRow("own file") << "own"
                              << "Die Datei wird ebenfalls gelöscht!" << false;
    QTest::newRow("record pointing outside") << "outside"
                                             << "außerhalb" << true;
    QTest::newRow("CSL folder a link to the documents") << "linked folder"
                                                        << "außerhalb" << true;
    QTest::newRow("one file for two records") << "shared"
                                              << "anderen CSL-Stil" << true;
    QTest::newRow("two records with one id") << "same id"
                                             << "anderen CSL-Stil" << true;
}

// A style list written by someone else: deleting a style touches no file outside the style
// folder and none another record still uses, and the question says which it is.
void TstCitations::foreignStyleListIsGuarded()
{
    QFETCH(QString, layout);
    QFETCH(QString, question);
    QFETCH(bool, fileKept);
    TestWorld world;
    const StoreLocation store(world.storeRoot());
    const QString document = world.writeFile(QStringLiteral("Dokumente/Bericht.csl"), "mine");
    const QString own = world.writeFile(QStringLiteral("support/Velunor/CSL/a.csl"), "a");
    if (layout == u"linked folder") {
        QDir(store.cslFolder()).removeRecursively();
        QVERIFY(QFile::link(world.path(QStringLiteral("Dokumente")), store.cslFolder()));
    }
    const QString target = layout == u"outside" || layout == u"linked folder"
                               ? store.cslFolder() + QStringLiteral("/Bericht.csl")
                               : own;
    CslStyle first{QUuid::createUuid(), QStringLiteral("<b>Erster</b>\nZeile"),
                   layout == u"outside" ? document : target, QDateTime::currentDateTimeUtc()};
    CslStyle second{
        layout == u"same id" ? first.id : QUuid::createUuid(), QStringLiteral("Zweiter"),
        layout == u"shared" || layout == u"same id" ? first.filePath : document, first.added};
    world.writeFile(QStringLiteral("support/Velunor/csl-styles.json"),
                    encodeRecords(QList<CslStyle>{first, second}));

    auto vm = world.makeViewModel();
    const QStringList log = vm->logMessages();
    QCOMPARE(log.filter(QStringLiteral("⚠ Doppelte IDs")).size(), layout == u"same id" ? 1 : 0);
    QCOMPARE(vm->cslStyles().size(), 2);
    world.dialogs.answers = {true};
    QVERIFY(vm->deleteCslStyle(vm->cslStyles().first().id));
    QCOMPARE(world.dialogs.calls.size(), 1);
    const QString asked = world.dialogs.calls.first().message;
    QVERIFY2(asked.contains(question) && asked.contains(first.name), qPrintable(asked));
    QCOMPARE(QFile::exists(first.filePath), fileKept);
    QVERIFY(QFile::exists(document));
    QCOMPARE(vm->cslStyles().size(), 1);
    QCOMPARE(vm->cslStyles().first().name, QStringLiteral("Zweiter"));

    // Nothing is ever copied through a linked style folder.
    if (layout == u"linked folder") {
        QVERIFY(!vm->importCslStyle(kData + QStringLiteral("numbered.csl")));
        QCOMPARE(QDir(world.path(QStringLiteral("Dokumente"))).entryList(QDir::Files),
                 QStringList{"Bericht.csl"});
    }
}

QTEST_GUILESS_MAIN(TstCitations)
#include "tst_citations.moc"
