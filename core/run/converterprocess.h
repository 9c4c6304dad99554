#pragma once

#include "platform.h"

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QTimer>

// Runs the converter once, asynchronously: standard input is empty, standard
// output goes nowhere, standard error is collected (capped, head and tail kept).
// The converter leads a process group of its own and dies with Velunor; stopping it
// also stops everything it started (a PDF engine, say), even in other sessions.
class ConverterProcess final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConverterProcess)

public:
    enum class Kind
    {
        Exited,
        Crashed,
        FailedToStart,
        Cancelled
    };
    Q_ENUM(Kind)

    struct Outcome
    {
        Kind kind = Kind::FailedToStart;
        // The exit status, or the signal number after a crash.
        int code = 0;
        QString error;
    };

    // Error output beyond this is shortened to its first and last half.
    static constexpr qsizetype kStderrLimit = 1024 * 1024;

    explicit ConverterProcess(QObject *parent = nullptr);
    ~ConverterProcess() override;

    // `tempFolder`, when given, becomes the converter's TMPDIR.
    void start(const QString &program, const QStringList &arguments,
               const QString &workingFolder = {}, const QString &tempFolder = {});
    // Asks the converter's group to stop; kills it when it has not ended after `graceMs`.
    void cancel(int graceMs);

    // The collected error output as text; empty when it is not valid UTF-8.
    QString errorText() const;

signals:
    void finished(const ConverterProcess::Outcome &outcome);

private:
    void collectStderr();
    void finish(Outcome outcome);
    // Signals the converter's group and every descendant of the run that has left it.
    void signalTree(Platform::Stop how);
    void reapDescendants();

    QProcess m_process;
    QTimer m_killTimer;
    QByteArray m_head;
    QByteArray m_tail;
    qint64 m_total = 0;
    qint64 m_group = 0;
    QByteArray m_marker;
    QList<qint64> m_descendants;
    bool m_cancelled = false;
    bool m_done = false;
};
