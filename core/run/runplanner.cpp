#include "runplanner.h"

#include "extraoptions.h"
#include "filepaths.h"
#include "filters.h"
#include "formatname.h"
#include "formatrules.h"
#include "mergeplan.h"
#include "optioncatalog.h"
#include "pdfsetup.h"
#include "shellwords.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// What pandoc would only report in English after starting, said before it starts.
std::optional<Refusal> unusableInput(const QString &path, QStringList &notes)
{
    const QFileInfo input(path);
    // Qt decodes a name that is not UTF-8 with replacement characters: no path reaches it.
    if (path.contains(QChar::ReplacementCharacter) && !input.exists())
        return Refusal{QStringLiteral("❌ Dateiname ist kein gültiges UTF-8 und kann nicht "
                                      "gelesen werden: ") +
                           path,
                       QStringLiteral("❌ Dateiname nicht lesbar")};
    if (!input.exists())
        return Refusal{QStringLiteral("❌ Eingabedatei nicht gefunden: ") + path,
                       QStringLiteral("❌ Eingabedatei nicht gefunden")};
    // A FIFO or a device would leave the converter waiting for ever.
    if (!input.isFile())
        return Refusal{QStringLiteral("❌ Eingabe ist keine normale Datei: ") + path,
                       QStringLiteral("❌ Eingabe ist keine normale Datei")};
    if (!input.isReadable())
        return Refusal{QStringLiteral("❌ Keine Leseberechtigung für die Eingabedatei: ") + path,
                       QStringLiteral("❌ Eingabedatei nicht lesbar")};
    if (input.size() == 0)
        notes << QStringLiteral("⚠ Die Eingabedatei ist leer: ") + input.fileName();
    return std::nullopt;
}

std::optional<Refusal> unusableOutputFolder(const QString &output)
{
    const QFileInfo folder(QFileInfo(output).absolutePath());
    if (!folder.isDir())
        return Refusal{QStringLiteral("❌ Ausgabeordner existiert nicht: ") + folder.filePath(),
                       QStringLiteral("❌ Ausgabeordner fehlt")};
    if (!folder.isWritable())
        return Refusal{QStringLiteral("❌ Keine Schreibberechtigung im Ausgabeordner: ") +
                           folder.filePath(),
                       QStringLiteral("❌ Ausgabeordner nicht beschreibbar")};
    return std::nullopt;
}

// A file a control names that is not a readable regular file: a FIFO would leave the
// converter waiting for ever. Relative paths are read where the converter runs.
std::optional<QString> missingControlFile(const QMap<QString, QString> &options,
                                          const QString &workingFolder)
{
    for (const char *name : {"epub-cover-image", "epub-metadata"}) {
        const QString path = options.value(QLatin1StringView(name));
        const QFileInfo info(QDir(workingFolder).absoluteFilePath(path));
        if (!path.isEmpty() && (!info.isFile() || !info.isReadable()))
            return path;
    }
    return std::nullopt;
}

std::optional<Refusal> noOutput(const QString &output, const QString &what)
{
    if (!output.isEmpty() && !QFileInfo(output).fileName().isEmpty())
        return std::nullopt;
    return Refusal{QStringLiteral("❌ Keine Ausgabedatei angegeben für: ") + what,
                   QStringLiteral("❌ Keine Ausgabedatei")};
}

// Every input is checked, and the one output must be none of them.
PlannedJob mergedJob(const QList<std::pair<QString, QString>> &inputsAndOutputs)
{
    PlannedJob job;
    for (const auto &file : inputsAndOutputs)
        job.inputs << (file.first.isEmpty() ? file.first
                                            : QFileInfo(file.first).absoluteFilePath());
    job.input = job.inputs.first();
    job.output = inputsAndOutputs.first().second;
    job.workingFolder = QFileInfo(job.input).absolutePath();
    job.refusal = noOutput(job.output, QString::number(job.inputs.size()) +
                                           QStringLiteral(" zusammengefügte Dateien"));
    for (const QString &input : std::as_const(job.inputs)) {
        if (!job.refusal)
            job.refusal = unusableInput(input, job.notes);
    }
    if (!job.refusal)
        job.refusal = unusableOutputFolder(job.output);
    if (!job.refusal)
        job.refusal = mergedClash(job.inputs, job.output);
    return job;
}

bool merges(const ConversionSettings &settings, qsizetype fileCount)
{
    return settings.mergeInputs && fileCount > 1;
}

// Whether the page template has a place for included headers; pandoc's own has.
bool takesHeader(const std::optional<Template> &htmlTemplate)
{
    if (!htmlTemplate)
        return true;
    QFile file(htmlTemplate->filePath);
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return true;
    return file.read(1024 * 1024).contains("header-includes");
}

} // namespace

RunPlanner::RunPlanner(const PdfSetupPlanner &pdf,
                       std::function<QStringList(const QList<Template> &)> templateNotes)
    : m_pdf(pdf), m_templateNotes(std::move(templateNotes))
{
}

