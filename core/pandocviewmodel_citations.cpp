// Citation settings and the CSL style library of the view model.
#include "pandocviewmodel.h"

#include "templatelibrary.h"

#include <QFile>
#include <QFileInfo>

namespace {

std::optional<QString> unlessEmpty(const QString &text)
{
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

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
    if (m_bibliographyFile == value)
        return;
    const bool wasEmpty = m_bibliographyFile.isEmpty();
    m_bibliographyFile = value;
    emit bibliographyFileChanged();
    if (wasEmpty != value.isEmpty())
        setProcessCitations(!value.isEmpty());
}

void PandocViewModel::setCslFile(const QString &value)
{
    assign(m_cslFile, value, &PandocViewModel::cslFileChanged);
}

void PandocViewModel::setProcessCitations(bool value)
{
    assign(m_processCitations, value, &PandocViewModel::processCitationsChanged);
}

CitationSettings PandocViewModel::citationSettings() const
{
    return {m_bibliographyFile, m_cslFile, m_processCitations};
}

void PandocViewModel::logCitationWarnings(const QString &errorText)
{
    for (const QString &line : citationWarnings(errorText))
        appendLog(line);
}

void PandocViewModel::writeCitationSettings(Preset &preset) const
{
    preset.bibliography = unlessEmpty(m_bibliographyFile);
    preset.csl = unlessEmpty(m_cslFile);
    // Stored only where it differs from what a bibliography alone implies.
    preset.citeproc = m_processCitations == preset.bibliography.has_value()
                          ? std::nullopt
                          : std::optional<bool>(m_processCitations);
}

void PandocViewModel::readCitationSettings(const Preset &preset)
{
    // A preset is a whole snapshot: one without citations turns them off.
    setBibliographyFile(preset.bibliography.value_or(QString()));
    setCslFile(preset.csl.value_or(QString()));
    setProcessCitations(preset.citeproc.value_or(preset.bibliography.has_value()));
}

// --- CSL style library ---

void PandocViewModel::loadCslStyles()
{
    if (!m_env.store.isAvailable())
        return;
    auto loaded = m_cslIndex.load();
    if (loaded.state == RecordFile::LoadState::Failed)
        appendLog(QStringLiteral("⚠ Fehler beim Laden der CSL-Stile: ") + loaded.error);
    else if (loaded.state == RecordFile::LoadState::Loaded)
        assign(m_cslStyles, loaded.records, &PandocViewModel::cslStylesChanged);
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
    // The same style chosen again is the entry already listed.
    for (const CslStyle &s : std::as_const(m_cslStyles)) {
        if (sameContent(s.filePath, path))
            return s;
    }
    QStringList referenced;
    for (const CslStyle &s : std::as_const(m_cslStyles))
        referenced << s.filePath;
    const StoredFile stored = storeTemplateFile(path, m_env.store.cslFolder(), referenced);
    if (!stored.ok) {
        appendLog(QStringLiteral("❌ CSL-Stil konnte nicht übernommen werden (") + fileName +
                  QStringLiteral("): ") + stored.error);
        return std::nullopt;
    }
    CslStyle style{QUuid::createUuid(), name, stored.path, QDateTime::currentDateTimeUtc()};
    m_cslStyles.append(style);
    emit cslStylesChanged();
    logSaveResult(m_cslIndex.save(m_cslStyles),
                  QStringLiteral("❌ Fehler beim Speichern der CSL-Stile: "));
    appendLog(QStringLiteral("✓ CSL-Stil übernommen: ") + style.name);
    return style;
}

bool PandocViewModel::deleteCslStyle(const QUuid &id)
{
    // A running conversion may still need the file.
    if (m_isConverting) {
        appendLog(QStringLiteral("⚠ CSL-Stile können während einer Konvertierung nicht gelöscht "
                                 "werden"));
        return false;
    }
    const auto it = std::find_if(m_cslStyles.cbegin(), m_cslStyles.cend(),
                                 [&id](const CslStyle &s) { return s.id == id; });
    if (it == m_cslStyles.cend())
        return false;
    const CslStyle style = *it;
    if (!m_env.dialogs ||
        !m_env.dialogs->showWarningQuestion(
            QStringLiteral("CSL-Stil löschen?"),
            QStringLiteral("Möchten Sie '") + style.name +
                QStringLiteral("' wirklich löschen?\n\nDie Datei wird ebenfalls gelöscht!"),
            QStringLiteral("Löschen"), QStringLiteral("Abbrechen")))
        return false;
    m_cslStyles.removeIf([&id](const CslStyle &s) { return s.id == id; });
    emit cslStylesChanged();
    // Files outside the style folder belong to the user, never to the library.
    if (isStoredIn(style.filePath, m_env.store.cslFolder()))
        QFile::remove(style.filePath);
    if (m_env.store.isAvailable())
        logSaveResult(m_cslIndex.save(m_cslStyles),
                      QStringLiteral("❌ Fehler beim Speichern der CSL-Stile: "));
    if (!m_cslFile.isEmpty() && isSameFile(m_cslFile, style.filePath))
        setCslFile(QString());
    appendLog(QStringLiteral("✓ CSL-Stil gelöscht: ") + style.name);
    return true;
}
