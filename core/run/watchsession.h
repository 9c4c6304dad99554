#pragma once

#include "conversionsettings.h"
#include "report.h"
#include "runwatcher.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>
#include <utility>

class RunController;

// "Bei Änderungen automatisch konvertieren": after a run that succeeded, watches every file
// it read and asks for the same conversion again, of the files concerned, once changes have
// settled. A change during a run asks for exactly one more run after it.
class WatchSession final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WatchSession)

public:
    // `status` gives the status line as it is, to say beside it what is watched.
    WatchSession(const RunController &runs, Reporter report, std::function<QString()> status,
                 QObject *parent = nullptr);

    // The switch; turning it off ends watching.
    bool enabled() const { return m_enabled; }
    void setEnabled(bool value);
    bool isWatching() const { return m_watching; }
    qsizetype count() const { return m_watcher.count(); }
    RunWatcher &watcher() { return m_watcher; }

    // The user started a run of these inputs: whatever was watched is over; with the switch
    // on, the inputs are watched from now on, so an edit during the run is not missed.
    void userRunStarting(const QList<std::pair<QString, QString>> &files);
    // A run has ended, after its last dialog.
    void runFinished();
    // A setting, the inputs or a cancel: watching ends, with the reason in the log.
    void stop(const QString &reason);

signals:
    // Convert these files again, with `settings`, as a batch or not.
    void rerun(const ConversionSettings &settings, const QList<std::pair<QString, QString>> &files,
               bool batch);
    void watchingChanged();

private:
    void filesChanged(const QStringList &files);
    void startPending();
    void setWatching(bool value);

    const RunController &m_runs;
    Reporter m_report;
    std::function<QString()> m_status;
    RunWatcher m_watcher;
    bool m_enabled = false;
    bool m_watching = false;
    bool m_busy = false;
    bool m_armOnFinish = false; // the user's run may start watching
    QSet<QString> m_pending;
    // The run being watched: its settings, files and kind.
    std::optional<ConversionSettings> m_settings;
    QList<std::pair<QString, QString>> m_files;
    bool m_batch = false;
};
