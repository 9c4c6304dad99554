// A run as a whole: where it runs, what it may write, what it leaves behind, and in what order.
#include "conversionhelpers.h"
#include "conversionjob.h"
#include "fakes.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>

#include <csignal>

namespace {

using Answer = Dialogs::ReplaceAnswer;

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

// Gone, or a zombie nobody has reaped yet.
bool processGone(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

QList<QUrl> urlsOf(const TestWorld &world, const QStringList &names)
{
    QList<QUrl> urls;
    for (const QString &name : names)
        urls << QUrl::fromLocalFile(world.path(name));
    return urls;
}

} // namespace

class TstConversionRun final : public QObject
{
    Q_OBJECT

private slots:
    void runsInTheInputFolder_data();
    void runsInTheInputFolder();
    void clashesAreRefusedBeforeAnythingRuns_data();
    void clashesAreRefusedBeforeAnythingRuns();
    void outputOptionsAreRefused_data();
    void outputOptionsAreRefused();
    void defaultsFilesInOptionsAreChecked_data();
    void defaultsFilesInOptionsAreChecked();
    void asksBeforeReplacingForeignFiles_data();
    void asksBeforeReplacingForeignFiles();
    void unsuccessfulRunLeavesOutputAsBefore_data();
    void unsuccessfulRunLeavesOutputAsBefore();
    void cancelStopsEverythingTheConverterStarted();
    void settingsChangedDuringARunDoNotReachIt();
    void manyEarlyFailuresFinish();
    void parallelLogReadsLikeOneAtATime();
    void failedJobCarriesItsReason_data();
    void failedJobCarriesItsReason();
};

void TstConversionRun::runsInTheInputFolder_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QByteArray>("expected");
    // A 1×1 PNG.
    QTest::newRow("picture beside the input")
        << QStringLiteral("docx") << QString() << QByteArray("word/media/");
    QTest::newRow("relative path in the extra options")
        << QStringLiteral("html") << QStringLiteral("-H kopf.html")
        << QByteArray("<meta name=\"velunor\" content=\"kopf\">");
}

void TstConversionRun::runsInTheInputFolder()
{
    QFETCH(QString, format);
    QFETCH(QString, options);
    QFETCH(QByteArray, expected);
    TestWorld world;
    world.installRealPandoc();
    world.writeFile(
        QStringLiteral("Texte/bild.png"),
        QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR4"
                               "2mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg=="));
    world.writeFile(QStringLiteral("Texte/kopf.html"),
                    "<meta name=\"velunor\" content=\"kopf\">\n");
    const QString input =
        world.writeFile(QStringLiteral("Texte/bericht.md"), "# Bericht\n\n![Ein Bild](bild.png)\n");
    auto vm = world.makeViewModel();
    vm->setOutputFormat(format);
    vm->setAdditionalOptions(options);
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY(QDir::currentPath() != QFileInfo(input).absolutePath());
    QVERIFY(runToEnd(*vm, 60000));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Green);
    QVERIFY(contentOf(vm->outputFile()).contains(expected));
}

void TstConversionRun::clashesAreRefusedBeforeAnythingRuns_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("link"); // "name=target", made before the run
    QTest::addColumn<QStringList>("refusals");
    QTest::addColumn<QString>("summary");

    QTest::newRow("two inputs, one output")
        << QStringList{"a.md", "a.markdown"} << QStringLiteral("html") << QString()
        << QStringList{"❌ Ausgabedatei kollidiert: a.md → ",
                       "❌ Ausgabedatei kollidiert: a.markdown → "}
        << QStringLiteral("0 erfolgreich, 2 Fehler");
    QTest::newRow("output is another input")
        << QStringList{"a.txt", "a.md", "b.txt"} << QStringLiteral("markdown") << QString()
        << QStringList{"❌ Ausgabedatei wäre eine andere Eingabedatei: a.txt → ",
                       "❌ Ausgabedatei wäre die Eingabedatei selbst: "}
        << QStringLiteral("1 erfolgreich, 2 Fehler");
    QTest::newRow("output is a link to another input")
        << QStringList{"kapitel1.md", "kapitel2.md"} << QStringLiteral("html")
        << QStringLiteral("kapitel2.html=kapitel1.md")
        << QStringList{"❌ Ausgabedatei wäre eine andere Eingabedatei: kapitel2.md → "}
        << QStringLiteral("1 erfolgreich, 1 Fehler");
}

