// Presets as pandoc defaults files: export and import.
#include "pandocviewmodel.h"

#include "atomicwrite.h"
#include "defaultsfile.h"
#include "formatname.h"
#include "shellwords.h"
#include "templatelibrary.h"

#include <QFileInfo>

namespace {

std::optional<Template> firstNamed(const QList<Template> &ordered,
                                   const std::optional<QString> &name)
{
    if (!name)
        return std::nullopt;
    for (const Template &t : ordered) {
        if (t.name == *name)
            return t;
    }
    return std::nullopt;
}

// The picker entry that names this converter format, or the bare name.
QString pickerValue(const QString &format, const QStringList &choices, const QString &fallback)
{
    if (format.isEmpty())
        return fallback;
    for (const QString &choice : choices) {
        if (converterFormatName(choice) == format)
            return choice;
    }
    return format;
}

std::optional<Template> libraryFile(const QList<Template> &templates, const QString &path,
                                    std::initializer_list<TemplateType> types)
{
    for (const Template &t : templates) {
        if (std::find(types.begin(), types.end(), t.type) != types.end() &&
            isSameFile(t.filePath, path))
            return t;
    }
    return std::nullopt;
}

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
    const Preset source = preset ? *preset : currentSettingsAsPreset(QString());
    // A preset names its templates the way loading it would find them; the current settings
    // use what is selected.
    const std::optional<Template> chosen[] = {
        preset ? firstNamed(htmlTemplates(), source.htmlTemplate) : m_selectedHtmlTemplate,
        preset ? firstNamed(cssTemplates(), source.cssFile) : m_selectedCssTemplate,
        preset ? firstNamed(latexTemplates(), source.latexTemplate) : m_selectedLatexTemplate,
        preset ? firstNamed(docxTemplates(), source.docxReference) : m_selectedDocxTemplate};
    const std::optional<QString> names[] = {source.htmlTemplate, source.cssFile,
                                            source.latexTemplate, source.docxReference};

    const ShellWords options = splitShellWords(source.additionalOptions);
    if (options.error) {
        appendLog(QStringLiteral("❌ Zusatzoptionen fehlerhaft: ") + *options.error);
        return false;
    }
    DefaultsSettings settings;
    const QString from = converterFormatName(source.inputFormat);
    if (from != u"auto")
        settings.from = from;
    settings.to = converterFormatName(source.outputFormat);
    settings.standalone = source.standalone;
    settings.tableOfContents = source.tableOfContents;
    settings.numberSections = source.numberSections;
    for (int i = 0; i < 4; ++i) {
        if (names[i] && !(chosen[i] && QFileInfo(chosen[i]->filePath).isFile())) {
            appendLog(QStringLiteral("⚠ Template nicht gefunden, nicht exportiert: ") + *names[i]);
            continue;
        }
        if (!chosen[i] || !QFileInfo(chosen[i]->filePath).isFile())
            continue;
        const QString file = chosen[i]->filePath;
        // Like the command line, the later of an HTML and a LaTeX template wins.
        if (i == 0 || i == 2)
            settings.templatePath = file;
        else if (i == 1)
            settings.cssPaths << file;
        else
            settings.referenceDoc = file;
    }
    if (source.pdfEngine && !source.pdfEngine->isEmpty() &&
        *source.pdfEngine != kAutomaticPdfEngine)
        settings.pdfEngine = *source.pdfEngine;
    settings.citeproc = source.citeproc.value_or(source.bibliography.has_value());
    settings.bibliography = source.bibliography.value_or(QString());
    settings.csl = source.csl.value_or(QString());
    settings.extraOptions = options.words;

    const QString title = preset ? source.name : QStringLiteral("aktuelle Einstellungen");
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
    const DefaultsSettings &s = read.settings;
    Preset preset;
    preset.id = QUuid::createUuid();
    preset.inputFormat = pickerValue(s.from, inputChoices, QStringLiteral("auto (automatisch)"));
    // Without "to" the converter writes HTML.
    preset.outputFormat = pickerValue(s.to, outputChoices, QStringLiteral("html"));
    preset.standalone = s.standalone;
    preset.tableOfContents = s.tableOfContents;
    preset.numberSections = s.numberSections;

    // Files that are in the library become its entries; others stay options.
    QStringList leading;
    if (!s.templatePath.isEmpty()) {
        const auto t =
            libraryFile(m_templates, s.templatePath, {TemplateType::Html, TemplateType::Latex});
        if (t && t->type == TemplateType::Html)
            preset.htmlTemplate = t->name;
        else if (t)
            preset.latexTemplate = t->name;
        else
            leading << QStringLiteral("--template") << s.templatePath;
    }
    for (qsizetype i = 0; i < s.cssPaths.size(); ++i) {
        const auto t =
            i == 0 ? libraryFile(m_templates, s.cssPaths[i], {TemplateType::Css}) : std::nullopt;
        if (t)
            preset.cssFile = t->name;
        else
            leading << QStringLiteral("--css") << s.cssPaths[i];
    }
    if (!s.referenceDoc.isEmpty()) {
        if (const auto t = libraryFile(m_templates, s.referenceDoc, {TemplateType::DocxReference}))
            preset.docxReference = t->name;
        else
            leading << QStringLiteral("--reference-doc") << s.referenceDoc;
    }
    if (!s.pdfEngine.isEmpty())
        preset.pdfEngine = s.pdfEngine;
    if (!s.bibliography.isEmpty())
        preset.bibliography = s.bibliography;
    if (!s.csl.isEmpty())
        preset.csl = s.csl;
    if (s.citeproc != preset.bibliography.has_value())
        preset.citeproc = s.citeproc;
    QStringList quoted;
    for (const QString &word : leading + s.extraOptions)
        quoted << shellQuote(word);
    preset.additionalOptions = quoted.join(u' ');

    // The name is chosen among the presets as stored, another window's included.
    if (!updateStore(presetBinding(), m_presets, [&preset, &path](QList<Preset> &list) {
            preset.name = uniqueName(list, QFileInfo(path).completeBaseName());
            list.append(preset);
            return true;
        }))
        return false;
    appendLog(QStringLiteral("✓ Defaults-Datei als Voreinstellung übernommen: ") + preset.name);
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
