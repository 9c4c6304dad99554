#include "pandocviewmodel.h"

#include "extraoptions.h"
#include "filepaths.h"
#include "formatname.h"
#include "formatrules.h"
#include "runplanner.h"
#include "shellwords.h"
#include "templatelibrary.h"
#include "templateorder.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

QString absolutePath(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

PandocViewModel::StatusColor colorOf(Tone tone)
{
    using Color = PandocViewModel::StatusColor;
    switch (tone) {
    case Tone::Neutral:
        return Color::Primary;
    case Tone::Busy:
        return Color::Blue;
    case Tone::Success:
        return Color::Green;
    case Tone::Warning:
        return Color::Orange;
    case Tone::Failure:
        return Color::Red;
    case Tone::Muted:
        return Color::Gray;
    }
    return Color::Primary;
}

} // namespace

PandocViewModel::PandocViewModel(ViewModelEnvironment environment, QObject *parent)
    : QObject(parent), m_env(std::move(environment)), m_files(m_env.dialogs, reporter().log),
      m_converter({m_env.converter, m_env.versionQueryTimeoutMs, m_env.formatQueryTimeoutMs,
                   m_env.enginePath, m_env.pdfSetupFolder},
                  reporter()),
      m_templateLibrary(m_env.store, m_env.dialogs, m_env.desktop, reporter().log),
      m_presetStore(m_env.store, reporter().log),
      m_cslLibrary(m_env.store, m_env.dialogs, reporter().log),
      m_runs({&m_converter.search(), m_env.dialogs, m_env.desktop, m_env.cancelGraceMs,
              [this](const QSet<QUuid> &ids) { m_templateLibrary.stamp(ids); }},
             reporter()),
      m_defaults(m_presetStore, m_templateLibrary, m_converter, m_env.dialogs, reporter().log)
{
    connect(&m_files, &FileSelection::inputsChanged, this, &PandocViewModel::inputFilesChanged);
    connect(&m_files, &FileSelection::outputChanged, this, &PandocViewModel::outputFileChanged);
    connect(&m_converter, &ConverterService::checkFinished, this,
            &PandocViewModel::pandocCheckFinished);
    connect(&m_converter, &ConverterService::formatsChanged, this,
            &PandocViewModel::converterFormatsChanged);
    connect(&m_templateLibrary, &TemplateService::changed, this,
            &PandocViewModel::templatesChanged);
    connect(&m_presetStore, &PresetService::changed, this, &PandocViewModel::presetsChanged);
    connect(&m_presetStore, &PresetService::selectedChanged, this,
            &PandocViewModel::selectedPresetChanged);
    connect(&m_cslLibrary, &CslStyleService::changed, this, &PandocViewModel::cslStylesChanged);
    connect(&m_runs, &RunController::resultsReady, this, &PandocViewModel::runResultsReady);
    connect(&m_runs, &RunController::finished, this, &PandocViewModel::finishConversion);

    loadTemplates();
    loadPresets();
    loadCslStyles();
    updateTemplateVisibility();

    for (auto changed :
         {&PandocViewModel::inputFilesChanged, &PandocViewModel::outputFileChanged,
          &PandocViewModel::inputFormatChanged, &PandocViewModel::outputFormatChanged,
          &PandocViewModel::selectedHtmlTemplateChanged,
          &PandocViewModel::selectedCssTemplateChanged,
          &PandocViewModel::selectedLatexTemplateChanged,
          &PandocViewModel::selectedDocxTemplateChanged, &PandocViewModel::standaloneChanged,
          &PandocViewModel::tableOfContentsChanged, &PandocViewModel::numberSectionsChanged,
          &PandocViewModel::additionalOptionsChanged, &PandocViewModel::bibliographyFileChanged,
          &PandocViewModel::cslFileChanged, &PandocViewModel::processCitationsChanged,
          &PandocViewModel::pdfEngineChanged, &PandocViewModel::optionValuesChanged})
        connect(this, changed, this, &PandocViewModel::commandPreviewChanged);
}

PandocViewModel::~PandocViewModel()
{
    // The last description edit must not be lost with the window.
    flushPendingSaves();
}

Reporter PandocViewModel::reporter()
{
    return {[this](const QString &line) { appendLog(line); },
            [this](const QString &message, Tone tone) { setStatus(message, colorOf(tone)); },
            [this](const QString &message) { setStatusMessage(message); },
            [this](double value) { setProgress(value); }};
}

// --- setters: each announces only a real change ---

