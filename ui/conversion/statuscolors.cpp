#include "statuscolors.h"

#include "elidedlabel.h"

QColor statusColorFor(PandocViewModel::StatusColor color, const QPalette &palette)
{
    using C = PandocViewModel::StatusColor;
    const bool dark = palette.color(QPalette::Window).lightness() < 128;
    switch (color) {
    case C::Primary:
        return palette.color(QPalette::WindowText);
    case C::Blue:
        return dark ? QColor(0x6c, 0xb6, 0xff) : QColor(0x0b, 0x57, 0xd0);
    case C::Green:
        return dark ? QColor(0x4a, 0xc2, 0x6b) : QColor(0x14, 0x6c, 0x2e);
    case C::Orange:
        return dark ? QColor(0xff, 0xa6, 0x57) : QColor(0x9a, 0x47, 0x00);
    case C::Red:
        return dark ? QColor(0xff, 0x7b, 0x72) : QColor(0xc0, 0x1c, 0x28);
    case C::Gray:
        return dark ? QColor(0xa8, 0xa8, 0xa8) : QColor(0x59, 0x59, 0x59);
    }
    return palette.color(QPalette::WindowText);
}

ElidedLabel *makeProblemLabel(const QString &objectName, QWidget *parent)
{
    auto *label = new ElidedLabel(parent);
    label->setObjectName(objectName);
    label->hide();
    return label;
}

void showProblem(ElidedLabel *label, const QString &problem)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, statusColorFor(PandocViewModel::StatusColor::Red,
                                                      label->parentWidget()->palette()));
    label->setPalette(pal);
    label->setFullText(problem);
    label->setVisible(!problem.isEmpty());
}
