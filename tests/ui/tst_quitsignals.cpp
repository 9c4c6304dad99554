// A real Velunor: a logout's SIGTERM (or Ctrl+C, a closed terminal) quits it cleanly, and at
// start-up it removes temporary outputs that a killed Velunor left beside its files.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

// Whether the process has a handler of its own for `signal` (SigCgt in its status).
bool catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    }
    return false;
}

} // namespace

class TstQuitSignals final : public QObject
{
    Q_OBJECT

private slots:
    void quitsCleanlyOnSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }

    void quitsCleanlyOnSignal()
    {
        QFETCH(int, signal);
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("run"))));
        QFile(dir.filePath(QStringLiteral("run")))
            .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            QFileDevice::ExeOwner);
        QFile input(dir.filePath(QStringLiteral("a.md")));
        QVERIFY(input.open(QIODevice::WriteOnly));
        input.close();
        // A partial file of a Velunor that was killed; no process has that id.
        const QString stale = dir.filePath(QStringLiteral(".a.html.velunor-999999-1"));
        QFile partial(stale);
        QVERIFY(partial.open(QIODevice::WriteOnly) && partial.write("halb") == 4);
        partial.close();

        QProcess velunor;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("run")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           dir.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        velunor.setProcessEnvironment(environment);
        velunor.start(QStringLiteral(VELUNOR_BINARY), {input.fileName()});
        QVERIFY(velunor.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(catches(velunor.processId(), signal), 20000);
        QVERIFY(!QFileInfo::exists(stale));

        ::kill(pid_t(velunor.processId()), signal);
        QVERIFY(velunor.waitForFinished(10000));
        QCOMPARE(velunor.exitStatus(), QProcess::NormalExit);
        QCOMPARE(velunor.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TstQuitSignals)
#include "tst_quitsignals.moc"