void PandocViewModel::setInputFiles(const QList<QUrl> &v)
{
    m_files.setInputs(v);
}
void PandocViewModel::setOutputFile(const QString &v)
{
    m_files.setOutput(v);
}
void PandocViewModel::setInputFormat(const QString &v)
{
    assign(m_settings.inputFormat, v, &PandocViewModel::inputFormatChanged);
}
void PandocViewModel::setOutputFormat(const QString &v)
{
    assign(m_settings.outputFormat, v, &PandocViewModel::outputFormatChanged);
}
void PandocViewModel::setTemplates(const QList<Template> &v)
{
    m_templateLibrary.setTemplates(v);
}
void PandocViewModel::setSelectedHtmlTemplate(const std::optional<Template> &v)
{
    assign(m_settings.htmlTemplate, v, &PandocViewModel::selectedHtmlTemplateChanged);
}
void PandocViewModel::setSelectedCssTemplate(const std::optional<Template> &v)
{
    assign(m_settings.cssTemplate, v, &PandocViewModel::selectedCssTemplateChanged);
}
void PandocViewModel::setSelectedLatexTemplate(const std::optional<Template> &v)
{
    assign(m_settings.latexTemplate, v, &PandocViewModel::selectedLatexTemplateChanged);
}
void PandocViewModel::setSelectedDocxTemplate(const std::optional<Template> &v)
{
    assign(m_settings.docxTemplate, v, &PandocViewModel::selectedDocxTemplateChanged);
}
void PandocViewModel::setStandalone(bool v)
{
    assign(m_settings.standalone, v, &PandocViewModel::standaloneChanged);
}
void PandocViewModel::setTableOfContents(bool v)
{
    assign(m_settings.tableOfContents, v, &PandocViewModel::tableOfContentsChanged);
}
void PandocViewModel::setNumberSections(bool v)
{
    assign(m_settings.numberSections, v, &PandocViewModel::numberSectionsChanged);
}
void PandocViewModel::setAdditionalOptions(const QString &v)
{
    assign(m_settings.additionalOptions, v, &PandocViewModel::additionalOptionsChanged);
}
void PandocViewModel::setPresets(const QList<Preset> &v)
{
    m_presetStore.setPresets(v);
}
void PandocViewModel::setSelectedPreset(const std::optional<Preset> &v)
{
    m_presetStore.setSelected(v);
}
void PandocViewModel::setIsConverting(bool v)
{
    assign(m_isConverting, v, &PandocViewModel::isConvertingChanged);
}
void PandocViewModel::setProgress(double v)
{
    assign(m_progress, v, &PandocViewModel::progressChanged);
}
void PandocViewModel::setStatusMessage(const QString &v)
{
    assign(m_statusMessage, v, &PandocViewModel::statusMessageChanged);
}
void PandocViewModel::setStatusColor(StatusColor v)
{
    assign(m_statusColor, v, &PandocViewModel::statusColorChanged);
}
void PandocViewModel::setLogMessages(const QStringList &v)
{
    if (m_logMessages == v)
        return;
    m_logMessages = v;
    // A wholesale replacement is announced as a clear followed by the new lines.
    emit logCleared();
    for (const QString &line : m_logMessages)
        emit logMessageAppended(line);
    emit logMessagesChanged();
}
void PandocViewModel::setShowHtmlTemplate(bool v)
{
    assign(m_showHtmlTemplate, v, &PandocViewModel::showHtmlTemplateChanged);
}
void PandocViewModel::setShowCssFile(bool v)
{
    assign(m_showCssFile, v, &PandocViewModel::showCssFileChanged);
}
void PandocViewModel::setShowLatexTemplate(bool v)
{
    assign(m_showLatexTemplate, v, &PandocViewModel::showLatexTemplateChanged);
}
void PandocViewModel::setShowDocxReference(bool v)
{
    assign(m_showDocxReference, v, &PandocViewModel::showDocxReferenceChanged);
}
void PandocViewModel::setPdfEngine(const QString &value)
{
    assign(m_settings.pdfEngine, value, &PandocViewModel::pdfEngineChanged);
}
void PandocViewModel::setBibliographyFile(const QString &value)
{
    if (m_settings.citations.bibliography == value)
        return;
    const bool wasEmpty = m_settings.citations.bibliography.isEmpty();
    m_settings.citations.bibliography = value;
    emit bibliographyFileChanged();
    if (wasEmpty != value.isEmpty())
        setProcessCitations(!value.isEmpty());
}
void PandocViewModel::setCslFile(const QString &value)
{
    assign(m_settings.citations.csl, value, &PandocViewModel::cslFileChanged);
}
void PandocViewModel::setProcessCitations(bool value)
{
    assign(m_settings.citations.process, value, &PandocViewModel::processCitationsChanged);
}
std::optional<QString> PandocViewModel::optionValue(const QString &name) const
{
    const auto found = m_settings.options.constFind(name);
    return found == m_settings.options.cend() ? std::nullopt : std::optional(found.value());
}
void PandocViewModel::setOptionValue(const QString &name, const std::optional<QString> &value)
{
    QMap<QString, QString> options = m_settings.options;
    if (value)
        options.insert(name, *value);
    else
        options.remove(name);
    assign(m_settings.options, options, &PandocViewModel::optionValuesChanged);
}
void PandocViewModel::setParallelJobs(int value)
{
    if (m_runs.setParallelJobs(value))
        emit parallelJobsChanged();
}