void TstConversionRun::clashesAreRefusedBeforeAnythingRuns()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, format);
    QFETCH(QString, link);
    QFETCH(QStringList, refusals);
    QFETCH(QString, summary);
    TestWorld world;
    world.installFakePandoc();
    FakeEnv env;
    env.set("FAKE_PANDOC_WRITE_OUTPUT", "converted");
    for (const QString &name : inputs)
        world.writeFile(name, name.toUtf8());
    if (!link.isEmpty())
        QVERIFY(QFile::link(link.section(u'=', 1), world.path(link.section(u'=', 0, 0))));
    auto vm = world.makeViewModel();
    vm->setOutputFormat(format);
    vm->setInputFiles(urlsOf(world, inputs));
    QVERIFY(runToEnd(*vm));

    const QStringList log = vm->logMessages();
    for (const QString &refusal : refusals)
        QVERIFY2(!log.filter(refusal).isEmpty(), qPrintable(refusal));
    QCOMPARE(log.at(log.size() - 2),
             QStringLiteral("Batch-Konvertierung abgeschlossen: ") + summary);
    for (const QString &name : inputs)
        QCOMPARE(contentOf(world.path(name)), name.toUtf8());
    // Refused outputs are not even created.
    if (inputs.first() == u"a.md")
        QVERIFY(!QFile::exists(world.path(QStringLiteral("a.html"))));
}

void TstConversionRun::outputOptionsAreRefused_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<bool>("refused");
    for (const char *options : {"-o x.html", "--output=x.html", "--output x.html", "--outp=x.html",
                                "-ox.html", "-so x.html", "-Mo=1"})
        QTest::newRow(options) << QString::fromLatin1(options) << (QByteArray(options) != "-Mo=1");
    QTest::newRow("value of another option") << QStringLiteral("-V -o -M o=1") << false;
    QTest::newRow("similar names") << QStringLiteral("--toc -N --columns=60") << false;
    QTest::newRow("-- as a value") << QStringLiteral("--metadata -- -o a.md") << true;
    QTest::newRow("shortest prefix") << QStringLiteral("--o x.html") << true;
}

void TstConversionRun::outputOptionsAreRefused()
{
    QFETCH(QString, options);
    QFETCH(bool, refused);
    TestWorld world;
    world.installFakePandoc();
    const QString argsFile = world.path(QStringLiteral("args.txt"));
    FakeEnv env;
    env.set("FAKE_PANDOC_ARGS_FILE", argsFile.toUtf8());
    auto vm = world.makeViewModel();
    vm->setAdditionalOptions(options);
    vm->handleInputFileSelection(
        {{QUrl::fromLocalFile(world.writeFile(QStringLiteral("a.md"), "x"))}, std::nullopt});
    QVERIFY(runToEnd(*vm));
    QCOMPARE(recordedRuns(argsFile).size(), refused ? 0 : 1);
    if (refused) {
        QVERIFY(
            vm->logMessages().last().startsWith(QStringLiteral("❌ Zusatzoptionen fehlerhaft: ")));
        QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Red);
    }
}

void TstConversionRun::defaultsFilesInOptionsAreChecked_data()
{
    QTest::addColumn<QString>("options");
    QTest::addColumn<QByteArray>("defaults");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("output-file names the input")
        << "-d d1.yaml" << QByteArray("output-file: a.md\n") << "bestimmt die Ausgabedatei";
    QTest::newRow("output-file names another file")
        << "--defaults=d1.yaml" << QByteArray("output-file: anderes.md\n")
        << "bestimmt die Ausgabedatei";
    QTest::newRow("log over the input, name without .yaml")
        << "--defaults d1" << QByteArray("log-file: a.md\n") << "log-file würde a.md überschreiben";
    QTest::newRow("log through an include")
        << "-dd1.yaml" << QByteArray("defaults: [d2]\n") << "log-file würde a.md überschreiben";
    QTest::newRow("hostile include loop")
        << "-d d1.yaml" << QByteArray("defaults: [d1]\n") << "Schleife";
    QTest::newRow("harmless") << "-d d1.yaml" << QByteArray("toc: true\n") << QString();
    QTest::newRow("log elsewhere") << "--log=protokoll.json" << QByteArray() << QString();
    QTest::newRow("log over the input") << "--log a.md" << QByteArray() << "--log würde a.md";
    QTest::newRow("log through a link to the input")
        << "--log=verweis.md" << QByteArray() << "--log würde a.md";
    QTest::newRow("a FIFO as defaults file") << "-d fifo.yaml" << QByteArray() << "nicht gefunden";
}

