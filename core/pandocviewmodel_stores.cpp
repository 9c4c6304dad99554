// Preset store and template index operations of the view model.
#include "pandocviewmodel.h"

#include "presetlist.h"

namespace {

std::optional<QString> nameOf(const std::optional<Template> &t)
{
    return t ? std::optional<QString>(t->name) : std::nullopt;
}

std::optional<Template> findByName(const QList<Template> &ordered, const QString &name)
{
    for (const Template &t : ordered) {
        if (t.name == name)
            return t;
    }
    return std::nullopt;
}

} // namespace

void PandocViewModel::logSaveResult(const RecordFile::SaveResult &result,
                                    const QString &failurePrefix)
{
    if (!result.keptAside.isEmpty())
        appendLog(QStringLiteral("⚠ Unlesbare Datei aufbewahrt als: ") + result.keptAside);
    if (!result.ok)
        appendLog(failurePrefix + result.error);
}

void PandocViewModel::logMerge(const QString &what, int conflicts)
{
    QString line = QStringLiteral("⚠ ") + what +
                   QStringLiteral(" wurden inzwischen von einem anderen Velunor geändert; "
                                  "beide Änderungen wurden zusammengeführt.");
    if (conflicts > 0)
        line += QStringLiteral(" Bei %1 gleichzeitig geänderten Einträgen gilt die Fassung "
                               "dieses Fensters.")
                    .arg(conflicts);
    appendLog(line);
}

void PandocViewModel::logRenewedIds(qsizetype count, const QString &what)
{
    if (count > 0)
        appendLog(QStringLiteral("⚠ Doppelte IDs in den ") + what + QStringLiteral(": ") +
                  (count == 1 ? QStringLiteral("1 Eintrag hat")
                              : QString::number(count) + QStringLiteral(" Einträge haben")) +
                  QStringLiteral(" eine neue ID erhalten"));
}

// --- presets ---

void PandocViewModel::loadPresets()
{
    if (!m_env.store.isAvailable())
        return;
    auto loaded = m_presetStore.load();
    if (loaded.state == RecordFile::LoadState::Failed)
        appendLog(QStringLiteral("⚠ Fehler beim Laden der Presets: ") + loaded.error);
    else if (loaded.state == RecordFile::LoadState::Loaded)
        setPresets(loaded.records);
}

Preset PandocViewModel::currentSettingsAsPreset(const QString &name) const
{
    Preset preset;
    preset.id = QUuid::createUuid();
    preset.name = name;
    preset.inputFormat = m_inputFormat;
    preset.outputFormat = m_outputFormat;
    preset.htmlTemplate = nameOf(m_selectedHtmlTemplate);
    preset.cssFile = nameOf(m_selectedCssTemplate);
    preset.latexTemplate = nameOf(m_selectedLatexTemplate);
    preset.docxReference = nameOf(m_selectedDocxTemplate);
    preset.standalone = m_standalone;
    preset.tableOfContents = m_tableOfContents;
    preset.numberSections = m_numberSections;
    preset.additionalOptions = m_additionalOptions;
    if (m_pdfEngine != kAutomaticPdfEngine)
        preset.pdfEngine = m_pdfEngine;
    writeCitationSettings(preset);
    return preset;
}

void PandocViewModel::savePreset(const QString &name)
{
    const Preset preset = currentSettingsAsPreset(name);
    QList<Preset> updated = m_presets;
    upsertPresetByName(updated, preset);
    setPresets(updated);
    savePresetsToFile();
    appendLog(QStringLiteral("✓ Preset gespeichert: ") + name);
}

void PandocViewModel::loadPreset(const Preset &preset)
{
    setInputFormat(preset.inputFormat);
    setOutputFormat(preset.outputFormat);
    setStandalone(preset.standalone);
    setTableOfContents(preset.tableOfContents);
    setNumberSections(preset.numberSections);
    setAdditionalOptions(preset.additionalOptions);
    if (preset.htmlTemplate)
        setSelectedHtmlTemplate(findByName(htmlTemplates(), *preset.htmlTemplate));
    if (preset.cssFile)
        setSelectedCssTemplate(findByName(cssTemplates(), *preset.cssFile));
    if (preset.latexTemplate)
        setSelectedLatexTemplate(findByName(latexTemplates(), *preset.latexTemplate));
    if (preset.docxReference)
        setSelectedDocxTemplate(findByName(docxTemplates(), *preset.docxReference));
    setPdfEngine(preset.pdfEngine && !preset.pdfEngine->isEmpty() ? *preset.pdfEngine
                                                                  : kAutomaticPdfEngine);
    readCitationSettings(preset);
    updateTemplateVisibility();
    appendLog(QStringLiteral("✓ Preset geladen: ") + preset.name);
    warnAboutPresetNeeds(preset);
}

void PandocViewModel::deleteSelectedPreset()
{
    if (!m_selectedPreset)
        return;
    const Preset selected = *m_selectedPreset;
    QList<Preset> updated = m_presets;
    removePresetsById(updated, selected.id);
    setPresets(updated);
    setSelectedPreset(std::nullopt);
    savePresetsToFile();
    appendLog(QStringLiteral("✓ Preset gelöscht: ") + selected.name);
}

void PandocViewModel::savePresetsToFile()
{
    if (!m_env.store.isAvailable())
        return;
    QList<Preset> records = m_presets;
    const auto saved = m_presetStore.save(records);
    if (saved.merged) {
        setPresets(records);
        logMerge(QStringLiteral("Die Presets"), saved.conflicts);
    }
    logSaveResult(saved.result, QStringLiteral("❌ Fehler beim Speichern der Presets: "));
}

// --- template index ---

void PandocViewModel::loadTemplates()
{
    if (!m_env.store.isAvailable())
        return;
    auto loaded = m_templateIndex.load();
    if (loaded.state == RecordFile::LoadState::Failed)
        appendLog(QStringLiteral("⚠ Fehler beim Laden der Templates: ") + loaded.error);
    // Every library operation addresses one record by id; presets keep the file's ids.
    logRenewedIds(renewDuplicateIds(loaded.records), QStringLiteral("Templates"));
    if (loaded.state == RecordFile::LoadState::Loaded)
        setTemplates(loaded.records);
}

void PandocViewModel::saveTemplates()
{
    m_descriptionSave.stop();
    syncTemplates(true);
}

void PandocViewModel::refreshTemplatesFromDisk()
{
    syncTemplates(false);
}

void PandocViewModel::syncTemplates(bool write)
{
    if (!m_env.store.isAvailable())
        return;
    QList<Template> records = m_templates;
    const auto synced = write ? m_templateIndex.save(records) : m_templateIndex.refresh(records);
    if (synced.merged) {
        m_templates = std::move(records);
        emit templatesChanged();
        logMerge(QStringLiteral("Die Templates"), synced.conflicts);
    }
    if (write)
        logSaveResult(synced.result, QStringLiteral("❌ Fehler beim Speichern der Templates: "));
}

void PandocViewModel::flushPendingSaves()
{
    if (m_descriptionSave.isActive())
        saveTemplates();
}

void PandocViewModel::updateTemplateLastUsed(const Template &record)
{
    for (Template &t : m_templates) {
        if (t.id == record.id) {
            t.lastUsed = QDateTime::currentDateTimeUtc();
            emit templatesChanged();
            saveTemplates();
            return;
        }
    }
}
