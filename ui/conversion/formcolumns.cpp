#include "formcolumns.h"

#include <QComboBox>
#include <QLabel>

namespace FormColumns {

QLabel *makeLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFixedWidth(kLabelWidth);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QComboBox *makePicker(const QString &objectName, QWidget *parent)
{
    auto *picker = new QComboBox(parent);
    picker->setObjectName(objectName);
    picker->setFixedWidth(kPickerWidth);
    return picker;
}

} // namespace FormColumns