void TstConversionRun::defaultsFilesInOptionsAreChecked()
{
    QFETCH(QString, options);
    QFETCH(QByteArray, defaults);
    QFETCH(QString, refusal);
    TestWorld world;
    world.installFakePandoc();
    const QString argsFile = world.path(QStringLiteral("args.txt"));
    FakeEnv env;
    env.set("FAKE_PANDOC_ARGS_FILE", argsFile.toUtf8());
    const QString input = world.writeFile(QStringLiteral("docs/a.md"), "x");
    world.writeFile(QStringLiteral("docs/d1.yaml"), defaults);
    world.writeFile(QStringLiteral("docs/d2.yaml"), "log-file: a.md\n");
    QVERIFY(QFile::link(input, world.path(QStringLiteral("docs/verweis.md"))));
    QVERIFY(::mkfifo(QFile::encodeName(world.path(QStringLiteral("docs/fifo.yaml"))).constData(),
                     0600) == 0);
    auto vm = world.makeViewModel();
    vm->setAdditionalOptions(options);
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY(runToEnd(*vm));
    QCOMPARE(recordedRuns(argsFile).size(), refusal.isEmpty() ? 1 : 0);
    if (!refusal.isEmpty()) {
        const QString last = vm->logMessages().last();
        QVERIFY2(last.startsWith(QStringLiteral("❌ Zusatzoptionen fehlerhaft: ")) &&
                     last.contains(refusal),
                 qPrintable(last));
    }
    QCOMPARE(fileBytes(input), QByteArray("x"));
}

void TstConversionRun::asksBeforeReplacingForeignFiles_data()
{
    QTest::addColumn<bool>("batch");
    QTest::addColumn<bool>("yes");   // the single file's answer
    QTest::addColumn<int>("answer"); // the batch's answer
    QTest::addColumn<QByteArray>("notesAfter");
    QTest::addColumn<bool>("otherWritten");
    QTest::addColumn<QString>("summary"); // batch log line, or the single file's status

    QTest::newRow("single, replace")
        << false << true << int(Answer::Cancel) << QByteArray("converted") << false
        << QStringLiteral("✓ Konvertierung erfolgreich!");
    QTest::newRow("single, keep") << false << false << int(Answer::Cancel) << QByteArray("von Hand")
                                  << false << QStringLiteral("⚠ Konvertierung abgebrochen");
    QTest::newRow("batch, replace all")
        << true << false << int(Answer::ReplaceAll) << QByteArray("converted") << true
        << QStringLiteral("Batch-Konvertierung abgeschlossen: 2 erfolgreich, 0 Fehler");
    QTest::newRow("batch, skip those")
        << true << false << int(Answer::SkipThese) << QByteArray("von Hand") << true
        << QStringLiteral("Batch-Konvertierung abgeschlossen: 1 erfolgreich, 0 Fehler, 1 "
                          "übersprungen");
    QTest::newRow("batch, cancel")
        << true << false << int(Answer::Cancel) << QByteArray("von Hand") << false
        << QStringLiteral("Batch-Konvertierung abgebrochen: 0 erfolgreich, 0 Fehler, 2 "
                          "übersprungen");
}