// --- derived values ---

QString PandocViewModel::inputFileDisplay() const
{
    return m_files.display();
}

bool PandocViewModel::shouldShowTemplates() const
{
    return m_showHtmlTemplate || m_showCssFile || m_showLatexTemplate || m_showDocxReference;
}

QList<Template> PandocViewModel::htmlTemplates() const
{
    return templatesOfType(templates(), TemplateType::Html);
}

QList<Template> PandocViewModel::cssTemplates() const
{
    return templatesOfType(templates(), TemplateType::Css);
}

QList<Template> PandocViewModel::latexTemplates() const
{
    return templatesOfType(templates(), TemplateType::Latex);
}

QList<Template> PandocViewModel::docxTemplates() const
{
    return templatesOfType(templates(), TemplateType::DocxReference);
}

QString PandocViewModel::outputFileType() const
{
    const QString name = converterFormatName(m_settings.outputFormat);
    if (name == u"docx")
        return QStringLiteral("Word-Dokument (*.docx)");
    if (name == u"html" || name == u"html5")
        return QStringLiteral("HTML-Dokument (*.html *.htm)");
    if (name == u"pdf")
        return QStringLiteral("PDF-Dokument (*.pdf)");
    if (name == u"latex")
        return QStringLiteral("LaTeX-Dokument (*.tex)");
    if (name == u"markdown")
        return QStringLiteral("Markdown-Dokument (*.md)");
    return QStringLiteral("Alle Dateien (*)");
}

QString PandocViewModel::suggestedOutputFilename() const
{
    return m_files.suggestedName(m_settings.outputFormat);
}

QStringList PandocViewModel::extraInputFormats() const
{
    return FormatRules::extraFormats(FormatRules::inputFormatChoices(), m_converter.formats().input);
}

QStringList PandocViewModel::extraOutputFormats() const
{
    return FormatRules::extraFormats(FormatRules::outputFormatChoices(),
                                     m_converter.formats().output);
}

QStringList PandocViewModel::pdfEngines() const
{
    return m_converter.pdfPlanner().engines();
}

bool PandocViewModel::showPdfEngine() const
{
    return converterFormatName(m_settings.outputFormat).toLower() == u"pdf";
}

QString PandocViewModel::automaticPdfEngine(const QString &inputPath) const
{
    return m_converter.pdfPlanner().automaticEngine(inputPath);
}

CitationSettings PandocViewModel::citationSettings() const
{
    return m_settings.citations;
}

// --- output side ---

void PandocViewModel::updateTemplateVisibility()
{
    using Family = FormatRules::TemplateFamily;
    const Family family = FormatRules::templateFamily(m_settings.outputFormat);
    const bool html = family == Family::Html;
    setShowHtmlTemplate(html);
    setShowCssFile(html);
    setShowLatexTemplate(family == Family::Latex);
    setShowDocxReference(family == Family::Docx);
}

void PandocViewModel::autoSetOutputFile()
{
    m_files.deriveOutput(m_settings.outputFormat);
}

void PandocViewModel::clearLog()
{
    if (!m_logMessages.isEmpty()) {
        m_logMessages.clear();
        emit logCleared();
        emit logMessagesChanged();
    }
    setStatus(QStringLiteral("Log gelöscht"), StatusColor::Gray);
}

void PandocViewModel::appendLog(const QString &line)
{
    m_logMessages.append(line);
    emit logMessageAppended(line);
    emit logMessagesChanged();
}

void PandocViewModel::setStatus(const QString &message, StatusColor color)
{
    setStatusMessage(message);
    setStatusColor(color);
}

