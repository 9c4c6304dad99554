#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Which program turns a document into PDF, and with which fonts.
namespace PdfSetup {

inline const QString kAutomatic = QStringLiteral("Automatisch");

// Where the generated font headers are kept: the user's cache folder.
QString defaultHeaderFolder();

struct Engine
{
    QString name;
    QString path; // absolute
};

// Engines pandoc can drive, in the order the picker lists them.
const QStringList &knownEngines();
// The known engines that are executables in one of the absolute `pathValue` directories; a
// relative or empty entry would find programs in whatever folder a run starts in.
QList<Engine> findEngines(const std::optional<QString> &pathValue);

// True when pdflatex with pandoc's default template sets every character of `text`.
bool pdflatexCanSet(QStringView text);

// What a text needs beyond pdflatex.
struct Scripts
{
    bool cjk = false;     // Chinese, Japanese, Korean
    bool symbols = false; // emoji, arrows, dingbats
    bool other = false;   // anything DejaVu Serif may lack
};
Scripts scriptsOf(QStringView text);

// Fonts that together cover Latin, Greek, Cyrillic, CJK and emoji; only installed ones.
struct FontChain
{
    QString mainFolder; // DejaVu Serif, Sans and Mono live here
    QStringList cjk;    // CJK font collections, the preferred first
    QString symbols;    // monochrome emoji and symbols
    QString wide;       // a sans font with what the serif lacks
};
FontChain installedFontChain(const QStringList &fontRoots = {QStringLiteral("/usr/share/fonts")});

// The LaTeX header that gives lualatex the chain's fonts for `scripts` as fallbacks.
QByteArray lualatexFontHeader(const FontChain &chain, const Scripts &scripts);
// The LaTeX header that switches xelatex's font per script (no fallback search per glyph,
// which makes it several times faster than lualatex); empty when the chain lacks a font.
QByteArray xelatexFontHeader(const FontChain &chain, const Scripts &scripts);

} // namespace PdfSetup

// Picks the engine and font arguments for one input.
class PdfSetupPlanner final
{
public:
    // `headerFolder` receives the font headers the Unicode set-up needs.
    PdfSetupPlanner(QList<PdfSetup::Engine> engines, QString headerFolder,
                    QStringList fontRoots = {QStringLiteral("/usr/share/fonts")});

    // The arguments for `engine` ("Automatisch" or an engine name) and this input, judged by
    // the input file's own bytes (a quick guess for the command preview).
    QStringList arguments(const QString &engine, const QString &inputPath) const;
    // The same for the text the document will contain; none means it is not known.
    QStringList argumentsForText(const QString &engine, const std::optional<QString> &text) const;
    // The engine "Automatisch" takes for this input or text.
    QString automaticEngine(const QString &inputPath) const;
    QString automaticEngineForText(const std::optional<QString> &text) const;
    // A file for --include-in-header, written fresh into the private header folder when
    // missing or different; its path, or empty when it cannot be written safely.
    QString includeFile(const QString &name, const QByteArray &content) const
    {
        return headerPath(name, content);
    }
    // Engine names, in the picker's order.
    const QStringList &engines() const { return m_names; }

private:
    std::optional<QString> fileText(const QString &inputPath) const;
    QString engineArgument(const QString &engine) const;
    // Writes the font header when it is missing or differs; its path, or empty on failure.
    QString headerPath(const QString &name, const QByteArray &content) const;
    // Looked up on first need: reading the font folders is no work for the window's start.
    const PdfSetup::FontChain &fonts() const;

    struct Scan
    {
        qint64 size = -1;
        QDateTime modified;
        std::optional<QString> text;
    };
    QStringList m_names;
    QHash<QString, QString> m_paths;
    QString m_headerFolder;
    QStringList m_fontRoots;
    mutable std::optional<PdfSetup::FontChain> m_fonts;
    mutable QHash<QString, Scan> m_scans;
    mutable QHash<QString, QByteArray> m_written;
};