void TstConversionRun::asksBeforeReplacingForeignFiles()
{
    QFETCH(bool, batch);
    QFETCH(bool, yes);
    QFETCH(int, answer);
    QFETCH(QByteArray, notesAfter);
    QFETCH(bool, otherWritten);
    QFETCH(QString, summary);
    TestWorld world;
    world.installFakePandoc();
    FakeEnv env;
    env.set("FAKE_PANDOC_WRITE_OUTPUT", "converted");
    world.writeFile(QStringLiteral("a.md"), "a");
    const QString notes = world.writeFile(QStringLiteral("notes.md"), "n");
    const QString notesHtml = world.writeFile(QStringLiteral("notes.html"), "von Hand");
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    if (batch)
        vm->setInputFiles(urlsOf(world, {"a.md", "notes.md"}));
    else
        vm->handleInputFileSelection({{QUrl::fromLocalFile(notes)}, std::nullopt});
    world.dialogs.answers = {yes};
    world.dialogs.replaceAnswer = Answer(answer);
    QVERIFY(runToEnd(*vm));

    const FakeDialogs::Call question = world.dialogs.calls.first();
    QCOMPARE(question.kind, batch ? QStringLiteral("replace") : QStringLiteral("confirm"));
    QVERIFY(question.message.contains(batch ? notesHtml : QStringLiteral("notes.html")));
    QVERIFY(!question.message.contains(QStringLiteral("a.html")));
    QCOMPARE(contentOf(notesHtml), notesAfter);
    QCOMPARE(QFile::exists(world.path(QStringLiteral("a.html"))), otherWritten);
    QCOMPARE(batch ? vm->logMessages().at(vm->logMessages().size() - 2) : vm->statusMessage(),
             summary);

    // What this session wrote itself is replaced without asking again.
    if (notesAfter == "converted") {
        const qsizetype asked = world.dialogs.calls.size();
        world.dialogs.answers = {false};
        QVERIFY(runToEnd(*vm));
        for (const FakeDialogs::Call &call : world.dialogs.calls.mid(asked))
            QVERIFY(call.kind != u"replace" && call.title != u"Datei existiert bereits");
    }
}

void TstConversionRun::unsuccessfulRunLeavesOutputAsBefore_data()
{
    QTest::addColumn<bool>("existed");
    QTest::addColumn<QString>("how");
    for (const char *how : {"exit", "crash", "cancel"}) {
        QTest::addRow("%s, file there", how) << true << QString::fromLatin1(how);
        QTest::addRow("%s, no file", how) << false << QString::fromLatin1(how);
    }
}

void TstConversionRun::unsuccessfulRunLeavesOutputAsBefore()
{
    QFETCH(bool, existed);
    QFETCH(QString, how);
    TestWorld world;
    world.installFakePandoc();
    FakeEnv env;
    env.set("FAKE_PANDOC_WRITE_OUTPUT", "partial");
    if (how == u"exit")
        env.set("FAKE_PANDOC_EXIT", "1");
    else if (how == u"crash")
        env.set("FAKE_PANDOC_CRASH", "1");
    else
        env.set("FAKE_PANDOC_SLEEP_MS", "20000");
    const QString input = world.writeFile(QStringLiteral("out/a.md"), "a");
    const QString output = world.path(QStringLiteral("out/a.html"));
    if (existed)
        world.writeFile(QStringLiteral("out/a.html"), "vorher");
    const QStringList before = entriesOf(world.path(QStringLiteral("out")));
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    world.dialogs.answers = {true}; // replace
    QSignalSpy done(vm.get(), &PandocViewModel::conversionFinished);
    vm->convert();
    if (how == u"cancel") {
        // The converter writes beside the output, never to it.
        QTRY_COMPARE(entriesOf(world.path(QStringLiteral("out"))).size(), before.size() + 1);
        QCOMPARE(contentOf(output), existed ? QByteArray("vorher") : QByteArray("(missing)"));
        vm->cancelConversion();
    }
    QVERIFY(done.count() > 0 || done.wait(20000));
    QCOMPARE(vm->lastRunResults().first().outcome,
             how == u"cancel" ? RunResult::Outcome::Skipped : RunResult::Outcome::Failed);
    QCOMPARE(contentOf(output), existed ? QByteArray("vorher") : QByteArray("(missing)"));
    QCOMPARE(entriesOf(world.path(QStringLiteral("out"))), before);
}

void TstConversionRun::cancelStopsEverythingTheConverterStarted()
{
    TestWorld world;
    world.installFakePandoc();
    const QString pidFile = world.path(QStringLiteral("grandchild.pid"));
    const QString tmpFile = world.path(QStringLiteral("tmpdir.txt"));
    FakeEnv env;
    env.set("FAKE_PANDOC_SLEEP_MS", "20000")
        .set("FAKE_PANDOC_GRANDCHILD", pidFile.toUtf8())
        .set("FAKE_PANDOC_TMPDIR_FILE", tmpFile.toUtf8());
    auto vm = world.makeViewModel();
    vm->handleInputFileSelection(
        {{QUrl::fromLocalFile(world.writeFile(QStringLiteral("a.md"), "a"))}, std::nullopt});
    QSignalSpy done(vm.get(), &PandocViewModel::conversionFinished);
    vm->convert();
    QTRY_VERIFY(contentOf(pidFile).toLongLong() > 0);
    const qint64 pid = contentOf(pidFile).toLongLong();
    const QString tmp = QString::fromLocal8Bit(contentOf(tmpFile));
    QVERIFY2(QFileInfo(tmp).isDir() && QDir(tmp) != QDir(QDir::tempPath()), qPrintable(tmp));
    vm->cancelConversion();
    QVERIFY(done.wait(10000));
    QTRY_VERIFY_WITH_TIMEOUT(processGone(pid), 5000);
    if (!processGone(pid))
        ::kill(pid_t(pid), SIGKILL);
    QVERIFY(!QFileInfo::exists(tmp));
}

