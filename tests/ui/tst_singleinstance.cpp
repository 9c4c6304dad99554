// A second start of the real program hands its files to the running one and ends.
#include "fakes.h"
#include "mainwindow.h"
#include "platform.h"
#include "singleinstance.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kOtherUser = QStringLiteral("velunor-other");

void stopOtherUser(QProcess *process)
{
    process->closeWriteChannel();
    process->waitForFinished();
    delete process;
}
using OtherUser = std::unique_ptr<QProcess, decltype(&stopOtherUser)>;

// Run by another local user through runuser: makes folders and links, listens where a
// victim might connect and prints what it receives, or sends files to a socket.
int actAsOtherUser(const QStringList &ops)
{
    bool serve = false;
    for (qsizetype i = 0; i < ops.size(); ++i) {
        const QString &op = ops.at(i);
        const QByteArray arg = QFile::encodeName(ops.value(i + 1));
        if (op == u"mkdir") {
            ::mkdir(arg.constData(), 0777);
            ::chmod(arg.constData(), 0777);
        } else if (op == u"link") {
            ::symlink(arg.constData(), QFile::encodeName(ops.value(i + 2)).constData());
            ++i;
        } else if (op == u"listen") {
            // Held until the process is killed.
            (new QLockFile(ops.at(i + 1) + QStringLiteral(".lock")))->tryLock(0);
            auto *raw = new QLocalServer(QCoreApplication::instance());
            raw->setSocketOptions(QLocalServer::WorldAccessOption);
            raw->listen(ops.at(i + 1));
            QObject::connect(raw, &QLocalServer::newConnection, raw, [raw] {
                QLocalSocket *s = raw->nextPendingConnection();
                QObject::connect(s, &QLocalSocket::readyRead, s, [s] {
                    std::printf("received %s\n", s->readAll().toHex().constData());
                    std::fflush(stdout);
                    s->write("1");
                });
            });
            serve = true;
        } else if (op == u"send") {
            QLocalSocket socket;
            socket.connectToServer(ops.at(i + 1));
            QByteArray message;
            QDataStream out(&message, QIODevice::WriteOnly);
            out.setVersion(QDataStream::Qt_6_0);
            out << quint32(0x56454c31) << QStringList{ops.at(i + 2)};
            socket.write(message);
            socket.waitForBytesWritten(3000);
            // Velunor answers and hangs up, or just hangs up on a stranger.
            socket.waitForDisconnected(3000);
            const bool answered = socket.bytesAvailable() > 0;
            std::printf("ready\n%s\n", answered ? "answered" : "no answer");
            return 0;
        } else {
            continue;
        }
        ++i;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    if (!serve)
        return 0;
    // Ends with the test: runuser cannot pass on a kill, but the pipe closes.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &input, [] {
        char c = 0;
        if (::read(STDIN_FILENO, &c, 1) <= 0)
            QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}

} // namespace

class TstSingleInstance final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void secondStartHandsOverFiles_data();
    void secondStartHandsOverFiles();
    void crashedInstanceIsReplaced();
    void silentInstanceIsNotWaitedFor();
    void otherUserCannotHijack_data();
    void otherUserCannotHijack();
    void serverOfOtherUserIsRefused();
    void otherUserCannotHandOver();
    void messageInPiecesIsAwaitedAndBrokenOneDropped();

private:
    // A real Velunor over the same store as this test.
    std::unique_ptr<QProcess> startVelunor(const QStringList &args, const QString &folder = {},
                                           const QStringList &environment = {});
    // Another local user runs `ops` (see actAsOtherUser) in a shared temp folder; null
    // after a skip.
    OtherUser startOtherUser(const QStringList &ops);
    QString sharedTemp() const { return m_shared->path(); }
    QString storeFolder() const { return m_dir.filePath(QStringLiteral("data/Velunor")); }
    // The process that holds the instance lock, once it has taken it.
    qint64 lockHolder() const;

    QTemporaryDir m_dir;
    std::unique_ptr<QTemporaryDir> m_shared;
};

