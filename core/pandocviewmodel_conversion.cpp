// Conversion entry: plans a run, asks what must be asked, then hands it to the scheduler.
#include "pandocviewmodel.h"

#include "conversionplan.h"
#include "conversionscheduler.h"
#include "extraoptions.h"
#include "filepaths.h"
#include "formatname.h"
#include "formatrules.h"
#include "outputkeeper.h"
#include "runplanner.h"
#include "shellwords.h"

#include <QFileInfo>
#include <QSet>
#include <QTimer>

namespace {

const QString kSeparator = QString(60, u'=');

QString lastComponent(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString absolutePath(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

void PandocViewModel::showAlert(const QString &title, const QString &message)
{
    if (m_env.dialogs)
        m_env.dialogs->showAlert(title, message);
}

bool PandocViewModel::showConfirmation(const QString &title, const QString &message)
{
    return m_env.dialogs && m_env.dialogs->showConfirmation(title, message);
}

ConversionSettings PandocViewModel::runSettings() const
{
    return m_settings;
}

RunPlanner PandocViewModel::planner() const
{
    return RunPlanner(*m_pdfPlanner, [this](const QList<Template> &passed) {
        return outsideTemplateWarnings(passed);
    });
}

QString PandocViewModel::commandPreview() const
{
    if (m_inputFiles.isEmpty())
        return {};
    const ExtraOptions options = parseExtraOptions(m_settings.additionalOptions);
    if (options.error)
        return QStringLiteral("(Zusatzoptionen fehlerhaft: ") + *options.error + u')';
    const QString input = m_inputFiles.first().toLocalFile();
    const QString output =
        m_inputFiles.size() == 1
            ? (m_outputFile.isEmpty() ? QString() : absolutePath(m_outputFile))
            : RunPlanner::besideInputs({input}, m_settings.outputFormat).first().second;
    const QStringList args = planner().arguments(m_settings, input, output, options.words, nullptr);
    QStringList line{shellQuote(m_env.converter.locate().value_or(QStringLiteral("pandoc")))};
    for (const QString &arg : args)
        line << shellQuote(arg);
    return line.join(u' ');
}

void PandocViewModel::convert()
{
    if (m_inputFiles.isEmpty()) {
        appendLog(QStringLiteral("❌ Keine Eingabedatei ausgewählt"));
        return;
    }
    if (m_scheduler)
        return; // one run at a time; the view disables its start controls meanwhile
    setIsConverting(true);
    setProgress(0.0);
    setStatus(QStringLiteral("Konvertierung läuft..."), StatusColor::Blue);
    const ConversionSettings settings = runSettings();
    if (m_inputFiles.size() > 1) {
        convertBatch(settings);
        return;
    }
    const QUrl output =
        m_outputFile.isEmpty() ? QUrl() : QUrl::fromLocalFile(absolutePath(m_outputFile));
    convertSingle(m_inputFiles.first(), output, settings);
}

void PandocViewModel::convertSingle(const QUrl &input, const QUrl &output,
                                    const ConversionSettings &settings)
{
    runFiles(settings, {{input.toLocalFile(), output.toLocalFile()}}, false);
}

void PandocViewModel::convertBatch(const ConversionSettings &settings)
{
    QStringList inputs;
    inputs.reserve(m_inputFiles.size());
    for (const QUrl &url : std::as_const(m_inputFiles))
        inputs << url.toLocalFile();
    runFiles(settings, RunPlanner::besideInputs(inputs, settings.outputFormat), true);
}

void PandocViewModel::runFiles(const ConversionSettings &settings,
                               const QList<std::pair<QString, QString>> &inputsAndOutputs,
                               bool batch)
{
    QList<PlannedJob> jobs = planner().plan(settings, inputsAndOutputs);
    const bool go = confirmReplacements(jobs, batch);
    if (batch) {
        appendLog(u'\n' + kSeparator);
        appendLog(QStringLiteral("Batch-Konvertierung gestartet: ") + QString::number(jobs.size()) +
                  QStringLiteral(" Dateien"));
        appendLog(kSeparator);
    }
    m_lastRunSettings = settings;
    startRun(std::move(jobs), batch, !go);
}

bool PandocViewModel::writtenThisSession(const QString &path) const
{
    const auto found = m_writtenOutputs.constFind(comparablePath(path));
    return found != m_writtenOutputs.cend() && found.value() == QFileInfo(path).lastModified();
}

bool PandocViewModel::confirmReplacements(QList<PlannedJob> &jobs, bool batch)
{
    QList<qsizetype> foreign;
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        if (!jobs[i].refusal && somethingAt(jobs[i].output) && !writtenThisSession(jobs[i].output))
            foreign.append(i);
    }
    if (foreign.isEmpty())
        return true;
    if (!batch) {
        PlannedJob &job = jobs.first();
        if (showConfirmation(QStringLiteral("Datei existiert bereits"),
                             QStringLiteral("Datei existiert bereits: ") +
                                 lastComponent(job.output) +
                                 QStringLiteral("\n\nMöchten Sie die Datei ersetzen?")))
            return true;
        job.refusal =
            Refusal{QStringLiteral("⚠ Datei nicht ersetzt: ") + job.output,
                    QStringLiteral("⚠ Konvertierung abgebrochen"), RunResult::Outcome::Skipped};
        return true;
    }
    QStringList files;
    for (qsizetype i : std::as_const(foreign))
        files.append(jobs[i].output);
    const Dialogs::ReplaceAnswer answer =
        m_env.dialogs
            ? m_env.dialogs->askReplaceFiles(
                  QStringLiteral("Dateien existieren bereits"),
                  QString::number(files.size()) +
                      QStringLiteral(" Ausgabedateien existieren bereits. Möchten Sie sie "
                                     "ersetzen?"),
                  files)
            : Dialogs::ReplaceAnswer::SkipThese;
    if (answer == Dialogs::ReplaceAnswer::Cancel)
        return false;
    if (answer == Dialogs::ReplaceAnswer::SkipThese) {
        for (qsizetype i : std::as_const(foreign))
            jobs[i].refusal = Refusal{QStringLiteral("⚠ Übersprungen, Datei existiert bereits: ") +
                                          jobs[i].output,
                                      {},
                                      RunResult::Outcome::Skipped};
    }
    return true;
}

void PandocViewModel::startRun(QList<PlannedJob> jobs, bool batch, bool cancelled)
{
    ActiveRun run;
    run.batch = batch;
    run.results.reserve(jobs.size());
    for (const PlannedJob &job : std::as_const(jobs))
        run.results.append({job.input, job.output, RunResult::Outcome::Skipped, 0.0});
    m_run = std::move(run);
    if (!cancelled) {
        removeStaleTemporaries(jobs);
        stampTemplates(jobs);
    }

    const qsizetype total = jobs.size();
    ConversionScheduler::Hooks hooks;
    hooks.starting = [this, total](qsizetype, const PlannedJob &job) {
        if (m_run->batch) {
            const qsizetype finished = m_scheduler->finishedCount();
            setProgress(double(finished) / double(total));
            setStatusMessage(QStringLiteral("Konvertierung ") + QString::number(finished + 1) +
                             u'/' + QString::number(total) + QStringLiteral(": ") +
                             lastComponent(job.input));
        }
    };
    hooks.log = [this](const QString &line) { appendLog(line); };
    hooks.finished = [this](qsizetype index, const ConversionJob::End &end) {
        jobFinished(index, end.outcome, end.failureStatus, end.cancelled, end.seconds);
    };
    hooks.done = [this] { finishRun(); };
    m_scheduler = std::make_unique<ConversionScheduler>(std::move(jobs), m_env.converter,
                                                        batch ? m_parallelJobs : 1,
                                                        m_env.cancelGraceMs, std::move(hooks));
    if (cancelled)
        m_scheduler->cancel();
    else
        m_scheduler->start();
}

void PandocViewModel::removeStaleTemporaries(const QList<PlannedJob> &jobs)
{
    QSet<QString> folders;
    for (const PlannedJob &job : jobs) {
        if (!job.refusal && !job.output.isEmpty())
            folders.insert(QFileInfo(job.output).absolutePath());
    }
    for (const QString &folder : std::as_const(folders))
        OutputKeeper::removeStale(folder);
}

void PandocViewModel::stampTemplates(const QList<PlannedJob> &jobs)
{
    // Once per run, whatever the outcome; a batch of many files must not write the index
    // for each of them.
    QSet<QUuid> used;
    for (const PlannedJob &job : jobs) {
        if (job.refusal)
            continue;
        for (const Template &t : job.templates)
            used.insert(t.id);
    }
    if (used.isEmpty())
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    bool changed = false;
    for (Template &t : m_templates) {
        if (used.remove(t.id)) {
            t.lastUsed = now;
            changed = true;
        }
    }
    if (!changed)
        return;
    emit templatesChanged();
    // Written once the run has ended, off the converters' way.
    m_stampSavePending = true;
}

void PandocViewModel::jobFinished(qsizetype index, RunResult::Outcome outcome,
                                  const QString &failureStatus, bool cancelled, double seconds)
{
    ActiveRun &run = *m_run;
    RunResult &row = run.results[index];
    row.outcome = outcome;
    row.seconds = seconds;
    switch (outcome) {
    case RunResult::Outcome::Succeeded:
        ++run.succeeded;
        run.singleSucceeded = !run.batch;
        m_writtenOutputs.insert(comparablePath(row.output), QFileInfo(row.output).lastModified());
        break;
    case RunResult::Outcome::Failed:
        ++run.failed;
        break;
    case RunResult::Outcome::Skipped:
        ++run.skipped;
        break;
    }
    if (cancelled)
        setStatus(QStringLiteral("⚠ Konvertierung abgebrochen"), StatusColor::Orange);
    else if (!failureStatus.isEmpty())
        setStatus(failureStatus,
                  outcome == RunResult::Outcome::Skipped ? StatusColor::Orange : StatusColor::Red);
    if (run.batch)
        setProgress(double(m_scheduler->finishedCount()) / double(run.results.size()));
}

void PandocViewModel::finishRun()
{
    const ActiveRun run = std::move(*m_run);
    m_run.reset();
    const bool cancelled = m_scheduler->isCancelled();
    // Called from inside the scheduler.
    m_scheduler.release()->deleteLater();
    m_lastRunResults = run.results;

    if (!run.batch) {
        emit runResultsReady();
        if (run.singleSucceeded) {
            const QString output = run.results.first().output;
            setStatus(QStringLiteral("✓ Konvertierung erfolgreich!"), StatusColor::Green);
            if (showConfirmation(QStringLiteral("Konvertierung erfolgreich!"),
                                 QStringLiteral("Datei: ") + lastComponent(output) +
                                     QStringLiteral("\n\nMöchten Sie die Ausgabedatei öffnen?")) &&
                m_env.desktop)
                m_env.desktop->openFile(output);
        }
        finishConversion();
        return;
    }

    const QString succeeded = QString::number(run.succeeded);
    const QString failed = QString::number(run.failed);
    const QString skipped = QString::number(run.skipped);
    QString logLine;
    if (cancelled) {
        setStatus(QStringLiteral("⚠ Batch-Konvertierung abgebrochen! Erfolg: ") + succeeded +
                      QStringLiteral(", Fehler: ") + failed + QStringLiteral(", Übersprungen: ") +
                      skipped,
                  StatusColor::Orange);
        logLine = QStringLiteral("Batch-Konvertierung abgebrochen: ") + succeeded +
                  QStringLiteral(" erfolgreich, ") + failed + QStringLiteral(" Fehler, ") +
                  skipped + QStringLiteral(" übersprungen");
    } else {
        const QString skippedPart =
            run.skipped > 0 ? QStringLiteral(", Übersprungen: ") + skipped : QString();
        setProgress(1.0);
        setStatus(QStringLiteral("Batch-Konvertierung abgeschlossen! Erfolg: ") + succeeded +
                      QStringLiteral(", Fehler: ") + failed + skippedPart,
                  run.failed > 0 ? StatusColor::Orange : StatusColor::Green);
        logLine =
            QStringLiteral("Batch-Konvertierung abgeschlossen: ") + succeeded +
            QStringLiteral(" erfolgreich, ") + failed + QStringLiteral(" Fehler") +
            (run.skipped > 0 ? QStringLiteral(", ") + skipped + QStringLiteral(" übersprungen")
                             : QString());
    }
    appendLog(u'\n' + kSeparator);
    appendLog(logLine);
    appendLog(kSeparator);
    emit runResultsReady();
    if (!cancelled)
        showAlert(
            QStringLiteral("Batch-Konvertierung"),
            QStringLiteral("Batch-Konvertierung abgeschlossen!\n\n✅ Erfolgreich: ") + succeeded +
                QStringLiteral("\n❌ Fehler: ") + failed +
                (run.skipped > 0 ? QStringLiteral("\n⏭ Übersprungen: ") + skipped : QString()));
    finishConversion();
}

void PandocViewModel::finishConversion()
{
    setIsConverting(false);
    if (std::exchange(m_stampSavePending, false))
        QTimer::singleShot(0, this, &PandocViewModel::saveTemplates);
    emit conversionFinished();
}

void PandocViewModel::cancelConversion()
{
    if (!m_isConverting || !m_scheduler)
        return;
    m_scheduler->cancel();
}