void TstConversionRun::settingsChangedDuringARunDoNotReachIt()
{
    TestWorld world;
    world.installFakePandoc();
    const QString argsFile = world.path(QStringLiteral("args.txt"));
    FakeEnv env;
    env.set("FAKE_PANDOC_ARGS_FILE", argsFile.toUtf8()).set("FAKE_PANDOC_SLEEP_MS", "300");
    const QStringList names{"a.md", "b.md", "c.md"};
    for (const QString &name : names)
        world.writeFile(name, "x");
    auto vm = world.makeViewModel();
    vm->setParallelJobs(1);
    vm->setOutputFormat(QStringLiteral("html"));
    vm->setInputFiles(urlsOf(world, names));
    QStringList statuses;
    QList<double> progress;
    connect(vm.get(), &PandocViewModel::statusMessageChanged, this,
            [&] { statuses << vm->statusMessage(); });
    connect(vm.get(), &PandocViewModel::progressChanged, this, [&] { progress << vm->progress(); });
    QSignalSpy done(vm.get(), &PandocViewModel::conversionFinished);
    vm->convert();
    vm->setInputFiles({});
    vm->setOutputFormat(QStringLiteral("latex"));
    vm->setStandalone(false);
    vm->setAdditionalOptions(QStringLiteral("--toc"));
    QVERIFY(done.wait(20000));

    const auto runs = recordedRuns(argsFile);
    QCOMPARE(runs.size(), 3);
    for (const QStringList &run : runs) {
        QCOMPARE(run.mid(0, 2), (QStringList{"-t", "html"}));
        QVERIFY(run.last() == u"--standalone");
        QVERIFY(run.at(4).endsWith(QStringLiteral(".html")));
    }
    QCOMPARE(
        statuses.filter(QStringLiteral("Konvertierung ")).filter(QStringLiteral("/3: ")).size(), 3);
    QVERIFY(statuses.filter(QStringLiteral("/0")).isEmpty());
    for (double p : progress)
        QVERIFY2(p >= 0.0 && p <= 1.0, qPrintable(QString::number(p)));
}

void TstConversionRun::manyEarlyFailuresFinish()
{
    TestWorld world; // no converter: every file fails before anything starts
    QList<QUrl> inputs;
    for (int i = 0; i < 20000; ++i)
        inputs << QUrl::fromLocalFile(world.path(QStringLiteral("f%1.md").arg(i)));
    auto vm = world.makeViewModel();
    vm->setInputFiles(inputs);
    QVERIFY(runToEnd(*vm, 120000));
    QCOMPARE(vm->logMessages().at(vm->logMessages().size() - 2),
             QStringLiteral("Batch-Konvertierung abgeschlossen: 0 erfolgreich, 20000 Fehler"));
    QCOMPARE(vm->lastRunResults().size(), 20000);
}

