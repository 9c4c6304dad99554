#include "converterprocess.h"

#include <QStringDecoder>

#include <csignal>
#include <unistd.h>

ConverterProcess::ConverterProcess(QObject *parent) : QObject(parent)
{
    m_killTimer.setSingleShot(true);
    connect(&m_killTimer, &QTimer::timeout, this, [this] { signalGroup(SIGKILL); });
    connect(&m_process, &QProcess::started, this, [this] { m_group = m_process.processId(); });
    connect(&m_process, &QProcess::readyReadStandardError, this, &ConverterProcess::collectStderr);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish({Kind::FailedToStart, 0, m_process.errorString()});
    });
    connect(&m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                collectStderr();
                // Whatever the converter started and left behind goes with it.
                signalGroup(SIGKILL);
                if (m_cancelled)
                    finish({Kind::Cancelled, exitCode, {}});
                else if (status == QProcess::CrashExit)
                    finish({Kind::Crashed, exitCode, m_process.errorString()});
                else
                    finish({Kind::Exited, exitCode, {}});
            });
}

ConverterProcess::~ConverterProcess()
{
    m_done = true;
    if (m_process.state() != QProcess::NotRunning) {
        signalGroup(SIGKILL);
        m_process.waitForFinished(1000);
    }
}

void ConverterProcess::start(const QString &program, const QStringList &arguments,
                             const QString &workingFolder, const QString &tempFolder)
{
    if (!workingFolder.isEmpty())
        m_process.setWorkingDirectory(workingFolder);
    if (!tempFolder.isEmpty()) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const QString &name :
             {QStringLiteral("TMPDIR"), QStringLiteral("TMP"), QStringLiteral("TEMP")})
            environment.insert(name, tempFolder);
        m_process.setProcessEnvironment(environment);
    }
    // A session of its own makes the converter a group leader; only async-signal-safe
    // calls are allowed here.
    m_process.setChildProcessModifier([] { ::setsid(); });
    // pandoc reads standard input when it has no input file; give it an empty one.
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(program, arguments, QIODevice::ReadOnly);
    if (m_process.processId() > 0)
        m_group = m_process.processId();
}

void ConverterProcess::cancel(int graceMs)
{
    if (m_done || m_process.state() == QProcess::NotRunning)
        return;
    m_cancelled = true;
    signalGroup(SIGTERM);
    m_killTimer.start(graceMs);
}

void ConverterProcess::signalGroup(int signal) const
{
    if (m_group > 0)
        ::kill(pid_t(-m_group), signal);
}

void ConverterProcess::collectStderr()
{
    const QByteArray chunk = m_process.readAllStandardError();
    m_total += chunk.size();
    const qsizetype half = kStderrLimit / 2;
    if (m_head.size() < half) {
        const qsizetype take = std::min(half - m_head.size(), chunk.size());
        m_head += chunk.left(take);
        m_tail += chunk.mid(take);
    } else {
        m_tail += chunk;
    }
    if (m_tail.size() > 2 * half)
        m_tail.remove(0, m_tail.size() - half);
}

QString ConverterProcess::errorText() const
{
    const qsizetype half = kStderrLimit / 2;
    if (m_total <= kStderrLimit) {
        // Stateless: a sequence cut off at the end is invalid too.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
        const QString text = decoder.decode(m_head + m_tail);
        return decoder.hasError() ? QString() : text;
    }
    // Shortened: cut sequences at the seams become replacement characters.
    const QByteArray tail = m_tail.right(half);
    const qint64 omitted = m_total - m_head.size() - tail.size();
    return QString::fromUtf8(m_head) + QStringLiteral("\n… (gekürzt: ") + QString::number(omitted) +
           QStringLiteral(" Bytes ausgelassen) …\n") + QString::fromUtf8(tail);
}

void ConverterProcess::finish(Outcome outcome)
{
    if (m_done)
        return;
    m_done = true;
    m_killTimer.stop();
    emit finished(outcome);
}
