#pragma once

#include "conversionjob.h"
#include "conversionplan.h"
#include "conversionsettings.h"
#include "convertersearch.h"
#include "dialogs.h"
#include "report.h"
#include "runresult.h"
#include "uptodate.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

class ConversionScheduler;
class RunPlanner;

// How a run goes beyond its settings and files.
struct RunOptions
{
    // Leaves files alone whose output is up to date ("unverändert").
    bool onlyChanged = false;
    // Learns every file each conversion reads, for RunController::sourcesOf().
    bool learnSources = false;
    // Started by a change, not by the user: no question about opening the result.
    bool automatic = false;
};

// One run at a time: asks before replacing files, hands the jobs to the scheduler, counts
// the outcomes and reports the end. Remembers what this session wrote and the last run.
class RunController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunController)

public:
    struct Setup
    {
        const ConverterSearch *converter = nullptr;
        Dialogs *dialogs = nullptr;
        Desktop *desktop = nullptr;
        int cancelGraceMs = 2000;
        // The templates a run passes, once per run, before it starts.
        std::function<void(const QSet<QUuid> &)> templatesUsed;
        // Where "Nur geänderte Dateien" keeps its records.
        QString upToDateFolder;
    };
    using Options = RunOptions;

    static constexpr int kMinParallelJobs = 1;
    static constexpr int kMaxParallelJobs = 8;
    // The number of cores, at most 4.
    static int defaultParallelJobs();

    RunController(Setup setup, Reporter report, QObject *parent = nullptr);
    ~RunController() override;

    bool isRunning() const { return m_scheduler != nullptr; }
    // Plans, asks and starts a run of these files with these settings.
    void run(const RunPlanner &planner, const ConversionSettings &settings,
             const QList<std::pair<QString, QString>> &inputsAndOutputs, bool batch,
             Options options = {});
    void cancel();

    int parallelJobs() const { return m_parallelJobs; }
    // Clamped to kMinParallelJobs..kMaxParallelJobs; true when it changed.
    bool setParallelJobs(int value);
    const RunResults &lastResults() const { return m_lastResults; }
    void setLastResults(const RunResults &value) { m_lastResults = value; }
    // The inputs that failed in the last run, with the outputs they were to write.
    QList<std::pair<QString, QString>> failedFiles() const;
    // The settings the last run was planned with; a retry reuses them as they were.
    const std::optional<ConversionSettings> &lastSettings() const { return m_lastSettings; }
    // The files of the last run, as it was given them, and whether it was a batch.
    const QList<std::pair<QString, QString>> &lastFiles() const { return m_lastFiles; }
    bool lastBatch() const { return m_lastBatch; }
    const Options &lastOptions() const { return m_options; }
    // What the conversion of `input` read in the last run that converted it (with
    // Options::learnSources): the document, the files its settings name and those the
    // converter reported.
    QStringList sourcesOf(const QString &input) const { return m_sources.value(input); }

signals:
    // lastResults() holds the rows of the run that ends.
    void resultsReady();
    // No converter runs any more; the closing dialog may follow.
    void stopped();
    // The run has ended, after its last dialog.
    void finished();

private:
    struct ActiveRun
    {
        bool batch = false;
        int succeeded = 0;
        int failed = 0;
        int skipped = 0;
        int unchanged = 0;
        int warned = 0;
        bool singleSucceeded = false;
        RunResults results;
        QList<QStringList> named; // namedSourceFiles() per job, when needed
    };

    // Asks before replacing files this session did not write; false when the user cancels.
    bool confirmReplacements(QList<PlannedJob> &jobs, bool batch);
    bool writtenThisSession(const QString &path) const;
    void start(QList<PlannedJob> jobs, bool batch, bool cancelled, QList<QStringList> named = {});
    void learnSources(const RunResult &row, const ConversionJob::End &end,
                      const QStringList &named);
    void jobFinished(qsizetype index, const ConversionJob::End &end);
    void finishRun();
    void reportBatch(const ActiveRun &run, bool cancelled);

    Setup m_setup;
    Reporter m_report;
    std::unique_ptr<ConversionScheduler> m_scheduler;
    std::optional<ActiveRun> m_run;
    // Outputs written in this session, with their time stamp then: replacing them needs no
    // question.
    QHash<QString, QDateTime> m_written;
    int m_parallelJobs = defaultParallelJobs();
    RunResults m_lastResults;
    std::optional<ConversionSettings> m_lastSettings;
    QList<std::pair<QString, QString>> m_lastFiles;
    bool m_lastBatch = false;
    Options m_options;
    UpToDate m_upToDate;
    QHash<QString, QStringList> m_sources;
};
