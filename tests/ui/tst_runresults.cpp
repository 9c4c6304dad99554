// After a run: the results list, the desktop notification, closing during a run, and the
// parallel setting with its remembered value.
#include "contentview.h"
#include "conversionhelpers.h"
#include "conversionpreferences.h"
#include "fakefilepanels.h"
#include "fakes.h"
#include "mainwindow.h"
#include "notifier.h"
#include "runnotifier.h"

#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

namespace {

using Outcome = RunResult::Outcome;

struct RecordingNotifier final : Notifier
{
    void notify(const QString &summary, const QString &body) override
    {
        sent << summary + QStringLiteral(": ") + body;
    }
    QStringList sent;
};

class Window
{
public:
    Window()
    {
        world.installFakePandoc();
        window = std::make_unique<MainWindow>(world.environment(), &panels);
        window->setNotifier(&notifier);
        vm = window->viewModel();
    }

    bool showActive()
    {
        // The converter check follows the first frame; the cases change the converter's
        // behaviour only once it is done.
        QSignalSpy checked(vm, &PandocViewModel::pandocCheckFinished);
        window->show();
        window->activateWindow();
        return QTest::qWaitForWindowActive(window.get()) && checked.wait(10000);
    }

    template <typename T> T *find(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }

    RunResult row(const QString &name, Outcome outcome, double seconds = 1.5,
                  const QString &reason = QString()) const
    {
        return {world.writeFile(name + QStringLiteral(".md"), "# T\n"),
                world.path(name + QStringLiteral(".html")), outcome, seconds, reason};
    }

    // What the run would report; the results are set as a finished run sets them.
    void finishRun(const RunResults &rows)
    {
        vm->setLastRunResults(rows);
        emit vm->runResultsReady();
    }

    TestWorld world;
    FakeFilePanels panels;
    RecordingNotifier notifier;
    std::unique_ptr<MainWindow> window;
    PandocViewModel *vm = nullptr;
};

} // namespace

