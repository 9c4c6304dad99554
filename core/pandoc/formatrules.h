#pragma once

#include <QString>
#include <QStringList>

// The picker's own entries, shown first and in this order; pandoc's further formats follow.
namespace FormatRules {

const QStringList &inputFormatChoices();
const QStringList &outputFormatChoices();

// The formats in `listed` that no entry of `builtIn` already names, in pandoc's order.
QStringList extraFormats(const QStringList &builtIn, const QStringList &listed);

// The extension of a derived output file: the usual one of the format's kind (html5 and
// revealjs give .html, latex .tex, gfm .md, plain .txt), whatever extensions follow the name.
QString outputExtension(const QString &pickerValue);
// The save panel's name filter for the format.
QString saveFilter(const QString &pickerValue);

// Template pickers of a format: slide shows are HTML, beamer is LaTeX.
enum class TemplateFamily
{
    None,
    Html,
    Latex,
    Docx
};
TemplateFamily templateFamily(const QString &pickerValue);

// True when pandoc `listed` knows the format of a picker value; an empty list knows
// everything, since then nothing has been asked yet. "auto" is always known.
bool isKnownFormat(const QString &pickerValue, const QStringList &listed);

} // namespace FormatRules
