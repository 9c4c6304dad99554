// Presets as pandoc defaults files: export and import.
#include "pandocviewmodel.h"

#include "atomicwrite.h"
#include "defaultsfile.h"
#include "formatname.h"
#include "optioncatalog.h"
#include "settingsdefaults.h"
#include "shellwords.h"

#include <QFileInfo>

namespace {

QString uniqueName(const QList<Preset> &presets, const QString &base)
{
    const auto taken = [&presets](const QString &name) {
        return std::any_of(presets.begin(), presets.end(),
                           [&name](const Preset &p) { return p.name == name; });
    };
    QString name = base;
    for (int n = 2; taken(name); ++n)
        name = base + QStringLiteral(" (") + QString::number(n) + u')';
    return name;
}

} // namespace

bool PandocViewModel::exportDefaultsFile(const std::optional<Preset> &preset, const QString &path)
{
    // A preset names its templates the way loading it would find them; the current settings
    // use what is selected.
    const ConversionSettings source =
        preset ? settingsFromPreset(*preset, m_templates, ConversionSettings{}) : m_settings;
    const ShellWords options = splitShellWords(source.additionalOptions);
    if (options.error) {
        appendLog(QStringLiteral("❌ Zusatzoptionen fehlerhaft: ") + *options.error);
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
        source.pdfEngine == kAutomaticPdfEngine &&
        !PandocOptions::uses(PandocOptions::parse(options.words), u"pdf-engine");
    const QStringList automatic =
        automaticPdf
            ? m_pdfPlanner->arguments(kAutomaticPdfEngine, m_inputFiles.isEmpty()
                                                               ? QString()
                                                               : m_inputFiles.first().toLocalFile())
            : QStringList();
    const DefaultsSettings settings =
        defaultsFromSettings(source, options.words, automatic, &missing);
    for (const QString &name : std::as_const(missing))
        appendLog(QStringLiteral("⚠ Template nicht gefunden, nicht exportiert: ") + name);

    const QString title = preset ? preset->name : QStringLiteral("aktuelle Einstellungen");
    const DefaultsExport exported = writeDefaults(settings, title);
    QString error;
    if (!writeFileAtomically(path, exported.yaml, &error)) {
        appendLog(QStringLiteral("❌ Defaults-Datei konnte nicht geschrieben werden: ") + error);
        return false;
    }
    appendLog(QStringLiteral("✓ Defaults-Datei exportiert: ") + QFileInfo(path).fileName());
    for (const QString &group : exported.unmapped)
        appendLog(QStringLiteral("⚠ Keine Entsprechung in Defaults-Dateien, als Kommentar "
                                 "behalten: ") +
                  group);
    return true;
}

QStringList PandocViewModel::confirmDefaultsEffects(const DefaultsImport &read,
                                                    DefaultsSettings &settings)
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
    if (showConfirmation(QStringLiteral("Defaults-Datei übernehmen"), message))
        return {};
    // Declined: the rest of the file is still taken.
    takeUses(settings.extraOptions,
             [](const Option &option) { return (option.effects & (Writes | Runs)) != 0; });
    if (keys.contains(QStringLiteral("pdf-engine")))
        settings.pdfEngine.clear();
    keys.removeDuplicates();
    return keys;
}

bool PandocViewModel::importDefaultsFile(const QString &path, const QStringList &inputChoices,
                                         const QStringList &outputChoices)
{
    const QString fileName = QFileInfo(path).fileName();
    const DefaultsImport read = readDefaults(path);
    if (read.error) {
        appendLog(QStringLiteral("❌ Defaults-Datei nicht übernommen (") + fileName +
                  QStringLiteral("): ") + *read.error);
        return false;
    }
    DefaultsSettings s = read.settings;
    const QStringList refused = confirmDefaultsEffects(read, s);
    Preset preset =
        presetFromDefaults(s, read.automaticPdfEngine, m_templates, inputChoices, outputChoices);
    preset.id = QUuid::createUuid();

    // The name is chosen among the presets as stored, another window's included.
    if (!updateStore(presetBinding(), m_presets, [&preset, &path](QList<Preset> &list) {
            preset.name = uniqueName(list, QFileInfo(path).completeBaseName());
            list.append(preset);
            return true;
        }))
        return false;
    appendLog(QStringLiteral("✓ Defaults-Datei als Voreinstellung übernommen: ") + preset.name);
    if (!refused.isEmpty())
        appendLog(QStringLiteral("⚠ Ohne Zustimmung nicht übernommen: ") +
                  refused.join(QStringLiteral(", ")));
    if (!read.unknownKeys.isEmpty())
        appendLog(QStringLiteral("⚠ Unbekannte Schlüssel nicht übernommen: ") +
                  read.unknownKeys.join(QStringLiteral(", ")));
    if (!read.unsupportedKeys.isEmpty())
        appendLog(
            QStringLiteral("⚠ In einer Voreinstellung nicht darstellbar, nicht übernommen: ") +
            read.unsupportedKeys.join(QStringLiteral(", ")));
    setSelectedPreset(preset);
    return true;
}
