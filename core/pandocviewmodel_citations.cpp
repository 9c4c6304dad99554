// Citation settings and the CSL style library of the view model.
#include "pandocviewmodel.h"

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

void PandocViewModel::setBibliographyFile(const QString &value)
{
    if (m_settings.citations.bibliography == value)
        return;
    const bool wasEmpty = m_settings.citations.bibliography.isEmpty();
    m_settings.citations.bibliography = value;
    emit bibliographyFileChanged();
    if (wasEmpty != value.isEmpty())
        setProcessCitations(!value.isEmpty());
}

void PandocViewModel::setCslFile(const QString &value)
{
    assign(m_settings.citations.csl, value, &PandocViewModel::cslFileChanged);
}

void PandocViewModel::setProcessCitations(bool value)
{
    assign(m_settings.citations.process, value, &PandocViewModel::processCitationsChanged);
}

CitationSettings PandocViewModel::citationSettings() const
{
    return m_settings.citations;
}

void PandocViewModel::logCitationWarnings(const QString &errorText)
{
    for (const QString &line : citationWarnings(errorText))
        appendLog(line);
}

// --- CSL style library ---

void PandocViewModel::loadCslStyles()
{
    if (!m_env.store.isAvailable())
        return;
    auto loaded = m_cslIndex.load();
    if (loaded.state == RecordFile::LoadState::Failed)
        appendLog(QStringLiteral("⚠ Fehler beim Laden der CSL-Stile: ") + loaded.error);
    // Deleting by id must address exactly one style and its file.
    logRenewedIds(renewDuplicateIds(loaded.records), QStringLiteral("CSL-Stilen"));
    if (loaded.state == RecordFile::LoadState::Loaded)
        setCslStyles(loaded.records);
}

std::optional<CslStyle> PandocViewModel::importCslStyle(const QString &path)
{
    return addCslStyle(templateNameForFile(path), path);
}

std::optional<CslStyle> PandocViewModel::addCslStyle(const QString &name, const QString &path)
{
    const QString fileName = QFileInfo(path).fileName();
    if (lowerCaseExtension(path) != u"csl") {
        appendLog(QStringLiteral("❌ Kein CSL-Stil (.csl): ") + fileName);
        return std::nullopt;
    }
    if (!m_env.store.isAvailable())
        return std::nullopt;
    std::optional<CslStyle> listed;
    StoredFile stored;
    const CslStyle style{QUuid::createUuid(), name, QString(), QDateTime::currentDateTimeUtc()};
    // Name choice, copy and the listing happen under the list's lock, as for templates.
    const bool written = updateStore(
        cslBinding(), m_cslStyles,
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
            stored = storeLibraryFile(path, m_env.store.cslFolder(), {}, referenced);
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
        appendLog(QStringLiteral("❌ CSL-Stil konnte nicht übernommen werden (") + fileName +
                  QStringLiteral("): ") + stored.error);
        return std::nullopt;
    }
    if (!written)
        return std::nullopt;
    appendLog(QStringLiteral("✓ CSL-Stil übernommen: ") + style.name);
    CslStyle added = style;
    added.filePath = stored.path;
    return added;
}

bool PandocViewModel::deleteCslStyle(const QUuid &id)
{
    const auto it = std::find_if(m_cslStyles.cbegin(), m_cslStyles.cend(),
                                 [&id](const CslStyle &s) { return s.id == id; });
    if (it == m_cslStyles.cend())
        return false;
    const CslStyle style = *it;
    // Files outside the style folder belong to the user, never to the library.
    if (!deleteStoredRecord(
            cslBinding(), style,
            isInLibraryFolder(style.filePath, m_env.store, QStringLiteral("CSL")),
            {QStringLiteral("CSL-Stil löschen?"),
             QStringLiteral("⚠ CSL-Stile können während einer Konvertierung nicht gelöscht werden"),
             QStringLiteral("Die Datei liegt außerhalb des Stil-Ordners und bleibt erhalten."),
             QStringLiteral("Die Datei wird noch von einem anderen CSL-Stil verwendet und bleibt "
                            "erhalten.")}))
        return false;
    if (!m_settings.citations.csl.isEmpty() && isSameFile(m_settings.citations.csl, style.filePath))
        setCslFile(QString());
    appendLog(QStringLiteral("✓ CSL-Stil gelöscht: ") + style.name);
    return true;
}
