// No process outlives its run: cancel ends helpers in sessions of their own, and a
// converter dies with the Velunor that started it.
#include "conversionhelpers.h"
#include "converterprocess.h"
#include "convertersearch.h"
#include "fakes.h"

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

namespace {

QList<qint64> pidsIn(const QString &file)
{
    QList<qint64> pids;
    for (const QByteArray &word : fileBytes(file).split(' ')) {
        if (word.toLongLong() > 0)
            pids << word.toLongLong();
    }
    return pids;
}

// No entry at all: ended and reaped, or a zombie nobody will reap is left.
bool reaped(qint64 pid)
{
    return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

bool gone(qint64 pid)
{
    const QByteArray stat = fileBytes(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat.isEmpty() || stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
}

void killLeftovers(const QList<qint64> &pids)
{
    for (qint64 pid : pids)
        ::kill(pid_t(pid), SIGKILL);
}

// Run as a child of the test: starts the fake converter and waits, like a Velunor mid-run.
int actAsVelunor(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    ConverterProcess converter;
    converter.start(QStringLiteral(FAKE_PANDOC_PATH), {QStringLiteral("a.md")});
    return app.exec();
}

} // namespace

class TstProcessTree final : public QObject
{
    Q_OBJECT

private slots:
    void cancelEndsEveryDescendant();
    void converterDiesWithVelunor();
    void converterSearchesOnlyAbsoluteFolders();
};

void TstProcessTree::cancelEndsEveryDescendant()
{
    TestWorld world;
    world.installFakePandoc();
    const QString pidFile = world.path(QStringLiteral("pids.txt"));
    FakeEnv env;
    // Deaf to SIGTERM, so only the kill after the grace time ends it.
    env.set("FAKE_PANDOC_SLEEP_MS", "20000")
        .set("FAKE_PANDOC_IGNORE_TERM", "1")
        .set("FAKE_PANDOC_CHILDREN", pidFile.toUtf8());
    auto vm = world.makeViewModel();
    vm->handleInputFileSelection(
        {{QUrl::fromLocalFile(world.writeFile(QStringLiteral("a.md"), "a"))}, std::nullopt});
    QSignalSpy done(vm.get(), &PandocViewModel::conversionFinished);
    vm->convert();
    QTRY_COMPARE(pidsIn(pidFile).size(), 3);
    const QList<qint64> pids = pidsIn(pidFile);
    vm->cancelConversion();
    QVERIFY(done.wait(10000));
    // Orphans came to us and were collected, not left as zombies.
    for (qint64 pid : pids.mid(1))
        QTRY_VERIFY2_WITH_TIMEOUT(reaped(pid), qPrintable(QString::number(pid)), 1000);
    killLeftovers(pids);
}

void TstProcessTree::converterDiesWithVelunor()
{
    TestWorld world;
    const QString pidFile = world.path(QStringLiteral("pids.txt"));
    QProcess velunor;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TST_ACT_AS_VELUNOR"), QStringLiteral("1"));
    environment.insert(QStringLiteral("FAKE_PANDOC_SLEEP_MS"), QStringLiteral("30000"));
    environment.insert(QStringLiteral("FAKE_PANDOC_CHILDREN"), pidFile);
    velunor.setProcessEnvironment(environment);
    velunor.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(velunor.waitForStarted());
    QTRY_COMPARE(pidsIn(pidFile).size(), 3);
    const QList<qint64> pids = pidsIn(pidFile);
    QVERIFY(!gone(pids.first()));
    ::kill(pid_t(velunor.processId()), SIGKILL);
    QVERIFY(velunor.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(gone(pids.first()), 2000);
    killLeftovers(pids);
}

void TstProcessTree::converterSearchesOnlyAbsoluteFolders()
{
    const QByteArray saved = qgetenv("PATH");
    qputenv("PATH", ".:bin::/usr/bin:" + saved);
    ConverterProcess converter;
    QSignalSpy ended(&converter, &ConverterProcess::finished);
    converter.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral("printf %s \"$PATH\" >&2")});
    qputenv("PATH", saved);
    QVERIFY(ended.wait(10000));
    QCOMPARE(converter.errorText(),
             QStringLiteral("/usr/bin:") +
                 ConverterSearch::absoluteFolders(QString::fromLocal8Bit(saved)).join(u':'));
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet("TST_ACT_AS_VELUNOR"))
        return actAsVelunor(argc, argv);
    QCoreApplication app(argc, argv);
    TstProcessTree test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_processtree.moc"
