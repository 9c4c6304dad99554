#pragma once

#include "conversionjob.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>

// Runs the jobs of a plan with up to `slotCount` converters at once. Each job's log lines
// come out together and in input order: the first unfinished job writes live, the
// others are held until it is their turn.
class ConversionScheduler final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConversionScheduler)

public:
    struct Hooks
    {
        // Just before job `index` starts.
        std::function<void(qsizetype index, const PlannedJob &job)> starting;
        std::function<void(const QString &line)> log;
        // Job `index` has ended, or was skipped after a cancel.
        std::function<void(qsizetype index, const ConversionJob::End &end)> finished;
        // Every job has ended. The scheduler must not be deleted from here directly.
        std::function<void()> done;
    };

    ConversionScheduler(QList<PlannedJob> jobs, ConverterSearch converter, int slotCount,
                        int cancelGraceMs, Hooks hooks, QObject *parent = nullptr);
    ~ConversionScheduler() override;

    // May run to the end before it returns when no job needs to wait for a converter.
    void start();
    // Stops every running converter and skips the jobs not started yet.
    void cancel();

    bool isCancelled() const { return m_cancelled; }
    qsizetype count() const { return m_plans.size(); }
    qsizetype finishedCount() const { return m_finished; }

private:
    void pump();
    void startJob(qsizetype index);
    void jobLog(qsizetype index, const QString &line);
    void jobEnded(qsizetype index, const ConversionJob::End &end);

    QList<PlannedJob> m_plans;
    ConverterSearch m_converter;
    int m_slots = 1;
    int m_graceMs = 0;
    Hooks m_hooks;
    std::map<qsizetype, std::unique_ptr<ConversionJob>> m_running;
    QList<QStringList> m_heldLines;
    QList<bool> m_ended;
    qsizetype m_next = 0;     // the next job to start
    qsizetype m_head = 0;     // the first job whose lines are not all out
    qsizetype m_finished = 0; // jobs ended, skipped ones included
    bool m_pumping = false;
    bool m_cancelled = false;
    bool m_done = false;
};
