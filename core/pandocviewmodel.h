#pragma once

#include "converterservice.h"
#include "cslstyleservice.h"
#include "defaultstransfer.h"
#include "fileselection.h"
#include "formatrules.h"
#include "presetservice.h"
#include "runcontroller.h"
#include "settingsmodel.h"
#include "templateorder.h"
#include "templateservice.h"
#include "viewmodelenvironment.h"
#include "watchsession.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <optional>

class RunPlanner;

class PandocViewModel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PandocViewModel)

    Q_PROPERTY(QList<QUrl> inputFiles READ inputFiles WRITE setInputFiles NOTIFY inputFilesChanged)
    Q_PROPERTY(QString outputFile READ outputFile WRITE setOutputFile NOTIFY outputFileChanged)
    Q_PROPERTY(QString inputFormat READ inputFormat WRITE setInputFormat NOTIFY inputFormatChanged)
    Q_PROPERTY(
        QString outputFormat READ outputFormat WRITE setOutputFormat NOTIFY outputFormatChanged)
    Q_PROPERTY(QList<Template> templates READ templates WRITE setTemplates NOTIFY templatesChanged)
    Q_PROPERTY(std::optional<Template> selectedHtmlTemplate READ selectedHtmlTemplate WRITE
                   setSelectedHtmlTemplate NOTIFY selectedHtmlTemplateChanged)
    Q_PROPERTY(std::optional<Template> selectedCssTemplate READ selectedCssTemplate WRITE
                   setSelectedCssTemplate NOTIFY selectedCssTemplateChanged)
    Q_PROPERTY(std::optional<Template> selectedLatexTemplate READ selectedLatexTemplate WRITE
                   setSelectedLatexTemplate NOTIFY selectedLatexTemplateChanged)
    Q_PROPERTY(std::optional<Template> selectedDocxTemplate READ selectedDocxTemplate WRITE
                   setSelectedDocxTemplate NOTIFY selectedDocxTemplateChanged)
    Q_PROPERTY(bool standalone READ standalone WRITE setStandalone NOTIFY standaloneChanged)
    Q_PROPERTY(bool tableOfContents READ tableOfContents WRITE setTableOfContents NOTIFY
                   tableOfContentsChanged)
    Q_PROPERTY(bool numberSections READ numberSections WRITE setNumberSections NOTIFY
                   numberSectionsChanged)
    Q_PROPERTY(QString additionalOptions READ additionalOptions WRITE setAdditionalOptions NOTIFY
                   additionalOptionsChanged)
    Q_PROPERTY(QList<Preset> presets READ presets WRITE setPresets NOTIFY presetsChanged)
    Q_PROPERTY(std::optional<Preset> selectedPreset READ selectedPreset WRITE setSelectedPreset
                   NOTIFY selectedPresetChanged)
    Q_PROPERTY(bool isConverting READ isConverting WRITE setIsConverting NOTIFY isConvertingChanged)
    Q_PROPERTY(double progress READ progress WRITE setProgress NOTIFY progressChanged)
    Q_PROPERTY(
        QString statusMessage READ statusMessage WRITE setStatusMessage NOTIFY statusMessageChanged)
    Q_PROPERTY(
        StatusColor statusColor READ statusColor WRITE setStatusColor NOTIFY statusColorChanged)
    Q_PROPERTY(
        QStringList logMessages READ logMessages WRITE setLogMessages NOTIFY logMessagesChanged)
    Q_PROPERTY(bool showHtmlTemplate READ showHtmlTemplate WRITE setShowHtmlTemplate NOTIFY
                   showHtmlTemplateChanged)
    Q_PROPERTY(bool showCssFile READ showCssFile WRITE setShowCssFile NOTIFY showCssFileChanged)
    Q_PROPERTY(bool showLatexTemplate READ showLatexTemplate WRITE setShowLatexTemplate NOTIFY
                   showLatexTemplateChanged)
    Q_PROPERTY(bool showDocxReference READ showDocxReference WRITE setShowDocxReference NOTIFY
                   showDocxReferenceChanged)

    // Everything below the 24 properties views bind to is a plain getter and setter with a
    // change signal, such as the formats, the PDF engine and parallelJobs.

