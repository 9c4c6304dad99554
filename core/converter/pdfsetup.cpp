#include "pdfsetup.h"

#include "convertersearch.h"
#include "fileowner.h"

#include "atomicwrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QStringDecoder>

namespace PdfSetup {

namespace {

// What the default LaTeX template (T1 fonts, utf8 input) knows beyond Latin-1.
bool inPdflatexExtras(char32_t c)
{
    switch (c) {
    case 0x2013:
    case 0x2014:
    case 0x2018:
    case 0x2019:
    case 0x201A:
    case 0x201C:
    case 0x201D:
    case 0x201E:
    case 0x2020:
    case 0x2021:
    case 0x2022:
    case 0x2026:
    case 0x2030:
    case 0x2039:
    case 0x203A:
    case 0x20AC:
    case 0x2122:
    case 0xFEFF:
        return true;
    default:
        return false;
    }
}

bool inRange(char32_t c, char32_t from, char32_t to)
{
    return c >= from && c <= to;
}

// Han, kana, hangul and their punctuation and full-width forms.
constexpr std::pair<char32_t, char32_t> kCjkRanges[] = {
    {0x1100, 0x11FF}, {0x2E80, 0x2FDF}, {0x3000, 0x303F}, {0x3040, 0x30FF},
    {0x3100, 0x31FF}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF}, {0xAC00, 0xD7AF},
    {0xF900, 0xFAFF}, {0xFE30, 0xFE4F}, {0xFF00, 0xFFEF}, {0x20000, 0x2FA1F},
};
// Arrows, technical signs, dingbats and emoji: Symbola's part.
constexpr std::pair<char32_t, char32_t> kSymbolRanges[] = {
    {0x2190, 0x23FF},
    {0x2460, 0x27BF},
    {0x2900, 0x2BFF},
    {0x1F000, 0x1FAFF},
};
// What DejaVu Serif is known to cover beyond pdflatex: Latin, Greek, Cyrillic, punctuation.
constexpr std::pair<char32_t, char32_t> kSerifRanges[] = {
    {0x0020, 0x007E}, {0x00A0, 0x052F}, {0x1E00, 0x1FFF},
    {0x2000, 0x206F}, {0x20A0, 0x20BF}, {0x2100, 0x214F},
};

template <size_t N> bool inAny(char32_t c, const std::pair<char32_t, char32_t> (&ranges)[N])
{
    for (const auto &[from, to] : ranges) {
        if (inRange(c, from, to))
            return true;
    }
    return false;
}

QString firstFile(const QStringList &roots, const char *relative)
{
    for (const QString &root : roots) {
        const QString file = root + u'/' + QLatin1StringView(relative);
        if (QFileInfo(file).isFile())
            return file;
    }
    return {};
}

// The faces of one DejaVu family that are installed, so a missing italic never stops a run.
QString dejavuFamily(const QString &folder, const QString &command, const QString &base,
                     const QString &italic, const QString &extra)
{
    const QDir dir(folder);
    QString faces = QStringLiteral("UprightFont=*");
    if (dir.exists(base + QStringLiteral("-Bold.ttf")))
        faces += QStringLiteral(", BoldFont=*-Bold");
    if (dir.exists(base + u'-' + italic + QStringLiteral(".ttf")))
        faces += QStringLiteral(", ItalicFont=*-") + italic;
    if (dir.exists(base + QStringLiteral("-Bold") + italic + QStringLiteral(".ttf")))
        faces += QStringLiteral(", BoldItalicFont=*-Bold") + italic;
    return command + u'{' + base + QStringLiteral("}[Path=") + folder +
           QStringLiteral(", Extension=.ttf, ") + faces + extra + QStringLiteral("]\n");
}

QString dejavuFamilies(const QString &folder, const QString &extra)
{
    return dejavuFamily(folder, QStringLiteral("\\setmainfont"), QStringLiteral("DejaVuSerif"),
                        QStringLiteral("Italic"), extra) +
           dejavuFamily(folder, QStringLiteral("\\setsansfont"), QStringLiteral("DejaVuSans"),
                        QStringLiteral("Oblique"), extra) +
           dejavuFamily(folder, QStringLiteral("\\setmonofont"), QStringLiteral("DejaVuSansMono"),
                        QStringLiteral("Oblique"), extra);
}

QString folderOf(const QString &file)
{
    return QFileInfo(file).absolutePath() + u'/';
}

} // namespace

