#include "formcolumns.h"

#include <QComboBox>
#include <QLabel>

namespace FormColumns {

namespace {
const char kWidestText[] = "formColumnWidestText";

int captionWidth(const QLabel *label)
{
    const QString widest = label->property(kWidestText).toString();
    const int margins = label->contentsMargins().left() + label->contentsMargins().right();
    return std::max(label->sizeHint().width(),
                    label->fontMetrics().horizontalAdvance(widest) + margins);
}
} // namespace

QLabel *makeLabel(const QString &text, QWidget *parent, const QString &widestText)
{
    auto *label = new QLabel(text, parent);
    label->setProperty(kWidestText, widestText.isEmpty() ? text : widestText);
    label->setFixedWidth(std::max(kLabelWidth, captionWidth(label)));
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

void alignLabels(QWidget *root)
{
    QList<QLabel *> labels;
    int width = kLabelWidth;
    for (QLabel *label : root->findChildren<QLabel *>()) {
        if (!label->property(kWidestText).isValid())
            continue;
        labels.append(label);
        width = std::max(width, captionWidth(label));
    }
    for (QLabel *label : labels)
        label->setFixedWidth(width);
}

} // namespace FormColumns