public:
    enum class StatusColor
    {
        Primary,
        Blue,
        Green,
        Orange,
        Red,
        Gray
    };
    Q_ENUM(StatusColor)

    // The outcome of an open or save panel: locations, or the panel's error.
    struct PanelResult
    {
        QList<QUrl> urls;
        std::optional<QString> error;
    };

    static inline const QString kBatchPlaceholder = FileSelection::kBatchPlaceholder;
    static inline const QString kInstallPage = ConverterService::kInstallPage;

    explicit PandocViewModel(ViewModelEnvironment environment = {}, QObject *parent = nullptr);
    ~PandocViewModel() override;

    // --- properties ---
    QList<QUrl> inputFiles() const { return m_files.inputs(); }
    // With several inputs the batch placeholder: each output lies beside its input.
    QString outputFile() const { return m_files.output(); }
    QString inputFormat() const { return settings().inputFormat; }
    QString outputFormat() const { return settings().outputFormat; }
    QList<Template> templates() const { return m_library.templates(); }
    std::optional<Template> selectedHtmlTemplate() const { return settings().htmlTemplate; }
    std::optional<Template> selectedCssTemplate() const { return settings().cssTemplate; }
    std::optional<Template> selectedLatexTemplate() const { return settings().latexTemplate; }
    std::optional<Template> selectedDocxTemplate() const { return settings().docxTemplate; }
    bool standalone() const { return settings().standalone; }
    bool tableOfContents() const { return settings().tableOfContents; }
    bool numberSections() const { return settings().numberSections; }
    QString additionalOptions() const { return settings().additionalOptions; }
    QList<Preset> presets() const { return m_presets.presets(); }
    std::optional<Preset> selectedPreset() const { return m_presets.selected(); }
    bool isConverting() const { return m_isConverting; }
    double progress() const { return m_progress; }
    QString statusMessage() const { return m_statusMessage; }
    StatusColor statusColor() const { return m_statusColor; }
    QStringList logMessages() const { return m_logMessages; }
    bool showHtmlTemplate() const { return m_showHtmlTemplate; }
    bool showCssFile() const { return m_showCssFile; }
    bool showLatexTemplate() const { return m_showLatexTemplate; }
    bool showDocxReference() const { return m_showDocxReference; }

    void setInputFiles(const QList<QUrl> &value) { m_files.setInputs(value); }
    void setOutputFile(const QString &value) { m_files.setOutput(value); }
    void setInputFormat(const QString &value) { m_settings.setInputFormat(value); }
    void setOutputFormat(const QString &value) { m_settings.setOutputFormat(value); }
    void setTemplates(const QList<Template> &value) { m_library.setTemplates(value); }
    void setSelectedHtmlTemplate(const std::optional<Template> &v) { m_settings.setHtml(v); }
    void setSelectedCssTemplate(const std::optional<Template> &v) { m_settings.setCss(v); }
    void setSelectedLatexTemplate(const std::optional<Template> &v) { m_settings.setLatex(v); }
    void setSelectedDocxTemplate(const std::optional<Template> &v) { m_settings.setDocx(v); }
    void setStandalone(bool value) { m_settings.setStandalone(value); }
    void setTableOfContents(bool value) { m_settings.setTableOfContents(value); }
    void setNumberSections(bool value) { m_settings.setNumberSections(value); }
    void setAdditionalOptions(const QString &value) { m_settings.setAdditionalOptions(value); }
    void setPresets(const QList<Preset> &value) { m_presets.setPresets(value); }
    void setSelectedPreset(const std::optional<Preset> &value) { m_presets.setSelected(value); }
    void setIsConverting(bool value) { assign(m_isConverting, value, &Self::isConvertingChanged); }
    void setProgress(double value) { assign(m_progress, value, &PandocViewModel::progressChanged); }
    void setStatusMessage(const QString &v)
    {
        assign(m_statusMessage, v, &Self::statusMessageChanged);
    }
    void setStatusColor(StatusColor v) { assign(m_statusColor, v, &Self::statusColorChanged); }
    void setLogMessages(const QStringList &value);
    void setShowHtmlTemplate(bool value);
    void setShowCssFile(bool value) { assign(m_showCssFile, value, &Self::showCssFileChanged); }
    void setShowLatexTemplate(bool value);
    void setShowDocxReference(bool value);

    // --- derived values ---
    QString inputFileDisplay() const { return m_files.display(); }
    bool shouldShowTemplates() const;
    QList<Template> htmlTemplates() const { return ofType(TemplateType::Html); }
    QList<Template> cssTemplates() const { return ofType(TemplateType::Css); }
    QList<Template> latexTemplates() const { return ofType(TemplateType::Latex); }
    QList<Template> docxTemplates() const { return ofType(TemplateType::DocxReference); }
    QString outputFileType() const { return FormatRules::saveFilter(settings().outputFormat); }
    QString suggestedOutputFilename() const;

    // --- output side ---
    void updateTemplateVisibility();
    void autoSetOutputFile() { m_files.deriveOutput(settings().outputFormat); }
    void clearLog();
    void appendLog(const QString &line);
    void checkPandocInstallation() { m_converter.check(); }

    // --- presets ---
    void loadPresets() { m_presets.load(); }
    void savePreset(const QString &name);
    void loadPreset(const Preset &preset);
    void deleteSelectedPreset() { m_presets.deleteSelected(); }
    void savePresetsToFile() { m_presets.saveAll(); }

    // --- template index ---
    void loadTemplates() { m_library.load(); }
    void saveTemplates() { m_library.save(); }
    void updateTemplateLastUsed(const Template &record) { m_library.updateLastUsed(record); }

    // --- conversion ---
    // Starts the conversion of the chosen inputs; returns at once, conversionFinished() follows.
    void convert();
    // Stops the running converter and skips the rest of a batch.
    void cancelConversion();
    // The next single conversion's command line, quoted so it can be pasted into a shell.
    QString commandPreview() const;
    void showAlert(const QString &title, const QString &message);
    bool showConfirmation(const QString &title, const QString &message);

    // --- input and output selection ---
    void handleInputFileSelection(const PanelResult &outcome);
    void handleOutputFileSelection(const PanelResult &v) { m_files.takeSavePanel(v.urls, v.error); }
    // Where a batch writes; "" beside each input. Kept for the session.
    QString batchOutputFolder() const { return m_files.batchFolder(); }
    void setBatchOutputFolder(const QString &folder) { m_files.setBatchFolder(folder); }
    // Takes the local files among the dropped URLs, in order; always accepts.
    bool handleDrop(const QList<QUrl> &urls);
    void showBatchFileList() { m_files.showList(); }
    // --- several inputs into one document, read in the order of inputFiles() ---
    bool mergeInputs() const { return settings().mergeInputs; }
    void setMergeInputs(bool value) { m_settings.setMergeInputs(value); }
    bool moveInput(qsizetype from, qsizetype to) { return m_files.moveInput(from, to); }

    // --- template library ---
    void handleTemplateImport(const PanelResult &outcome);
    void importTemplate(const QUrl &file);
    // True when the template was added (the add sheet then closes).
    bool addTemplate(const QString &name, TemplateType type, const QString &filePath,
                     const QString &description);
    // Asks first; true when the record was deleted (the library view then clears its selection).
    bool deleteTemplate(const Template &record);
    void toggleFavorite(const std::optional<Template> &selected);
    void updateDescription(const QUuid &id, const QString &text);
    void openTemplateFolder() { m_library.openFolder(); }
    bool exportTemplate(const Template &record, const QString &destination);
    // The library list: kind filter, favourites filter, then favourites first and by name.
    QList<Template> filteredTemplates(std::optional<TemplateType> type, bool favoritesOnly) const;
    // Description edits are saved once typing pauses; this writes a pending one now.
    void flushPendingSaves() { m_library.flushPendingSaves(); }
    // The record whose description alone templatesChanged announces, for views to skip it.
    std::optional<QUuid> editedDescriptionId() const { return m_library.editedDescriptionId(); }
    static constexpr int kDescriptionSaveDelayMs = TemplateService::kDescriptionSaveDelayMs;
    const ViewModelEnvironment &environment() const { return m_env; }

    // --- parallel batches ---
    static constexpr int kMinParallelJobs = RunController::kMinParallelJobs;
    static constexpr int kMaxParallelJobs = RunController::kMaxParallelJobs;
    // The number of cores, at most 4.
    static int defaultParallelJobs() { return RunController::defaultParallelJobs(); }
    // How many conversions of a batch run at once, 1..8 (not a Q_PROPERTY, like those below).
    int parallelJobs() const { return m_runs.parallelJobs(); }
    void setParallelJobs(int value);
    // One row per file of the last finished run, in input order.
    RunResults lastRunResults() const { return m_runs.lastResults(); }
    void setLastRunResults(const RunResults &value) { m_runs.setLastResults(value); }
    // Converts again the inputs that failed in the last run (never during a run).
    void retryFailedConversions();
    // "Bei Änderungen automatisch konvertieren" (session only) and "Nur geänderte Dateien".
    bool watchChanges() const { return m_watch.enabled(); }
    void setWatchChanges(bool value);
    bool onlyChangedFiles() const { return m_onlyChanged; }
    void setOnlyChangedFiles(bool v) { assign(m_onlyChanged, v, &Self::onlyChangedFilesChanged); }
    const WatchSession &watchSession() const { return m_watch; }

    // True when the record's file lies in the store's folder for its kind; Velunor previews,
    // exports and deletes no other file.
    bool isTemplateInLibrary(const Template &v) const { return m_library.isInLibrary(v); }
    // A "⚠ " line for each passed template whose file lies outside the library.
    QStringList outsideTemplateWarnings(const QList<Template> &passed) const;

    // --- more formats and the PDF engine ---
    // One spelling with the PDF set-up's own.
    static inline const QString kAutomaticPdfEngine = PdfSetup::kAutomatic;
    // What the found converter lists beyond the pickers' own entries; empty until it answered.
    QStringList extraInputFormats() const { return m_converter.extraFormats(true); }
    QStringList extraOutputFormats() const { return m_converter.extraFormats(false); }
    ConverterFormats converterFormats() const { return m_converter.formats(); }
    // "Automatisch" or the name of an engine.
    QString pdfEngine() const { return settings().pdfEngine; }
    void setPdfEngine(const QString &value) { m_settings.setPdfEngine(value); }
    // The engines found on the search path, in picker order.
    QStringList pdfEngines() const { return m_converter.pdfPlanner().engines(); }
    // True while the output format is PDF.
    bool showPdfEngine() const;
    // The engine "Automatisch" takes for this input.
    QString automaticPdfEngine(const QString &inputPath) const;

    // --- citations ---
    QString bibliographyFile() const { return settings().citations.bibliography; }
    QString cslFile() const { return settings().citations.csl; }
    bool processCitations() const { return settings().citations.process; }
    // Choosing a bibliography turns processing on, clearing it turns it off.
    void setBibliographyFile(const QString &value) { m_settings.setBibliography(value); }
    void setCslFile(const QString &value) { m_settings.setCsl(value); }
    void setProcessCitations(bool value) { m_settings.setProcessCitations(value); }
    CitationSettings citationSettings() const { return settings().citations; }

    // The value of one of controlledOptions(); none when it is not set.
    std::optional<QString> optionValue(const QString &name) const;
    void setOptionValue(const QString &name, const std::optional<QString> &value);
    QMap<QString, QString> optionValues() const { return settings().options; }
    // Filters, metadata, variables, extensions: edited there, announced by optionValuesChanged.
    SettingsModel &editedSettings() { return m_settings; }
    ConverterService &converterService() { return m_converter; }

    QList<CslStyle> cslStyles() const { return m_styles.styles(); }
    void loadCslStyles() { m_styles.load(); }
    // Copies a .csl file into the style folder and lists it; the new entry, or none on failure.
    std::optional<CslStyle> importCslStyle(const QString &path);
    std::optional<CslStyle> addCslStyle(const QString &name, const QString &path);
    // Asks first; removes the entry and its stored file.
    bool deleteCslStyle(const QUuid &id);

    // Writes the preset, or the current settings when none is given, as a defaults file.
    bool exportDefaultsFile(const std::optional<Preset> &preset, const QString &path);
    // Reads a defaults file into a new preset (formats as the pickers' entries) and selects it.
    bool importDefaultsFile(const QString &path, const QStringList &inputChoices,
                            const QStringList &outputChoices);