QString defaultHeaderFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/Velunor");
}

const QStringList &knownEngines()
{
    static const QStringList engines{
        QStringLiteral("pdflatex"),    QStringLiteral("xelatex"),    QStringLiteral("lualatex"),
        QStringLiteral("latexmk"),     QStringLiteral("tectonic"),   QStringLiteral("context"),
        QStringLiteral("wkhtmltopdf"), QStringLiteral("weasyprint"), QStringLiteral("pagedjs-cli"),
        QStringLiteral("prince"),      QStringLiteral("pdfroff")};
    return engines;
}

QList<Engine> findEngines(const std::optional<QString> &pathValue)
{
    if (!pathValue)
        return {};
    const QStringList dirs = ConverterSearch::absoluteFolders(*pathValue);
    QList<Engine> found;
    if (dirs.isEmpty())
        return found;
    for (const QString &engine : knownEngines()) {
        const QString path = QStandardPaths::findExecutable(engine, dirs);
        if (!path.isEmpty())
            found.append({engine, QFileInfo(path).absoluteFilePath()});
    }
    return found;
}

bool pdflatexCanSet(QStringView text)
{
    for (const char32_t c : text.toUcs4()) {
        if ((c >= 0x20 && c < 0x7F) || c == u'\n' || c == u'\r' || c == u'\t')
            continue;
        if (c >= 0xA0 && c <= 0x17F && c != 0x138 && c != 0x149 && c != 0x17F)
            continue;
        if (!inPdflatexExtras(c))
            return false;
    }
    return true;
}

Scripts scriptsOf(QStringView text)
{
    Scripts scripts;
    for (const char32_t c : text.toUcs4()) {
        if (c < 0x80)
            continue;
        if (inAny(c, kCjkRanges))
            scripts.cjk = true;
        else if (inAny(c, kSymbolRanges) || c == 0xFE0F || c == 0x200D)
            scripts.symbols = true;
        else if (!inAny(c, kSerifRanges))
            scripts.other = true;
    }
    return scripts;
}

FontChain installedFontChain(const QStringList &fontRoots)
{
    FontChain chain;
    const QString serif = firstFile(fontRoots, "truetype/dejavu/DejaVuSerif.ttf");
    if (!serif.isEmpty())
        chain.mainFolder = folderOf(serif);
    for (const char *cjk :
         {"opentype/noto/NotoSerifCJK-Regular.ttc", "opentype/noto/NotoSansCJK-Regular.ttc"}) {
        const QString file = firstFile(fontRoots, cjk);
        if (!file.isEmpty())
            chain.cjk << file;
    }
    chain.symbols = firstFile(fontRoots, "truetype/ancient-scripts/Symbola_hint.ttf");
    chain.wide = firstFile(fontRoots, "truetype/dejavu/DejaVuSans.ttf");
    return chain;
}

QByteArray lualatexFontHeader(const FontChain &chain, const Scripts &scripts)
{
    // Each fallback font costs time in every face that uses it: only what the text needs.
    QStringList files;
    if (scripts.cjk || scripts.other)
        files << chain.cjk;
    if (scripts.symbols || scripts.other)
        files << chain.symbols;
    if (scripts.other)
        files << chain.wide;
    files.removeAll(QString());
    QString header = QStringLiteral("% Written by Velunor: fonts for text in any script.\n");
    QString extra;
    if (!files.isEmpty()) {
        QStringList fallbacks;
        for (const QString &file : std::as_const(files))
            fallbacks << u"\"[" + file + u"]:mode=harf;\"";
        header += QStringLiteral("\\directlua{luaotfload.add_fallback(\"velunorfallback\", {") +
                  fallbacks.join(QStringLiteral(", ")) + QStringLiteral("})}\n");
        extra = QStringLiteral(", RawFeature={fallback=velunorfallback}");
    }
    if (!chain.mainFolder.isEmpty())
        header += dejavuFamilies(chain.mainFolder, extra);
    return header.toUtf8();
}

