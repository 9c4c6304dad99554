#include "mergeplan.h"

#include "formatrules.h"

#include <QDir>
#include <QFileInfo>

ResourcePath mergedResourcePath(const QStringList &inputs)
{
    constexpr qsizetype kMaxOption = 100 * 1024;
    ResourcePath path;
    if (inputs.isEmpty())
        return path;
    const QDir working = QFileInfo(inputs.first()).absoluteDir();
    QStringList folders;
    QString option;
    const QString name = QStringLiteral("--resource-path=");
    for (const QString &input : inputs) {
        const QString folder = QFileInfo(input).absolutePath();
        if (folders.contains(folder) || path.leftOut.contains(folder))
            continue;
        QString entry = folder;
        if (entry.contains(u':'))
            entry = working.relativeFilePath(folder);
        if (entry.isEmpty())
            entry = QStringLiteral(".");
        if (entry.contains(u':')) {
            path.leftOut << folder;
            continue;
        }
        folders << folder;
        if (!option.isEmpty() && option.size() + entry.size() >= kMaxOption) {
            path.options.prepend(option);
            option.clear();
        }
        option += (option.isEmpty() ? name : QStringLiteral(":")) + entry;
    }
    if (!option.isEmpty())
        path.options.prepend(option);
    return path;
}

QString mergedOutputName(const QString &firstInput, const QString &outputFormat)
{
    const QFileInfo input(firstInput);
    QString name = input.absoluteDir().dirName();
    // The root folder has no name.
    if (name.isEmpty())
        name = input.completeBaseName();
    return input.absoluteDir().filePath(name + u'.' + FormatRules::outputExtension(outputFormat));
}
