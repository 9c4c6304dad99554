#pragma once

#include <QObject>
#include <functional>

// Turns SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C, a closed terminal) into a call on
// the event loop, for as long as it lives.
class QuitSignals final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QuitSignals)

public:
    explicit QuitSignals(std::function<void()> onSignal, QObject *parent = nullptr);
    ~QuitSignals() override;
};
