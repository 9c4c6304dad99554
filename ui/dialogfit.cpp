#include "dialogfit.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace DialogFit {

namespace {
// Title bar above and border below, of a typical window manager.
constexpr int kTitleBarRoom = 40;
constexpr int kBorderRoom = 20;
// Close (and maybe minimise and maximise) buttons, the window icon and some air.
constexpr int kTitleBarButtons = 170;

QRect availableFor(const QWidget *anchor)
{
    const QScreen *screen = anchor ? anchor->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
}
} // namespace

QSize maximumSize(const QWidget *anchor)
{
    const QRect available = availableFor(anchor);
    return {std::max(200, available.width() - 2 * kBorderRoom),
            std::max(150, available.height() - kTitleBarRoom - kBorderRoom)};
}

int titleWidth(const QString &title)
{
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    QString shown = title;
    if (!QGuiApplication::applicationDisplayName().isEmpty())
        shown += QStringLiteral(" — ") + QGuiApplication::applicationDisplayName();
    return QFontMetrics(font).horizontalAdvance(shown) + kTitleBarButtons;
}

void fitAndCentre(QWidget *dialog, const QWidget *anchor)
{
    dialog->ensurePolished();
    const QSize limit = maximumSize(anchor);
    QSize size = dialog->sizeHint().expandedTo(dialog->minimumSizeHint());
    size.setWidth(std::max(size.width(), titleWidth(dialog->windowTitle())));
    if (dialog->hasHeightForWidth())
        size.setHeight(std::max(size.height(), dialog->heightForWidth(size.width())));
    size = size.boundedTo(limit);
    dialog->setMaximumSize(limit);
    dialog->resize(size);

    const QWidget *window = anchor ? anchor->window() : nullptr;
    const QRect available = availableFor(anchor);
    QRect frame(QPoint(), size);
    frame.moveCenter(window && window->isVisible() ? window->frameGeometry().center()
                                                   : available.center());
    // Inside the screen, title bar included.
    frame.moveLeft(std::clamp(frame.left(), available.left(),
                              std::max(available.left(), available.right() - size.width())));
    const int highest = available.top() + kTitleBarRoom;
    frame.moveTop(std::clamp(frame.top(), highest,
                             std::max(highest, available.bottom() - kBorderRoom - size.height())));
    dialog->move(frame.topLeft());
}

} // namespace DialogFit
