#pragma once

#include <QSize>

class QString;
class QWidget;

// Sizing rules every dialog of the program follows: it fits on the screen of the window it
// belongs to, its title is not cut in the title bar, and it opens centred over that window.
namespace DialogFit {

// The largest a dialog over `anchor` may be: the screen's free area less room for the
// window frame.
QSize maximumSize(const QWidget *anchor);

// The width the window manager needs to show `title` (with the program's name that Qt adds)
// beside its buttons.
int titleWidth(const QString &title);

// Resizes `dialog` to its size hint, at least wide enough for its title and at most
// maximumSize(), and centres it over the anchor's window within the screen.
void fitAndCentre(QWidget *dialog, const QWidget *anchor);

} // namespace DialogFit