void TstConversionRun::parallelLogReadsLikeOneAtATime()
{
    TestWorld world;
    world.installFakePandoc();
    FakeEnv env;
    // The first file is the slowest, the third fails: later files end first.
    env.set("FAKE_PANDOC_SLEEP_MS", "700")
        .set("FAKE_PANDOC_SLEEP_MATCH", "a.md")
        .set("FAKE_PANDOC_STDERR", "[WARNING] Hinweis\n")
        .set("FAKE_PANDOC_EXIT", "3")
        .set("FAKE_PANDOC_FAIL_MATCH", "c.md")
        .set("FAKE_PANDOC_WRITE_OUTPUT", "converted");
    const QStringList names{"a.md", "b.md", "c.md", "d.md"};
    for (const QString &name : names)
        world.writeFile(name, "x");
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->setInputFiles(urlsOf(world, names));

    QList<QStringList> logs;
    QList<QList<RunResult::Outcome>> outcomes;
    for (int jobs : {1, 4}) {
        vm->clearLog();
        vm->setParallelJobs(jobs);
        QSignalSpy ready(vm.get(), &PandocViewModel::runResultsReady);
        QVERIFY(runToEnd(*vm));
        QCOMPARE(ready.count(), 1);
        logs << vm->logMessages();
        QList<RunResult::Outcome> row;
        for (const RunResult &result : vm->lastRunResults())
            row << result.outcome;
        outcomes << row;
        QCOMPARE(vm->lastRunResults().first().input, world.path(QStringLiteral("a.md")));
        QVERIFY(vm->lastRunResults().first().seconds >= 0.5);
    }
    QCOMPARE(logs.at(1), logs.at(0));
    using O = RunResult::Outcome;
    QCOMPARE(outcomes.at(1), (QList<O>{O::Succeeded, O::Succeeded, O::Failed, O::Succeeded}));
    QCOMPARE(outcomes.at(1), outcomes.at(0));
}

QTEST_GUILESS_MAIN(TstConversionRun)
void TstConversionRun::failedJobCarriesItsReason_data()
{
    QTest::addColumn<QByteArray>("errorText");
    QTest::addColumn<QByteArray>("exitCode");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("refusal"); // the job is refused with this log line

    QTest::newRow("pandoc's first line")
        << QByteArray("pandoc: a.md: withBinaryFile: does not exist\nsecond line\n")
        << QByteArray("1") << "pandoc: a.md: withBinaryFile: does not exist" << QString();
    QTest::newRow("warnings before the error")
        << QByteArray("[WARNING] Missing character: ü\r\n\nError producing PDF.\n! Undefined "
                      "control sequence.\n")
        << QByteArray("43") << "Error producing PDF." << QString();
    QTest::newRow("only warnings")
        << QByteArray("  [WARNING] Could not fetch x.png\n") << QByteArray("1")
        << "[WARNING] Could not fetch x.png" << QString();
    QTest::newRow("markup stays text") << QByteArray("<b>kaputt</b> & mehr") << QByteArray("64")
                                       << "<b>kaputt</b> & mehr" << QString();
    QTest::newRow("nothing said") << QByteArray() << QByteArray("5") << "Exit Code 5" << QString();
    QTest::newRow("one endless line")
        << QByteArray(5000, 'x') << QByteArray("1") << QString(299, u'x') + u'…' << QString();
    QTest::newRow("success has none")
        << QByteArray("[WARNING] x\n") << QByteArray("0") << QString() << QString();
    QTest::newRow("refused before it ran")
        << QByteArray() << QByteArray("0") << "Ausgabedatei kollidiert: a.md → a.html"
        << "❌ Ausgabedatei kollidiert: a.md → a.html";
}

void TstConversionRun::failedJobCarriesItsReason()
{
    QFETCH(QByteArray, errorText);
    QFETCH(QByteArray, exitCode);
    QFETCH(QString, reason);
    QFETCH(QString, refusal);
    TestWorld world;
    world.installFakePandoc();
    qputenv("FAKE_PANDOC_STDERR", errorText);
    qputenv("FAKE_PANDOC_EXIT", exitCode);
    auto unset = qScopeGuard([] {
        qunsetenv("FAKE_PANDOC_STDERR");
        qunsetenv("FAKE_PANDOC_EXIT");
    });
    PlannedJob plan;
    plan.input = world.writeFile(QStringLiteral("a.md"), "# A\n");
    plan.output = world.path(QStringLiteral("a.html"));
    plan.workingFolder = world.root();
    plan.arguments = {plan.input, QStringLiteral("-o"), plan.output};
    if (!refusal.isEmpty())
        plan.refusal = Refusal{refusal, QStringLiteral("❌ Fehler"), RunResult::Outcome::Failed};
    ConversionJob job(plan, world.environment().converter, 1000);
    std::optional<ConversionJob::End> end;
    connect(&job, &ConversionJob::finished, this, [&end](const ConversionJob::End &e) { end = e; });
    job.start();
    QTRY_VERIFY_WITH_TIMEOUT(end.has_value(), 10000);
    QCOMPARE(end->reason, reason);
}

#include "tst_conversionrun.moc"
