// How an existing output is replaced: only by a finished, non-empty file, with the old
// file's mode, through links; what a killed run leaves; one folder by two paths; retry.
#include "conversionhelpers.h"
#include "fakes.h"
#include "outputkeeper.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t modeOf(const QString &path)
{
    struct stat info = {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode;
}

// The pid of a process that has just ended.
qint64 deadPid()
{
    QProcess p;
    p.start(QStringLiteral("/bin/true"), {});
    p.waitForFinished();
    return p.processId() > 0 ? p.processId() : 999999;
}

} // namespace

class TstOutputSafety final : public QObject
{
    Q_OBJECT

private slots:
    void exitZeroWithoutOutputKeepsTheOldFile_data();
    void exitZeroWithoutOutputKeepsTheOldFile();
    void replacementKeepsWhatTheUserSet_data();
    void replacementKeepsWhatTheUserSet();
    void privateOutputIsPrivateWhileWritten();
    void staleTemporariesOfDeadRunsGo();
    void oneFolderByTwoPathsIsOneOutput();
    void retryUsesTheFailedRunsSettings();
    void templateIndexWrittenOncePerRun();
};

void TstOutputSafety::exitZeroWithoutOutputKeepsTheOldFile_data()
{
    QTest::addColumn<bool>("realPandoc");
    QTest::addColumn<QString>("options");
    QTest::newRow("converter writes nothing") << false << QString();
    QTest::newRow("-v") << true << QStringLiteral("-v");
    QTest::newRow("--list-input-formats") << true << QStringLiteral("--list-input-formats");
    QTest::newRow("filter calls os.exit(0)") << true << QStringLiteral("--lua-filter=exit.lua");
}

void TstOutputSafety::exitZeroWithoutOutputKeepsTheOldFile()
{
    QFETCH(bool, realPandoc);
    QFETCH(QString, options);
    TestWorld world;
    FakeEnv env;
    if (realPandoc)
        world.installRealPandoc();
    else
        world.installFakePandoc(), env.set("FAKE_PANDOC_NO_OUTPUT", "1");
    world.writeFile(QStringLiteral("out/exit.lua"), "os.exit(0)\n");
    const QString input = world.writeFile(QStringLiteral("out/a.md"), "# A\n");
    const QString output = world.writeFile(QStringLiteral("out/a.html"), "vorher");
    const QStringList before = entriesOf(world.path(QStringLiteral("out")));
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->setAdditionalOptions(options);
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    world.dialogs.answers = {true}; // replace
    QVERIFY(runToEnd(*vm, 60000));

    QVERIFY2(vm->logMessages().contains(QStringLiteral("❌ Pandoc hat keine Ausgabe geschrieben: "
                                                       "a.html")),
             qPrintable(vm->logMessages().join(u'\n')));
    QVERIFY(vm->logMessages().filter(QStringLiteral("✓")).isEmpty());
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Red);
    QCOMPARE(vm->lastRunResults().first().outcome, RunResult::Outcome::Failed);
    QCOMPARE(fileBytes(output), QByteArray("vorher"));
    QCOMPARE(entriesOf(world.path(QStringLiteral("out"))), before);
}

void TstOutputSafety::replacementKeepsWhatTheUserSet_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("expectedLine"); // a line the log must hold
    QTest::newRow("private file") << "private"
                                  << "✓ Konvertierung erfolgreich: a.html";
    QTest::newRow("link into another folder") << "link"
                                              << "✓ Konvertierung erfolgreich: a.html";
    QTest::newRow("second hard link")
        << "hardlink"
        << "⚠ Weitere harte Links auf a.html behalten den alten Inhalt";
    QTest::newRow("FIFO") << "fifo"
                          << "❌ Vorhandene Ausgabedatei kann nicht sicher ersetzt werden: keine "
                             "gewöhnliche Datei";
    // No room for the hidden name beside it: refused, and nothing is touched.
    QTest::newRow("241-byte name")
        << "long"
        << "❌ Vorhandene Ausgabedatei kann nicht sicher ersetzt werden: ";
}

