#pragma once

#include "conversionplan.h"
#include "converterprocess.h"
#include "convertersearch.h"
#include "runresult.h"

#include <QElapsedTimer>
#include <QObject>
#include <memory>

class OutputKeeper;
class TextProbe;
class QTemporaryDir;

// One planned conversion: writes its log lines, runs the converter in the input's
// folder with a temporary folder of its own, and leaves the output untouched unless the
// converter succeeds and wrote something.
class ConversionJob final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConversionJob)

public:
    struct End
    {
        RunResult::Outcome outcome = RunResult::Outcome::Failed;
        // The status line a failure sets; "" leaves it alone.
        QString failureStatus;
        bool cancelled = false;
        double seconds = 0.0;
        // Succeeded, but pandoc warned (an unknown citation key, a missing picture).
        bool warnings = false;
        // For the results list: why it failed or was skipped.
        QString reason = {};
        // With PlannedJob::logResources, the files the converter reported reading (absolute);
        // none when it did not say.
        std::optional<QStringList> resources = {};
    };

    ConversionJob(PlannedJob plan, ConverterSearch converter, int cancelGraceMs,
                  QObject *parent = nullptr);
    // Stops a converter that still runs; the output stays as it was.
    ~ConversionJob() override;

    // May finish before it returns (a refused job, a missing converter).
    void start();
    void cancel();

    const PlannedJob &plan() const { return m_plan; }

signals:
    void logLine(const QString &line);
    void finished(const ConversionJob::End &end);

private:
    void fail(const QString &line, const QString &status);
    // The steps of start(), each of which may end the job.
    bool prepareOutput();
    void launch(const QString &converter);
    QStringList converterArguments() const;
    void startTextProbe();
    void processEnded(const ConverterProcess::Outcome &outcome);

    PlannedJob m_plan;
    ConverterSearch m_converter;
    int m_graceMs = 0;
    std::unique_ptr<ConverterProcess> m_process;
    std::unique_ptr<OutputKeeper> m_keeper;
    std::unique_ptr<QTemporaryDir> m_tempFolder;
    std::unique_ptr<TextProbe> m_probe;
    bool m_probed = false;
    QString m_automaticEngine; // what "Automatisch" chose from the text
    QElapsedTimer m_clock;
};

// The line of a converter's error text that says why it failed: the first that is not a
// warning or a note, shortened to a list row's worth.
QString failureReason(const QString &errorText);

// A hint for a few well-known exit codes; "" for the others. `automaticEngine` is the engine
// "Automatisch" chose, if it did.
QString exitHint(int exitCode, const QString &automaticEngine = {}, const QString &errorText = {});
// German sentences for the file errors pandoc reports in English, naming the file.
QStringList fileErrorLines(const QString &errorText);