void TstSingleInstance::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Children inherit these, so they find the same socket and store as this process.
    const QString runtime = m_dir.filePath(QStringLiteral("run"));
    for (const QString &folder : {runtime, QString(runtime + u'2')}) {
        QVERIFY(QDir().mkpath(folder));
        QFile(folder).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ExeOwner);
    }
    QVERIFY(QDir().mkpath(storeFolder()));
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    qputenv("XDG_DATA_HOME", m_dir.filePath(QStringLiteral("data")).toUtf8());
    qputenv("QT_QPA_PLATFORM", "offscreen");
}

std::unique_ptr<QProcess> TstSingleInstance::startVelunor(const QStringList &args,
                                                          const QString &folder,
                                                          const QStringList &environment)
{
    auto process = std::make_unique<QProcess>();
    process->setWorkingDirectory(folder.isEmpty() ? m_dir.path() : folder);
    // "NAME=value" sets, "-NAME" removes; "@" stands for the test's folder.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (QString entry : environment) {
        entry.replace(u'@', m_dir.path());
        if (entry.startsWith(u'-'))
            env.remove(entry.mid(1));
        else
            env.insert(entry.section(u'=', 0, 0), entry.section(u'=', 1));
    }
    process->setProcessEnvironment(env);
    process->start(QStringLiteral(VELUNOR_BINARY), args);
    return process;
}

qint64 TstSingleInstance::lockHolder() const
{
    QFile lock(SingleInstance::lockPath(storeFolder()));
    if (!lock.open(QIODevice::ReadOnly))
        return -1;
    return lock.readLine().trimmed().toLongLong();
}

void TstSingleInstance::secondStartHandsOverFiles_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("environment");
    QTest::newRow("no files") << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("relative name with blanks and umlauts")
        << QStringList{"Bericht für 'Q1'.md"} << QStringList{"Bericht für 'Q1'.md"}
        << QStringList{};
    QTest::newRow("leading dash and a missing file")
        << QStringList{"--", "-a.md", "fehlt.md", "b.md"} << QStringList{"-a.md", "b.md"}
        << QStringList{};
    // The store decides, not the session: su, ssh, cron and launchers set these differently.
    QTest::newRow("another runtime folder")
        << QStringList{"b.md"} << QStringList{"b.md"} << QStringList{"XDG_RUNTIME_DIR=@/run2"};
    QTest::newRow("no runtime folder, no user name")
        << QStringList{"b.md"} << QStringList{"b.md"}
        << QStringList{"-XDG_RUNTIME_DIR", "-USER", "-LOGNAME", "TMPDIR=@"};
}

void TstSingleInstance::secondStartHandsOverFiles()
{
    QFETCH(QStringList, args);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, environment);
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

    auto second = startVelunor(args, folder, environment);
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
    auto first = startVelunor({});
    QTRY_COMPARE_WITH_TIMEOUT(lockHolder(), first->processId(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(SingleInstance::recordedServer(storeFolder())),
                             30000);
    const QString socket = SingleInstance::recordedServer(storeFolder());
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
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(SingleInstance::recordedServer(storeFolder())),
                             30000);
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

OtherUser TstSingleInstance::startOtherUser(const QStringList &ops)
{
    OtherUser none(nullptr, &stopOtherUser);
    if (::geteuid() != 0)
        return none;
    const auto run = [](const QString &program, const QStringList &args) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program, args);
        return process.waitForFinished() && process.exitCode() == 0;
    };
    if (!run(QStringLiteral("id"), {QStringLiteral("-u"), kOtherUser}) &&
        !run(QStringLiteral("useradd"),
             {QStringLiteral("--system"), QStringLiteral("--no-create-home"),
              QStringLiteral("--shell"), QStringLiteral("/usr/sbin/nologin"), kOtherUser}))
        return none;
    // A folder everyone may write, as /tmp, holding a copy of this program they may run.
    ::chmod(QFile::encodeName(sharedTemp()).constData(), 01777);
    const QString program = sharedTemp() + QStringLiteral("/other-user");
    QFile::copy(QCoreApplication::applicationFilePath(), program);
    ::chmod(QFile::encodeName(program).constData(), 0755);
    OtherUser process(new QProcess, &stopOtherUser);
    process->setWorkingDirectory(sharedTemp());
    process->start(QStringLiteral("runuser"),
                   QStringList{QStringLiteral("-u"), kOtherUser, QStringLiteral("--"), program,
                               QStringLiteral("--other-user")} +
                       ops);
    if (!process->waitForStarted() || !process->waitForReadyRead(10000) ||
        !process->readLine().startsWith("ready"))
        return none;
    return process;
}

