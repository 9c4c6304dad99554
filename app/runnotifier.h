#pragma once

#include "runresult.h"

#include <QObject>
#include <QPointer>
#include <QString>

class Notifier;
class PandocViewModel;
class QWidget;

// Tells the desktop how a batch or a long conversion went, when the window is not in front
// to show it.
class RunNotifier final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunNotifier)

public:
    static constexpr double kLongRunSeconds = 10.0;

    struct Message
    {
        QString summary;
        QString body;
    };

    RunNotifier(PandocViewModel *viewModel, QWidget *window, QObject *parent = nullptr);

    // Null: no notifications.
    void setNotifier(Notifier *notifier) { m_notifier = notifier; }

    // What a run is worth telling: every batch, a single file only when it took long.
    static bool worthNotifying(const RunResults &results);
    static Message messageFor(const RunResults &results);

private:
    void runEnded();
    bool windowActive() const;

    PandocViewModel *m_viewModel;
    QPointer<QWidget> m_window;
    Notifier *m_notifier = nullptr;
};