signals:
    void inputFilesChanged();
    void outputFileChanged();
    void inputFormatChanged();
    void outputFormatChanged();
    void templatesChanged();
    void selectedHtmlTemplateChanged();
    void selectedCssTemplateChanged();
    void selectedLatexTemplateChanged();
    void selectedDocxTemplateChanged();
    void standaloneChanged();
    void tableOfContentsChanged();
    void numberSectionsChanged();
    void additionalOptionsChanged();
    void presetsChanged();
    void selectedPresetChanged();
    void isConvertingChanged();
    void progressChanged();
    void statusMessageChanged();
    void statusColorChanged();
    void logMessagesChanged();
    void showHtmlTemplateChanged();
    void showCssFileChanged();
    void showLatexTemplateChanged();
    void showDocxReferenceChanged();

    // Lets a log view append or clear in constant time instead of rebuilding.
    void logMessageAppended(const QString &line);
    void logCleared();
    // The converter check has written its result (or found nothing to write).
    void pandocCheckFinished();
    // A conversion started by convert() has ended (after its last dialog).
    void conversionFinished();
    // Anything that the command preview depends on has changed.
    void commandPreviewChanged();
    void parallelJobsChanged();
    // Emitted once after each run, before conversionFinished(); lastRunResults() holds its rows.
    void runResultsReady();

    void converterFormatsChanged();
    void pdfEngineChanged();
    void pdfEnginesChanged();
    void bibliographyFileChanged();
    void cslFileChanged();
    void processCitationsChanged();
    void cslStylesChanged();
    void optionValuesChanged();
    void batchOutputFolderChanged();
    void mergeInputsChanged();
    void watchChangesChanged();
    void onlyChangedFilesChanged();

