#include "templatelibrary.h"

#include "atomicwrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

QString importExtension(TemplateType type)
{
    switch (type) {
    case TemplateType::Html:
        return QStringLiteral("html");
    case TemplateType::Latex:
        return QStringLiteral("tex");
    case TemplateType::DocxReference:
        return QStringLiteral("docx");
    case TemplateType::Css:
        return QStringLiteral("css");
    }
    return {};
}

std::optional<TemplateType> templateTypeForFile(const QString &fileName)
{
    const QString ext = lowerCaseExtension(fileName);
    for (TemplateType type : templateTypeAllCases) {
        if (ext == importExtension(type))
            return type;
    }
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
    return storeLibraryFile(source, kindFolder, {QFileInfo(kindFolder).absolutePath()},
                            referencedPaths);
}

StoredFile storeLibraryFile(const QString &source, const QString &kindFolder,
                            const QStringList &realFolders, const QStringList &referencedPaths)
{
    StoredFile result;
    QDir().mkpath(kindFolder);
    // Through a linked folder the copy would land outside the library.
    for (const QString &folder : QStringList{kindFolder} + realFolders) {
        if (QFileInfo(folder).isSymLink()) {
            result.error = QStringLiteral("Der Ordner ist ein Link: ") + folder;
            return result;
        }
    }
    const QString fileName = lastComponent(source);
    QString destination = QDir(kindFolder).absoluteFilePath(fileName);
    // A chosen link is read through; a link in the library is never written through.
    const QFileInfo chosen(source);
    const QString from =
        chosen.isSymLink() && chosen.exists() ? chosen.canonicalFilePath() : source;
    const bool destinationIsLink = QFileInfo(destination).isSymLink();

    // Removing the destination first would remove the source itself.
    if (!destinationIsLink && QFileInfo::exists(from) && isSameFile(from, destination)) {
        result.ok = true;
        result.path = destination;
        return result;
    }
    for (int n = 2; isAnyOf(destination, referencedPaths); ++n)
        destination = QDir(kindFolder).absoluteFilePath(numberedFileName(fileName, n));

    QFile link(destination);
    if (QFileInfo(destination).isSymLink() && !link.remove()) {
        result.error = link.errorString();
        return result;
    }
    result.ok = copyFileReplacing(from, destination, &result.error);
    if (result.ok) {
        result.path = destination;
        result.copied = true;
    }
    return result;
}

bool isInKindFolder(const QString &filePath, const StoreLocation &store, TemplateType type)
{
    return isInLibraryFolder(filePath, store, QStringLiteral("Templates/") + rawValue(type));
}

bool isInLibraryFolder(const QString &filePath, const StoreLocation &store, const QString &folder)
{
    if (!store.isAvailable() || QDir::isRelativePath(filePath))
        return false;
    // The store folder itself may be reached through a link (a moved data folder); below it
    // every folder must be real, and the file must resolve into the given one.
    const QString storeFolder = QFileInfo(store.storeFolder()).canonicalFilePath();
    const QString kindFolder =
        (storeFolder.isEmpty() ? QDir::cleanPath(store.storeFolder()) : storeFolder) + u'/' +
        folder;
    const QFileInfo file(filePath);
    QString resolved;
    if (file.exists()) {
        resolved = QFileInfo(file.canonicalFilePath()).absolutePath();
    } else if (file.isSymLink()) {
        return false; // a dangling link points nobody knows where
    } else {
        resolved = QFileInfo(file.absolutePath()).canonicalFilePath();
        if (resolved.isEmpty())
            resolved = QDir::cleanPath(file.absolutePath());
    }
    return resolved == kindFolder;
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
    AtomicWrite out(destination);
    if (!out.open()) {
        *error = out.errorString();
        return false;
    }
    constexpr qint64 kChunk = 1 << 20;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        if (in.error() != QFileDevice::NoError) {
            *error = in.errorString();
            return false;
        }
        if (!out.write(chunk)) {
            *error = out.errorString();
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
