#include "fakes.h"

#include <QSignalSpy>
#include <QTest>

class TstSelection final : public QObject
{
    Q_OBJECT

private slots:
    void openPanel_data();
    void openPanel();
    void openPanelError();
    void oneFileAfterBatchReplacesPlaceholder();
    void placeholderIsNoFileName();
    void savePanel();
    void drop_data();
    void drop();
    void batchList();
};

namespace {

QList<QUrl> files(const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &p : paths)
        urls << QUrl::fromLocalFile(p);
    return urls;
}

} // namespace

void TstSelection::openPanel_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("alert"); // empty: no dialog
    QTest::newRow("one file") << QStringList{"/Users/a/x.md"} << QStringLiteral("/Users/a/x.docx")
                              << QString();
    QTest::newRow("three files")
        << QStringList{"/t/a.md", "/t/b b.md", "/u/c.txt"} << PandocViewModel::kBatchPlaceholder
        << QStringLiteral("Batch-Konvertierung aktiviert!\n\nAusgewählte Dateien (3):\n\n• a.md\n• "
                          "b b.md\n• c.txt\n\nAusgabedateien werden automatisch im gleichen "
                          "Ordner mit dem gewählten Format erstellt.");
    QTest::newRow("empty list") << QStringList{} << PandocViewModel::kBatchPlaceholder << QString();
}

void TstSelection::openPanel()
{
    QFETCH(QStringList, chosen);
    QFETCH(QString, output);
    QFETCH(QString, alert);
    TestWorld world;
    auto vm = world.makeViewModel();
    vm->setInputFiles(files({QStringLiteral("/old.md")}));
    vm->handleInputFileSelection({files(chosen), std::nullopt});
    QCOMPARE(vm->inputFiles(), files(chosen));
    QCOMPARE(vm->outputFile(), output);
    if (alert.isEmpty()) {
        QVERIFY(world.dialogs.calls.isEmpty());
    } else {
        QCOMPARE(world.dialogs.calls.size(), 1);
        QCOMPARE(world.dialogs.calls.first().title, QStringLiteral("Batch-Modus"));
        QCOMPARE(world.dialogs.calls.first().message, alert);
    }
    QVERIFY(vm->logMessages().isEmpty());
}

void TstSelection::openPanelError()
{
    TestWorld world;
    auto vm = world.makeViewModel();
    vm->handleInputFileSelection({files({QStringLiteral("/a.md")}), std::nullopt});
    vm->handleInputFileSelection({{}, QStringLiteral("Zugriff verweigert")});
    QCOMPARE(vm->inputFiles(), files({QStringLiteral("/a.md")}));
    QCOMPARE(vm->outputFile(), QStringLiteral("/a.docx"));
    QCOMPARE(vm->logMessages(),
             QStringList{QStringLiteral("❌ Fehler beim Auswählen der Datei: Zugriff verweigert")});
    QCOMPARE(vm->statusMessage(), QStringLiteral("Bereit"));
}

void TstSelection::oneFileAfterBatchReplacesPlaceholder()
{
    TestWorld world;
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->handleInputFileSelection({files({"/a/x.md", "/a/y.md"}), std::nullopt});
    QCOMPARE(vm->outputFile(), PandocViewModel::kBatchPlaceholder);
    vm->handleInputFileSelection({files({"/a/z.md"}), std::nullopt});
    QCOMPARE(vm->outputFile(), QStringLiteral("/a/z.html"));
}

// The placeholder only shows that outputs lie beside their inputs; it never becomes a path.
void TstSelection::placeholderIsNoFileName()
{
    TestWorld world;
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->handleOutputFileSelection({files({QStringLiteral("/out/chosen.html")}), std::nullopt});
    vm->handleInputFileSelection({files({"/a/x.md", "/a/y.md"}), std::nullopt});
    vm->setInputFiles(files({QStringLiteral("/a/x.md")}));
    QCOMPARE(vm->outputFile(), PandocViewModel::kBatchPlaceholder);
    QVERIFY(vm->commandPreview().contains(QStringLiteral("/a/x.html")));
    QVERIFY(!vm->commandPreview().contains(PandocViewModel::kBatchPlaceholder));
    // Choosing a file again brings the chosen name back, not the placeholder.
    vm->setOutputFile(QStringLiteral("/out/chosen.html"));
    QVERIFY(vm->commandPreview().contains(QStringLiteral("/out/chosen.html")));
}

void TstSelection::savePanel()
{
    TestWorld world;
    auto vm = world.makeViewModel();
    vm->handleOutputFileSelection({files({QStringLiteral("/out/Ergebnis.docx")}), std::nullopt});
    QCOMPARE(vm->outputFile(), QStringLiteral("/out/Ergebnis.docx"));
    vm->handleOutputFileSelection({{}, QStringLiteral("kaputt")});
    QCOMPARE(vm->outputFile(), QStringLiteral("/out/Ergebnis.docx"));
    QCOMPARE(vm->logMessages(),
             QStringList{QStringLiteral("❌ Fehler beim Auswählen der Ausgabedatei: kaputt")});
}

void TstSelection::drop_data()
{
    QTest::addColumn<QList<QUrl>>("dropped");
    QTest::addColumn<QList<QUrl>>("inputs");
    QTest::addColumn<QString>("output");
    const QList<QUrl> before = files({QStringLiteral("/before.md")});
    const QUrl web(QStringLiteral("https://example.org/a.md"));
    QTest::newRow("one file") << files({"/d/n.md"}) << files({"/d/n.md"})
                              << QStringLiteral("/d/n.docx");
    QTest::newRow("two files keep the output")
        << files({"/d/a.md", "/d/b.md"}) << files({"/d/a.md", "/d/b.md"})
        << QStringLiteral("/chosen.docx");
    QTest::newRow("non-files are skipped") << (QList<QUrl>{web} + files({"/d/n.md"}))
                                           << files({"/d/n.md"}) << QStringLiteral("/d/n.docx");
    QTest::newRow("nothing usable")
        << QList<QUrl>{web, QUrl()} << before << QStringLiteral("/chosen.docx");
}

void TstSelection::drop()
{
    QFETCH(QList<QUrl>, dropped);
    QFETCH(QList<QUrl>, inputs);
    QFETCH(QString, output);
    TestWorld world;
    auto vm = world.makeViewModel();
    vm->setInputFiles(files({QStringLiteral("/before.md")}));
    vm->setOutputFile(QStringLiteral("/chosen.docx"));
    QVERIFY(vm->handleDrop(dropped));
    QCOMPARE(vm->inputFiles(), inputs);
    QCOMPARE(vm->outputFile(), output);
    QVERIFY(world.dialogs.calls.isEmpty());
    QVERIFY(vm->logMessages().isEmpty());
}

void TstSelection::batchList()
{
    TestWorld world;
    auto vm = world.makeViewModel();
    vm->showBatchFileList();
    vm->setInputFiles(files({"/x/a.md", "/y/b.md", "/z/c.md"}));
    vm->showBatchFileList();
    QCOMPARE(world.dialogs.calls.size(), 2);
    QCOMPARE(world.dialogs.calls[0].title, QStringLiteral("Ausgewählte Dateien"));
    QCOMPARE(world.dialogs.calls[0].message, QStringLiteral("Batch-Konvertierung: 0 Dateien\n\n"));
    QCOMPARE(world.dialogs.calls[1].message,
             QStringLiteral("Batch-Konvertierung: 3 Dateien\n\n1. a.md\n2. b.md\n3. c.md"));
}

QTEST_GUILESS_MAIN(TstSelection)
#include "tst_selection.moc"
