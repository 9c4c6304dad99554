#include "pdfsetup.h"

#include "convertersearch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

Q_LOGGING_CATEGORY(lcPdf, "velunor.pdf")

namespace PdfSetup {

namespace {

// Reading more than this to choose an engine would make the preview sluggish; a longer
// document is judged by its beginning and, to be safe, gets the Unicode set-up.
constexpr qint64 kScanLimit = 4 * 1024 * 1024;

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

struct FallbackFont
{
    const char *file; // below a font root
};

// Chinese, Japanese and Korean, then monochrome emoji (a colour bitmap font would leave
// the emoji out of the PDF's text), then what Symbola lacks.
constexpr FallbackFont kFallbacks[] = {
    {"opentype/noto/NotoSerifCJK-Regular.ttc"},
    {"opentype/noto/NotoSansCJK-Regular.ttc"},
    {"truetype/ancient-scripts/Symbola_hint.ttf"},
    {"truetype/dejavu/DejaVuSans.ttf"},
};

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

QStringList findEngines(const std::optional<QString> &pathValue)
{
    if (!pathValue)
        return {};
    const QStringList dirs = ConverterSearch::splitPath(*pathValue);
    QStringList found;
    for (const QString &engine : knownEngines()) {
        if (!QStandardPaths::findExecutable(engine, dirs).isEmpty())
            found << engine;
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

FontChain installedFontChain(const QStringList &fontRoots)
{
    FontChain chain;
    for (const QString &root : fontRoots) {
        const QString dejavu = root + QStringLiteral("/truetype/dejavu/");
        if (chain.mainFolder.isEmpty() && QFileInfo::exists(dejavu + u"DejaVuSerif.ttf"))
            chain.mainFolder = dejavu;
        for (const FallbackFont &font : kFallbacks) {
            const QString file = root + u'/' + QLatin1StringView(font.file);
            if (QFileInfo(file).isFile() && !chain.fallbacks.contains(file))
                chain.fallbacks << file;
        }
    }
    return chain;
}

QByteArray lualatexFontHeader(const FontChain &chain)
{
    QStringList fallbacks;
    for (const QString &file : chain.fallbacks)
        fallbacks << u"\"[" + file + u"]:mode=harf;\"";
    QString header = QStringLiteral("% Written by Velunor: fonts for text in any script.\n"
                                    "\\directlua{luaotfload.add_fallback(\"velunorfallback\", {") +
                     fallbacks.join(QStringLiteral(", ")) + QStringLiteral("})}\n");
    if (!chain.mainFolder.isEmpty()) {
        const QDir folder(chain.mainFolder);
        // Only the faces that are installed, so a missing italic never stops the run.
        const auto family = [&](const QString &command, const QString &base,
                                const QString &italic) {
            QString faces = QStringLiteral("UprightFont=*");
            if (folder.exists(base + QStringLiteral("-Bold.ttf")))
                faces += QStringLiteral(", BoldFont=*-Bold");
            if (folder.exists(base + u'-' + italic + QStringLiteral(".ttf")))
                faces += QStringLiteral(", ItalicFont=*-") + italic;
            if (folder.exists(base + QStringLiteral("-Bold") + italic + QStringLiteral(".ttf")))
                faces += QStringLiteral(", BoldItalicFont=*-Bold") + italic;
            header += command + u'{' + base + QStringLiteral("}[Path=") + chain.mainFolder +
                      QStringLiteral(", Extension=.ttf, ") + faces +
                      QStringLiteral(", RawFeature={fallback=velunorfallback}]\n");
        };
        family(QStringLiteral("\\setmainfont"), QStringLiteral("DejaVuSerif"),
               QStringLiteral("Italic"));
        family(QStringLiteral("\\setsansfont"), QStringLiteral("DejaVuSans"),
               QStringLiteral("Oblique"));
        family(QStringLiteral("\\setmonofont"), QStringLiteral("DejaVuSansMono"),
               QStringLiteral("Oblique"));
    }
    return header.toUtf8();
}

} // namespace PdfSetup

PdfSetupPlanner::PdfSetupPlanner(QStringList engines, QString headerFolder)
    : m_engines(std::move(engines)), m_headerFolder(std::move(headerFolder))
{
}

bool PdfSetupPlanner::needsUnicode(const QString &inputPath) const
{
    const QFileInfo info(inputPath);
    Scan &scan = m_scans[info.absoluteFilePath()];
    if (scan.size == info.size() && scan.modified == info.lastModified())
        return scan.unicode;
    scan.size = info.size();
    scan.modified = info.lastModified();
    scan.unicode = true;
    QFile file(inputPath);
    // Only regular files: a FIFO would block the UI thread.
    if (!info.isFile() || info.size() > PdfSetup::kScanLimit || !file.open(QIODevice::ReadOnly))
        return scan.unicode;
    const QByteArray bytes = file.read(PdfSetup::kScanLimit);
    // Office and e-book files are zip archives; their text cannot be seen from here.
    if (bytes.startsWith("PK\x03\x04"))
        return scan.unicode;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    scan.unicode = decoder.hasError() || !PdfSetup::pdflatexCanSet(text);
    return scan.unicode;
}

QString PdfSetupPlanner::automaticEngine(const QString &inputPath) const
{
    const auto has = [this](const char *engine) {
        return m_engines.contains(QLatin1StringView(engine));
    };
    if (has("pdflatex") && !needsUnicode(inputPath))
        return QStringLiteral("pdflatex");
    // lualatex takes fallback fonts for every script; the others need help per script.
    for (const char *engine : {"lualatex", "xelatex", "weasyprint", "wkhtmltopdf", "pdflatex"}) {
        if (has(engine))
            return QLatin1StringView(engine).toString();
    }
    return {};
}

QStringList PdfSetupPlanner::arguments(const QString &engine, const QString &inputPath) const
{
    if (engine != PdfSetup::kAutomatic)
        return engine.isEmpty() ? QStringList{} : QStringList{u"--pdf-engine=" + engine};
    const QString chosen = automaticEngine(inputPath);
    // pdflatex is pandoc's own default, so Latin text keeps the plain command line.
    if (chosen.isEmpty() || chosen == u"pdflatex")
        return {};
    QStringList args{u"--pdf-engine=" + chosen};
    if (chosen == u"lualatex") {
        const QString header = fontHeaderPath();
        if (!header.isEmpty())
            args << u"--include-in-header=" + header;
    } else if (chosen == u"xelatex") {
        args << QStringLiteral("--variable=mainfont:DejaVu Serif");
    }
    return args;
}

QString PdfSetupPlanner::fontHeaderPath() const
{
    if (!m_headerPath.isEmpty() && QFileInfo(m_headerPath).isFile())
        return m_headerPath;
    m_headerPath.clear();
    const PdfSetup::FontChain chain = PdfSetup::installedFontChain();
    if (chain.fallbacks.isEmpty() && chain.mainFolder.isEmpty())
        return {};
    const QByteArray content = PdfSetup::lualatexFontHeader(chain);
    const QString path = QDir(m_headerFolder).filePath(QStringLiteral("unicode-fonts.tex"));
    QFile existing(path);
    if (QFileInfo(path).isFile() && existing.open(QIODevice::ReadOnly) &&
        existing.readAll() == content) {
        m_headerPath = path;
        return m_headerPath;
    }
    QSaveFile out(path);
    if (!QDir().mkpath(m_headerFolder) || !out.open(QIODevice::WriteOnly) ||
        out.write(content) != content.size() || !out.commit()) {
        qCWarning(lcPdf) << "cannot write font header" << path << out.errorString();
        return {};
    }
    m_headerPath = path;
    return m_headerPath;
}
