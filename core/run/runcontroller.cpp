#include "runcontroller.h"

#include "conversionscheduler.h"
#include "filepaths.h"
#include "jobsources.h"
#include "outputkeeper.h"
#include "runplanner.h"

#include <QFileInfo>
#include <QThread>

#include <algorithm>

namespace {

const QString kSeparator = QString(60, u'=');

QString lastComponent(const QString &path)
{
    return QFileInfo(path).fileName();
}

void removeStaleTemporaries(const QList<PlannedJob> &jobs)
{
    QSet<QString> folders;
    for (const PlannedJob &job : jobs) {
        if (!job.refusal && !job.output.isEmpty())
            folders.insert(QFileInfo(job.output).absolutePath());
    }
    for (const QString &folder : std::as_const(folders))
        OutputKeeper::removeStale(folder);
}

QSet<QUuid> templatesPassed(const QList<PlannedJob> &jobs)
{
    QSet<QUuid> used;
    for (const PlannedJob &job : jobs) {
        if (job.refusal)
            continue;
        for (const Template &t : job.templates)
            used.insert(t.id);
    }
    return used;
}

} // namespace

int RunController::defaultParallelJobs()
{
    return std::clamp(QThread::idealThreadCount(), kMinParallelJobs, 4);
}

RunController::RunController(Setup setup, Reporter report, QObject *parent)
    : QObject(parent), m_setup(std::move(setup)), m_report(std::move(report)),
      m_upToDate(m_setup.upToDateFolder)
{
}

RunController::~RunController() = default;

bool RunController::setParallelJobs(int value)
{
    value = std::clamp(value, kMinParallelJobs, kMaxParallelJobs);
    return std::exchange(m_parallelJobs, value) != value;
}

QList<std::pair<QString, QString>> RunController::failedFiles() const
{
    QList<std::pair<QString, QString>> files;
    for (const RunResult &row : m_lastResults) {
        if (row.outcome == RunResult::Outcome::Failed)
            files.append({row.input, row.output});
    }
    return files;
}

void RunController::run(const RunPlanner &planner, const ConversionSettings &settings,
                        const QList<std::pair<QString, QString>> &inputsAndOutputs, bool batch,
                        Options options)
{
    for (const QString &note : RunPlanner::overlapNotes(settings))
        m_report.log(note);
    QList<PlannedJob> jobs = planner.plan(settings, inputsAndOutputs);
    m_options = options;
    QList<QStringList> named;
    if (options.onlyChanged && !m_upToDate.usable())
        m_report.log(QStringLiteral("⚠ „Nur geänderte Dateien“: Der Ordner ") +
                     m_upToDate.folder() +
                     QStringLiteral(" ist nicht nur für diesen Benutzer zugänglich; es wird "
                                    "alles konvertiert."));
    if (options.onlyChanged || options.learnSources) {
        m_upToDate.beginRun(m_setup.converter ? m_setup.converter->locate().value_or(QString())
                                              : QString());
        named.reserve(jobs.size());
        for (PlannedJob &job : jobs) {
            named.append(job.refusal ? QStringList() : namedSourceFiles(job, settings));
            job.logResources = true;
            // Before the question about replacing: an output left alone needs no answer.
            if (options.onlyChanged && m_upToDate.isUnchanged(job, named.last()))
                job.refusal = Refusal{QStringLiteral("○ Unverändert, nicht neu konvertiert: ") +
                                          lastComponent(job.input),
                                      {},
                                      RunResult::Outcome::Unchanged};
        }
    }
    const bool go = confirmReplacements(jobs, batch);
    if (batch) {
        m_report.log(u'\n' + kSeparator);
        m_report.log(QStringLiteral("Batch-Konvertierung gestartet: ") +
                     QString::number(jobs.size()) + QStringLiteral(" Dateien"));
        m_report.log(kSeparator);
    }
    m_lastSettings = settings;
    m_lastFiles = inputsAndOutputs;
    m_lastBatch = batch;
    start(std::move(jobs), batch, !go, std::move(named));
}

bool RunController::writtenThisSession(const QString &path) const
{
    const auto found = m_written.constFind(comparablePath(path));
    return found != m_written.cend() && found.value() == QFileInfo(path).lastModified();
}

