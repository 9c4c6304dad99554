#include "citations.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

QStringList citationArguments(const CitationSettings &settings)
{
    if (!settings.process)
        return {};
    QStringList args{QStringLiteral("--citeproc")};
    if (!settings.bibliography.isEmpty())
        args << QStringLiteral("--bibliography") << settings.bibliography;
    if (!settings.csl.isEmpty())
        args << QStringLiteral("--csl") << settings.csl;
    return args;
}

std::optional<CitationProblem> missingCitationFile(const CitationSettings &settings,
                                                   const QString &workingFolder)
{
    if (!settings.process)
        return std::nullopt;
    // Only regular files: a FIFO would leave the converter waiting for ever. A relative path
    // is read where pandoc runs.
    const auto usable = [&workingFolder](const QString &path) {
        const QFileInfo info(QDir(workingFolder).absoluteFilePath(path));
        return info.isFile() && info.isReadable();
    };
    if (!settings.bibliography.isEmpty() && !usable(settings.bibliography))
        return CitationProblem{QStringLiteral("❌ Literaturdatei nicht gefunden: ") +
                                   settings.bibliography,
                               QStringLiteral("❌ Literaturdatei nicht gefunden")};
    if (!settings.csl.isEmpty() && !usable(settings.csl))
        return CitationProblem{QStringLiteral("❌ Zitierstil nicht gefunden: ") + settings.csl,
                               QStringLiteral("❌ Zitierstil nicht gefunden")};
    return std::nullopt;
}

QStringList citationWarnings(const QString &errorText)
{
    static const QRegularExpression unknownKey(
        QStringLiteral("^\\[WARNING\\] Citeproc: citation (.+) not found$"));
    static const QRegularExpression other(QStringLiteral("^\\[WARNING\\] Citeproc: (.+)$"));
    QStringList lines;
    for (const QString &raw : errorText.split(u'\n')) {
        const QString line = raw.trimmed();
        if (const auto m = unknownKey.match(line); m.hasMatch())
            lines << QStringLiteral("⚠ Zitat ohne Eintrag in der Literaturdatei: @") +
                         m.captured(1);
        else if (const auto m2 = other.match(line); m2.hasMatch())
            lines << QStringLiteral("⚠ Zitate: ") + m2.captured(1);
    }
    lines.removeDuplicates();
    return lines;
}
