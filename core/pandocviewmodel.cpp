#include "pandocviewmodel.h"

#include "conversionscheduler.h"
#include "formatname.h"
#include "formatrules.h"
#include "templateorder.h"
#include "versionquery.h"

#include <QFileInfo>
#include <QThread>

#include <algorithm>

PandocViewModel::PandocViewModel(ViewModelEnvironment environment, QObject *parent)
    : QObject(parent), m_env(std::move(environment)), m_presetStore(m_env.store.presetsFile()),
      m_templateIndex(m_env.store.templatesFile())
{
    m_descriptionSave.setSingleShot(true);
    m_descriptionSave.setInterval(kDescriptionSaveDelayMs);
    connect(&m_descriptionSave, &QTimer::timeout, this, &PandocViewModel::saveTemplates);
    setUpFormatsAndPdf();
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
          &PandocViewModel::additionalOptionsChanged})
        connect(this, changed, this, &PandocViewModel::commandPreviewChanged);
    for (auto changed :
         {&PandocViewModel::bibliographyFileChanged, &PandocViewModel::cslFileChanged,
          &PandocViewModel::processCitationsChanged})
        connect(this, changed, this, &PandocViewModel::commandPreviewChanged);
}

PandocViewModel::~PandocViewModel()
{
    // The last description edit must not be lost with the window.
    flushPendingSaves();
}

// --- setters: each announces only a real change ---

void PandocViewModel::setInputFiles(const QList<QUrl> &v)
{
    assign(m_inputFiles, v, &PandocViewModel::inputFilesChanged);
}
void PandocViewModel::setOutputFile(const QString &v)
{
    assign(m_outputFile, v, &PandocViewModel::outputFileChanged);
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
    assign(m_templates, v, &PandocViewModel::templatesChanged);
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
    assign(m_presets, v, &PandocViewModel::presetsChanged);
}
void PandocViewModel::setSelectedPreset(const std::optional<Preset> &v)
{
    assign(m_selectedPreset, v, &PandocViewModel::selectedPresetChanged);
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

// --- derived values ---

QString PandocViewModel::inputFileDisplay() const
{
    if (m_inputFiles.isEmpty())
        return {};
    if (m_inputFiles.size() == 1)
        return m_inputFiles.first().toLocalFile();
    return QStringLiteral("📦 ") + QString::number(m_inputFiles.size()) +
           QStringLiteral(" Dateien ausgewählt");
}

bool PandocViewModel::shouldShowTemplates() const
{
    return m_showHtmlTemplate || m_showCssFile || m_showLatexTemplate || m_showDocxReference;
}

QList<Template> PandocViewModel::htmlTemplates() const
{
    return templatesOfType(m_templates, TemplateType::Html);
}

QList<Template> PandocViewModel::cssTemplates() const
{
    return templatesOfType(m_templates, TemplateType::Css);
}

QList<Template> PandocViewModel::latexTemplates() const
{
    return templatesOfType(m_templates, TemplateType::Latex);
}

QList<Template> PandocViewModel::docxTemplates() const
{
    return templatesOfType(m_templates, TemplateType::DocxReference);
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
    if (m_inputFiles.isEmpty())
        return QStringLiteral("output");
    const QString fileName = QFileInfo(m_inputFiles.first().toLocalFile()).fileName();
    return baseNameWithoutLastExtension(fileName) + u'.' +
           FormatRules::outputExtension(m_settings.outputFormat);
}

// --- output side ---

void PandocViewModel::updateTemplateVisibility()
{
    using Family = FormatRules::TemplateFamily;
    const Family family = FormatRules::templateFamily(m_settings.outputFormat);
    const bool html = family == Family::Html;
    const bool latex = family == Family::Latex;
    const bool docx = family == Family::Docx;
    setShowHtmlTemplate(html);
    setShowCssFile(html);
    setShowLatexTemplate(latex);
    setShowDocxReference(docx);
}

void PandocViewModel::autoSetOutputFile()
{
    if (m_inputFiles.size() != 1)
        return;
    const QString input = m_inputFiles.first().toLocalFile();
    setOutputFile(
        replaceLastExtension(input, FormatRules::outputExtension(m_settings.outputFormat)));
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

// --- converter discovery ---

void PandocViewModel::checkPandocInstallation()
{
    // A query still under way reports for both calls.
    if (m_versionQuery)
        return;
    const ConverterSearch &search = m_env.converter;
    const QStringList candidates = search.candidates();
    const std::optional<QString> found = search.locate();
    if (!found) {
        reportNotFound(candidates);
        emit pandocCheckFinished();
        return;
    }
    const QString path = *found;
    askConverterFormats(path);
    m_versionQuery = std::make_unique<VersionQuery>();
    connect(m_versionQuery.get(), &VersionQuery::finished, this,
            [this, path](const VersionQuery::Result &result) {
                using Outcome = VersionQuery::Outcome;
                switch (result.outcome) {
                case Outcome::Version:
                    setStatus(QStringLiteral("✓ ") + result.versionLine + QStringLiteral(" (") +
                                  path + u')',
                              StatusColor::Green);
                    appendLog(QStringLiteral("✓ ") + result.versionLine);
                    appendLog(QStringLiteral("Pfad: ") + path);
                    break;
                case Outcome::StartFailed:
                    setStatus(QStringLiteral("⚠ Pandoc nicht gefunden!"), StatusColor::Red);
                    appendLog(QStringLiteral("⚠ Fehler beim Überprüfen von Pandoc: ") +
                              result.error);
                    break;
                case Outcome::TimedOut:
                    appendLog(QStringLiteral("⚠ Pandoc antwortet nicht auf --version (") + path +
                              QStringLiteral("); Abfrage nach ") +
                              QString::number(m_env.versionQueryTimeoutMs / 1000.0) +
                              QStringLiteral(" s abgebrochen"));
                    break;
                case Outcome::TooLong:
                    appendLog(QStringLiteral("⚠ Pandoc antwortet nicht auf --version (") + path +
                              QStringLiteral("); Antwort nach ") +
                              QString::number(VersionQuery::kMaxAnswerBytes / 1024) +
                              QStringLiteral(" KiB ohne Versionszeile abgebrochen"));
                    break;
                case Outcome::NonZeroExit:
                case Outcome::NotUtf8:
                case Outcome::Crashed:
                    break;
                }
                m_versionQuery.release()->deleteLater();
                emit pandocCheckFinished();
            });
    m_versionQuery->start(path, m_env.versionQueryTimeoutMs);
}

void PandocViewModel::reportNotFound(const QStringList &candidates)
{
    setStatus(QStringLiteral("⚠ Pandoc nicht gefunden!"), StatusColor::Red);
    appendLog(QStringLiteral("⚠ Pandoc nicht gefunden - Bitte installieren: ") + kInstallPage);
    appendLog(QStringLiteral("Gesuchte Pfade:"));
    for (const QString &candidate : candidates.first(std::min<qsizetype>(5, candidates.size())))
        appendLog(QStringLiteral("  - ") + candidate);
}

int PandocViewModel::defaultParallelJobs()
{
    return std::clamp(QThread::idealThreadCount(), kMinParallelJobs, 4);
}

void PandocViewModel::setParallelJobs(int value)
{
    assign(m_parallelJobs, std::clamp(value, kMinParallelJobs, kMaxParallelJobs),
           &PandocViewModel::parallelJobsChanged);
}
