#include "formatquery.h"

#include <QHash>
#include <QLoggingCategory>
#include <QRegularExpression>

Q_LOGGING_CATEGORY(lcFormats, "velunor.formats")

namespace {

// Only ever touched on the UI thread.
QHash<QString, ConverterFormats> &sessionCache()
{
    static QHash<QString, ConverterFormats> cache;
    return cache;
}

// One format name per line; anything that does not look like one is dropped, so a
// foreign program's chatter never lands in a picker.
QStringList parseList(const QByteArray &output)
{
    QStringList names;
    for (const QByteArray &line : output.split('\n')) {
        const QString name = QString::fromUtf8(line.trimmed());
        static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_]+$"));
        if (!name.isEmpty() && name.size() <= 64 && plain.match(name).hasMatch())
            names << name;
    }
    return names;
}

} // namespace

FormatQuery::FormatQuery(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        qCWarning(lcFormats) << "format lists of" << m_executable << "timed out";
        for (QProcess &process : m_processes)
            process.kill();
        m_pending = 0;
        finish();
    });
    for (int i = 0; i < 2; ++i) {
        QProcess &process = m_processes[size_t(i)];
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        connect(&process, &QProcess::finished, this,
                [this, i](int code, QProcess::ExitStatus status) { collect(i, code, status); });
        connect(&process, &QProcess::errorOccurred, this, [this, i](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart)
                collect(i, -1, QProcess::CrashExit);
        });
    }
}

FormatQuery::~FormatQuery()
{
    m_pending = -1;
    for (QProcess &process : m_processes) {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(1000);
        }
    }
}

std::optional<ConverterFormats> FormatQuery::cached(const QString &executable)
{
    const auto it = sessionCache().constFind(executable);
    if (it == sessionCache().constEnd())
        return std::nullopt;
    return *it;
}

void FormatQuery::clearCache()
{
    sessionCache().clear();
}

void FormatQuery::start(const QString &executable, int timeoutMs)
{
    m_executable = executable;
    if (cached(executable)) {
        QMetaObject::invokeMethod(
            this, [this] { emit finished(*cached(m_executable)); }, Qt::QueuedConnection);
        return;
    }
    m_pending = 2;
    m_lists = {};
    m_timer.start(timeoutMs);
    const char *options[] = {"--list-input-formats", "--list-output-formats"};
    for (int i = 0; i < 2; ++i) {
        QProcess &process = m_processes[size_t(i)];
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(executable, {QString::fromLatin1(options[i])}, QIODevice::ReadOnly);
    }
}

void FormatQuery::collect(int index, int exitCode, QProcess::ExitStatus status)
{
    if (m_pending <= 0)
        return;
    QProcess &process = m_processes[size_t(index)];
    if (status == QProcess::NormalExit && exitCode == 0)
        m_lists[size_t(index)] = parseList(process.readAllStandardOutput());
    if (--m_pending == 0)
        finish();
}

void FormatQuery::finish()
{
    m_timer.stop();
    const ConverterFormats formats{m_lists[0], m_lists[1]};
    // A failed answer is not kept, so the next check asks again.
    if (!formats.input.isEmpty() && !formats.output.isEmpty())
        sessionCache().insert(m_executable, formats);
    emit finished(formats);
}
