// Several chapters into one document, through the widgets and Debian's pandoc.
#include "conversion/conversionview.h"
#include "conversionhelpers.h"
#include "fakefilepanels.h"
#include "fakes.h"
#include "recordjson.h"

#include <QBuffer>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QStringList kNumbers{QStringLiteral("Eins"), QStringLiteral("Zwei"), QStringLiteral("Drei"),
                           QStringLiteral("Vier"), QStringLiteral("Fünf")};

// Five chapters in two folders, each with a picture of its own colour beside it.
struct Book
{
    explicit Book(TestWorld &world, const QString &shelf = {})
    {
        world.installRealPandoc();
        for (int i = 0; i < 5; ++i) {
            const QString folder =
                shelf + (i % 2 == 0 ? QStringLiteral("buch") : QStringLiteral("anhang"));
            QImage picture(4, 4, QImage::Format_RGB32);
            picture.fill(QColor::fromHsv(i * 60, 255, 255));
            QByteArray png;
            QBuffer buffer(&png);
            picture.save(&buffer, "PNG");
            world.writeFile(folder + QStringLiteral("/bilder/bild%1.png").arg(i), png);
            chapters << QUrl::fromLocalFile(
                world.writeFile(folder + QStringLiteral("/kapitel%1.md").arg(i),
                                QStringLiteral("# Kapitel %1\n\n![Bild](bilder/bild%2.png)\n")
                                    .arg(kNumbers[i])
                                    .arg(i)
                                    .toUtf8()));
        }
    }
    QList<QUrl> chapters;
};

} // namespace

class TestMergeDocument : public QObject
{
    Q_OBJECT

private slots:
    void chaptersBecomeOneDocumentInTheChosenOrder_data()
    {
        QTest::addColumn<QList<int>>("clicks"); // row to select, then +1 down / -1 up
        QTest::addColumn<QList<int>>("order");
        QTest::newRow("as chosen") << QList<int>{} << QList<int>{0, 1, 2, 3, 4};
        QTest::newRow("last moved to the top")
            << QList<int>{4, -1, -1, -1, -1} << QList<int>{4, 0, 1, 2, 3};
        QTest::newRow("first moved down twice") << QList<int>{0, 1, 1} << QList<int>{1, 2, 0, 3, 4};
    }
    void chaptersBecomeOneDocumentInTheChosenOrder()
    {
        QFETCH(QList<int>, clicks);
        QFETCH(QList<int>, order);
        TestWorld world;
        Book book(world);
        FakeFilePanels panels;
        auto vm = world.makeViewModel();
        ConversionView view(vm.get(), &panels);
        view.show();
        vm->setOutputFormat(QStringLiteral("docx"));
        vm->handleInputFileSelection({book.chapters, std::nullopt});
        auto *merge = view.findChild<QCheckBox *>(QStringLiteral("mergeInputsCheck"));
        auto *list = view.findChild<QListWidget *>(QStringLiteral("mergeOrderList"));
        QVERIFY(merge && merge->isVisible() && list && !list->isVisible());
        merge->click();
        QVERIFY(list->isVisible());
        const QString output = world.path(QStringLiteral("buch/buch.docx"));
        QCOMPARE(view.findChild<QLineEdit *>(QStringLiteral("outputField"))->text(), output);

        const auto button = [&view](int step) {
            return view.findChild<QPushButton *>(step < 0 ? QStringLiteral("moveUpButton")
                                                          : QStringLiteral("moveDownButton"));
        };
        for (qsizetype i = 0; i < clicks.size(); ++i) {
            if (i == 0)
                list->setCurrentRow(clicks[i]);
            else
                button(clicks[i])->click();
        }
        QStringList expected;
        for (int i : order)
            expected << book.chapters[i].toLocalFile();
        QStringList chosen;
        for (const QUrl &url : vm->inputFiles())
            chosen << url.toLocalFile();
        QCOMPARE(chosen, expected);
        QVERIFY(vm->commandPreview().contains(expected.join(u' ')));

        QVERIFY(runToEnd(*vm, 120000));
        QVERIFY2(vm->statusColor() == PandocViewModel::StatusColor::Green,
                 qPrintable(vm->logMessages().join(u'\n')));
        QVERIFY(vm->logMessages().contains(
            QStringLiteral("\nStarte Konvertierung: 5 Dateien → buch.docx")));
        // Every chapter's picture was found, whichever folder it lies in.
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"), {QStringLiteral("-l"), output});
        QVERIFY(unzip.waitForFinished(20000));
        QCOMPARE(QString::fromUtf8(unzip.readAllStandardOutput()).count(u"word/media/"), 5);
        const QString body = QString::fromUtf8(docxBody(output));
        qsizetype last = -1;
        for (int i : order) {
            const qsizetype at = body.indexOf(QStringLiteral("Kapitel ") + kNumbers[i]);
            QVERIFY2(at > last, qPrintable(kNumbers[i]));
            last = at;
        }
    }

