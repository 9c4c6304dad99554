// Shared by the startup bench and its bare Qt window, so both report the first frame the same
// way.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdio>

inline constexpr char kFirstFrameShown[] = "shown";

// Prints kFirstFrameShown once the first paint pass of any widget has run, then quits.
class FirstFrameProbe final : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType()) {
            m_seen = true;
            QTimer::singleShot(0, qApp, [] {
                std::fputs(kFirstFrameShown, stdout);
                std::fputs("\n", stdout);
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    bool m_seen = false;
};