void TstSingleInstance::otherUserCannotHijack_data()
{
    // Where another user gets to the predictable names first: the private folder itself,
    // a link in its place, a folder of ours left too open, or the bare temp folder.
    QTest::addColumn<QStringList>("ops");
    QTest::newRow("folder of another user") << QStringList{"mkdir", "@/velunor-%1"};
    QTest::newRow("link to a folder of another user")
        << QStringList{"mkdir", "@/theirs", "link", "@/theirs", "@/velunor-%1"};
    QTest::newRow("our folder with the wrong mode") << QStringList{};
}

void TstSingleInstance::otherUserCannotHijack()
{
    QFETCH(QStringList, ops);
    const QString store = QDir(storeFolder()).canonicalPath();
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(store.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
    const QString user = QString::number(::getuid());
    const QString name = qEnvironmentVariable("USER");
    // The names in the private folder and the ones straight in the temp folder.
    ops << QStringList{
        "mkdir",  "@/runtime-" + QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name),
        "listen", "@/velunor-%1/velunor-%1-%2",
        "listen", "@/velunor-" + (name.isEmpty() ? user : name) + "-%2"};
    m_shared = std::make_unique<QTemporaryDir>();
    for (QString &op : ops)
        op = op.replace(u'@', sharedTemp()).arg(user, hash);
    auto other = startOtherUser(ops);
    if (!other)
        QSKIP("needs root to add a second user (useradd, runuser)");
    const QString predicted = sharedTemp() + QStringLiteral("/velunor-") + user;
    if (!QFileInfo::exists(predicted))
        QVERIFY(QDir().mkdir(predicted, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther));

    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(sharedTemp()));
    auto restore = qScopeGuard([&] {
        qputenv("XDG_RUNTIME_DIR", runtime);
        qunsetenv("TMPDIR");
    });
    SingleInstance instance(storeFolder());
    QCOMPARE(instance.start({}), SingleInstance::Role::Primary);
    QVERIFY(!instance.serverPath().isEmpty());
    QVERIFY(!instance.serverPath().startsWith(predicted + u'/'));
    // Our own later start still finds us.
    QSignalSpy activated(&instance, &SingleInstance::activated);
    auto second = startVelunor({QStringLiteral("geheim.md")});
    QTRY_COMPARE_WITH_TIMEOUT(second->state(), QProcess::NotRunning, 30000);
    QCOMPARE(second->exitCode(), 0);
    QTRY_COMPARE(activated.size(), 1);
    other->closeWriteChannel();
    QVERIFY(other->waitForFinished());
    QCOMPARE(other->readAllStandardOutput(), QByteArray());
}

void TstSingleInstance::serverOfOtherUserIsRefused()
{
    // Another user's server where ours was recorded: a later start keeps the paths to itself.
    m_shared = std::make_unique<QTemporaryDir>();
    const QString theirs = sharedTemp() + QStringLiteral("/theirs/socket");
    auto other = startOtherUser({"mkdir", QFileInfo(theirs).path(), "listen", theirs});
    if (!other)
        QSKIP("needs root to add a second user (useradd, runuser)");
    SingleInstance instance(storeFolder());
    QCOMPARE(instance.start({}), SingleInstance::Role::Primary);
    QCOMPARE(::rename(QFile::encodeName(theirs).constData(),
                      QFile::encodeName(instance.serverPath()).constData()),
             0);

    auto second = startVelunor({QStringLiteral("geheim.md")});
    QByteArray errors;
    QTRY_VERIFY_WITH_TIMEOUT((errors += second->readAllStandardError()).contains("another user"),
                             30000);
    QCOMPARE(second->state(), QProcess::Running);
    second->kill();
    second->waitForFinished();
    other->closeWriteChannel();
    QVERIFY(other->waitForFinished());
    QCOMPARE(other->readAllStandardOutput(), QByteArray());
}

