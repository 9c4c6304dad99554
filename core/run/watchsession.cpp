#include "watchsession.h"

#include "filepaths.h"
#include "runcontroller.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

QString absolute(const QString &path)
{
    // As the planner makes a job's input absolute, so that sourcesOf() finds it.
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

WatchSession::WatchSession(const RunController &runs, Reporter report,
                           std::function<QString()> status, QObject *parent)
    : QObject(parent), m_runs(runs), m_report(std::move(report)), m_status(std::move(status))
{
    connect(&m_watcher, &RunWatcher::changed, this, &WatchSession::filesChanged);
}

void WatchSession::setEnabled(bool value)
{
    if (std::exchange(m_enabled, value) == value)
        return;
    if (!value)
        stop(QStringLiteral("ausgeschaltet"));
}

void WatchSession::setWatching(bool value)
{
    if (std::exchange(m_watching, value) != value)
        emit watchingChanged();
}

void WatchSession::stop(const QString &reason)
{
    m_pending.clear();
    m_armOnFinish = false;
    m_settings.reset();
    m_files.clear();
    m_watcher.clear();
    if (m_watching)
        m_report.log(QStringLiteral("Beobachtung beendet: ") + reason);
    setWatching(false);
}

void WatchSession::userRunStarting(const QList<std::pair<QString, QString>> &files)
{
    stop(QStringLiteral("neue Konvertierung"));
    m_busy = true;
    m_armOnFinish = m_enabled;
    if (!m_enabled)
        return;
    QStringList inputs;
    for (const auto &[input, output] : files)
        inputs.append(absolute(input));
    m_watcher.watch(inputs);
}

void WatchSession::runFinished()
{
    m_busy = false;
    const bool automatic = m_runs.lastOptions().automatic;
    if (!automatic) {
        const RunResults &results = m_runs.lastResults();
        const bool converted =
            std::any_of(results.cbegin(), results.cend(), [](const RunResult &row) {
                return row.outcome == RunResult::Outcome::Succeeded ||
                       row.outcome == RunResult::Outcome::Unchanged;
            });
        if (!std::exchange(m_armOnFinish, false) || !converted) {
            stop(QStringLiteral("keine erfolgreiche Konvertierung"));
            return;
        }
        m_settings = m_runs.lastSettings();
        m_files = m_runs.lastFiles();
        m_batch = m_runs.lastBatch();
    }
    if (!m_settings)
        return; // ended while the run was going
    // An output read back as a source (`-H doc.html` into doc.html) would convert for ever.
    QSet<QString> outputs;
    for (const auto &[input, output] : std::as_const(m_files))
        outputs.insert(comparablePath(output));
    QStringList files;
    for (const auto &[input, output] : std::as_const(m_files)) {
        const QString path = absolute(input);
        for (const QString &source : QStringList{path} + m_runs.sourcesOf(path)) {
            if (!files.contains(source) && !outputs.contains(comparablePath(source)))
                files.append(source);
        }
    }
    m_watcher.watch(files);
    setWatching(true);
    const QString watched =
        QStringLiteral("Beobachte ") + QString::number(m_watcher.count()) +
        (m_watcher.count() == 1 ? QStringLiteral(" Datei") : QStringLiteral(" Dateien"));
    const QString status = m_status ? m_status() : QString();
    m_report.statusText(status.isEmpty() ? watched : status + QStringLiteral(" · ") + watched);
    if (!m_pending.isEmpty())
        // After the run's end has reached everyone else.
        QMetaObject::invokeMethod(this, &WatchSession::startPending, Qt::QueuedConnection);
}

void WatchSession::filesChanged(const QStringList &files)
{
    for (const QString &file : files)
        m_pending.insert(file);
    if (!m_busy && m_watching)
        startPending();
}

void WatchSession::startPending()
{
    if (m_busy || !m_watching || !m_settings || m_pending.isEmpty())
        return;
    QList<std::pair<QString, QString>> affected;
    for (const auto &pair : std::as_const(m_files)) {
        const QString path = absolute(pair.first);
        const QStringList sources = QStringList{path} + m_runs.sourcesOf(path);
        if (std::any_of(sources.cbegin(), sources.cend(),
                        [this](const QString &source) { return m_pending.contains(source); }))
            affected.append(pair);
    }
    QStringList names;
    for (const QString &file : std::as_const(m_pending))
        names.append(QFileInfo(file).fileName());
    names.sort();
    m_pending.clear();
    if (affected.isEmpty())
        return;
    m_report.log(QStringLiteral("\n↻ Automatische Konvertierung nach Änderung an: ") +
                 names.join(QStringLiteral(", ")));
    m_busy = true;
    emit rerun(*m_settings, affected, m_batch);
}
