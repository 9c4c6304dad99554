#include "typedpath.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

TypedPath checkTypedFile(const QString &typed)
{
    QString path = typed.trimmed();
    if (path.size() >= 2 && (path.front() == u'"' || path.front() == u'\'') &&
        path.back() == path.front())
        path = path.mid(1, path.size() - 2);
    if (path.startsWith(u"file://")) {
        const QUrl url(path);
        path = url.isLocalFile() ? url.toLocalFile() : QString();
    }
    if (path == u"~" || path.startsWith(u"~/"))
        path = QDir::homePath() + path.mid(1);
    if (path.isEmpty())
        return {{}, QStringLiteral("Bitte einen Dateipfad angeben.")};
    if (QDir::isRelativePath(path))
        return {{},
                QStringLiteral("Bitte den vollständigen Pfad angeben (beginnend mit /): ") + path};
    const QFileInfo info(path);
    path = QDir::cleanPath(info.absoluteFilePath());
    if (!info.exists())
        return {{}, QStringLiteral("Datei nicht gefunden: ") + path};
    if (info.isDir())
        return {{}, QStringLiteral("Das ist ein Ordner, keine Datei: ") + path};
    if (!info.isFile())
        return {{}, QStringLiteral("Keine gewöhnliche Datei: ") + path};
    if (!info.isReadable())
        return {{}, QStringLiteral("Datei nicht lesbar: ") + path};
    return {path, {}};
}
