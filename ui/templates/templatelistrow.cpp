#include "templatelistrow.h"

#include "staricon.h"
#include "templatelistmodel.h"

#include <QApplication>
#include <QPainter>

namespace {

constexpr int kMargin = 6;
constexpr int kSpacing = 8;
constexpr int kLineGap = 2;

QString captionText(const QModelIndex &index)
{
    QString text = index.data(TemplateListModel::KindNameRole).toString();
    if (index.data(TemplateListModel::OutsideRole).toBool())
        text += QStringLiteral(" · ⚠ Datei außerhalb der Bibliothek");
    return text;
}

} // namespace

TemplateListRow::TemplateListRow(QObject *parent) : QStyledItemDelegate(parent) {}

QFont TemplateListRow::captionFont(const QFont &body)
{
    QFont caption = body;
    if (body.pointSizeF() > 0)
        caption.setPointSizeF(body.pointSizeF() * 0.85);
    else
        caption.setPixelSize(std::max(8, int(body.pixelSize() * 0.85)));
    return caption;
}

void TemplateListRow::paint(QPainter *painter, const QStyleOptionViewItem &option,
                            const QModelIndex &index) const
{
    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);

    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group =
        option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    const QColor text =
        option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = selected ? text : option.palette.color(group, QPalette::PlaceholderText);
    if (selected)
        secondary.setAlphaF(0.75);

    const QFont body = option.font;
    const QFont caption = captionFont(body);
    const QFontMetrics bodyMetrics(body);
    const QFontMetrics captionMetrics(caption);
    QRect area = option.rect.adjusted(kMargin, kMargin, -kMargin, -kMargin);

    painter->save();
    if (index.data(TemplateListModel::FavoriteRole).toBool()) {
        const int side = bodyMetrics.height();
        const QRect star(area.left(), area.center().y() - side / 2, side, side);
        paintStar(painter, QRectF(star).adjusted(1, 1, -1, -1), kFavoriteYellow, true);
        area.setLeft(star.right() + kSpacing);
    }
    const int block = bodyMetrics.height() + kLineGap + captionMetrics.height();
    const int top = area.center().y() - block / 2;
    painter->setFont(body);
    painter->setPen(text);
    painter->drawText(
        QRect(area.left(), top, area.width(), bodyMetrics.height()),
        Qt::AlignLeft | Qt::AlignVCenter,
        bodyMetrics.elidedText(index.data().toString(), Qt::ElideRight, area.width()));
    painter->setFont(caption);
    painter->setPen(secondary);
    painter->drawText(QRect(area.left(), top + bodyMetrics.height() + kLineGap, area.width(),
                            captionMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      captionMetrics.elidedText(captionText(index), Qt::ElideRight, area.width()));
    painter->restore();
}

QSize TemplateListRow::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QFontMetrics bodyMetrics(option.font);
    const QFontMetrics captionMetrics(captionFont(option.font));
    int width = std::max(bodyMetrics.horizontalAdvance(index.data().toString()),
                         captionMetrics.horizontalAdvance(captionText(index)));
    if (index.data(TemplateListModel::FavoriteRole).toBool())
        width += bodyMetrics.height() + kSpacing;
    return {width + 2 * kMargin,
            bodyMetrics.height() + kLineGap + captionMetrics.height() + 2 * kMargin};
}
