#pragma once

#include <QObject>
#include <QProcess>
#include <QTimer>

// One question to the converter (--version, a format list, ...), answered through QProcess
// signals. Only the first `maxBytes` of the answer are kept: a converter that prints more is
// stopped there, so a broken or hostile one can neither fill memory nor keep us waiting.
class ConverterQuery final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConverterQuery)

public:
    enum class Kind
    {
        Exited,
        // More than `maxBytes` arrived; the process was stopped and `output` holds the first part.
        Overflowed,
        Crashed,
        StartFailed,
        TimedOut
    };
    Q_ENUM(Kind)

    struct Result
    {
        Kind kind = Kind::StartFailed;
        int exitCode = -1;
        QByteArray output;
        QString error;
    };

    explicit ConverterQuery(QObject *parent = nullptr);
    ~ConverterQuery() override;

    void setWorkingDirectory(const QString &folder) { m_process.setWorkingDirectory(folder); }

    // Emits finished() exactly once, possibly before it returns (a program that cannot start).
    void start(const QString &executable, const QStringList &arguments, int timeoutMs,
               qsizetype maxBytes);

signals:
    void finished(const ConverterQuery::Result &result);

private:
    void collect();
    void finish(Result result);
    void stop();

    QProcess m_process;
    QTimer m_timer;
    QByteArray m_output;
    qsizetype m_maxBytes = 0;
    bool m_done = true;
};
