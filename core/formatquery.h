#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <array>
#include <optional>

// The formats one converter reads and writes.
struct ConverterFormats
{
    QStringList input;
    QStringList output;
};

// Asks a converter for its input and output formats, both at once and without blocking
// the UI thread. The answer of each converter path is kept for the rest of the session.
class FormatQuery final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormatQuery)

public:
    explicit FormatQuery(QObject *parent = nullptr);
    ~FormatQuery() override;

    // What an earlier query of this path found, if any.
    static std::optional<ConverterFormats> cached(const QString &executable);
    static void clearCache();

    // Emits finished() later, also for a cached path. A list that cannot be read stays empty.
    void start(const QString &executable, int timeoutMs);

signals:
    void finished(const ConverterFormats &formats);

private:
    void collect(int index, int exitCode, QProcess::ExitStatus status);
    void finish();

    QString m_executable;
    std::array<QProcess, 2> m_processes;
    std::array<QStringList, 2> m_lists;
    int m_pending = 0;
    QTimer m_timer;
};
