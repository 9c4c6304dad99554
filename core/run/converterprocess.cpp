#include "converterprocess.h"

#include "convertersearch.h"
#include "processtree.h"

#include <QStringDecoder>
#include <QThread>

#include <atomic>

ConverterProcess::ConverterProcess(QObject *parent) : QObject(parent)
{
    m_killTimer.setSingleShot(true);
    connect(&m_killTimer, &QTimer::timeout, this, [this] { signalTree(Platform::Stop::Kill); });
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
                signalTree(Platform::Stop::Kill);
                reapDescendants();
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
        signalTree(Platform::Stop::Kill);
        m_process.waitForFinished(1000);
    }
    reapDescendants();
}

void ConverterProcess::start(const QString &program, const QStringList &arguments,
                             const QString &workingFolder, const QString &tempFolder)
{
    static std::atomic<quint64> runs{0};
    // Once is enough; from then on orphans of any run come to us.
    static const bool subreaper = (Platform::becomeSubreaper(), true);
    Q_UNUSED(subreaper);
    if (!workingFolder.isEmpty())
        m_process.setWorkingDirectory(workingFolder);
    QProcessEnvironment environment = ConverterSearch::converterEnvironment();
    if (!tempFolder.isEmpty()) {
        for (const QString &name :
             {QStringLiteral("TMPDIR"), QStringLiteral("TMP"), QStringLiteral("TEMP")})
            environment.insert(name, tempFolder);
    }
    m_marker = QByteArray::number(Platform::currentProcessId()) + '-' + QByteArray::number(++runs);
    environment.insert(QString::fromLatin1(ProcessTree::kRunMarkerName),
                       QString::fromLatin1(m_marker));
    m_process.setProcessEnvironment(environment);
    // A session of its own makes the converter a group leader, and it dies with us.
    Platform::startInOwnGroup(m_process);
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
    signalTree(Platform::Stop::Terminate);
    m_killTimer.start(graceMs);
}

void ConverterProcess::signalTree(Platform::Stop how)
{
    if (m_group <= 0)
        return;
    // Helpers in a session of their own are outside the group; the walk finds them.
    const QList<qint64> found = ProcessTree::descendants(m_group, m_marker);
    Platform::stopGroup(m_group, how);
    ProcessTree::stopAll(found, how);
    // Ones seen before whose parent has gone since and that dropped our variable.
    if (how == Platform::Stop::Kill)
        ProcessTree::stopAll(ProcessTree::reap(m_descendants), how);
    for (qint64 pid : found) {
        if (!m_descendants.contains(pid))
            m_descendants.append(pid);
    }
}

void ConverterProcess::reapDescendants()
{
    // Orphans reparented to us are ours to reap; they need a moment after SIGKILL.
    for (int round = 0; round < 50 && !m_descendants.isEmpty(); ++round) {
        m_descendants = ProcessTree::reap(m_descendants);
        if (!m_descendants.isEmpty())
            QThread::usleep(2000);
    }
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
