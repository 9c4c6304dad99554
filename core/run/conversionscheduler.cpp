#include "conversionscheduler.h"

#include <algorithm>

ConversionScheduler::ConversionScheduler(QList<PlannedJob> jobs, ConverterSearch converter,
                                         int slotCount, int cancelGraceMs, Hooks hooks,
                                         QObject *parent)
    : QObject(parent), m_plans(std::move(jobs)), m_converter(std::move(converter)),
      m_slots(std::max(1, slotCount)), m_graceMs(cancelGraceMs), m_hooks(std::move(hooks)),
      m_heldLines(m_plans.size()), m_ended(m_plans.size(), false)
{
}

ConversionScheduler::~ConversionScheduler()
{
    // Each job stops its converter and restores its output path as it goes.
    m_running.clear();
}

void ConversionScheduler::start()
{
    pump();
}

void ConversionScheduler::cancel()
{
    if (m_cancelled || m_done)
        return;
    m_cancelled = true;
    for (auto &[index, job] : m_running)
        job->cancel();
    pump();
}

// A loop, not recursion: jobs that end at once (refused, no converter) come back here
// while the loop is still running and only leave their mark for it.
void ConversionScheduler::pump()
{
    if (m_pumping || m_done)
        return;
    m_pumping = true;
    while (m_next < m_plans.size()) {
        if (m_cancelled) {
            const qsizetype index = m_next++;
            jobEnded(index, {RunResult::Outcome::Skipped,
                             {},
                             false,
                             0.0,
                             false,
                             QStringLiteral("⚠ Nach dem Abbruch nicht gestartet")});
        } else if (qsizetype(m_running.size()) < m_slots) {
            startJob(m_next++);
        } else {
            break;
        }
    }
    m_pumping = false;
    if (m_next >= m_plans.size() && m_running.empty()) {
        m_done = true;
        m_hooks.done();
    }
}

void ConversionScheduler::startJob(qsizetype index)
{
    m_hooks.starting(index, m_plans.at(index));
    auto job = std::make_unique<ConversionJob>(std::move(m_plans[index]), m_converter, m_graceMs);
    m_plans[index] = PlannedJob{};
    ConversionJob *raw = job.get();
    connect(raw, &ConversionJob::logLine, this,
            [this, index](const QString &line) { jobLog(index, line); });
    connect(raw, &ConversionJob::finished, this, [this, index](const ConversionJob::End &end) {
        const auto found = m_running.find(index);
        if (found != m_running.end()) {
            // Still inside the job's own signal: delete it later.
            found->second.release()->deleteLater();
            m_running.erase(found);
        }
        jobEnded(index, end);
        pump();
    });
    m_running.emplace(index, std::move(job));
    raw->start();
}

void ConversionScheduler::jobLog(qsizetype index, const QString &line)
{
    if (index == m_head)
        m_hooks.log(line);
    else
        m_heldLines[index].append(line);
}

void ConversionScheduler::jobEnded(qsizetype index, const ConversionJob::End &end)
{
    ++m_finished;
    m_hooks.finished(index, end);
    m_ended[index] = true;
    while (m_head < m_plans.size() && m_ended[m_head]) {
        ++m_head;
        if (m_head < m_plans.size()) {
            const QStringList held = std::exchange(m_heldLines[m_head], {});
            for (const QString &line : held)
                m_hooks.log(line);
        }
    }
}
