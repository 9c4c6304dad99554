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

// A right-aligned caption of the fixed label width.
QLabel *makeLabel(const QString &text, QWidget *parent);
// A combo box of the fixed picker width.
QComboBox *makePicker(const QString &objectName, QWidget *parent);
} // namespace FormColumns
