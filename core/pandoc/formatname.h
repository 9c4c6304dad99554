#pragma once

#include <QString>

// The converter's format name of a picker value: the text before the first blank,
// so "gfm (GitHub Markdown)" names gfm. A value that begins with a blank names nothing.
QString converterFormatName(const QString &pickerValue);

// The file name without its last extension; a leading dot does not start an extension.
QString baseNameWithoutLastExtension(const QString &fileName);

// The path with its last extension replaced by `extension` (appended when it has none).
QString replaceLastExtension(const QString &path, const QString &extension);
