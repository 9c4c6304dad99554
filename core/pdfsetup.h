#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

// Which program turns a document into PDF, and with which fonts.
namespace PdfSetup {

inline const QString kAutomatic = QStringLiteral("Automatisch");

// Where the generated font header is kept: the user's cache folder.
QString defaultHeaderFolder();

// Engines pandoc can drive, in the order the picker lists them.
const QStringList &knownEngines();
// The known engines that are executables in one of the `pathValue` directories.
QStringList findEngines(const std::optional<QString> &pathValue);

// True when pdflatex with pandoc's default template sets every character of `text`.
bool pdflatexCanSet(QStringView text);

// Fonts that together cover Latin, Greek, Cyrillic, CJK and emoji; only installed ones.
struct FontChain
{
    QString mainFolder;    // DejaVu Serif, Sans and Mono live here
    QStringList fallbacks; // font files tried in order for what the main font lacks
};
FontChain installedFontChain(const QStringList &fontRoots = {QStringLiteral("/usr/share/fonts")});

// The LaTeX header that gives lualatex that chain.
QByteArray lualatexFontHeader(const FontChain &chain);

} // namespace PdfSetup

// Picks the engine and font arguments for one input; remembers what it read of each file.
class PdfSetupPlanner final
{
public:
    // `headerFolder` receives the font header the Unicode set-up needs.
    PdfSetupPlanner(QStringList engines, QString headerFolder);

    // The arguments for `engine` ("Automatisch" or an engine name) and this input.
    QStringList arguments(const QString &engine, const QString &inputPath) const;
    // The engine "Automatisch" takes for this input.
    QString automaticEngine(const QString &inputPath) const;
    const QStringList &engines() const { return m_engines; }

private:
    bool needsUnicode(const QString &inputPath) const;
    // Writes the font header when it is missing or differs; its path, or empty on failure.
    QString fontHeaderPath() const;

    struct Scan
    {
        qint64 size = -1;
        QDateTime modified;
        bool unicode = true;
    };
    QStringList m_engines;
    QString m_headerFolder;
    mutable QHash<QString, Scan> m_scans;
    mutable QString m_headerPath;
};
