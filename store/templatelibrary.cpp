#include "templatelibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>

namespace {

// A leading dot marks a hidden file, not an extension.
qsizetype extensionDot(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? dot : -1;
}

QString lastComponent(const QString &path)
{
    return QFileInfo(path).fileName();
}

} // namespace

QString lowerCaseExtension(const QString &fileName)
{
    const QString name = lastComponent(fileName);
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

std::optional<TemplateType> templateTypeForFile(const QString &fileName)
{
    const QString ext = lowerCaseExtension(fileName);
    if (ext == u"html")
        return TemplateType::Html;
    if (ext == u"tex")
        return TemplateType::Latex;
    if (ext == u"docx")
        return TemplateType::DocxReference;
    if (ext == u"css")
        return TemplateType::Css;
    return std::nullopt;
}

QString templateNameForFile(const QString &fileName)
{
    const QString name = lastComponent(fileName);
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? name : name.left(dot);
}

QString numberedFileName(const QString &fileName, int n)
{
    const qsizetype dot = extensionDot(fileName);
    const QString suffix = QStringLiteral(" (") + QString::number(n) + u')';
    if (dot < 0)
        return fileName + suffix;
    return fileName.left(dot) + suffix + fileName.mid(dot);
}

bool isSameFile(const QString &a, const QString &b)
{
    const QFileInfo x(a);
    const QFileInfo y(b);
    if (QDir::cleanPath(x.absoluteFilePath()) == QDir::cleanPath(y.absoluteFilePath()))
        return true;
    return x.exists() && y.exists() && x.canonicalFilePath() == y.canonicalFilePath();
}

bool isAnyOf(const QString &path, const QStringList &paths)
{
    return std::any_of(paths.begin(), paths.end(),
                       [&path](const QString &other) { return isSameFile(path, other); });
}

StoredFile storeTemplateFile(const QString &source, const QString &kindFolder,
                             const QStringList &referencedPaths)
{
    StoredFile result;
    QDir().mkpath(kindFolder);
    const QString fileName = lastComponent(source);
    QString destination = QDir(kindFolder).absoluteFilePath(fileName);

    // Removing the destination first would remove the source itself.
    if (QFileInfo::exists(source) && isSameFile(source, destination)) {
        result.ok = true;
        result.path = destination;
        return result;
    }
    for (int n = 2; isAnyOf(destination, referencedPaths); ++n)
        destination = QDir(kindFolder).absoluteFilePath(numberedFileName(fileName, n));

    result.ok = copyFileReplacing(source, destination, &result.error);
    if (result.ok)
        result.path = destination;
    return result;
}

bool copyFileReplacing(const QString &source, const QString &destination, QString *error)
{
    // A FIFO would block for ever and a device never ends: only regular files are copied.
    if (!QFileInfo(source).isFile()) {
        *error = QStringLiteral("Keine reguläre Datei: ") + source;
        return false;
    }
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = in.errorString();
        return false;
    }
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly)) {
        *error = out.errorString();
        return false;
    }
    constexpr qint64 kChunk = 1 << 20;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        if (in.error() != QFileDevice::NoError) {
            *error = in.errorString();
            out.cancelWriting();
            return false;
        }
        if (out.write(chunk) != chunk.size()) {
            *error = out.errorString();
            out.cancelWriting();
            return false;
        }
    }
    if (!out.commit()) {
        *error = out.errorString();
        return false;
    }
    return true;
}

TextPreview readTextPreview(const QString &path, qint64 maxBytes)
{
    TextPreview preview;
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return preview;
    const QByteArray data = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        return preview;
    const bool truncated = !file.atEnd();

    // At the limit a character may be cut in two: the stateful decoder keeps it pending
    // instead of calling it an error. At the real end an incomplete character is invalid.
    QStringDecoder decoder(QStringDecoder::Utf8, truncated ? QStringDecoder::Flag::Default
                                                           : QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(data);
    if (decoder.hasError())
        return preview;
    preview.state = truncated ? TextPreview::State::Truncated : TextPreview::State::Ok;
    preview.text = std::move(text);
    return preview;
}
