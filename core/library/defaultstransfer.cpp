#include "defaultstransfer.h"

#include "atomicwrite.h"
#include "converterservice.h"
#include "defaultsfile.h"
#include "formatname.h"
#include "optioncatalog.h"
#include "presetservice.h"
#include "settingsdefaults.h"
#include "shellwords.h"
#include "templateservice.h"

#include <QFileInfo>

DefaultsTransfer::DefaultsTransfer(PresetService &presets, const TemplateService &templates,
                                   const ConverterService &converter, Dialogs *dialogs,
                                   StoreLog::Log log)
    : m_presets(presets), m_templates(templates), m_converter(converter), m_dialogs(dialogs),
      m_log(std::move(log))
{
}

bool DefaultsTransfer::exportFile(const std::optional<Preset> &preset,
                                  const ConversionSettings &current, const QString &firstInput,
                                  const QString &path) const
{
    // A preset names its templates the way loading it would find them; the current settings
    // use what is selected.
    const ConversionSettings source =
        preset ? settingsFromPreset(*preset, m_templates.templates(), ConversionSettings{})
               : current;
    const ShellWords options = splitShellWords(source.additionalOptions);
    if (options.error) {
        m_log(QStringLiteral("❌ Zusatzoptionen fehlerhaft: ") + *options.error);
        return false;
    }
    QStringList missing;
    // A preset's template that the library lacks is as missing as one whose file is gone.
    if (preset) {
        const std::pair<const std::optional<QString> &, const std::optional<Template> &> named[] = {
            {preset->htmlTemplate, source.htmlTemplate},
            {preset->cssFile, source.cssTemplate},
            {preset->latexTemplate, source.latexTemplate},
            {preset->docxReference, source.docxTemplate}};
        for (const auto &[name, found] : named) {
            if (name && !found)
                missing << *name;
        }
    }
    // pandoc alone would take pdflatex and fail on other scripts: write what "Automatisch"
    // takes for the first input, or for any script without one.
    // (Asked only then: it writes the font header.)
    const bool automaticPdf =
        converterFormatName(source.outputFormat) == u"pdf" &&
        source.pdfEngine == PdfSetup::kAutomatic &&
        !PandocOptions::uses(PandocOptions::parse(options.words), u"pdf-engine");
    const QStringList automatic =
        automaticPdf ? m_converter.pdfPlanner().arguments(PdfSetup::kAutomatic, firstInput)
                     : QStringList();
    const DefaultsSettings settings =
        defaultsFromSettings(source, options.words, automatic, &missing);
    for (const QString &name : std::as_const(missing))
        m_log(QStringLiteral("⚠ Template nicht gefunden, nicht exportiert: ") + name);

    const QString title = preset ? preset->name : QStringLiteral("aktuelle Einstellungen");
    const DefaultsExport exported = writeDefaults(settings, title);
    QString error;
    if (!writeFileAtomically(path, exported.yaml, &error)) {
        m_log(QStringLiteral("❌ Defaults-Datei konnte nicht geschrieben werden: ") + error);
        return false;
    }
    m_log(QStringLiteral("✓ Defaults-Datei exportiert: ") + QFileInfo(path).fileName());
    for (const QString &group : exported.unmapped)
        m_log(QStringLiteral("⚠ Keine Entsprechung in Defaults-Dateien, als Kommentar "
                             "behalten: ") +
              group);
    return true;
}

QStringList DefaultsTransfer::confirmEffects(const DefaultsImport &read,
                                             DefaultsSettings &settings) const
{
    using namespace PandocOptions;
    QStringList runs;
    QStringList writes;
    QStringList keys;
    for (const DefaultsEffect &effect : read.effects) {
        if (effect.effects & NamesOutput)
            continue; // never taken into a preset
        const QString line = QStringLiteral("  • ") + effect.key + QStringLiteral(": ") +
                             effect.value + QStringLiteral(" (") +
                             QFileInfo(effect.file).fileName() + u')';
        (effect.effects & Writes ? writes : runs) << line;
        keys << effect.key;
    }
    if (keys.isEmpty())
        return {};
    QString message;
    if (!runs.isEmpty())
        message += QStringLiteral("Diese Datei lässt pandoc Programme ausführen:\n") +
                   runs.join(u'\n') + QStringLiteral("\n\n");
    if (!writes.isEmpty())
        message += QStringLiteral("Diese Datei lässt pandoc Dateien schreiben:\n") +
                   writes.join(u'\n') + QStringLiteral("\n\n");
    message += QStringLiteral("Übernehmen Sie diese Einträge nur, wenn Sie der Datei vertrauen. "
                              "Übernehmen?");
    if (m_dialogs &&
        m_dialogs->showConfirmation(QStringLiteral("Defaults-Datei übernehmen"), message))
        return {};
    // Declined: the rest of the file is still taken.
    takeUses(settings.extraOptions,
             [](const Option &option) { return (option.effects & (Writes | Runs)) != 0; });
    if (keys.contains(QStringLiteral("pdf-engine")))
        settings.pdfEngine.clear();
    keys.removeDuplicates();
    return keys;
}

bool DefaultsTransfer::importFile(const QString &path, const QStringList &inputChoices,
                                  const QStringList &outputChoices)
{
    const QString fileName = QFileInfo(path).fileName();
    const DefaultsImport read = readDefaults(path);
    if (read.error) {
        m_log(QStringLiteral("❌ Defaults-Datei nicht übernommen (") + fileName +
              QStringLiteral("): ") + *read.error);
        return false;
    }
    DefaultsSettings s = read.settings;
    const QStringList refused = confirmEffects(read, s);
    Preset preset = presetFromDefaults(s, read.automaticPdfEngine, m_templates.templates(),
                                       inputChoices, outputChoices);
    preset.id = QUuid::createUuid();
    // The name is chosen among the presets as stored, another window's included.
    if (!m_presets.addUnique(preset, QFileInfo(path).completeBaseName()))
        return false;
    m_log(QStringLiteral("✓ Defaults-Datei als Voreinstellung übernommen: ") + preset.name);
    if (!refused.isEmpty())
        m_log(QStringLiteral("⚠ Ohne Zustimmung nicht übernommen: ") +
              refused.join(QStringLiteral(", ")));
    if (!read.unknownKeys.isEmpty())
        m_log(QStringLiteral("⚠ Unbekannte Schlüssel nicht übernommen: ") +
              read.unknownKeys.join(QStringLiteral(", ")));
    if (!read.unsupportedKeys.isEmpty())
        m_log(QStringLiteral("⚠ In einer Voreinstellung nicht darstellbar, nicht übernommen: ") +
              read.unsupportedKeys.join(QStringLiteral(", ")));
    m_presets.setSelected(preset);
    return true;
}
