// A second start of the real program hands its files to the running one and ends.
#include "fakes.h"
#include "mainwindow.h"
#include "singleinstance.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <csignal>

class TstSingleInstance final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void secondStartHandsOverFiles_data();
    void secondStartHandsOverFiles();
    void crashedInstanceIsReplaced();
    void silentInstanceIsNotWaitedFor();

private:
    // A real Velunor over the same store as this test.
    std::unique_ptr<QProcess> startVelunor(const QStringList &args, const QString &folder = {});
    QString storeFolder() const { return m_dir.filePath(QStringLiteral("data/Velunor")); }
    // The process that holds the instance lock, once it has taken it.
    qint64 lockHolder() const;

    QTemporaryDir m_dir;
};

void TstSingleInstance::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Children inherit these, so they find the same socket and store as this process.
    const QString runtime = m_dir.filePath(QStringLiteral("run"));
    QVERIFY(QDir().mkpath(runtime));
    QFile(runtime).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

std::unique_ptr<QProcess> TstSingleInstance::startVelunor(const QStringList &args,
                                                          const QString &folder)
{
    auto process = std::make_unique<QProcess>();
    process->setWorkingDirectory(folder.isEmpty() ? m_dir.path() : folder);
    process->start(QStringLiteral(VELUNOR_BINARY), args);
    return process;
}

qint64 TstSingleInstance::lockHolder() const
{
    QFile lock(SingleInstance::serverPath(storeFolder()) + QStringLiteral(".lock"));
    if (!lock.open(QIODevice::ReadOnly))
        return -1;
    return lock.readLine().trimmed().toLongLong();
}

void TstSingleInstance::secondStartHandsOverFiles_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("no files") << QStringList{} << QStringList{};
    QTest::newRow("relative name with blanks and umlauts")
        << QStringList{"Bericht für 'Q1'.md"} << QStringList{"Bericht für 'Q1'.md"};
    QTest::newRow("leading dash and a missing file")
        << QStringList{"--", "-a.md", "fehlt.md", "b.md"} << QStringList{"-a.md", "b.md"};
}

void TstSingleInstance::secondStartHandsOverFiles()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, expected);
    const QString folder = m_dir.filePath(QStringLiteral("Texte"));
    for (const char *name : {"Bericht für 'Q1'.md", "-a.md", "b.md"}) {
        QVERIFY(QDir().mkpath(folder));
        QFile file(folder + u'/' + QString::fromUtf8(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    SingleInstance instance(storeFolder());
    QCOMPARE(instance.start({}), SingleInstance::Role::Primary);
    TestWorld world;
    ViewModelEnvironment env = world.environment();
    env.store = StoreLocation(m_dir.filePath(QStringLiteral("data")));
    MainWindow window(env);
    window.showMinimized();
    connect(&instance, &SingleInstance::activated, &window, &MainWindow::takeHandedOverFiles);
    QSignalSpy activated(&instance, &SingleInstance::activated);

    auto second = startVelunor(args, folder);
    QVERIFY(second->waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(second->state(), QProcess::NotRunning, 30000);
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QTRY_COMPARE(activated.size(), 1);

    QList<QUrl> urls;
    for (const QString &name : expected)
        urls << QUrl::fromLocalFile(folder + u'/' + name);
    QCOMPARE(window.viewModel()->inputFiles(), urls);
    QVERIFY(!window.isMinimized());
    if (args.contains(QStringLiteral("fehlt.md")))
        QVERIFY(window.viewModel()->logMessages().contains(
            QStringLiteral("❌ Datei nicht gefunden: ") + folder + QStringLiteral("/fehlt.md")));
}

void TstSingleInstance::crashedInstanceIsReplaced()
{
    const QString socket = SingleInstance::serverPath(storeFolder());
    auto first = startVelunor({});
    QTRY_COMPARE_WITH_TIMEOUT(lockHolder(), first->processId(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket), 30000);
    first->kill(); // leaves its socket and lock behind
    QVERIFY(first->waitForFinished());
    QVERIFY(QFileInfo::exists(socket));

    auto second = startVelunor({});
    QTRY_COMPARE_WITH_TIMEOUT(lockHolder(), second->processId(), 30000);
    auto third = startVelunor({QStringLiteral("x.md")});
    QTRY_COMPARE_WITH_TIMEOUT(third->state(), QProcess::NotRunning, 30000);
    QCOMPARE(third->exitCode(), 0);
    QCOMPARE(second->state(), QProcess::Running);
    second->kill();
    second->waitForFinished();
}

void TstSingleInstance::silentInstanceIsNotWaitedFor()
{
    auto first = startVelunor({});
    QTRY_COMPARE_WITH_TIMEOUT(lockHolder(), first->processId(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(SingleInstance::serverPath(storeFolder())), 30000);
    ::kill(pid_t(first->processId()), SIGSTOP);

    auto second = startVelunor({});
    QByteArray errors;
    QTRY_VERIFY_WITH_TIMEOUT((errors += second->readAllStandardError()).contains("did not answer"),
                             30000);
    // It goes on to run its own window instead of ending or hanging.
    QCOMPARE(second->state(), QProcess::Running);

    ::kill(pid_t(first->processId()), SIGCONT);
    for (QProcess *p : {first.get(), second.get()}) {
        p->kill();
        p->waitForFinished();
    }
}

QTEST_MAIN(TstSingleInstance)
#include "tst_singleinstance.moc"