bool RunController::confirmReplacements(QList<PlannedJob> &jobs, bool batch)
{
    QList<qsizetype> foreign;
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        if (!jobs[i].refusal && somethingAt(jobs[i].output) && !writtenThisSession(jobs[i].output))
            foreign.append(i);
    }
    if (foreign.isEmpty())
        return true;
    Dialogs *dialogs = m_setup.dialogs;
    if (!batch) {
        PlannedJob &job = jobs.first();
        if (dialogs && dialogs->showConfirmation(
                           QStringLiteral("Datei existiert bereits"),
                           QStringLiteral("Datei existiert bereits: ") + lastComponent(job.output) +
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
        dialogs ? dialogs->askReplaceFiles(
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

void RunController::start(QList<PlannedJob> jobs, bool batch, bool cancelled,
                          QList<QStringList> named)
{
    ActiveRun run;
    run.batch = batch;
    run.named = std::move(named);
    run.results.reserve(jobs.size());
    for (const PlannedJob &job : std::as_const(jobs))
        run.results.append({job.input, job.output, RunResult::Outcome::Skipped, 0.0, {}});
    m_run = std::move(run);
    if (!cancelled) {
        removeStaleTemporaries(jobs);
        // Once per run, whatever the outcome; a batch of many files must not write the index
        // for each of them.
        if (m_setup.templatesUsed)
            m_setup.templatesUsed(templatesPassed(jobs));
    }

    const qsizetype total = jobs.size();
    ConversionScheduler::Hooks hooks;
    hooks.starting = [this, total](qsizetype index, const PlannedJob &job) {
        if (m_options.onlyChanged)
            m_upToDate.starting(index, job, m_run->named.value(index));
        if (m_run->batch) {
            const qsizetype finished = m_scheduler->finishedCount();
            m_report.progress(double(finished) / double(total));
            m_report.statusText(QStringLiteral("Konvertierung ") + QString::number(finished + 1) +
                                u'/' + QString::number(total) + QStringLiteral(": ") +
                                lastComponent(job.input));
        }
    };
    hooks.log = [this](const QString &line) { m_report.log(line); };
    hooks.finished = [this](qsizetype index, const ConversionJob::End &end) {
        jobFinished(index, end);
    };
    hooks.done = [this] { finishRun(); };
    m_scheduler = std::make_unique<ConversionScheduler>(std::move(jobs), *m_setup.converter,
                                                        batch ? m_parallelJobs : 1,
                                                        m_setup.cancelGraceMs, std::move(hooks));
    if (cancelled)
        m_scheduler->cancel();
    else
        m_scheduler->start();
}

void RunController::cancel()
{
    if (m_scheduler)
        m_scheduler->cancel();
}

void RunController::jobFinished(qsizetype index, const ConversionJob::End &end)
{
    ActiveRun &run = *m_run;
    RunResult &row = run.results[index];
    row.outcome = end.outcome;
    row.seconds = end.seconds;
    row.reason = end.reason;
    switch (end.outcome) {
    case RunResult::Outcome::Succeeded:
        ++run.succeeded;
        run.warned += end.warnings ? 1 : 0;
        run.singleSucceeded = !run.batch;
        m_written.insert(comparablePath(row.output), QFileInfo(row.output).lastModified());
        if (m_options.onlyChanged)
            m_upToDate.succeeded(index, end.resources);
        break;
    case RunResult::Outcome::Failed:
        ++run.failed;
        break;
    case RunResult::Outcome::Skipped:
        ++run.skipped;
        break;
    case RunResult::Outcome::Unchanged:
        ++run.unchanged;
        break;
    }
    if (m_options.learnSources)
        learnSources(row, end, run.named.value(index));
    if (end.cancelled)
        m_report.status(QStringLiteral("⚠ Konvertierung abgebrochen"), Tone::Warning);
    else if (!end.failureStatus.isEmpty())
        m_report.status(end.failureStatus,
                        end.outcome == RunResult::Outcome::Skipped ? Tone::Warning : Tone::Failure);
    if (run.batch)
        m_report.progress(double(m_scheduler->finishedCount()) / double(run.results.size()));
}

void RunController::finishRun()
{
    const ActiveRun run = std::move(*m_run);
    m_run.reset();
    const bool cancelled = m_scheduler->isCancelled();
    // Called from inside the scheduler.
    m_scheduler.release()->deleteLater();
    m_lastResults = run.results;
    if (m_options.onlyChanged) {
        if (const auto failure = m_upToDate.save())
            m_report.log(QStringLiteral("⚠ Stand für „Nur geänderte Dateien“ nicht gespeichert: ") +
                         *failure);
    }

    if (!run.batch) {
        emit resultsReady();
        if (run.unchanged > 0)
            m_report.status(QStringLiteral("✓ Unverändert: ") +
                                lastComponent(run.results.first().output) +
                                QStringLiteral(" ist aktuell"),
                            Tone::Success);
        if (run.singleSucceeded) {
            if (run.warned > 0)
                m_report.status(QStringLiteral("✓ Konvertierung erfolgreich (mit Warnungen, "
                                               "siehe Log)"),
                                Tone::Warning);
            else
                m_report.status(QStringLiteral("✓ Konvertierung erfolgreich!"), Tone::Success);
        }
        emit stopped();
        if (run.singleSucceeded && !m_options.automatic) {
            const QString output = run.results.first().output;
            if (m_setup.dialogs &&
                m_setup.dialogs->showConfirmation(
                    QStringLiteral("Konvertierung erfolgreich!"),
                    QStringLiteral("Datei: ") + lastComponent(output) +
                        QStringLiteral("\n\nMöchten Sie die Ausgabedatei öffnen?")) &&
                m_setup.desktop)
                m_setup.desktop->openFile(output);
        }
        emit finished();
        return;
    }
    reportBatch(run, cancelled);
    emit stopped();
    if (!cancelled && m_setup.dialogs && !m_options.automatic)
        m_setup.dialogs->showAlert(
            QStringLiteral("Batch-Konvertierung"),
            QStringLiteral("Batch-Konvertierung abgeschlossen!\n\n✅ Erfolgreich: ") +
                QString::number(run.succeeded) + QStringLiteral("\n❌ Fehler: ") +
                QString::number(run.failed) +
                (run.skipped > 0
                     ? QStringLiteral("\n⏭ Übersprungen: ") + QString::number(run.skipped)
                     : QString()) +
                (run.unchanged > 0
                     ? QStringLiteral("\n○ Unverändert: ") + QString::number(run.unchanged)
                     : QString()));
    emit finished();
}

void RunController::reportBatch(const ActiveRun &run, bool cancelled)
{
    const QString succeeded = QString::number(run.succeeded);
    const QString failed = QString::number(run.failed);
    const QString skipped = QString::number(run.skipped);
    QString logLine;
    if (cancelled) {
        m_report.status(QStringLiteral("⚠ Batch-Konvertierung abgebrochen! Erfolg: ") + succeeded +
                            QStringLiteral(", Fehler: ") + failed +
                            QStringLiteral(", Übersprungen: ") + skipped,
                        Tone::Warning);
        logLine = QStringLiteral("Batch-Konvertierung abgebrochen: ") + succeeded +
                  QStringLiteral(" erfolgreich, ") + failed + QStringLiteral(" Fehler, ") +
                  skipped + QStringLiteral(" übersprungen");
    } else {
        const QString skippedPart =
            (run.skipped > 0 ? QStringLiteral(", Übersprungen: ") + skipped : QString()) +
            (run.unchanged > 0 ? QStringLiteral(", unverändert: ") + QString::number(run.unchanged)
                               : QString());
        m_report.progress(1.0);
        const QString warnedPart =
            run.warned > 0 ? QStringLiteral(", mit Warnungen: ") + QString::number(run.warned)
                           : QString();
        m_report.status(QStringLiteral("Batch-Konvertierung abgeschlossen! Erfolg: ") + succeeded +
                            QStringLiteral(", Fehler: ") + failed + skippedPart + warnedPart,
                        run.failed > 0 || run.warned > 0 ? Tone::Warning : Tone::Success);
        logLine =
            QStringLiteral("Batch-Konvertierung abgeschlossen: ") + succeeded +
            QStringLiteral(" erfolgreich, ") + failed + QStringLiteral(" Fehler") +
            (run.skipped > 0 ? QStringLiteral(", ") + skipped + QStringLiteral(" übersprungen")
                             : QString()) +
            (run.unchanged > 0 ? QStringLiteral(", ") + QString::number(run.unchanged) +
                                     QStringLiteral(" unverändert")
                               : QString());
    }
    m_report.log(u'\n' + kSeparator);
    m_report.log(logLine);
    m_report.log(kSeparator);
    emit resultsReady();
}

void RunController::learnSources(const RunResult &row, const ConversionJob::End &end,
                                 const QStringList &named)
{
    // A failed or unchanged file keeps what it read when it last converted; the files named
    // now count in any case.
    QStringList sources = named;
    const QStringList known = end.resources ? *end.resources
                              : row.outcome == RunResult::Outcome::Unchanged
                                  ? m_upToDate.recordedSources(row.output)
                                  : m_sources.value(row.input);
    for (const QString &path : known) {
        if (!sources.contains(path))
            sources.append(path);
    }
    if (!sources.isEmpty())
        m_sources.insert(row.input, sources);
}