void TstOutputSafety::replacementKeepsWhatTheUserSet()
{
    QFETCH(QString, kind);
    QFETCH(QString, expectedLine);
    TestWorld world;
    world.installFakePandoc();
    FakeEnv env;
    env.set("FAKE_PANDOC_WRITE_OUTPUT", "neu");
    const QString base = kind == u"long" ? QString(236, u'x') : QStringLiteral("a");
    const QString input =
        world.writeFile(QStringLiteral("out/") + base + QStringLiteral(".md"), "#");
    const QString output = world.path(QStringLiteral("out/") + base + QStringLiteral(".html"));
    const QString web = world.writeFile(QStringLiteral("web/a.html"), "vorher");
    const QString second = world.path(QStringLiteral("web/zweiter.html"));
    if (kind == u"link") {
        QVERIFY(QFile::link(QStringLiteral("../web/a.html"), output));
    } else if (kind == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(output).constData(), 0644), 0);
    } else {
        world.writeFile(QStringLiteral("out/") + base + QStringLiteral(".html"), "vorher");
        QVERIFY(::chmod(QFile::encodeName(output).constData(), 0600) == 0);
        if (kind == u"hardlink")
            QCOMPARE(::link(QFile::encodeName(output).constData(),
                            QFile::encodeName(second).constData()),
                     0);
    }
    const QStringList before = entriesOf(world.path(QStringLiteral("out")));
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    world.dialogs.answers = {true, false}; // replace; do not open
    QVERIFY(runToEnd(*vm));

    QVERIFY2(!vm->logMessages().filter(expectedLine).isEmpty(),
             qPrintable(vm->logMessages().join(u'\n')));
    QCOMPARE(entriesOf(world.path(QStringLiteral("out"))), before);
    if (kind == u"private" || kind == u"hardlink") {
        QCOMPARE(fileBytes(output), QByteArray("neu"));
        QCOMPARE(modeOf(output) & 07777, mode_t(0600));
        if (kind == u"hardlink")
            QCOMPARE(fileBytes(second), QByteArray("vorher"));
    } else if (kind == u"link") {
        QVERIFY(QFileInfo(output).isSymLink());
        QCOMPARE(fileBytes(web), QByteArray("neu"));
        QCOMPARE(entriesOf(world.path(QStringLiteral("web"))), QStringList{"a.html"});
    } else if (kind == u"fifo") {
        QVERIFY(S_ISFIFO(modeOf(output)));
    } else {
        QCOMPARE(fileBytes(output), QByteArray("vorher"));
    }
}

void TstOutputSafety::privateOutputIsPrivateWhileWritten()
{
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("geheim.html"));
    QFile file(output);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("alt") == 3);
    file.close();
    QVERIFY(::chmod(QFile::encodeName(output).constData(), 0600) == 0);
    OutputKeeper keeper(output);
    QString error;
    QVERIFY2(keeper.prepare(&error), qPrintable(error));
    QCOMPARE(modeOf(keeper.writePath()) & 0777, mode_t(0600));
}

void TstOutputSafety::staleTemporariesOfDeadRunsGo()
{
    TestWorld world;
    world.installFakePandoc();
    const QString dead = QString::number(deadPid());
    const QString mine = QString::number(::getpid());
    const QString stale = world.writeFile(".a.html.velunor-" + dead + "-1", "halb");
    const QStringList kept{
        world.writeFile(".a.html.velunor-" + mine + "-77", "läuft noch"),
        world.writeFile(".a.html.velunor-" + dead + "-x", "fremd"),
        world.writeFile(".a.html.Xk2f9a.velunor-alt", "alte Sicherung"),
        world.writeFile("a.html.velunor-" + dead + "-1", "sichtbar"),
    };
    const QString link = world.path(".b.html.velunor-" + dead + "-2");
    QVERIFY(QFile::link(world.path("b.md"), link));
    QCOMPARE(
        ::mkdir(QFile::encodeName(world.path(".c.html.velunor-" + dead + "-3")).constData(), 0700),
        0);
    world.writeFile(QStringLiteral("b.md"), "b");
    world.writeFile(QStringLiteral("c.md"), "c");

    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->setInputFiles(
        {QUrl::fromLocalFile(world.path("b.md")), QUrl::fromLocalFile(world.path("c.md"))});
    QVERIFY(runToEnd(*vm));
    QVERIFY(!QFileInfo::exists(stale));
    for (const QString &path : kept)
        QVERIFY2(QFileInfo::exists(path), qPrintable(path));
    QVERIFY(QFileInfo(link).isSymLink());
    QVERIFY(QFileInfo(world.path(".c.html.velunor-" + dead + "-3")).isDir());
}

