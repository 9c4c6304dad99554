#include "windowplacement.h"

namespace WindowPlacement {

QRect initialGeometry(QSize wanted, QSize minimum, const QRect &available)
{
    const QSize room(available.width(), available.height() - kFrameReserve);
    const QSize size = wanted.boundedTo(room).expandedTo(minimum);
    QRect rect(QPoint(), size);
    rect.moveCenter(available.center());
    // Title bar on the screen even when the minimum is larger than the screen.
    rect.moveTop(std::max(rect.top(), available.top() + kFrameReserve / 2));
    rect.moveLeft(std::max(rect.left(), available.left()));
    return rect;
}

bool canRestore(const QRect &frame, const QString &screenName, const QList<Screen> &screens)
{
    if (!frame.isValid())
        return false;
    for (const Screen &screen : screens) {
        if (screen.name != screenName)
            continue;
        const QRect visible = frame.intersected(screen.available);
        // The top edge (where the title bar is) must be reachable, and a fair part visible.
        return visible.width() >= std::min(frame.width(), 200) &&
               visible.height() >= std::min(frame.height(), 100) &&
               screen.available.contains(QPoint(visible.center().x(), frame.top()));
    }
    return false;
}

} // namespace WindowPlacement