void PandocViewModel::showAlert(const QString &title, const QString &message)
{
    if (m_env.dialogs)
        m_env.dialogs->showAlert(title, message);
}

bool PandocViewModel::showConfirmation(const QString &title, const QString &message)
{
    return m_env.dialogs && m_env.dialogs->showConfirmation(title, message);
}

// --- converter discovery ---

void PandocViewModel::checkPandocInstallation()
{
    m_converter.check();
}

// --- input and output selection ---

void PandocViewModel::handleInputFileSelection(const PanelResult &outcome)
{
    m_files.takeOpenPanel(outcome.urls, outcome.error, m_settings.outputFormat);
}

void PandocViewModel::handleOutputFileSelection(const PanelResult &outcome)
{
    m_files.takeSavePanel(outcome.urls, outcome.error);
}

bool PandocViewModel::handleDrop(const QList<QUrl> &urls)
{
    m_files.takeDrop(urls, m_settings.outputFormat);
    return true;
}

void PandocViewModel::showBatchFileList()
{
    m_files.showList();
}

// --- conversion ---

RunPlanner PandocViewModel::planner() const
{
    return RunPlanner(m_converter.pdfPlanner(), [this](const QList<Template> &passed) {
        return m_templateLibrary.outsideWarnings(passed);
    });
}

QString PandocViewModel::commandPreview() const
{
    const QList<QUrl> &inputs = m_files.inputs();
    if (inputs.isEmpty())
        return {};
    const ExtraOptions options = parseExtraOptions(m_settings.additionalOptions);
    if (options.error)
        return QStringLiteral("(Zusatzoptionen fehlerhaft: ") + *options.error + u')';
    const QString input = inputs.first().toLocalFile();
    const QString chosen = m_files.output();
    const QString output =
        inputs.size() == 1
            ? (chosen.isEmpty() ? QString() : absolutePath(chosen))
            : RunPlanner::besideInputs({input}, m_settings.outputFormat).first().second;
    const QStringList args = planner().arguments(m_settings, input, output, options.words, nullptr);
    QStringList line{
        shellQuote(m_converter.search().locate().value_or(QStringLiteral("pandoc")))};
    for (const QString &arg : args)
        line << shellQuote(arg);
    return line.join(u' ');
}

void PandocViewModel::convert()
{
    const QList<QUrl> inputs = m_files.inputs();
    if (inputs.isEmpty()) {
        appendLog(QStringLiteral("❌ Keine Eingabedatei ausgewählt"));
        return;
    }
    if (m_runs.isRunning())
        return; // one run at a time; the view disables its start controls meanwhile
    if (inputs.size() > 1) {
        QStringList paths;
        paths.reserve(inputs.size());
        for (const QUrl &url : inputs)
            paths << url.toLocalFile();
        runFiles(m_settings, RunPlanner::besideInputs(paths, m_settings.outputFormat), true);
        return;
    }
    const QString output = m_files.output();
    runFiles(m_settings,
             {{inputs.first().toLocalFile(), output.isEmpty() ? QString() : absolutePath(output)}},
             false);
}

void PandocViewModel::runFiles(const ConversionSettings &settings,
                               const QList<std::pair<QString, QString>> &inputsAndOutputs,
                               bool batch)
{
    setIsConverting(true);
    setProgress(0.0);
    setStatus(QStringLiteral("Konvertierung läuft..."), StatusColor::Blue);
    m_runs.run(planner(), settings, inputsAndOutputs, batch);
}

void PandocViewModel::finishConversion()
{
    setIsConverting(false);
    m_templateLibrary.saveStamps();
    emit conversionFinished();
}

void PandocViewModel::cancelConversion()
{
    if (m_isConverting)
        m_runs.cancel();
}

void PandocViewModel::retryFailedConversions()
{
    if (m_isConverting)
        return;
    QList<QUrl> inputs;
    QList<std::pair<QString, QString>> files;
    for (const RunResult &row : m_runs.lastResults()) {
        if (row.outcome != RunResult::Outcome::Failed)
            continue;
        inputs << QUrl::fromLocalFile(row.input);
        files.append({row.input, row.output});
    }
    if (inputs.isEmpty())
        return;
    setInputFiles(inputs);
    if (inputs.size() > 1) {
        setOutputFile(kBatchPlaceholder);
    } else if (files.first().second.isEmpty()) {
        // Nothing was planned for it: a fresh start with today's settings.
        autoSetOutputFile();
        convert();
        return;
    } else {
        // The place the failed run meant to write, which for a batch file is the derived one.
        setOutputFile(files.first().second);
    }
    // The failed run's own settings and outputs, as they were: today's format must not
    // be written into yesterday's output name.
    runFiles(m_runs.lastSettings().value_or(m_settings), files, files.size() > 1);
}

