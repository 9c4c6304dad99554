#include "versionquery.h"

#include <QStringDecoder>

VersionQuery::VersionQuery(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    // Standard error stays the application's own.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);

    connect(&m_process, &QProcess::readyReadStandardOutput, this,
            [this] { m_output += m_process.readAllStandardOutput(); });
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish({Outcome::StartFailed, {}, m_process.errorString()});
    });
    connect(&m_process, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) {
                m_output += m_process.readAllStandardOutput();
                if (status == QProcess::CrashExit) {
                    finish({Outcome::Crashed, {}, m_process.errorString()});
                    return;
                }
                if (exitCode != 0) {
                    finish({Outcome::NonZeroExit, {}, {}});
                    return;
                }
                // Stateless, so a sequence cut off at the end counts as invalid too.
                QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
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

void VersionQuery::start(const QString &executable, int timeoutMs)
{
    m_output.clear();
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
