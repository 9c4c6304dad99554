#include "frontmatter.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

QStringList frontMatterKeys(const QString &path)
{
    // Only a regular file: a FIFO would block the window.
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = file.read(64 * 1024).split('\n');
    if (lines.isEmpty() || lines.first().trimmed() != "---")
        return {};
    static const QRegularExpression key(QStringLiteral("^([A-Za-z0-9_][A-Za-z0-9_-]{0,63}):"));
    QStringList keys;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line == "---" || line == "...")
            return keys;
        const auto match = key.match(QString::fromUtf8(lines[i]));
        if (match.hasMatch() && !keys.contains(match.captured(1)))
            keys << match.captured(1);
    }
    // A block that never ends is not metadata.
    return {};
}
