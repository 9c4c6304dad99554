#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

// Where the main window opens, and whether a remembered place can be used again.
namespace WindowPlacement {

struct Screen
{
    QString name;
    QRect available;
};

// Room kept for the window manager's title bar and borders, which are not known before the
// window is shown.
inline constexpr int kFrameReserve = 40;

// A window of `wanted` size centred on `available`, shrunk to fit it but never below `minimum`.
QRect initialGeometry(QSize wanted, QSize minimum, const QRect &available);

// A remembered frame is used only on the screen it was on, and only while enough of it lies
// on that screen to grab it again (after a resolution change, say).
bool canRestore(const QRect &frame, const QString &screenName, const QList<Screen> &screens);

} // namespace WindowPlacement
