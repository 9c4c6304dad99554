#include "staricon.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QtMath>

void paintStar(QPainter *painter, const QRectF &box, const QColor &color, bool filled)
{
    const QPointF centre = box.center();
    const qreal outer = std::min(box.width(), box.height()) / 2.0;
    const qreal inner = outer * 0.42;
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const qreal radius = (i % 2 == 0) ? outer : inner;
        const qreal angle = qDegreesToRadians(-90.0 + i * 36.0);
        const QPointF p(centre.x() + radius * std::cos(angle),
                        centre.y() + radius * std::sin(angle));
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(
        QPen(color, std::max<qreal>(1.0, outer / 8.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->setBrush(filled ? QBrush(color) : Qt::NoBrush);
    painter->drawPath(path);
    painter->restore();
}

namespace {

QIcon drawnStar(bool filled)
{
    QIcon icon;
    const QColor color = QApplication::palette().color(QPalette::ButtonText);
    for (int size : {16, 22, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paintStar(&painter, QRectF(1, 1, size - 2, size - 2), color, filled);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QIcon starIcon(bool filled)
{
    const QString name = filled ? QStringLiteral("starred") : QStringLiteral("non-starred");
    return QIcon::hasThemeIcon(name) ? QIcon::fromTheme(name) : drawnStar(filled);
}
