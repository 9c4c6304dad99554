#pragma once

#include <QString>

class QComboBox;
class QLabel;
class QWidget;

// Shared measures of the conversion tab's rows.
namespace FormColumns {
inline constexpr int kLabelWidth = 120;
inline constexpr int kPickerWidth = 300;
inline constexpr int kSectionSpacing = 20;
inline constexpr int kInnerSpacing = 10;

// A right-aligned caption of the label column. `widestText` is the longest text the label
// will ever show, when that is not `text`.
QLabel *makeLabel(const QString &text, QWidget *parent, const QString &widestText = QString());
// A combo box of the fixed picker width.
QComboBox *makePicker(const QString &objectName, QWidget *parent);
// Gives every label column under `root` one width: 120 or, with large fonts, the widest
// caption, so nothing is cut and the pickers stay in line.
void alignLabels(QWidget *root);
} // namespace FormColumns
