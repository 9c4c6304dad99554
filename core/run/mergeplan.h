#pragma once

#include <QString>
#include <QStringList>

// Several inputs read by pandoc as one document: where its pictures are looked for and
// the name its output gets unless one is chosen.

// The folders of `inputs` as pandoc's --resource-path, in input order and each once, so
// that a chapter's pictures are found beside it. pandoc splits the value at ':', so a
// folder whose path holds one is given relative to the first input's folder (pandoc's
// working folder); one that still holds a ':' cannot be named and lands in `leftOut`.
struct ResourcePath
{
    // The options in command-line order. The kernel takes no single argument over 128 KiB,
    // so a long list is split; pandoc searches a later option's folders first, so the parts
    // come last part first.
    QStringList options;
    QStringList leftOut;
};
ResourcePath mergedResourcePath(const QStringList &inputs);

// Beside the first input, named after its folder: /home/u/thesis/a.md -> /home/u/thesis/thesis.pdf.
QString mergedOutputName(const QString &firstInput, const QString &outputFormat);
