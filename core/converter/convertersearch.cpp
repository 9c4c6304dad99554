#include "convertersearch.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>

QStringList ConverterSearch::defaultFixedPlaces()
{
    return {QStringLiteral("/usr/local/bin/pandoc"), QStringLiteral("/opt/homebrew/bin/pandoc"),
            QStringLiteral("/usr/bin/pandoc"), QStringLiteral("/Library/TeX/texbin/pandoc")};
}

std::optional<QString> ConverterSearch::environmentPath()
{
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("PATH")))
        return std::nullopt;
    return env.value(QStringLiteral("PATH"));
}

ConverterSearch::ConverterSearch() : ConverterSearch(defaultFixedPlaces(), environmentPath()) {}

ConverterSearch::ConverterSearch(QStringList fixedPlaces, std::optional<QString> pathValue)
    : m_fixedPlaces(std::move(fixedPlaces)), m_pathValue(std::move(pathValue))
{
}

QStringList ConverterSearch::splitPath(const QString &pathValue)
{
    return pathValue.split(u':', Qt::SkipEmptyParts);
}

QStringList ConverterSearch::absoluteFolders(const QString &pathValue)
{
    QStringList folders = splitPath(pathValue);
    folders.removeIf([](const QString &folder) { return !QDir::isAbsolutePath(folder); });
    return folders;
}

QProcessEnvironment ConverterSearch::converterEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString path = QStringLiteral("PATH");
    if (environment.contains(path))
        environment.insert(path, absoluteFolders(environment.value(path)).join(u':'));
    return environment;
}

QStringList ConverterSearch::candidates() const
{
    QStringList list = m_fixedPlaces;
    if (m_pathValue) {
        for (const QString &dir : splitPath(*m_pathValue))
            list.append(dir + QStringLiteral("/pandoc"));
    }
    return list;
}

std::optional<QString> ConverterSearch::locate() const
{
    for (const QString &candidate : candidates()) {
        const QFileInfo info(candidate);
        // A directory or a non-executable file named pandoc could never run.
        if (info.isFile() && info.isExecutable())
            return candidate;
    }
    return std::nullopt;
}
