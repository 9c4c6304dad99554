// Crash safety of the store files: a saver killed with SIGKILL at random moments, and two
// processes saving the same file, must always leave a complete old or complete new list.
#include "storecrash.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace storecrash;

class TstStoreCrash final : public QObject
{
    Q_OBJECT

private slots:
    void killedSaverLeavesOldOrNewList();
    void twoProcessesSavingTheSameStore();
};

void TstStoreCrash::killedSaverLeavesOldOrNewList()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Velunor/templates.json"));
    constexpr int kRecords = 10000;
    constexpr int kKills = 200;

    // Kill moments spread over the first and the second save, however fast this build saves.
    QElapsedTimer clock;
    clock.start();
    QVERIFY(
        TemplateIndex(dir.filePath(QStringLiteral("probe.json"))).save(makeList('b', kRecords)).ok);
    const int maxDelayMs = std::max(5, int(clock.elapsed()) * 3 / 2);
    qInfo("one save takes %d ms here; kills come up to %d ms into saving", int(clock.elapsed()),
          maxDelayMs);

    const quint32 seed = QRandomGenerator::global()->generate();
    const KillReport report = killRepeatedly(QCoreApplication::applicationFilePath(), path,
                                             kRecords, kKills, maxDelayMs, seed);
    std::printf("kill9_saves_intact: %d/%d\n", report.intact, kKills);
    std::fflush(stdout);
    QVERIFY2(report.failures.isEmpty(),
             qPrintable(QStringLiteral("seed %1: ").arg(seed) + report.failures.join(u'\n')));
    QCOMPARE(report.kills, kKills);
    QCOMPARE(report.intact, kKills);
    // Otherwise every kill landed before the first save finished and proved nothing.
    QVERIFY2(report.sawB > 0, qPrintable(QStringLiteral("seed %1").arg(seed)));
    // A kill between naming the finished temporary file and renaming it leaves that file
    // behind: harmless, and rare enough that it is only reported.
    const QStringList files = QDir(QFileInfo(path).absolutePath())
                                  .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    qInfo("files left in the store folder: %s", qPrintable(files.join(QStringLiteral(", "))));
}

void TstStoreCrash::twoProcessesSavingTheSameStore()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Velunor/templates.json"));
    constexpr int kRecords = 1000;
    constexpr int kSaves = 500;
    const QList<Template> listA = makeList('a', kRecords);
    const QByteArray a = encodeRecords(listA);
    const QByteArray b = encodeRecords(makeList('b', kRecords));
    QVERIFY(TemplateIndex(path).save(listA).ok);

    const QString program = QCoreApplication::applicationFilePath();
    QProcess *first = startSaver(program, path, kRecords, kSaves, QStringLiteral("a"), this);
    QProcess *second = startSaver(program, path, kRecords, kSaves, QStringLiteral("b"), this);
    QVERIFY(first->waitForStarted() && second->waitForStarted());

    // Read the file over and over while both write it.
    int reads = 0;
    QSet<char> seen;
    while (first->state() != QProcess::NotRunning || second->state() != QProcess::NotRunning) {
        QString why;
        const char held = classify(path, a, b, &why);
        QVERIFY2(held != 0, qPrintable(QStringLiteral("Lesevorgang %1: %2").arg(reads).arg(why)));
        seen.insert(held);
        ++reads;
        first->waitForFinished(1);
        second->waitForFinished(1);
    }
    QCOMPARE(first->exitStatus(), QProcess::NormalExit);
    QCOMPARE(first->exitCode(), 0);
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QString why;
    QVERIFY2(classify(path, a, b, &why) != 0, qPrintable(why));
    QVERIFY(reads > 0);
    // Every save went through QSaveFile's temporary file; none may be left behind.
    QCOMPARE(QDir(QFileInfo(path).absolutePath())
                 .entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("templates.json")});
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet(kSaverVariable)) {
        QCoreApplication app(argc, argv);
        return runSaver();
    }
    QCoreApplication app(argc, argv);
    TstStoreCrash test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_storecrash.moc"