private:
    using Self = PandocViewModel;
    QList<Template> ofType(TemplateType type) const { return templatesOfType(templates(), type); }
    template <typename T> void assign(T &member, const T &value, void (PandocViewModel::*changed)())
    {
        if (member == value)
            return;
        member = value;
        emit(this->*changed)();
    }

    const ConversionSettings &settings() const { return m_settings.value(); }
    void setStatus(const QString &message, StatusColor color);
    Reporter reporter();
    // Plans runs and builds argument lists with this view model's PDF set-up.
    RunPlanner planner() const;
    // Starts a run of these files; the status line and progress say so first.
    void runFiles(const ConversionSettings &settings,
                  const QList<std::pair<QString, QString>> &inputsAndOutputs, bool batch,
                  bool automatic = false);

    ViewModelEnvironment m_env;

    // What the window shows and edits; the settings of the next conversion first.
    SettingsModel m_settings;
    bool m_isConverting = false;
    double m_progress = 0.0;
    QString m_statusMessage = QStringLiteral("Bereit");
    StatusColor m_statusColor = StatusColor::Primary;
    QStringList m_logMessages;
    bool m_showHtmlTemplate = false;
    bool m_showCssFile = false;
    bool m_showLatexTemplate = false;
    bool m_showDocxReference = false;
    // The status line shows how the last run ended.
    bool m_runOutcomeShown = false;
    bool m_onlyChanged = false;

    // The services behind the operations, each with state of its own.
    FileSelection m_files;
    ConverterService m_converter;
    TemplateService m_library;
    PresetService m_presets;
    CslStyleService m_styles;
    RunController m_runs;
    DefaultsTransfer m_defaults;
    WatchSession m_watch;
};
