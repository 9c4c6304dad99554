// The freedesktop notification as it arrives at a notification server on a private bus.
#include "dbusnotifier.h"

#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace {

class FakeNotificationServer final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList calls;

public slots:
    uint Notify(const QString &app, uint, const QString &icon, const QString &summary,
                const QString &body, const QStringList &, const QVariantMap &hints, int timeout)
    {
        calls << QStringList{app,
                             icon,
                             summary,
                             body,
                             hints.value(QStringLiteral("desktop-entry")).toString(),
                             QString::number(timeout)}
                     .join(u'|');
        return uint(calls.size());
    }
};

} // namespace

class TstDBusNotifier final : public QObject
{
    Q_OBJECT

private slots:
    void notificationReachesTheServerAndNoBusIsSilent()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty())
            QSKIP("dbus-daemon is not installed");
        QProcess bus;
        bus.start(daemon, {"--session", "--nofork", "--print-address"});
        QVERIFY(bus.waitForReadyRead(10000));
        const QString address = QString::fromUtf8(bus.readLine()).trimmed();
        QDBusConnection server = QDBusConnection::connectToBus(address, QStringLiteral("server"));
        FakeNotificationServer fake;
        QVERIFY(server.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QVERIFY(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                      QDBusConnection::ExportAllSlots));

        // Nobody listening: nothing happens, nothing is thrown.
        DBusNotifier(QStringLiteral("unix:path=/nonexistent/bus")).notify("lost", "lost");
        DBusNotifier notifier(address);
        notifier.notify(QStringLiteral("Konvertierung abgeschlossen"),
                        QStringLiteral("3 erfolgreich, 1 Fehler"));
        QTRY_COMPARE(fake.calls, QStringList{"Velunor|org.velunor.Velunor|Konvertierung "
                                             "abgeschlossen|3 erfolgreich, 1 Fehler|"
                                             "org.velunor.Velunor|-1"});
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
    }
};

QTEST_GUILESS_MAIN(TstDBusNotifier)
#include "tst_dbusnotifier.moc"
