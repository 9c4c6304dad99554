#include "converterquery.h"

#include "convertersearch.h"

ConverterQuery::ConverterQuery(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    // Standard error stays the application's own.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &ConverterQuery::collect);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish({Kind::StartFailed, -1, {}, m_process.errorString()});
    });
    connect(&m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                collect();
                if (status == QProcess::CrashExit)
                    finish({Kind::Crashed, -1, {}, m_process.errorString()});
                else
                    finish({Kind::Exited, exitCode, m_output, {}});
            });
    connect(&m_timer, &QTimer::timeout, this, [this] { finish({Kind::TimedOut, -1, {}, {}}); });
}

ConverterQuery::~ConverterQuery()
{
    m_done = true;
    stop();
}

void ConverterQuery::start(const QString &executable, const QStringList &arguments, int timeoutMs,
                           qsizetype maxBytes)
{
    m_output.clear();
    m_maxBytes = maxBytes;
    m_done = false;
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setProcessEnvironment(ConverterSearch::converterEnvironment());
    m_process.start(executable, arguments, QIODevice::ReadOnly);
    if (!m_done)
        m_timer.start(timeoutMs);
}

void ConverterQuery::collect()
{
    if (m_done)
        return;
    // Never more than the room left: what lies beyond the cap stays unread in the pipe.
    const qsizetype room = m_maxBytes - m_output.size();
    m_output += m_process.read(room);
    if (m_output.size() < m_maxBytes || m_process.bytesAvailable() == 0)
        return;
    // One byte past the cap proves the answer is longer than any real one.
    char extra = 0;
    if (!m_process.peek(&extra, 1))
        return;
    finish({Kind::Overflowed, -1, m_output, {}});
}

void ConverterQuery::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(1000);
}

void ConverterQuery::finish(Result result)
{
    if (m_done)
        return;
    // Marked done first: stopping the process delivers its own finished signal.
    m_done = true;
    m_timer.stop();
    stop();
    emit finished(result);
}
