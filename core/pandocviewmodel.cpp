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

// The status colours name the tones in the same order.
static_assert(int(Tone::Neutral) == int(PandocViewModel::StatusColor::Primary) &&
              int(Tone::Busy) == int(PandocViewModel::StatusColor::Blue) &&
              int(Tone::Success) == int(PandocViewModel::StatusColor::Green) &&
              int(Tone::Warning) == int(PandocViewModel::StatusColor::Orange) &&
              int(Tone::Failure) == int(PandocViewModel::StatusColor::Red) &&
              int(Tone::Muted) == int(PandocViewModel::StatusColor::Gray));

} // namespace

PandocViewModel::PandocViewModel(ViewModelEnvironment environment, QObject *parent)
    : QObject(parent), m_env(std::move(environment)), m_files(m_env.dialogs, reporter().log),
      m_converter({m_env.converter, m_env.versionQueryTimeoutMs, m_env.formatQueryTimeoutMs,
                   m_env.enginePath, m_env.pdfSetupFolder},
                  reporter()),
      m_library(m_env.store, m_env.dialogs, m_env.desktop, reporter().log),
      m_presets(m_env.store, reporter().log), m_styles(m_env.store, m_env.dialogs, reporter().log),
      m_runs({&m_converter.search(), m_env.dialogs, m_env.desktop, m_env.cancelGraceMs,
              [this](const QSet<QUuid> &ids) { m_library.stamp(ids); }, m_env.upToDateFolder},
             reporter()),
      m_defaults(m_presets, m_library, m_converter, m_env.dialogs, reporter().log),
      m_watch(m_runs, reporter(), [this] { return m_statusMessage; })
{
    using Edit = SettingsModel;
    using VM = PandocViewModel;
    const std::pair<void (Edit::*)(), void (VM::*)()> settingsSignals[] = {
        {&Edit::inputFormatChanged, &VM::inputFormatChanged},
        {&Edit::outputFormatChanged, &VM::outputFormatChanged},
        {&Edit::htmlTemplateChanged, &VM::selectedHtmlTemplateChanged},
        {&Edit::cssTemplateChanged, &VM::selectedCssTemplateChanged},
        {&Edit::latexTemplateChanged, &VM::selectedLatexTemplateChanged},
        {&Edit::docxTemplateChanged, &VM::selectedDocxTemplateChanged},
        {&Edit::standaloneChanged, &VM::standaloneChanged},
        {&Edit::tableOfContentsChanged, &VM::tableOfContentsChanged},
        {&Edit::numberSectionsChanged, &VM::numberSectionsChanged},
        {&Edit::additionalOptionsChanged, &VM::additionalOptionsChanged},
        {&Edit::pdfEngineChanged, &VM::pdfEngineChanged},
        {&Edit::bibliographyChanged, &VM::bibliographyFileChanged},
        {&Edit::cslChanged, &VM::cslFileChanged},
        {&Edit::processCitationsChanged, &VM::processCitationsChanged},
        {&Edit::optionsChanged, &VM::optionValuesChanged},
        {&Edit::mergeChanged, &VM::mergeInputsChanged}};
    // Every setting and file shows in the command preview.
    for (const auto &[from, to] : settingsSignals) {
        connect(&m_settings, from, this, to);
        connect(&m_settings, from, this, &VM::commandPreviewChanged);
    }
    connect(&m_settings, &Edit::mergeChanged, this,
            [this] { m_files.setMerge(settings().mergeInputs, settings().outputFormat); });
    connect(&m_files, &FileSelection::inputsChanged, this, &VM::inputFilesChanged);
    connect(&m_files, &FileSelection::outputChanged, this, &VM::outputFileChanged);
    connect(&m_files, &FileSelection::inputsChanged, this, &VM::commandPreviewChanged);
    connect(&m_files, &FileSelection::outputChanged, this, &VM::commandPreviewChanged);
    connect(&m_files, &FileSelection::batchFolderChanged, this, &VM::batchOutputFolderChanged);
    connect(&m_files, &FileSelection::batchFolderChanged, this, &VM::commandPreviewChanged);
    connect(&m_converter, &ConverterService::checkFinished, this,
            &PandocViewModel::pandocCheckFinished);
    connect(&m_converter, &ConverterService::formatsChanged, this,
            &PandocViewModel::converterFormatsChanged);
    connect(&m_library, &TemplateService::changed, this, &PandocViewModel::templatesChanged);
    connect(&m_presets, &PresetService::changed, this, &PandocViewModel::presetsChanged);
    connect(&m_presets, &PresetService::selectedChanged, this,
            &PandocViewModel::selectedPresetChanged);
    connect(&m_styles, &CslStyleService::changed, this, &PandocViewModel::cslStylesChanged);
    connect(&m_runs, &RunController::resultsReady, this, &PandocViewModel::runResultsReady);
    connect(&m_runs, &RunController::stopped, this, [this] {
        setIsConverting(false);
        m_library.saveStamps();
        m_runOutcomeShown = true;
    });
    // A run's outcome describes those files and settings, not the ones chosen since.
    connect(this, &VM::commandPreviewChanged, this, [this] {
        if (std::exchange(m_runOutcomeShown, false) && !m_isConverting)
            setStatus(QStringLiteral("Bereit"), StatusColor::Primary);
    });
    connect(&m_runs, &RunController::finished, &m_watch, &WatchSession::runFinished);
    connect(&m_runs, &RunController::finished, this, &VM::conversionFinished);
    connect(&m_watch, &WatchSession::rerun, this,
            [this](const ConversionSettings &s, const QList<std::pair<QString, QString>> &files,
                   bool batch) { runFiles(s, files, batch, true); });
    // Any other choice of the user ends watching.
    connect(this, &VM::commandPreviewChanged, &m_watch,
            [this] { m_watch.stop(QStringLiteral("Einstellungen oder Eingaben geändert")); });

    loadTemplates();
    loadPresets();
    loadCslStyles();
    updateTemplateVisibility();
}

