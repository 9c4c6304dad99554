#pragma once

#include "notifier.h"

#include <QString>

// org.freedesktop.Notifications over the session bus. The bus is looked up only when the first
// notification is sent; without one, nothing happens.
class DBusNotifier final : public Notifier
{
public:
    // An empty address means the session bus.
    explicit DBusNotifier(QString busAddress = {}) : m_busAddress(std::move(busAddress)) {}
    ~DBusNotifier() override;

    void notify(const QString &summary, const QString &body) override;

private:
    QString m_busAddress;
    QString m_connectionName;
};
