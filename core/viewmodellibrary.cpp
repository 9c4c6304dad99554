// The view model's operations on presets, the template library, citation styles and
// defaults files; the rest is in pandocviewmodel.cpp.
#include "pandocviewmodel.h"

#include "filepaths.h"
#include "templatelibrary.h"

#include <QTextStream>

// --- presets ---

void PandocViewModel::savePreset(const QString &name)
{
    if (m_presets.save(presetFromSettings(settings(), name)))
        appendLog(QStringLiteral("✓ Preset gespeichert: ") + name);
}

void PandocViewModel::loadPreset(const Preset &preset)
{
    // In the order presets have always been loaded, so that each change is announced as before.
    m_settings.apply(settingsFromPreset(preset, templates(), settings()));
    updateTemplateVisibility();
    appendLog(QStringLiteral("✓ Preset geladen: ") + preset.name);
    for (const QString &line :
         m_converter.presetWarnings(preset.inputFormat, preset.outputFormat, settings().pdfEngine))
        appendLog(line);
    m_converter.warnUnknownExtensions(settings());
}

// --- libraries ---

void PandocViewModel::handleTemplateImport(const PanelResult &outcome)
{
    if (outcome.error) {
        QTextStream(stdout) << QStringLiteral("Import failed: ") << *outcome.error << Qt::endl;
        appendLog(QStringLiteral("❌ Import fehlgeschlagen: ") + *outcome.error);
        return;
    }
    for (const QUrl &url : outcome.urls)
        importTemplate(url);
}

void PandocViewModel::importTemplate(const QUrl &file)
{
    // Citation styles have a list of their own beside the template index.
    if (file.isLocalFile() && lowerCaseExtension(file.toLocalFile()) == u"csl")
        importCslStyle(file.toLocalFile());
    else
        m_library.importFile(file);
}

bool PandocViewModel::addTemplate(const QString &name, TemplateType type, const QString &filePath,
                                  const QString &description)
{
    return m_library.add(name, type, filePath, description);
}

bool PandocViewModel::deleteTemplate(const Template &record)
{
    // A running conversion may still need the file.
    if (m_isConverting) {
        appendLog(QStringLiteral("⚠ Templates können während einer Konvertierung nicht gelöscht "
                                 "werden"));
        return false;
    }
    return m_library.remove(record);
}

bool PandocViewModel::exportTemplate(const Template &record, const QString &destination)
{
    return m_library.exportTo(record, destination);
}

QList<Template> PandocViewModel::filteredTemplates(std::optional<TemplateType> type,
                                                   bool favoritesOnly) const
{
    return m_library.filtered(type, favoritesOnly);
}

QStringList PandocViewModel::outsideTemplateWarnings(const QList<Template> &passed) const
{
    return m_library.outsideWarnings(passed);
}

std::optional<CslStyle> PandocViewModel::importCslStyle(const QString &path)
{
    return m_styles.add(templateNameForFile(path), path);
}

std::optional<CslStyle> PandocViewModel::addCslStyle(const QString &name, const QString &path)
{
    return m_styles.add(name, path);
}

bool PandocViewModel::deleteCslStyle(const QUuid &id)
{
    if (m_isConverting) {
        appendLog(QStringLiteral("⚠ CSL-Stile können während einer Konvertierung nicht gelöscht "
                                 "werden"));
        return false;
    }
    const std::optional<CslStyle> removed = m_styles.remove(id);
    if (!removed)
        return false;
    if (!settings().citations.csl.isEmpty() &&
        isSameFile(settings().citations.csl, removed->filePath))
        setCslFile(QString());
    appendLog(QStringLiteral("✓ CSL-Stil gelöscht: ") + removed->name);
    return true;
}

bool PandocViewModel::exportDefaultsFile(const std::optional<Preset> &preset, const QString &path)
{
    return m_defaults.exportFile(preset, settings(), m_files.firstInput(), path);
}

bool PandocViewModel::importDefaultsFile(const QString &path, const QStringList &inputChoices,
                                         const QStringList &outputChoices)
{
    return m_defaults.importFile(path, inputChoices, outputChoices);
}

void PandocViewModel::toggleFavorite(const std::optional<Template> &selected)
{
    m_library.toggleFavorite(selected);
}

void PandocViewModel::updateDescription(const QUuid &id, const QString &text)
{
    m_library.updateDescription(id, text);
}

std::optional<QString> PandocViewModel::optionValue(const QString &name) const
{
    return m_settings.option(name);
}

void PandocViewModel::setOptionValue(const QString &name, const std::optional<QString> &value)
{
    m_settings.setOption(name, value);
}