PandocViewModel::~PandocViewModel()
{
    // The last description edit must not be lost with the window.
    flushPendingSaves();
}

Reporter PandocViewModel::reporter()
{
    return {[this](const QString &line) { appendLog(line); },
            [this](const QString &message, Tone tone) { setStatus(message, StatusColor(tone)); },
            [this](const QString &message) { setStatusMessage(message); },
            [this](double value) { setProgress(value); }};
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
void PandocViewModel::setShowLatexTemplate(bool v)
{
    assign(m_showLatexTemplate, v, &PandocViewModel::showLatexTemplateChanged);
}
void PandocViewModel::setShowDocxReference(bool v)
{
    assign(m_showDocxReference, v, &PandocViewModel::showDocxReferenceChanged);
}
void PandocViewModel::setParallelJobs(int value)
{
    if (m_runs.setParallelJobs(value))
        emit parallelJobsChanged();
}

// --- derived values ---

bool PandocViewModel::shouldShowTemplates() const
{
    return m_showHtmlTemplate || m_showCssFile || m_showLatexTemplate || m_showDocxReference;
}

QString PandocViewModel::suggestedOutputFilename() const
{
    return m_files.suggestedName(settings().outputFormat);
}

bool PandocViewModel::showPdfEngine() const
{
    return converterFormatName(settings().outputFormat).toLower() == u"pdf";
}

QString PandocViewModel::automaticPdfEngine(const QString &inputPath) const
{
    return m_converter.pdfPlanner().automaticEngine(inputPath);
}

// --- output side ---

void PandocViewModel::updateTemplateVisibility()
{
    using Family = FormatRules::TemplateFamily;
    const Family family = FormatRules::templateFamily(settings().outputFormat);
    const bool html = family == Family::Html;
    setShowHtmlTemplate(html);
    setShowCssFile(html);
    setShowLatexTemplate(family == Family::Latex);
    setShowDocxReference(family == Family::Docx);
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

// --- input and output selection ---

void PandocViewModel::handleInputFileSelection(const PanelResult &outcome)
{
    m_files.takeOpenPanel(outcome.urls, outcome.error, settings().outputFormat);
}

bool PandocViewModel::handleDrop(const QList<QUrl> &urls)
{
    m_files.takeDrop(urls, settings().outputFormat);
    return true;
}

// --- conversion ---

RunPlanner PandocViewModel::planner() const
{
    return RunPlanner(m_converter.pdfPlanner(), [this](const QList<Template> &passed) {
        return m_library.outsideWarnings(passed);
    });
}

QString PandocViewModel::commandPreview() const
{
    if (m_files.inputs().isEmpty())
        return {};
    return planner().commandLine(settings(), m_files.plannedFiles(settings().outputFormat),
                                 m_converter.search().locate().value_or(QStringLiteral("pandoc")));
}

void PandocViewModel::convert()
{
    if (m_files.inputs().isEmpty()) {
        appendLog(QStringLiteral("❌ Keine Eingabedatei ausgewählt"));
        return;
    }
    if (m_runs.isRunning())
        return; // one run at a time; the view disables its start controls meanwhile
    runFiles(settings(), m_files.plannedFiles(settings().outputFormat),
             m_files.inputs().size() > 1 && !settings().mergeInputs);
}

void PandocViewModel::runFiles(const ConversionSettings &settings,
                               const QList<std::pair<QString, QString>> &inputsAndOutputs,
                               bool batch, bool automatic)
{
    if (!automatic)
        m_watch.userRunStarting(inputsAndOutputs);
    setIsConverting(true);
    setProgress(0.0);
    setStatus(QStringLiteral("Konvertierung läuft..."), StatusColor::Blue);
    m_runs.run(planner(), settings, inputsAndOutputs, batch,
               {m_onlyChanged, m_watch.enabled(), automatic});
}

void PandocViewModel::cancelConversion()
{
    if (m_isConverting) {
        m_watch.stop(QStringLiteral("Konvertierung abgebrochen"));
        m_runs.cancel();
    }
}

void PandocViewModel::setWatchChanges(bool value)
{
    if (value == m_watch.enabled())
        return;
    m_watch.setEnabled(value);
    emit watchChangesChanged();
}

void PandocViewModel::retryFailedConversions()
{
    if (m_isConverting)
        return;
    const QList<std::pair<QString, QString>> files = m_runs.failedFiles();
    if (files.isEmpty())
        return;
    if (files.size() == 1 && files.first().second.isEmpty()) {
        // Nothing was planned for it: a fresh start with today's settings.
        setInputFiles({QUrl::fromLocalFile(files.first().first)});
        autoSetOutputFile();
        convert();
        return;
    }
    // The chosen files stay as they are; only the failed ones run again, with the failed
    // run's own settings and outputs: today's format must not be written into yesterday's
    // output name.
    runFiles(m_runs.lastSettings().value_or(settings()), files, files.size() > 1);
}
