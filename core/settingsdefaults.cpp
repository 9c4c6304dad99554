#include "settingsdefaults.h"

#include "formatname.h"
#include "shellwords.h"
#include "templatelibrary.h"

#include <QFileInfo>

namespace {

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

} // namespace

DefaultsSettings defaultsFromSettings(const ConversionSettings &source,
                                      const QStringList &extraWords,
                                      const QStringList &automaticPdf,
                                      QStringList *missingTemplates)
{
    DefaultsSettings settings;
    const QString from = converterFormatName(source.inputFormat);
    if (from != u"auto")
        settings.from = formatWithExtensions(from, source.inputExtensions);
    settings.to =
        formatWithExtensions(converterFormatName(source.outputFormat), source.outputExtensions);
    settings.standalone = source.standalone;
    settings.tableOfContents = source.tableOfContents;
    settings.numberSections = source.numberSections;
    const std::optional<Template> *chosen[] = {&source.htmlTemplate, &source.cssTemplate,
                                               &source.latexTemplate, &source.docxTemplate};
    for (int i = 0; i < 4; ++i) {
        const std::optional<Template> &t = *chosen[i];
        if (!t)
            continue;
        if (!QFileInfo(t->filePath).isFile()) {
            if (missingTemplates)
                *missingTemplates << t->name;
            continue;
        }
        // Like the command line, the later of an HTML and a LaTeX template wins.
        if (i == 0 || i == 2)
            settings.templatePath = t->filePath;
        else if (i == 1)
            settings.cssPaths << t->filePath;
        else
            settings.referenceDoc = t->filePath;
    }
    if (source.pdfEngine != PdfSetup::kAutomatic)
        settings.pdfEngine = source.pdfEngine;
    else if (settings.to == u"pdf")
        settings.automaticPdfArguments = automaticPdf;
    settings.citeproc = source.citations.process;
    settings.bibliography = source.citations.bibliography;
    settings.csl = source.citations.csl;
    // The citation step stands among the filters where the command line puts it.
    settings.extraOptions = controlArguments(source) + extraWords;
    return settings;
}

Preset presetFromDefaults(const DefaultsSettings &s, bool automaticPdfEngine,
                          const QList<Template> &templates, const QStringList &inputChoices,
                          const QStringList &outputChoices)
{
    Preset preset;
    const auto [from, fromExtensions] = splitExtensions(s.from);
    const auto [to, toExtensions] = splitExtensions(s.to);
    preset.inputFormat = pickerValue(from, inputChoices, QStringLiteral("auto (automatisch)"));
    // Without "to" the converter writes HTML.
    preset.outputFormat = pickerValue(to, outputChoices, QStringLiteral("html"));
    if (!fromExtensions.isEmpty())
        preset.inputExtensions = fromExtensions;
    if (!toExtensions.isEmpty())
        preset.outputExtensions = toExtensions;
    preset.standalone = s.standalone;
    preset.tableOfContents = s.tableOfContents;
    preset.numberSections = s.numberSections;

    QStringList leading;
    if (!s.templatePath.isEmpty()) {
        const auto t =
            libraryFile(templates, s.templatePath, {TemplateType::Html, TemplateType::Latex});
        if (t && t->type == TemplateType::Html)
            preset.htmlTemplate = t->name;
        else if (t)
            preset.latexTemplate = t->name;
        else
            leading << QStringLiteral("--template") << s.templatePath;
    }
    for (qsizetype i = 0; i < s.cssPaths.size(); ++i) {
        const auto t =
            i == 0 ? libraryFile(templates, s.cssPaths[i], {TemplateType::Css}) : std::nullopt;
        if (t)
            preset.cssFile = t->name;
        else
            leading << QStringLiteral("--css") << s.cssPaths[i];
    }
    if (!s.referenceDoc.isEmpty()) {
        if (const auto t = libraryFile(templates, s.referenceDoc, {TemplateType::DocxReference}))
            preset.docxReference = t->name;
        else
            leading << QStringLiteral("--reference-doc") << s.referenceDoc;
    }
    if (!s.pdfEngine.isEmpty() && !automaticPdfEngine)
        preset.pdfEngine = s.pdfEngine;
    if (!s.bibliography.isEmpty())
        preset.bibliography = s.bibliography;
    if (!s.csl.isEmpty())
        preset.csl = s.csl;
    QStringList words = s.extraOptions;
    ConversionSettings controls;
    // A citation step among the filters runs citations as "citeproc: true" does.
    const bool placed = takeControls(words, controls);
    // "citeproc: true" beside filters runs before them, as pandoc reads it.
    if (s.citeproc && !placed && !controls.filters.isEmpty())
        controls.filters.prepend(kCiteprocStep.toString());
    const bool citeproc = placed || s.citeproc;
    if (citeproc != preset.bibliography.has_value())
        preset.citeproc = citeproc;
    QStringList quoted;
    for (const QString &word : leading + words)
        quoted << shellQuote(word);
    preset.additionalOptions = quoted.join(u' ');
    if (const QStringList controlWords = controlArguments(controls, true);
        !controlWords.isEmpty()) {
        quoted.clear();
        for (const QString &word : controlWords)
            quoted << shellQuote(word);
        preset.options = quoted.join(u' ');
    }
    return preset;
}