// --- presets ---

void PandocViewModel::savePreset(const QString &name)
{
    if (m_presetStore.save(presetFromSettings(m_settings, name)))
        appendLog(QStringLiteral("✓ Preset gespeichert: ") + name);
}

void PandocViewModel::loadPreset(const Preset &preset)
{
    const ConversionSettings s = settingsFromPreset(preset, templates(), m_settings);
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

void PandocViewModel::warnAboutPresetNeeds(const Preset &preset)
{
    // Told, not changed: the preset may come from a machine with a newer pandoc.
    const ConverterFormats &formats = m_converter.formats();
    if (!FormatRules::isKnownFormat(preset.inputFormat, formats.input))
        appendLog(QStringLiteral("⚠ Pandoc kennt das Eingabeformat des Presets nicht: ") +
                  converterFormatName(preset.inputFormat));
    if (!FormatRules::isKnownFormat(preset.outputFormat, formats.output))
        appendLog(QStringLiteral("⚠ Pandoc kennt das Ausgabeformat des Presets nicht: ") +
                  converterFormatName(preset.outputFormat));
    const QString &engine = m_settings.pdfEngine;
    const bool engineFound = engine == kAutomaticPdfEngine || pdfEngines().contains(engine) ||
                             (engine.contains(u'/') && QFileInfo(engine).isExecutable());
    if (!engineFound)
        appendLog(QStringLiteral("⚠ PDF-Engine des Presets nicht gefunden: ") + engine);
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
        m_templateLibrary.importFile(file);
}

bool PandocViewModel::addTemplate(const QString &name, TemplateType type, const QString &filePath,
                                  const QString &description)
{
    return m_templateLibrary.add(name, type, filePath, description);
}

bool PandocViewModel::deleteTemplate(const Template &record)
{
    // A running conversion may still need the file.
    if (m_isConverting) {
        appendLog(QStringLiteral("⚠ Templates können während einer Konvertierung nicht gelöscht "
                                 "werden"));
        return false;
    }
    return m_templateLibrary.remove(record);
}

bool PandocViewModel::exportTemplate(const Template &record, const QString &destination)
{
    return m_templateLibrary.exportTo(record, destination);
}

QList<Template> PandocViewModel::filteredTemplates(std::optional<TemplateType> type,
                                                   bool favoritesOnly) const
{
    return m_templateLibrary.filtered(type, favoritesOnly);
}

bool PandocViewModel::isTemplateInLibrary(const Template &record) const
{
    return m_templateLibrary.isInLibrary(record);
}

QStringList PandocViewModel::outsideTemplateWarnings(const QList<Template> &passed) const
{
    return m_templateLibrary.outsideWarnings(passed);
}

std::optional<CslStyle> PandocViewModel::importCslStyle(const QString &path)
{
    return m_cslLibrary.add(templateNameForFile(path), path);
}

std::optional<CslStyle> PandocViewModel::addCslStyle(const QString &name, const QString &path)
{
    return m_cslLibrary.add(name, path);
}

bool PandocViewModel::deleteCslStyle(const QUuid &id)
{
    if (m_isConverting) {
        appendLog(QStringLiteral("⚠ CSL-Stile können während einer Konvertierung nicht gelöscht "
                                 "werden"));
        return false;
    }
    const std::optional<CslStyle> removed = m_cslLibrary.remove(id);
    if (!removed)
        return false;
    if (!m_settings.citations.csl.isEmpty() &&
        isSameFile(m_settings.citations.csl, removed->filePath))
        setCslFile(QString());
    appendLog(QStringLiteral("✓ CSL-Stil gelöscht: ") + removed->name);
    return true;
}

bool PandocViewModel::exportDefaultsFile(const std::optional<Preset> &preset, const QString &path)
{
    const QList<QUrl> &inputs = m_files.inputs();
    return m_defaults.exportFile(preset, m_settings,
                                 inputs.isEmpty() ? QString() : inputs.first().toLocalFile(), path);
}

bool PandocViewModel::importDefaultsFile(const QString &path, const QStringList &inputChoices,
                                         const QStringList &outputChoices)
{
    return m_defaults.importFile(path, inputChoices, outputChoices);
}