    void refusedBeforePandocStarts_data()
    {
        QTest::addColumn<QString>("hostile");
        QTest::addColumn<QString>("line");
        QTest::newRow("output is an input") << "same"
                                            << "❌ Ausgabedatei wäre eine der Eingabedateien";
        QTest::newRow("output is a hard link to an input")
            << "hardlink"
            << "❌ Ausgabedatei wäre eine der Eingabedateien";
        QTest::newRow("output is a symbolic link to an input")
            << "symlink"
            << "❌ Ausgabedatei wäre eine der Eingabedateien";
        QTest::newRow("a later input is gone") << "missing"
                                               << "❌ Eingabedatei nicht gefunden";
        QTest::newRow("a later input is a FIFO") << "fifo"
                                                 << "❌ Eingabe ist keine normale Datei";
    }
    void refusedBeforePandocStarts()
    {
        QFETCH(QString, hostile);
        QFETCH(QString, line);
        TestWorld world;
        Book book(world);
        world.dialogs.answers = {true, true};
        auto vm = world.makeViewModel();
        vm->handleInputFileSelection({book.chapters, std::nullopt});
        vm->setMergeInputs(true);
        const QString fourth = book.chapters[3].toLocalFile();
        const QByteArray before = fileBytes(fourth);
        const QString output = world.path(QStringLiteral("buch/buch.docx"));
        if (hostile == u"same") {
            vm->setOutputFile(fourth);
        } else if (hostile == u"hardlink") {
            QVERIFY(::link(QFile::encodeName(fourth).constData(),
                           QFile::encodeName(output).constData()) == 0);
        } else if (hostile == u"symlink") {
            QVERIFY(QFile::link(fourth, output));
        } else {
            QVERIFY(QFile::remove(fourth));
            if (hostile == u"fifo")
                QVERIFY(::mkfifo(QFile::encodeName(fourth).constData(), 0600) == 0);
        }

        QVERIFY(runToEnd(*vm));
        const QString log = vm->logMessages().join(u'\n');
        QVERIFY2(log.contains(line), qPrintable(log));
        QVERIFY2(!log.contains(QStringLiteral("Starte Konvertierung")), qPrintable(log));
        if (hostile != u"missing" && hostile != u"fifo")
            QCOMPARE(fileBytes(fourth), before);
    }

    void previewPresetAndFormatFollowTheSwitch()
    {
        TestWorld world;
        // pandoc splits the picture folders at ':'.
        Book book(world, QStringLiteral("Band:1/"));
        FakeFilePanels panels;
        auto vm = world.makeViewModel();
        ConversionView view(vm.get(), &panels);
        view.show();
        vm->setOutputFormat(QStringLiteral("html"));
        vm->handleInputFileSelection({book.chapters, std::nullopt});
        QCOMPARE(vm->outputFile(), PandocViewModel::kBatchPlaceholder);
        view.findChild<QCheckBox *>(QStringLiteral("mergeInputsCheck"))->click();
        view.findChild<QCheckBox *>(QStringLiteral("fileScopeCheck"))->click();
        // A drag inside the list moves the entry; the inputs follow once the drop is over.
        auto *list = view.findChild<QListWidget *>(QStringLiteral("mergeOrderList"));
        QVERIFY(list->model()->moveRow(QModelIndex(), 4, QModelIndex(), 0));
        QTRY_COMPARE(vm->inputFiles().first(), book.chapters[4]);
        QCOMPARE(vm->inputFiles().size(), 5);
        vm->setOutputFormat(QStringLiteral("odt"));
        QCOMPARE(vm->outputFile(), world.path(QStringLiteral("Band:1/buch/buch.odt")));

        // Every folder once, in input order, the working folder first; relative to it, as
        // their own paths hold a ':'.
        const QString preview = vm->commandPreview();
        QVERIFY2(preview.contains(QStringLiteral(" --resource-path=.:../anhang ")),
                 qPrintable(preview));
        QVERIFY(preview.contains(QStringLiteral("--file-scope")));

        vm->savePreset(QStringLiteral("Buch"));
        const Preset saved = vm->presets().last();
        QCOMPARE(saved.mergeInputs, std::optional<bool>(true));
        QVERIFY(encodeRecords(QList<Preset>{saved}).contains("\"mergeInputs\": true"));

        // Off again: a batch beside the inputs, and no switch in a new preset.
        vm->setMergeInputs(false);
        QCOMPARE(vm->outputFile(), PandocViewModel::kBatchPlaceholder);
        QVERIFY(!vm->commandPreview().contains(QStringLiteral("--file-scope")));
        vm->savePreset(QStringLiteral("Einzeln"));
        QVERIFY(!encodeRecords(QList<Preset>{vm->presets().last()}).contains("mergeInputs"));

        vm->loadPreset(saved);
        QVERIFY(vm->mergeInputs());
        QVERIFY(view.findChild<QCheckBox *>(QStringLiteral("fileScopeCheck"))->isChecked());
    }
};

QTEST_MAIN(TestMergeDocument)
#include "tst_mergedocument.moc"
