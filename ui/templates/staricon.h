#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>

class QPainter;

// The favourite star. No QStyle standard pixmap shows a star, so when the icon theme has
// none either, a drawn star stands in.
QIcon starIcon(bool filled);
void paintStar(QPainter *painter, const QRectF &box, const QColor &color, bool filled);

// The tint of a favourite's star in the list.
inline const QColor kFavoriteYellow{0xF2, 0xC0, 0x00};