class TstRunResults final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QGuiApplication::setQuitOnLastWindowClosed(false); }
    void cleanup()
    {
        for (const char *name :
             {"FAKE_PANDOC_SLEEP_MS", "FAKE_PANDOC_CHILDREN", "FAKE_PANDOC_IGNORE_TERM"})
            qunsetenv(name);
    }

    void resultsListRowsAndButtons()
    {
        Window w;
        w.window->resize(800, 600);
        QVERIFY(w.showActive());
        auto *panel = w.find<QWidget>("runResultsPanel");
        QVERIFY(!panel->isVisible());
        // A reason is pandoc's text, shown as it is, even where it looks like markup.
        const QString reason = QStringLiteral("pandoc: <b>Fehler</b> & mehr");
        w.finishRun({w.row("a", Outcome::Succeeded, 2.34), w.row("b", Outcome::Failed),
                     w.row("c", Outcome::Skipped, 0), w.row("e", Outcome::Failed, 0.5, reason)});
        QVERIFY(panel->isVisible());
        auto *table = w.find<QTreeWidget>("runResultsTable");
        QStringList rows;
        for (int r = 0; r < table->topLevelItemCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c)
                cells << table->topLevelItem(r)->text(c);
            rows << cells.join(u'|');
        }
        QCOMPARE(rows,
                 (QStringList{"a.md|✓|a.html|2,3 s", "b.md|✗|b.html|1,5 s",
                              "c.md|übersprungen|c.html|–", "e.md|✗ " + reason + "|e.html|0,5 s"}));
        const QString tip = table->topLevelItem(3)->toolTip(1);
        QVERIFY2(tip.contains(u"&lt;b&gt;Fehler&lt;/b&gt;") && !tip.contains(u"<b>"),
                 qPrintable(tip));

        // The failure is selected first; it has nothing to open, but a folder.
        auto *open = w.find<QPushButton>("openResultButton");
        QVERIFY(!open->isEnabled());
        w.find<QPushButton>("showResultFolderButton")->click();
        QCOMPARE(w.world.desktop.openedFolders, QStringList{w.world.root()});
        table->setCurrentItem(table->topLevelItem(0));
        open->click();
        QCOMPARE(w.world.desktop.openedFiles, QStringList{w.world.path("a.html")});

        // At the smallest window the list and the log are both in view.
        auto *scroll = w.find<QScrollArea>("conversionScrollArea");
        const QRect viewport = scroll->viewport()->rect();
        QTRY_VERIFY(
            viewport.contains(QRect(panel->mapTo(scroll->viewport(), QPoint()), panel->size())));
        auto *log = w.find<QWidget>("logBox");
        QVERIFY(viewport.contains(QRect(log->mapTo(scroll->viewport(), QPoint()), log->size())));

        // A single file's run brings no list.
        w.finishRun({w.row("d", Outcome::Succeeded)});
        QVERIFY(!panel->isVisible());
    }

    // A real batch at the smallest window, started from the top of the page: when it ends,
    // the page has scrolled to the list by itself.
    void finishedBatchScrollsToTheList()
    {
        Window w;
        w.window->resize(800, 600);
        QVERIFY(w.showActive());
        w.vm->handleInputFileSelection(
            {{QUrl::fromLocalFile(w.world.writeFile(QStringLiteral("a.md"), "# A\n")),
              QUrl::fromLocalFile(w.world.writeFile(QStringLiteral("b.md"), "# B\n"))},
             std::nullopt});
        auto *scroll = w.find<QScrollArea>("conversionScrollArea");
        scroll->verticalScrollBar()->setValue(0);
        auto *panel = w.find<QWidget>("runResultsPanel");
        const QRect viewport = scroll->viewport()->rect();
        const auto listInView = [&] {
            return panel->isVisible() &&
                   viewport.contains(
                       QRect(panel->mapTo(scroll->viewport(), QPoint()), panel->size()));
        };
        // What the user sees behind the closing message, while it is up.
        bool inViewBehindTheMessage = false;
        QString buttonBehindTheMessage;
        w.world.dialogs.whileShown = [&](const FakeDialogs::Call &) {
            QTest::qWait(100);
            inViewBehindTheMessage = listInView();
            buttonBehindTheMessage = w.find<QPushButton>("convertButton")->text();
        };
        QSignalSpy finished(w.vm, &PandocViewModel::conversionFinished);
        w.find<QPushButton>("convertButton")->click();
        QVERIFY(finished.wait(20000));
        QCOMPARE(w.world.dialogs.calls.last().title, QStringLiteral("Batch-Konvertierung"));
        QVERIFY(inViewBehindTheMessage);
        QTRY_VERIFY(listInView());
        // The run has ended when its message says so.
        QCOMPARE(buttonBehindTheMessage, QStringLiteral("KONVERTIEREN"));
    }

    void retryConvertsTheFailedAgain_data()
    {
        QTest::addColumn<QList<int>>("failed");
        QTest::addColumn<QString>("expectedOutput");
        // One file goes back to the output its run meant to write.
        QTest::newRow("one") << QList<int>{1} << "f1.html";
        QTest::newRow("two") << QList<int>{0, 2} << "";
    }

    void retryConvertsTheFailedAgain()
    {
        QFETCH(QList<int>, failed);
        QFETCH(QString, expectedOutput);
        Window w;
        QVERIFY(w.showActive());
        RunResults rows;
        QList<QUrl> expectedInputs;
        for (int i = 0; i < 3; ++i) {
            const bool fail = failed.contains(i);
            rows << w.row(QStringLiteral("f") + QString::number(i),
                          fail ? Outcome::Failed : Outcome::Succeeded);
            if (fail)
                expectedInputs << QUrl::fromLocalFile(rows.last().input);
        }
        w.finishRun(rows);
        // The batch list the user chose stays; only the failed files run again.
        const QList<QUrl> chosen = w.vm->inputFiles();
        const QString chosenOutput = w.vm->outputFile();
        QSignalSpy finished(w.vm, &PandocViewModel::conversionFinished);
        w.find<QPushButton>("retryFailedButton")->click();
        QCOMPARE(w.vm->inputFiles(), chosen);
        QCOMPARE(w.vm->outputFile(), chosenOutput);
        QVERIFY(finished.wait(20000));
        const QStringList started =
            w.vm->logMessages().filter(QStringLiteral("Starte Konvertierung"));
        QCOMPARE(started.size(), failed.size());
        for (const QUrl &input : std::as_const(expectedInputs))
            QVERIFY(!started.filter(input.fileName()).isEmpty());
        if (!expectedOutput.isEmpty())
            QVERIFY(started.first().endsWith(QStringLiteral(" → ") + expectedOutput));
    }

    void notificationWhenTheWindowIsNotInFront_data()
    {
        QTest::addColumn<RunResults>("rows");
        QTest::addColumn<bool>("active");
        QTest::addColumn<QString>("expected");
        const RunResult ok{"/d/a.md", "/d/a.html", Outcome::Succeeded, 1, {}};
        const RunResult bad{"/d/b.md", "/d/b.html", Outcome::Failed, 1, {}};
        const RunResult skipped{"/d/c.md", "/d/c.html", Outcome::Skipped, 0, {}};
        const RunResult slow{"/d/a.md", "/d/a.pdf", Outcome::Succeeded, 12, {}};
        QTest::newRow("batch") << RunResults{ok, ok, ok, bad} << false
                               << "Konvertierung abgeschlossen: 3 erfolgreich, 1 Fehler";
        QTest::newRow("cancelled batch")
            << RunResults{ok, bad, skipped} << false
            << "Konvertierung abgebrochen: 1 erfolgreich, 1 Fehler, 1 übersprungen";
        QTest::newRow("slow single")
            << RunResults{slow} << false << "Konvertierung abgeschlossen: a.md → a.pdf";
        QTest::newRow("quick single") << RunResults{ok} << false << "";
        QTest::newRow("window in front") << RunResults{ok, bad} << true << "";
    }

    void notificationWhenTheWindowIsNotInFront()
    {
        QFETCH(RunResults, rows);
        QFETCH(bool, active);
        QFETCH(QString, expected);
        Window w;
        QVERIFY(w.showActive());
        QWidget other;
        if (!active) {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        }
        w.finishRun(rows);
        QCOMPARE(w.notifier.sent, expected.isEmpty() ? QStringList() : QStringList{expected});
    }

    void closingDuringARunAsksThenCancels()
    {
        Window w;
        QVERIFY(w.showActive());
        w.vm->handleInputFileSelection(
            {{QUrl::fromLocalFile(w.world.writeFile("a.md", "x"))}, std::nullopt});
        const QString output = w.world.writeFile("a.docx", "vorher");
        const QString pidFile = w.world.path("pids.txt");
        // A converter deaf to SIGTERM with two helpers, one in a session of its own.
        qputenv("FAKE_PANDOC_SLEEP_MS", "60000");
        qputenv("FAKE_PANDOC_IGNORE_TERM", "1");
        qputenv("FAKE_PANDOC_CHILDREN", pidFile.toUtf8());
        w.vm->setOutputFile(output);
        w.world.dialogs.answers = {true}; // replace
        w.vm->convert();
        QTRY_COMPARE(fileBytes(pidFile).split(' ').size(), 3);
        QTRY_VERIFY(w.vm->isConverting());

        w.world.dialogs.answers = {false};
        QVERIFY(!w.window->close());
        QCOMPARE(w.world.dialogs.calls.last().message,
                 QStringLiteral("Eine Konvertierung läuft noch. Abbrechen und beenden? "
                                "[Abbrechen und beenden|Weiter konvertieren]"));
        QVERIFY(w.window->isVisible() && w.vm->isConverting());

        w.world.dialogs.answers = {true};
        // Returns at once; the window goes when the cancelled run has ended.
        QVERIFY(!w.window->close() && w.window->isVisible());
        QTRY_VERIFY(!w.window->isVisible());
        QVERIFY(!w.vm->isConverting());
        QVERIFY(w.vm->logMessages().contains(QStringLiteral("⚠ Konvertierung abgebrochen")));
        QCOMPARE(fileBytes(output), QByteArray("vorher"));
        for (const QByteArray &pid : fileBytes(pidFile).split(' ')) {
            const QString stat =
                QStringLiteral("/proc/") + QString::fromLatin1(pid) + QStringLiteral("/stat");
            QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(stat) || fileBytes(stat).contains(") Z "),
                                     1000);
        }
    }

    void parallelSettingBoundDisabledAndRemembered_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("kept") << QVariant(3) << 3;
        QTest::newRow("too many") << QVariant(99) << 8;
        QTest::newRow("garbage") << QVariant(QStringLiteral("viele"))
                                 << PandocViewModel::defaultParallelJobs();
    }

    void parallelSettingBoundDisabledAndRemembered()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, expected);
        Window w;
        const QString file = w.world.path("settings.ini");
        QSettings(file, QSettings::IniFormat)
            .setValue(ConversionPreferences::kParallelJobsKey, stored);
        ConversionPreferences settings(w.vm,
                                       std::make_unique<QSettings>(file, QSettings::IniFormat));
        auto *spin = w.find<QSpinBox>("parallelJobsSpinBox");
        QCOMPARE(spin->value(), expected);

        spin->setValue(expected == 5 ? 6 : 5);
        QCOMPARE(w.vm->parallelJobs(), spin->value());
        QCOMPARE(QSettings(file, QSettings::IniFormat)
                     .value(ConversionPreferences::kParallelJobsKey)
                     .toInt(),
                 spin->value());

        w.vm->setIsConverting(true);
        QVERIFY(!spin->isEnabled());
        w.vm->setIsConverting(false);
        QVERIFY(spin->isEnabled());
    }
};

QTEST_MAIN(TstRunResults)
#include "tst_runresults.moc"
