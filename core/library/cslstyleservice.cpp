#include "cslstyleservice.h"

#include "templatelibrary.h"

#include <QFile>
#include <QFileInfo>

namespace {

bool sameContent(const QString &a, const QString &b)
{
    QFile x(a);
    QFile y(b);
    constexpr qint64 kLimit = 16 * 1024 * 1024;
    return QFileInfo(a).isFile() && QFileInfo(b).isFile() && x.size() == y.size() &&
           x.size() < kLimit && x.open(QIODevice::ReadOnly) && y.open(QIODevice::ReadOnly) &&
           x.readAll() == y.readAll();
}

} // namespace

CslStyleService::CslStyleService(const StoreLocation &store, Dialogs *dialogs, StoreLog::Log log,
                                 QObject *parent)
    : QObject(parent), m_store(store), m_dialogs(dialogs), m_log(log),
      m_records(store.isAvailable(), store.cslStylesFile(),
                {QStringLiteral("Die CSL-Stile"),
                 QStringLiteral("❌ Fehler beim Speichern der CSL-Stile: "),
                 QStringLiteral("⚠ Fehler beim Laden der CSL-Stile: "),
                 QStringLiteral("CSL-Stilen")},
                log, [this] { emit changed(); })
{
}

std::optional<CslStyle> CslStyleService::add(const QString &name, const QString &path)
{
    const QString fileName = QFileInfo(path).fileName();
    if (lowerCaseExtension(path) != u"csl") {
        m_log(QStringLiteral("❌ Kein CSL-Stil (.csl): ") + fileName);
        return std::nullopt;
    }
    if (!m_store.isAvailable())
        return std::nullopt;
    std::optional<CslStyle> listed;
    StoredFile stored;
    const CslStyle style{QUuid::createUuid(), name, QString(), QDateTime::currentDateTimeUtc()};
    // Name choice, copy and the listing happen under the list's lock, as for templates.
    const bool written = m_records.update(
        [&](QList<CslStyle> &list) {
            // The same style chosen again is the entry already listed.
            for (const CslStyle &s : std::as_const(list)) {
                if (sameContent(s.filePath, path)) {
                    listed = s;
                    return false;
                }
            }
            QStringList referenced;
            for (const CslStyle &s : std::as_const(list))
                referenced << s.filePath;
            stored = storeLibraryFile(path, m_store.cslFolder(), {}, referenced);
            if (!stored.ok)
                return false;
            list.append(style);
            list.last().filePath = stored.path;
            return true;
        },
        [&stored](bool ok) {
            if (!ok && stored.copied)
                QFile::remove(stored.path);
        });
    if (listed)
        return listed;
    if (!stored.error.isEmpty()) {
        m_log(QStringLiteral("❌ CSL-Stil konnte nicht übernommen werden (") + fileName +
              QStringLiteral("): ") + stored.error);
        return std::nullopt;
    }
    if (!written)
        return std::nullopt;
    m_log(QStringLiteral("✓ CSL-Stil übernommen: ") + style.name);
    CslStyle added = style;
    added.filePath = stored.path;
    return added;
}

std::optional<CslStyle> CslStyleService::remove(const QUuid &id)
{
    const QList<CslStyle> &list = styles();
    const auto it =
        std::find_if(list.cbegin(), list.cend(), [&id](const CslStyle &s) { return s.id == id; });
    if (it == list.cend())
        return std::nullopt;
    const CslStyle style = *it;
    // Files outside the style folder belong to the user, never to the library.
    if (!m_records.remove(
            style, isInLibraryFolder(style.filePath, m_store, QStringLiteral("CSL")),
            {QStringLiteral("CSL-Stil löschen?"),
             QStringLiteral("Die Datei liegt außerhalb des Stil-Ordners und bleibt erhalten."),
             QStringLiteral("Die Datei wird noch von einem anderen CSL-Stil verwendet und bleibt "
                            "erhalten.")},
            m_dialogs))
        return std::nullopt;
    return style;
}
