// Preset store and template index operations of the view model.
#include "pandocviewmodel.h"

#include "presetlist.h"

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

template <typename T>
void PandocViewModel::showSynced(const StoreBinding<T> &binding, QList<T> records,
                                 const typename SharedRecordStore<T>::Saved &synced, bool write)
{
    if (synced.merged)
        logMerge(binding.what, synced.conflicts);
    // Another window deleted what this one changed: the deletion stands.
    for (const QString &name : synced.droppedEdits)
        appendLog(QStringLiteral("⚠ Inzwischen in einem anderen Velunor gelöscht, die Änderung "
                                 "wurde verworfen: ") +
                  name);
    if (write && synced.changed) {
        logSaveResult(synced.result, binding.failure);
        if (!synced.result.ok)
            records = binding.store.stored();
    }
    (this->*binding.show)(records);
}

PandocViewModel::StoreBinding<Preset> PandocViewModel::presetBinding()
{
    return {m_presetStore, &PandocViewModel::presets, &PandocViewModel::setPresets,
            QStringLiteral("Die Presets"), QStringLiteral("❌ Fehler beim Speichern der Presets: ")};
}

PandocViewModel::StoreBinding<Template> PandocViewModel::templateBinding()
{
    return {m_templateIndex, &PandocViewModel::templates, &PandocViewModel::setTemplates,
            QStringLiteral("Die Templates"),
            QStringLiteral("❌ Fehler beim Speichern der Templates: ")};
}

PandocViewModel::StoreBinding<CslStyle> PandocViewModel::cslBinding()
{
    return {m_cslIndex, &PandocViewModel::cslStyles, &PandocViewModel::setCslStyles,
            QStringLiteral("Die CSL-Stile"),
            QStringLiteral("❌ Fehler beim Speichern der CSL-Stile: ")};
}

void PandocViewModel::setCslStyles(const QList<CslStyle> &value)
{
    assign(m_cslStyles, value, &PandocViewModel::cslStylesChanged);
}

template void PandocViewModel::showSynced(const StoreBinding<Preset> &, QList<Preset>,
                                          const SharedPresetStore::Saved &, bool);
template void PandocViewModel::showSynced(const StoreBinding<Template> &, QList<Template>,
                                          const SharedTemplateIndex::Saved &, bool);
template void PandocViewModel::showSynced(const StoreBinding<CslStyle> &, QList<CslStyle>,
                                          const SharedCslStyleIndex::Saved &, bool);

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
    return presetFromSettings(m_settings, name);
}

void PandocViewModel::savePreset(const QString &name)
{
    const Preset preset = currentSettingsAsPreset(name);
    if (updateStore(presetBinding(), m_presets, [&preset](QList<Preset> &list) {
            upsertPresetByName(list, preset);
            return true;
        }))
        appendLog(QStringLiteral("✓ Preset gespeichert: ") + name);
}

void PandocViewModel::loadPreset(const Preset &preset)
{
    const ConversionSettings s = settingsFromPreset(preset, m_templates, m_settings);
    // Through the setters, in this order, so that each change is announced as before.
    setInputFormat(s.inputFormat);
    setOutputFormat(s.outputFormat);
    setStandalone(s.standalone);
    setTableOfContents(s.tableOfContents);
    setNumberSections(s.numberSections);
    setAdditionalOptions(s.additionalOptions);
    setSelectedHtmlTemplate(s.htmlTemplate);
    setSelectedCssTemplate(s.cssTemplate);
    setSelectedLatexTemplate(s.latexTemplate);
    setSelectedDocxTemplate(s.docxTemplate);
    setPdfEngine(s.pdfEngine);
    setBibliographyFile(s.citations.bibliography);
    setCslFile(s.citations.csl);
    setProcessCitations(s.citations.process);
    assign(m_settings.options, s.options, &PandocViewModel::optionValuesChanged);
    updateTemplateVisibility();
    appendLog(QStringLiteral("✓ Preset geladen: ") + preset.name);
    warnAboutPresetNeeds(preset);
}

void PandocViewModel::deleteSelectedPreset()
{
    if (!m_selectedPreset)
        return;
    const Preset selected = *m_selectedPreset;
    if (!updateStore(presetBinding(), m_presets, [&selected](QList<Preset> &list) {
            removePresetsById(list, selected.id);
            return true;
        }))
        return;
    setSelectedPreset(std::nullopt);
    appendLog(QStringLiteral("✓ Preset gelöscht: ") + selected.name);
}

void PandocViewModel::savePresetsToFile()
{
    updateStore(presetBinding(), m_presets, [](QList<Preset> &) { return true; });
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
    updateStore(templateBinding(), m_templates, [](QList<Template> &) { return true; });
}

void PandocViewModel::refreshTemplatesFromDisk()
{
    if (!m_env.store.isAvailable())
        return;
    QList<Template> records = m_templates;
    const auto synced = m_templateIndex.refresh(records);
    showSynced(templateBinding(), std::move(records), synced, false);
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
