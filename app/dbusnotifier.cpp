#include "dbusnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QLoggingCategory>
#include <QUuid>
#include <QVariantMap>

Q_LOGGING_CATEGORY(lcNotify, "velunor.app.notify")

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kAppId = QStringLiteral("org.velunor.Velunor");
} // namespace

DBusNotifier::~DBusNotifier()
{
    if (!m_connectionName.isEmpty())
        QDBusConnection::disconnectFromBus(m_connectionName);
}

void DBusNotifier::notify(const QString &summary, const QString &body)
{
    if (!m_busAddress.isEmpty() && m_connectionName.isEmpty())
        m_connectionName =
            QStringLiteral("velunor-notify-") + QUuid::createUuid().toString(QUuid::Id128);
    QDBusConnection bus = m_busAddress.isEmpty()
                              ? QDBusConnection::sessionBus()
                              : QDBusConnection::connectToBus(m_busAddress, m_connectionName);
    if (!bus.isConnected()) {
        qCDebug(lcNotify) << "no session bus, notification dropped:" << bus.lastError().message();
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), kAppId}};
    call << QStringLiteral("Velunor") << uint(0) << kAppId << summary << body << QStringList()
         << hints << int(-1);
    // Fire and forget: no reply is awaited, so a hung notification daemon cannot stall us.
    call.setAutoStartService(true);
    if (!bus.send(call))
        qCDebug(lcNotify) << "notification not sent:" << bus.lastError().message();
}
