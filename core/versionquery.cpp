#include "versionquery.h"

#include <QStringDecoder>

#include <algorithm>

namespace {
// A real version text is a few hundred bytes; a converter that prints without end must not
// grow our memory until the time limit stops it.
constexpr qsizetype kMaxOutputBytes = 64 * 1024;
} // namespace

VersionQuery::VersionQuery(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    // Standard error stays the application's own.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);

    connect(&m_process, &QProcess::readyReadStandardOutput, this, &VersionQuery::collectOutput);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish({Outcome::StartFailed, {}, m_process.errorString()});
    });
    connect(&m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                collectOutput();
                if (status == QProcess::CrashExit) {
                    finish({Outcome::Crashed, {}, m_process.errorString()});
                    return;
                }
                if (exitCode != 0) {
                    finish({Outcome::NonZeroExit, {}, {}});
                    return;
                }
                // Stateless, so a sequence cut off at the end counts as invalid too; unless we
                // cut it off ourselves at the cap.
                QStringDecoder decoder(QStringDecoder::Utf8,
                                       m_truncated ? QStringConverter::Flag::Default
                                                   : QStringConverter::Flag::Stateless);
                const QString text = decoder.decode(m_output);
                if (decoder.hasError()) {
                    finish({Outcome::NotUtf8, {}, {}});
                    return;
                }
                const qsizetype lineFeed = text.indexOf(u'\n');
                finish({Outcome::Version, lineFeed < 0 ? text : text.left(lineFeed), {}});
            });
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_process.kill();
        finish({Outcome::TimedOut, {}, {}});
    });
}

VersionQuery::~VersionQuery()
{
    m_done = true;
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

void VersionQuery::collectOutput()
{
    // Always drain the pipe, so the process's own buffer cannot grow either; keep only the cap.
    const QByteArray chunk = m_process.readAllStandardOutput();
    const qsizetype room = kMaxOutputBytes - m_output.size();
    if (chunk.size() > room)
        m_truncated = true;
    if (room > 0)
        m_output += chunk.first(std::min(room, chunk.size()));
}

void VersionQuery::start(const QString &executable, int timeoutMs)
{
    m_output.clear();
    m_truncated = false;
    m_done = false;
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.start(executable, {QStringLiteral("--version")}, QIODevice::ReadOnly);
    if (!m_done)
        m_timer.start(timeoutMs);
}

void VersionQuery::finish(Result result)
{
    if (m_done)
        return;
    m_done = true;
    m_timer.stop();
    emit finished(result);
}
