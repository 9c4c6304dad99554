#include "conversionsettings.h"

#include "optioncatalog.h"
#include "shellwords.h"
#include "templateorder.h"

#include <QUuid>

namespace {

std::optional<QString> nameOf(const std::optional<Template> &t)
{
    return t ? std::optional<QString>(t->name) : std::nullopt;
}

std::optional<QString> unlessEmpty(const QString &text)
{
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

void pick(std::optional<Template> &selection, const QList<Template> &templates, TemplateType type,
          const std::optional<QString> &name)
{
    if (!name)
        return;
    selection.reset();
    for (const Template &t : templatesOfType(templates, type)) {
        if (t.name == *name) {
            selection = t;
            return;
        }
    }
}

} // namespace

const QStringList &controlledOptions()
{
    static const QStringList names{QStringLiteral("shift-heading-level-by"),
                                   QStringLiteral("file-scope")};
    return names;
}

QString controlLabel(const QString &option)
{
    if (option == u"shift-heading-level-by")
        return QStringLiteral("Überschriften verschieben um");
    if (option == u"file-scope")
        return QStringLiteral("Jede Datei eigenständig lesen");
    return option;
}

QStringList optionArguments(const QMap<QString, QString> &options)
{
    QStringList words;
    for (const PandocOptions::Option &option : PandocOptions::all()) {
        const auto found = options.constFind(QLatin1StringView(option.name));
        if (found == options.cend())
            continue;
        const QString name = QStringLiteral("--") + QLatin1StringView(option.name);
        words << (option.arg == PandocOptions::Arg::None ? name : name + u'=' + found.value());
    }
    return words;
}

QMap<QString, QString> takeControlledOptions(QStringList &words)
{
    QMap<QString, QString> taken;
    const auto controlled = [](const PandocOptions::Option &option) {
        return controlledOptions().contains(PandocOptions::canonicalName(option));
    };
    for (const PandocOptions::Use &use : PandocOptions::takeUses(words, controlled))
        taken.insert(PandocOptions::canonicalName(*use.option), use.value.value_or(QString()));
    return taken;
}

Preset presetFromSettings(const ConversionSettings &s, const QString &name)
{
    Preset preset;
    preset.id = QUuid::createUuid();
    preset.name = name;
    preset.inputFormat = s.inputFormat;
    preset.outputFormat = s.outputFormat;
    preset.htmlTemplate = nameOf(s.htmlTemplate);
    preset.cssFile = nameOf(s.cssTemplate);
    preset.latexTemplate = nameOf(s.latexTemplate);
    preset.docxReference = nameOf(s.docxTemplate);
    preset.standalone = s.standalone;
    preset.tableOfContents = s.tableOfContents;
    preset.numberSections = s.numberSections;
    preset.additionalOptions = s.additionalOptions;
    if (s.pdfEngine != PdfSetup::kAutomatic)
        preset.pdfEngine = s.pdfEngine;
    preset.bibliography = unlessEmpty(s.citations.bibliography);
    preset.csl = unlessEmpty(s.citations.csl);
    // Stored only where it differs from what a bibliography alone implies.
    if (s.citations.process != preset.bibliography.has_value())
        preset.citeproc = s.citations.process;
    if (!s.options.isEmpty()) {
        QStringList quoted;
        for (const QString &word : optionArguments(s.options))
            quoted << shellQuote(word);
        preset.options = quoted.join(u' ');
    }
    if (s.mergeInputs)
        preset.mergeInputs = true;
    return preset;
}

ConversionSettings settingsFromPreset(const Preset &preset, const QList<Template> &templates,
                                      const ConversionSettings &current)
{
    ConversionSettings s = current;
    s.inputFormat = preset.inputFormat;
    s.outputFormat = preset.outputFormat;
    s.standalone = preset.standalone;
    s.tableOfContents = preset.tableOfContents;
    s.numberSections = preset.numberSections;
    s.additionalOptions = preset.additionalOptions;
    pick(s.htmlTemplate, templates, TemplateType::Html, preset.htmlTemplate);
    pick(s.cssTemplate, templates, TemplateType::Css, preset.cssFile);
    pick(s.latexTemplate, templates, TemplateType::Latex, preset.latexTemplate);
    pick(s.docxTemplate, templates, TemplateType::DocxReference, preset.docxReference);
    s.pdfEngine =
        preset.pdfEngine && !preset.pdfEngine->isEmpty() ? *preset.pdfEngine : PdfSetup::kAutomatic;
    // A preset is a whole snapshot: one without citations turns them off.
    s.citations.bibliography = preset.bibliography.value_or(QString());
    s.citations.csl = preset.csl.value_or(QString());
    s.citations.process = preset.citeproc.value_or(preset.bibliography.has_value());
    QStringList words = splitShellWords(preset.options.value_or(QString())).words;
    s.options = takeControlledOptions(words);
    s.mergeInputs = preset.mergeInputs.value_or(false);
    return s;
}