QStringList RunPlanner::arguments(const ConversionSettings &settings, const QStringList &inputs,
                                  const QString &output, const QStringList &options,
                                  QList<Template> *passed, bool pdfFromText) const
{
    QStringList args;
    const QString from = converterFormatName(settings.inputFormat);
    if (from != u"auto")
        args << QStringLiteral("-f") << formatWithExtensions(from, settings.inputExtensions);
    args << QStringLiteral("-t")
         << formatWithExtensions(converterFormatName(settings.outputFormat),
                                 settings.outputExtensions);
    args << inputs << QStringLiteral("-o") << output;
    ConversionSettings controlled = settings;
    if (inputs.size() > 1) {
        // Later --resource-path options are searched first: the extra options still win.
        args << mergedResourcePath(inputs).options;
    } else {
        // Its switch is shown only for merging; one file has no other file to be apart from.
        controlled.options.remove(QStringLiteral("file-scope"));
    }
    if (settings.standalone)
        args << QStringLiteral("--standalone");
    if (settings.tableOfContents)
        args << QStringLiteral("--toc");
    if (settings.numberSections)
        args << QStringLiteral("--number-sections");

    const std::pair<const std::optional<Template> &, QString> selections[] = {
        {settings.htmlTemplate, QStringLiteral("--template")},
        {settings.cssTemplate, QStringLiteral("--css")},
        {settings.latexTemplate, QStringLiteral("--template")},
        {settings.docxTemplate, QStringLiteral("--reference-doc")},
    };
    for (const auto &[selection, option] : selections) {
        // Only a regular file: a FIFO would leave the converter waiting for ever.
        if (!selection || !QFileInfo(selection->filePath).isFile())
            continue;
        const QString embedded = option == u"--css" && takesHeader(settings.htmlTemplate)
                                     ? embeddedStyle(selection->filePath)
                                     : QString();
        if (embedded.isEmpty())
            args << option << selection->filePath;
        else
            args << u"--include-in-header=" + embedded;
        if (passed)
            passed->append(*selection);
    }
    if (!pdfFromText)
        args << pdfArguments(settings, inputs.first(), options);
    // The filters and the citation step, in the order the converter applies them.
    args << controlArguments(controlled);
    args << citationArguments(settings.citations).mid(1);
    args << options;
    return args;
}

QString RunPlanner::embeddedStyle(const QString &cssPath) const
{
    // A link to the CSS would point into the library, a folder no reader of the page has.
    constexpr qint64 kMaxStyleBytes = 1024 * 1024;
    QFile file(cssPath);
    if (file.size() > kMaxStyleBytes || !file.open(QIODevice::ReadOnly))
        return {};
    QString css = QString::fromUtf8(file.read(kMaxStyleBytes));
    // The style must not end its own element and go on as markup.
    for (qsizetype at = css.indexOf(u"</style", 0, Qt::CaseInsensitive); at >= 0;
         at = css.indexOf(u"</style", at + 2, Qt::CaseInsensitive))
        css.insert(at + 1, u'\\');
    const QByteArray content = "<style>\n" + css.toUtf8() + "\n</style>\n";
    const QString name =
        QStringLiteral("style-") +
        QString::fromLatin1(
            QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex().left(16)) +
        QStringLiteral(".html");
    return m_pdf.includeFile(name, content);
}

QStringList RunPlanner::pdfArguments(const ConversionSettings &settings, const QString &input,
                                     const QStringList &options) const
{
    if (converterFormatName(settings.outputFormat) != u"pdf" ||
        PandocOptions::uses(PandocOptions::parse(options), u"pdf-engine"))
        return {};
    return m_pdf.arguments(settings.pdfEngine, input);
}

bool RunPlanner::pdfFromText(const ConversionSettings &settings, const QStringList &options) const
{
    return settings.pdfEngine == PdfSetup::kAutomatic && !m_pdf.engines().isEmpty() &&
           converterFormatName(settings.outputFormat) == u"pdf" &&
           !PandocOptions::uses(PandocOptions::parse(options), u"pdf-engine");
}

QStringList RunPlanner::textProbeArguments(const ConversionSettings &settings,
                                           const QStringList &inputs, const QStringList &options)
{
    QStringList args;
    const QString from = converterFormatName(settings.inputFormat);
    if (from != u"auto")
        args << QStringLiteral("-f") << formatWithExtensions(from, settings.inputExtensions);
    args << inputs << citationArguments(settings.citations) << options;
    return args;
}

QList<std::pair<QString, QString>> RunPlanner::besideInputs(const QStringList &inputs,
                                                            const QString &outputFormat)
{
    const QString extension = FormatRules::outputExtension(outputFormat);
    QList<std::pair<QString, QString>> files;
    files.reserve(inputs.size());
    for (const QString &input : inputs)
        files.append({input, replaceLastExtension(input, extension)});
    return files;
}

