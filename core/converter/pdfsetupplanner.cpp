// Which engine and font header one input gets.
#include "pdfsetup.h"

#include "atomicwrite.h"
#include "fileowner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringDecoder>

Q_LOGGING_CATEGORY(lcPdf, "velunor.pdf")

namespace {

// Reading more than this to choose an engine would make the preview sluggish; a longer
// document is judged by its beginning and, to be safe, gets the Unicode set-up.
constexpr qint64 kScanLimit = 4 * 1024 * 1024;

} // namespace

PdfSetupPlanner::PdfSetupPlanner(QList<PdfSetup::Engine> engines, QString headerFolder,
                                 QStringList fontRoots)
    : m_headerFolder(std::move(headerFolder)), m_fontRoots(std::move(fontRoots))
{
    for (const PdfSetup::Engine &engine : std::as_const(engines)) {
        m_names << engine.name;
        m_paths.insert(engine.name, engine.path);
    }
}

const PdfSetup::FontChain &PdfSetupPlanner::fonts() const
{
    if (!m_fonts)
        m_fonts = PdfSetup::installedFontChain(m_fontRoots);
    return *m_fonts;
}

std::optional<QString> PdfSetupPlanner::fileText(const QString &inputPath) const
{
    const QFileInfo info(inputPath);
    Scan &scan = m_scans[info.absoluteFilePath()];
    if (scan.size == info.size() && scan.modified == info.lastModified())
        return scan.text;
    scan.size = info.size();
    scan.modified = info.lastModified();
    scan.text.reset();
    QFile file(inputPath);
    // Only regular files: a FIFO would block the UI thread.
    if (!info.isFile() || info.size() > kScanLimit || !file.open(QIODevice::ReadOnly))
        return scan.text;
    const QByteArray bytes = file.read(kScanLimit);
    // Office and e-book files are zip archives; their text cannot be seen from here.
    if (bytes.startsWith("PK\x03\x04"))
        return scan.text;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        scan.text = text;
    return scan.text;
}

QString PdfSetupPlanner::automaticEngine(const QString &inputPath) const
{
    return automaticEngineForText(fileText(inputPath));
}

QString PdfSetupPlanner::automaticEngineForText(const std::optional<QString> &text) const
{
    const auto has = [this](const char *engine) {
        return m_paths.contains(QLatin1StringView(engine));
    };
    if (has("pdflatex") && text && PdfSetup::pdflatexCanSet(*text))
        return QStringLiteral("pdflatex");
    // xelatex is the fastest where its per-script fonts are known to cover the text; lualatex
    // falls back glyph by glyph and so sets any script, also a text we could not read.
    if (has("xelatex") && text &&
        !PdfSetup::xelatexFontHeader(fonts(), PdfSetup::scriptsOf(*text)).isEmpty())
        return QStringLiteral("xelatex");
    for (const char *engine : {"lualatex", "xelatex", "weasyprint", "wkhtmltopdf", "pdflatex"}) {
        if (has(engine))
            return QLatin1StringView(engine).toString();
    }
    return {};
}

QString PdfSetupPlanner::engineArgument(const QString &engine) const
{
    // The absolute path: pandoc's own search would also look in the input's folder when PATH
    // names it ('.', an empty entry).
    return u"--pdf-engine=" + m_paths.value(engine, engine);
}

QStringList PdfSetupPlanner::arguments(const QString &engine, const QString &inputPath) const
{
    if (engine != PdfSetup::kAutomatic)
        return argumentsForText(engine, std::nullopt);
    return argumentsForText(engine, fileText(inputPath));
}

QStringList PdfSetupPlanner::argumentsForText(const QString &engine,
                                              const std::optional<QString> &text) const
{
    if (engine != PdfSetup::kAutomatic)
        return engine.isEmpty() ? QStringList{} : QStringList{engineArgument(engine)};
    const QString chosen = automaticEngineForText(text);
    if (chosen.isEmpty())
        return {};
    QStringList args{engineArgument(chosen)};
    // Not knowing the text, prepare for every script.
    const PdfSetup::Scripts scripts =
        text ? PdfSetup::scriptsOf(*text) : PdfSetup::Scripts{true, true, true};
    QString name;
    QByteArray content;
    if (chosen == u"lualatex") {
        name = QStringLiteral("unicode-fonts");
        content = PdfSetup::lualatexFontHeader(fonts(), scripts);
    } else if (chosen == u"xelatex") {
        name = QStringLiteral("script-fonts");
        content = PdfSetup::xelatexFontHeader(fonts(), scripts);
    }
    if (scripts.cjk)
        name += QStringLiteral("-cjk");
    if (scripts.symbols)
        name += QStringLiteral("-symbols");
    if (scripts.other)
        name += QStringLiteral("-other");
    if (!content.isEmpty()) {
        const QString header = headerPath(name + QStringLiteral(".tex"), content);
        if (!header.isEmpty())
            args << u"--include-in-header=" + header;
    }
    return args;
}

QString PdfSetupPlanner::headerPath(const QString &name, const QByteArray &content) const
{
    const QString path = QDir(m_headerFolder).filePath(name);
    const QFileInfo info(path);
    if (m_written.value(path) == content && info.isFile() && !info.isSymLink())
        return path;
    m_written.remove(path);
    // The engines read this file: a folder others can write to could hand them anything.
    if (!QFileInfo::exists(m_headerFolder) && QDir().mkpath(m_headerFolder))
        QFile::setPermissions(m_headerFolder,
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QString reason;
    if (!isPrivateFolder(m_headerFolder, &reason)) {
        qCWarning(lcPdf) << "font header folder" << m_headerFolder << reason;
        return {};
    }
    QFile existing(path);
    if (!info.isSymLink() && info.isFile() && existing.open(QIODevice::ReadOnly) &&
        existing.readAll() == content) {
        m_written.insert(path, content);
        return path;
    }
    existing.close();
    // A link is removed, not followed: the header is always a fresh file of ours.
    if (info.isSymLink() && !QFile::remove(path)) {
        qCWarning(lcPdf) << "cannot remove link at" << path;
        return {};
    }
    QString error;
    if (!writeFileAtomically(path, content, &error)) {
        qCWarning(lcPdf) << "cannot write font header" << path << error;
        return {};
    }
    m_written.insert(path, content);
    return path;
}
