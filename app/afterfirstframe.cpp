#include "afterfirstframe.h"

#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

// Long enough for any first frame, short enough that a minimised window is not left without
// its converter check for long.
constexpr int kUnpaintedDelayMs = 1000;

class FirstFrameWatch final : public QObject
{
public:
    FirstFrameWatch(QWidget *widget, std::function<void()> work)
        : QObject(widget), m_work(std::move(work))
    {
        widget->installEventFilter(this);
        QTimer::singleShot(kUnpaintedDelayMs, this, &FirstFrameWatch::fire);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Queued: the paint pass is still under way, and the frame is shown after it.
        if (event->type() == QEvent::Paint)
            QMetaObject::invokeMethod(this, &FirstFrameWatch::fire, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }

private:
    void fire()
    {
        if (!m_work)
            return;
        parent()->removeEventFilter(this);
        const std::function<void()> work = std::move(m_work);
        m_work = nullptr;
        deleteLater();
        work();
    }

    std::function<void()> m_work;
};

} // namespace

void runAfterFirstFrame(QWidget *widget, std::function<void()> work)
{
    new FirstFrameWatch(widget, std::move(work));
}