QList<PlannedJob> RunPlanner::plan(const ConversionSettings &settings,
                                   const QList<std::pair<QString, QString>> &inputsAndOutputs) const
{
    QList<PlannedJob> jobs;
    if (merges(settings, inputsAndOutputs.size())) {
        jobs.append(mergedJob(inputsAndOutputs));
    } else {
        jobs.reserve(inputsAndOutputs.size());
        for (const auto &[input, output] : inputsAndOutputs) {
            PlannedJob job;
            job.input = input.isEmpty() ? input : QFileInfo(input).absoluteFilePath();
            job.inputs = {job.input};
            job.output = output;
            job.workingFolder = QFileInfo(job.input).absolutePath();
            job.refusal = noOutput(output, QFileInfo(job.input).fileName());
            if (!job.refusal)
                job.refusal = unusableInput(job.input, job.notes);
            if (!job.refusal)
                job.refusal = unusableOutputFolder(job.output);
            jobs.append(std::move(job));
        }
        refuseClashes(jobs);
    }
    const ExtraOptions options = parseExtraOptions(settings.additionalOptions);
    // Nothing the options write may replace a file of the run. Only options that write are
    // checked at all, so a batch without them costs nothing here.
    ProtectedFiles runFiles;
    if (!options.error &&
        PandocOptions::firstWith(PandocOptions::parse(options.words),
                                 PandocOptions::Writes | PandocOptions::ReadsDefaults)) {
        QStringList paths;
        for (const PlannedJob &job : std::as_const(jobs))
            paths << job.inputs << job.output;
        paths.removeAll(QString());
        runFiles = protectedFiles(paths);
    }
    const auto refuseOptions = [](const QString &why) {
        return Refusal{QStringLiteral("❌ Zusatzoptionen fehlerhaft: ") + why,
                       QStringLiteral("❌ Zusatzoptionen fehlerhaft")};
    };
    for (PlannedJob &job : jobs) {
        if (job.refusal)
            continue;
        if (options.error) {
            job.refusal = refuseOptions(*options.error);
            continue;
        }
        if (const auto problem = checkOptionFiles(options.words, job.workingFolder, runFiles)) {
            job.refusal = refuseOptions(*problem);
            continue;
        }
        if (const auto problem = missingCitationFile(settings.citations, job.workingFolder)) {
            job.refusal = Refusal{problem->logLine, problem->status};
            continue;
        }
        if (const auto file = missingControlFile(settings.options, job.workingFolder)) {
            job.refusal = Refusal{QStringLiteral("❌ Datei nicht gefunden: ") + *file,
                                  QStringLiteral("❌ Datei nicht gefunden")};
            continue;
        }
        if (const auto filter = missingFilter(settings.filters, job.workingFolder)) {
            job.refusal = Refusal{QStringLiteral("❌ Filter nicht gefunden: ") + *filter,
                                  QStringLiteral("❌ Filter nicht gefunden")};
            continue;
        }
        const bool fromText = pdfFromText(settings, options.words);
        job.arguments =
            arguments(settings, job.inputs, job.output, options.words, &job.templates, fromText);
        for (const QString &folder : mergedResourcePath(job.inputs).leftOut)
            job.notes << QStringLiteral("⚠ Bilder aus diesem Ordner werden nicht gefunden, weil "
                                        "sein Pfad „:“ enthält: ") +
                             folder;
        if (fromText) {
            job.textProbe = textProbeArguments(settings, job.inputs, options.words);
            job.pdfForText = [planner = &m_pdf](const std::optional<QString> &text) {
                return planner->argumentsForText(PdfSetup::kAutomatic, text);
            };
        }
        job.notes << m_templateNotes(job.templates);
    }
    return jobs;
}

QStringList RunPlanner::overlapNotes(const ConversionSettings &settings)
{
    const ExtraOptions options = parseExtraOptions(settings.additionalOptions);
    if (options.error)
        return {};
    QStringList notes;
    const PandocOptions::Parsed uses = PandocOptions::parse(options.words);
    for (const QString &name : controlledOptions()) {
        if (PandocOptions::uses(uses, name))
            notes << QStringLiteral("⚠ Die Zusatzoptionen setzen --") + name +
                         QStringLiteral(", das auch „") + controlLabel(name) +
                         QStringLiteral("“ einstellt; es gilt der Wert aus den Zusatzoptionen.");
    }
    return notes;
}

QString RunPlanner::commandLine(const ConversionSettings &settings,
                                const QList<std::pair<QString, QString>> &inputsAndOutputs,
                                const QString &converter) const
{
    const ExtraOptions options = parseExtraOptions(settings.additionalOptions);
    if (options.error)
        return QStringLiteral("(Zusatzoptionen fehlerhaft: ") + *options.error + u')';
    QStringList inputs;
    for (const auto &file : inputsAndOutputs) {
        inputs << file.first;
        if (!merges(settings, inputsAndOutputs.size()))
            break;
    }
    const QString &output = inputsAndOutputs.first().second;
    QStringList line{shellQuote(converter)};
    for (const QString &arg : arguments(settings, inputs, output, options.words, nullptr))
        line << shellQuote(arg);
    return line.join(u' ');
}
