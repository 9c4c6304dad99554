#pragma once

#include <QStyledItemDelegate>

// One library row: a yellow star for favourites, the name, and below it the kind in a
// smaller, secondary text.
class TemplateListRow final : public QStyledItemDelegate
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplateListRow)

public:
    explicit TemplateListRow(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    static QFont captionFont(const QFont &body);
};
