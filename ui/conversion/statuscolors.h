#pragma once

#include "pandocviewmodel.h"

#include <QColor>
#include <QPalette>

// The status colour as drawn on this palette: darker shades on light windows, lighter on dark.
QColor statusColorFor(PandocViewModel::StatusColor color, const QPalette &palette);
