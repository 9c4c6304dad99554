#include "conversionsettings.h"

#include "optioncatalog.h"
#include "shellwords.h"
#include "templateorder.h"

#include <QRegularExpression>
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

namespace {

struct Control
{
    const char *option;
    const char *label;
};

// Single-valued options with a control of their own, in the order their words are written.
constexpr Control kControls[] = {
    {"toc-depth", "Tiefe des Inhaltsverzeichnisses"},
    {"shift-heading-level-by", "Überschriften verschieben um"},
    {"top-level-division", "Oberste Gliederungsebene"},
    {"number-offset", "Nummerierung beginnt bei"},
    {"file-scope", "Jede Datei eigenständig lesen"},
    {"highlight-style", "Syntaxhervorhebung"},
    {"no-highlight", "Syntaxhervorhebung"},
    {"mathjax", "Formeln in HTML"},
    {"katex", "Formeln in HTML"},
    {"mathml", "Formeln in HTML"},
    {"webtex", "Formeln in HTML"},
    {"self-contained", "Eine eigenständige HTML-Datei"},
    {"embed-resources", "Eine eigenständige HTML-Datei"},
    {"wrap", "Zeilenumbruch"},
    {"columns", "Zeilenbreite"},
    {"reference-location", "Fußnoten stehen"},
    {"slide-level", "Folienebene"},
    {"incremental", "Listen schrittweise zeigen"},
    {"epub-cover-image", "EPUB-Titelbild"},
    {"epub-metadata", "EPUB-Metadaten"},
    {"resource-path", "Ressourcenpfad"},
    {"dpi", "Bildauflösung (DPI)"},
};

std::pair<QString, QString> keyAndValue(const QString &word)
{
    const qsizetype eq = word.indexOf(u'=');
    const qsizetype colon = word.indexOf(u':');
    // Both "key=value" and the older "key:value" are accepted by the converter.
    const qsizetype at = eq < 0 ? colon : (colon < 0 ? eq : std::min(eq, colon));
    if (at < 0)
        return {word, QStringLiteral("true")};
    return {word.left(at), word.mid(at + 1)};
}

} // namespace

const QStringList &controlledOptions()
{
    static const QStringList names = [] {
        QStringList list;
        for (const Control &c : kControls)
            list << QString::fromLatin1(c.option);
        return list;
    }();
    return names;
}

QString controlLabel(const QString &option)
{
    for (const Control &c : kControls) {
        if (option == QLatin1StringView(c.option))
            return QString::fromUtf8(c.label);
    }
    return option;
}

// The command-line words of the single-valued controls, in the controls' order.
static QStringList optionArguments(const QMap<QString, QString> &options)
{
    QStringList words;
    for (const Control &c : kControls) {
        const QString name = QString::fromLatin1(c.option);
        const auto found = options.constFind(name);
        const PandocOptions::Option *option = PandocOptions::byName(name);
        if (found == options.cend() || !option)
            continue;
        const QString written = QStringLiteral("--") + name;
        // An optional value (the MathJax address) is only written when given.
        const bool bare = option->arg == PandocOptions::Arg::None ||
                          (option->arg == PandocOptions::Arg::Optional && found->isEmpty());
        words << (bare ? written : written + u'=' + found.value());
    }
    return words;
}

QStringList controlArguments(const ConversionSettings &s, bool keepStep)
{
    QStringList words = optionArguments(s.options);
    for (const auto &[key, value] : s.metadata)
        words << QStringLiteral("--metadata=") + key + u'=' + value;
    for (const auto &[key, value] : s.variables)
        words << QStringLiteral("--variable=") + key + u'=' + value;
    bool stepWritten = false;
    for (const QString &filter : s.filters) {
        if (filter == kCiteprocStep) {
            if (s.citations.process || keepStep)
                words << QStringLiteral("--citeproc");
            stepWritten = true;
        } else {
            words << (filter.endsWith(u".lua", Qt::CaseInsensitive)
                          ? QStringLiteral("--lua-filter=")
                          : QStringLiteral("--filter=")) +
                         filter;
        }
    }
    if (s.citations.process && !stepWritten && !keepStep)
        words << QStringLiteral("--citeproc");
    return words;
}

bool takeControls(QStringList &words, ConversionSettings &s)
{
    static const QStringList kListed{QStringLiteral("metadata"), QStringLiteral("variable"),
                                     QStringLiteral("filter"), QStringLiteral("lua-filter"),
                                     QStringLiteral("citeproc")};
    const auto controlled = [](const PandocOptions::Option &option) {
        const QString name = PandocOptions::canonicalName(option);
        return controlledOptions().contains(name) || kListed.contains(name);
    };
    bool step = false;
    for (const PandocOptions::Use &use : PandocOptions::takeUses(words, controlled)) {
        const QString name = PandocOptions::canonicalName(*use.option);
        const QString value = use.value.value_or(QString());
        if (name == u"metadata")
            s.metadata << keyAndValue(value);
        else if (name == u"variable")
            s.variables << keyAndValue(value);
        else if (name == u"filter" || name == u"lua-filter")
            s.filters << value;
        else if (name == u"citeproc" && !step)
            s.filters << kCiteprocStep.toString(), step = true;
        else if (name != u"citeproc")
            s.options.insert(name, value);
    }
    return step;
}

QString formatWithExtensions(const QString &format, const QString &extensions)
{
    if (format == u"auto")
        return format;
    // Only well-formed changes: a stored preset may hold anything.
    static const QRegularExpression change(QStringLiteral("[+-][a-z0-9_]{1,64}"));
    QString written = format;
    for (auto it = change.globalMatch(extensions); it.hasNext();)
        written += it.next().captured();
    return written;
}

std::pair<QString, QString> splitExtensions(const QString &format)
{
    const qsizetype at = format.indexOf(QRegularExpression(QStringLiteral("[+-]")));
    if (at <= 0)
        return {format, QString()};
    return {format.left(at), format.mid(at)};
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
    if (const QStringList words = controlArguments(s, true); !words.isEmpty()) {
        QStringList quoted;
        for (const QString &word : words)
            quoted << shellQuote(word);
        preset.options = quoted.join(u' ');
    }
    preset.inputExtensions = unlessEmpty(s.inputExtensions);
    preset.outputExtensions = unlessEmpty(s.outputExtensions);
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
    s.options.clear();
    s.filters.clear();
    s.metadata.clear();
    s.variables.clear();
    takeControls(words, s);
    s.inputExtensions = preset.inputExtensions.value_or(QString());
    s.outputExtensions = preset.outputExtensions.value_or(QString());
    s.mergeInputs = preset.mergeInputs.value_or(false);
    return s;
}
