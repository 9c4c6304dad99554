#include "commandline.h"
#include "fakes.h"

#include <QProcess>
#include <QTest>

using Action = CommandLine::Action;

class TstCommandLine final : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void filesBecomeInputs();
    void severalFilesExplainBatchMode();
    void missingFileIsReportedOthersTaken();
    void binaryExitCodes_data();
    void binaryExitCodes();
};

void TstCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("textPart");
    QTest::newRow("none") << QStringList{"velunor"} << int(Action::Run) << QStringList{}
                          << QString();
    QTest::newRow("one") << QStringList{"velunor", "a.md"} << int(Action::Run)
                         << QStringList{"a.md"} << QString();
    QTest::newRow("several") << QStringList{"velunor", "/x/a b.md", "ü.md", "c"} << int(Action::Run)
                             << QStringList{"/x/a b.md", "ü.md", "c"} << QString();
    QTest::newRow("leading dash after --")
        << QStringList{"velunor", "--", "-Bericht.md"} << int(Action::Run)
        << QStringList{"-Bericht.md"} << QString();
    QTest::newRow("version") << QStringList{"velunor", "--version"} << int(Action::Version)
                             << QStringList{} << QStringLiteral("velunor " VELUNOR_VERSION);
    QTest::newRow("help") << QStringList{"velunor", "--help"} << int(Action::Help) << QStringList{}
                          << QStringLiteral("DATEI");
    QTest::newRow("unknown option")
        << QStringList{"velunor", "--frobnicate", "a.md"} << int(Action::Error) << QStringList{}
        << QStringLiteral("frobnicate");
}

void TstCommandLine::parse()
{
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(QStringList, files);
    QFETCH(QString, textPart);
    const CommandLine line = parseCommandLine(args);
    QCOMPARE(int(line.action), action);
    QCOMPARE(line.files, files);
    QVERIFY2(line.text.contains(textPart), qPrintable(line.text));
}

void TstCommandLine::filesBecomeInputs()
{
    TestWorld world;
    const QString file = world.writeFile(QStringLiteral("Texte/Bericht.md"), "x");
    auto vm = world.makeViewModel();
    openCommandLineFiles(*vm, {file});
    QCOMPARE(vm->inputFiles(), QList<QUrl>{QUrl::fromLocalFile(file)});
    QCOMPARE(vm->outputFile(), world.path(QStringLiteral("Texte/Bericht.docx")));
    QVERIFY(world.dialogs.calls.isEmpty());
}

void TstCommandLine::severalFilesExplainBatchMode()
{
    TestWorld world;
    const QString a = world.writeFile(QStringLiteral("a.md"), "a");
    const QString b = world.writeFile(QStringLiteral("b.md"), "b");
    auto vm = world.makeViewModel();
    openCommandLineFiles(*vm, {a, b});
    QCOMPARE(vm->inputFiles().size(), 2);
    QCOMPARE(vm->outputFile(), PandocViewModel::kBatchPlaceholder);
    QCOMPARE(world.dialogs.calls.size(), 1);
    QCOMPARE(world.dialogs.calls.first().title, QStringLiteral("Batch-Modus"));
}

void TstCommandLine::missingFileIsReportedOthersTaken()
{
    TestWorld world;
    const QString a = world.writeFile(QStringLiteral("a.md"), "a");
    const QString missing = world.path(QStringLiteral("fehlt.md"));
    auto vm = world.makeViewModel();
    openCommandLineFiles(*vm, {missing, a});
    QCOMPARE(vm->logMessages(), QStringList{QStringLiteral("❌ Datei nicht gefunden: ") + missing});
    QCOMPARE(vm->inputFiles(), QList<QUrl>{QUrl::fromLocalFile(a)});
}

void TstCommandLine::binaryExitCodes_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutPart");
    QTest::addColumn<QString>("stderrPart");
    QTest::newRow("version") << QStringList{"--version"} << 0
                             << QStringLiteral("velunor " VELUNOR_VERSION) << QString();
    QTest::newRow("help") << QStringList{"--help"} << 0 << QStringLiteral("--version") << QString();
    QTest::newRow("unknown") << QStringList{"--nope"} << 2 << QString() << QStringLiteral("nope");
}

void TstCommandLine::binaryExitCodes()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutPart);
    QFETCH(QString, stderrPart);
    QProcess velunor;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No display at all: these must not need one.
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    velunor.setProcessEnvironment(env);
    velunor.start(QStringLiteral(VELUNOR_BINARY), args);
    QVERIFY(velunor.waitForFinished(10000));
    QCOMPARE(velunor.exitStatus(), QProcess::NormalExit);
    QCOMPARE(velunor.exitCode(), exitCode);
    QVERIFY(QString::fromLocal8Bit(velunor.readAllStandardOutput()).contains(stdoutPart));
    QVERIFY(QString::fromLocal8Bit(velunor.readAllStandardError()).contains(stderrPart));
}

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_commandline.moc"
