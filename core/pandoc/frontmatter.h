#pragma once

#include <QString>
#include <QStringList>

// The top-level keys a document's own YAML block sets ("title", "author", ...), read from at
// most the file's first 64 KiB; nothing for a file that is not regular or has no such block.
QStringList frontMatterKeys(const QString &path);