void TstSingleInstance::otherUserCannotHandOver()
{
    SingleInstance instance(storeFolder());
    QCOMPARE(instance.start({}), SingleInstance::Role::Primary);
    QSignalSpy activated(&instance, &SingleInstance::activated);
    // Opened up so the other user reaches the socket at all; the check of who is calling
    // must still turn them away.
    const QByteArray folder = QFile::encodeName(QFileInfo(instance.serverPath()).path());
    const QByteArray top = QFile::encodeName(m_dir.path());
    for (const QByteArray &path : {top, folder})
        ::chmod(path.constData(), 0711);
    ::chmod(QFile::encodeName(instance.serverPath()).constData(), 0777);
    auto restore = qScopeGuard([&] {
        for (const QByteArray &path : {top, folder})
            ::chmod(path.constData(), 0700);
    });
    m_shared = std::make_unique<QTemporaryDir>();
    auto other = startOtherUser({"send", instance.serverPath(), "/etc/passwd"});
    if (!other)
        QSKIP("needs root to add a second user (useradd, runuser)");
    QTRY_COMPARE_WITH_TIMEOUT(other->state(), QProcess::NotRunning, 10000);
    QCOMPARE(other->readAllStandardOutput().trimmed(), QByteArray("no answer"));
    QCOMPARE(activated.size(), 0);
}

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--other-user") == 0) {
        QCoreApplication app(argc, argv);
        return actAsOtherUser(app.arguments().mid(2));
    }
    QApplication app(argc, argv);
    TstSingleInstance test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
void TstSingleInstance::messageInPiecesIsAwaitedAndBrokenOneDropped()
{
    QTemporaryDir store;
    SingleInstance instance(store.filePath(QStringLiteral("Velunor")));
    QCOMPARE(instance.start({}), SingleInstance::Role::Primary);
    QVERIFY(QFileInfo(instance.serverPath()).permissions() ==
            (QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
             QFileDevice::WriteUser));
    QSignalSpy activated(&instance, &SingleInstance::activated);
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << quint32(0x56454c31) << QStringList{QStringLiteral("/tmp/ä b.md")};

    // Cut inside the magic number and inside the list: the instance waits for the rest.
    const int socket = Platform::connectLocal(instance.serverPath());
    QVERIFY(socket >= 0);
    const auto closeSocket = qScopeGuard([socket] { Platform::closeLocal(socket); });
    for (const QByteArray &piece : {message.left(2), message.mid(2, 9), message.mid(11)}) {
        QVERIFY(Platform::writeLocal(socket, piece, 1000));
        QTest::qWait(30);
    }
    QTRY_COMPARE(activated.size(), 1);
    QCOMPARE(activated.first().first().toStringList(), QStringList{QStringLiteral("/tmp/ä b.md")});
    QVERIFY(Platform::waitReadableLocal(socket, 1000));
    bool open = true;
    QCOMPARE(Platform::readLocal(socket, 16, &open), QByteArray("1"));

    // A message that is not ours is hung up on without an answer.
    const int stranger = Platform::connectLocal(instance.serverPath());
    QVERIFY(stranger >= 0);
    const auto closeStranger = qScopeGuard([stranger] { Platform::closeLocal(stranger); });
    QVERIFY(Platform::writeLocal(stranger, "GET / HTTP/1.0\r\n\r\n", 1000));
    QVERIFY(QTest::qWaitFor([&] {
        return Platform::waitReadableLocal(stranger, 0) &&
               Platform::readLocal(stranger, 16, &open).isEmpty() && !open;
    }));
    QCOMPARE(activated.size(), 1);
}

#include "tst_singleinstance.moc"
