#pragma once

#include <QObject>
#include <QProcess>
#include <QTimer>

// Asks a converter for its version without blocking the UI thread; a query
// that outlives its time limit is stopped.
class VersionQuery final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VersionQuery)

public:
    enum class Outcome
    {
        Version,
        NonZeroExit,
        NotUtf8,
        StartFailed,
        TimedOut,
        Crashed
    };
    Q_ENUM(Outcome)

    struct Result
    {
        Outcome outcome = Outcome::StartFailed;
        QString versionLine;
        QString error;
    };

    explicit VersionQuery(QObject *parent = nullptr);
    ~VersionQuery() override;

    void start(const QString &executable, int timeoutMs);

signals:
    void finished(const VersionQuery::Result &result);

private:
    void finish(Result result);
    void collectOutput();

    QProcess m_process;
    QTimer m_timer;
    QByteArray m_output;
    bool m_truncated = false;
    bool m_done = false;
};