QByteArray xelatexFontHeader(const FontChain &chain, const Scripts &scripts)
{
    if (chain.mainFolder.isEmpty() || scripts.other || (scripts.cjk && chain.cjk.isEmpty()) ||
        (scripts.symbols && chain.symbols.isEmpty()))
        return {};
    QString header = QStringLiteral("% Written by Velunor: a font for each script.\n") +
                     dejavuFamilies(chain.mainFolder, {});
    struct Switch
    {
        QString name;
        QString font;
        QString options;
        QList<std::pair<char32_t, char32_t>> ranges;
    };
    QList<Switch> switches;
    if (scripts.cjk) {
        // Index 2 of Noto's collections is Simplified Chinese; it has the kana and hangul too.
        switches.append({QStringLiteral("velunorcjk"),
                         chain.cjk.first(),
                         QStringLiteral(", FontIndex=2"),
                         {std::begin(kCjkRanges), std::end(kCjkRanges)}});
    }
    if (scripts.symbols) {
        QList<std::pair<char32_t, char32_t>> ranges(std::begin(kSymbolRanges),
                                                    std::end(kSymbolRanges));
        ranges.append({0x200D, 0x200D});
        ranges.append({0xFE0F, 0xFE0F});
        switches.append({QStringLiteral("velunorsymbols"), chain.symbols, {}, ranges});
    }
    if (switches.isEmpty())
        return header.toUtf8();
    header += QStringLiteral("\\XeTeXinterchartokenstate=1\n\\makeatletter\n"
                             "\\def\\velunor@classes#1#2#3{\\count@=#1\\relax\\loop"
                             "\\XeTeXcharclass\\count@=#3\\relax"
                             "\\ifnum\\count@<#2\\advance\\count@ by 1\\repeat}\n");
    const auto hex = [](char32_t c) -> QString {
        return u'"' + QString::number(uint(c), 16).toUpper();
    };
    for (const Switch &s : std::as_const(switches)) {
        const QFileInfo font(s.font);
        header += QStringLiteral("\\newfontfamily\\") + s.name + u'{' + font.fileName() +
                  QStringLiteral("}[Path=") + font.absolutePath() + u'/' + s.options +
                  QStringLiteral("]\n\\newXeTeXintercharclass\\") + s.name +
                  QStringLiteral("class\n");
        for (const auto &[from, to] : s.ranges)
            header += QStringLiteral("\\velunor@classes{") + hex(from) + QStringLiteral("}{") +
                      hex(to) + QStringLiteral("}{\\") + s.name + QStringLiteral("class}\n");
        // Into the script's font from ordinary text (0) or a boundary (4095), and back out.
        for (const char *outside : {"0", "4095"}) {
            header += QStringLiteral("\\XeTeXinterchartoks ") + QLatin1StringView(outside) +
                      QStringLiteral(" \\") + s.name + QStringLiteral("class = {\\begingroup\\") +
                      s.name + QStringLiteral("}\n\\XeTeXinterchartoks \\") + s.name +
                      QStringLiteral("class ") + QLatin1StringView(outside) +
                      QStringLiteral(" = {\\endgroup}\n");
        }
    }
    for (const Switch &from : std::as_const(switches)) {
        for (const Switch &to : std::as_const(switches)) {
            if (from.name != to.name)
                header += QStringLiteral("\\XeTeXinterchartoks \\") + from.name +
                          QStringLiteral("class \\") + to.name +
                          QStringLiteral("class = {\\endgroup\\begingroup\\") + to.name +
                          QStringLiteral("}\n");
        }
    }
    header += QStringLiteral("\\makeatother\n");
    return header.toUtf8();
}

} // namespace PdfSetup
