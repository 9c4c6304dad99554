#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>

// Where the converter is looked for: fixed places first, then the PATH
// directories. Both discovery and every conversion use this one rule.
class ConverterSearch final
{
public:
    static QStringList defaultFixedPlaces();
    // The process's PATH, or nothing when it is unset.
    static std::optional<QString> environmentPath();

    ConverterSearch();
    ConverterSearch(QStringList fixedPlaces, std::optional<QString> pathValue);

    // Splits at every ':' and drops empty pieces; pieces are kept as they are.
    static QStringList splitPath(const QString &pathValue);
    // Only the absolute folders of a PATH value: '.', empty and relative entries would find
    // programs in the input's folder, where the converter runs.
    static QStringList absoluteFolders(const QString &pathValue);
    // This process's environment with PATH cut to its absolute folders: pandoc looks up
    // engines and filters given by name itself, and never in the input's folder.
    static QProcessEnvironment converterEnvironment();

    QStringList candidates() const;
    // The first candidate that is an executable regular file.
    std::optional<QString> locate() const;

private:
    QStringList m_fixedPlaces;
    std::optional<QString> m_pathValue;
};