void TstOutputSafety::oneFolderByTwoPathsIsOneOutput()
{
    if (::geteuid() != 0)
        QSKIP("a bind mount needs root");
    TestWorld world;
    world.installFakePandoc();
    world.writeFile(QStringLiteral("real/a.md"), "a");
    world.writeFile(QStringLiteral("real/a.markdown"), "a");
    QVERIFY(QDir().mkpath(world.path(QStringLiteral("alias"))));
    if (QProcess::execute(QStringLiteral("mount"),
                          {QStringLiteral("--bind"), world.path(QStringLiteral("real")),
                           world.path(QStringLiteral("alias"))}) != 0)
        QSKIP("mount --bind is not allowed here");
    auto unmount = qScopeGuard([&] {
        QProcess::execute(QStringLiteral("umount"), {world.path(QStringLiteral("alias"))});
    });
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->setInputFiles({QUrl::fromLocalFile(world.path(QStringLiteral("real/a.md"))),
                       QUrl::fromLocalFile(world.path(QStringLiteral("alias/a.markdown")))});
    QVERIFY(runToEnd(*vm));
    const QStringList log = vm->logMessages();
    QCOMPARE(log.filter(QStringLiteral("❌ Ausgabedatei kollidiert: ")).size(), 2);
    QCOMPARE(log.at(log.size() - 2),
             QStringLiteral("Batch-Konvertierung abgeschlossen: 0 erfolgreich, 2 Fehler"));
    QVERIFY(!QFileInfo::exists(world.path(QStringLiteral("real/a.html"))));
}

void TstOutputSafety::retryUsesTheFailedRunsSettings()
{
    TestWorld world;
    world.installFakePandoc();
    const QString argsFile = world.path(QStringLiteral("args.txt"));
    FakeEnv env;
    env.set("FAKE_PANDOC_ARGS_FILE", argsFile.toUtf8())
        .set("FAKE_PANDOC_EXIT", "3")
        .set("FAKE_PANDOC_FAIL_MATCH", "bad.md");
    const QList<QUrl> inputs{QUrl::fromLocalFile(world.writeFile(QStringLiteral("good.md"), "g")),
                             QUrl::fromLocalFile(world.writeFile(QStringLiteral("bad.md"), "b"))};
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->setInputFiles(inputs);
    QVERIFY(runToEnd(*vm));
    // The user moves on to another format before retrying.
    vm->setOutputFormat(QStringLiteral("docx"));
    vm->setStandalone(false);
    QSignalSpy done(vm.get(), &PandocViewModel::conversionFinished);
    vm->retryFailedConversions();
    QVERIFY(done.count() > 0 || done.wait(20000));

    const QList<QStringList> runs = recordedRuns(argsFile);
    QCOMPARE(runs.size(), 3);
    const QStringList retry = runs.last();
    QCOMPARE(retry.mid(0, 2), (QStringList{"-t", "html"}));
    QCOMPARE(retry.at(2), world.path(QStringLiteral("bad.md")));
    QCOMPARE(retry.at(4), world.path(QStringLiteral("bad.html")));
    QVERIFY(retry.contains(QStringLiteral("--standalone")));
    QCOMPARE(vm->outputFormat(), QStringLiteral("docx"));
}

void TstOutputSafety::templateIndexWrittenOncePerRun()
{
    TestWorld world;
    world.installFakePandoc();
    FakeEnv env;
    env.set("FAKE_PANDOC_SLEEP_MS", "50");
    const QString templateFile = world.writeFile(QStringLiteral("vorlage.html"), "$body$");
    auto vm = world.makeViewModel();
    QVERIFY(vm->addTemplate(QStringLiteral("Vorlage"), TemplateType::Html, templateFile, {}));
    const Template added = vm->templates().first();
    vm->setSelectedHtmlTemplate(added);
    vm->setOutputFormat(QStringLiteral("html"));
    QList<QUrl> inputs;
    for (int i = 0; i < 4; ++i)
        inputs << QUrl::fromLocalFile(world.writeFile(QStringLiteral("d%1.md").arg(i), "# D\n"));
    vm->setParallelJobs(1);
    vm->setInputFiles(inputs);

    const QString index = world.storeRoot() + QStringLiteral("/Velunor/templates.json");
    const auto identity = [&index] {
        struct stat info = {};
        ::stat(QFile::encodeName(index).constData(), &info);
        return std::pair{quint64(info.st_ino), qint64(info.st_mtim.tv_nsec)};
    };
    const auto before = identity();
    int writesDuringRun = 0;
    auto last = before;
    connect(vm.get(), &PandocViewModel::logMessageAppended, this, [&](const QString &line) {
        if (!line.startsWith(QStringLiteral("\nStarte Konvertierung")))
            return;
        if (identity() != last)
            ++writesDuringRun;
        last = identity();
    });
    QVERIFY(runToEnd(*vm));
    QCOMPARE(writesDuringRun, 0);
    // Stamped once for the run, in memory at once and on disk after it.
    QVERIFY(vm->templates().first().lastUsed > added.lastUsed);
    QTRY_VERIFY(identity() != before);
    QVERIFY(fileBytes(index).contains("lastUsed"));
}

QTEST_GUILESS_MAIN(TstOutputSafety)
#include "tst_outputsafety.moc"
