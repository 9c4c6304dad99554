#pragma once

#include "pandocviewmodel.h"

#include <QColor>
#include <QPalette>

// The status colour as drawn on this palette: darker shades on light windows, lighter on dark.
QColor statusColorFor(PandocViewModel::StatusColor color, const QPalette &palette);

class ElidedLabel;

// A red line under a field that says why what was typed there was not taken; hidden while
// there is nothing to say.
ElidedLabel *makeProblemLabel(const QString &objectName, QWidget *parent);
void showProblem(ElidedLabel *label, const QString &problem);
