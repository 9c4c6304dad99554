#pragma once

#include "converterquery.h"

#include <QObject>

// Asks a converter for its version without blocking the UI thread; a query
// that outlives its time limit, or answers far more than a version, is stopped.
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
        Crashed,
        // Pages of text and not one line among them.
        TooLong
    };
    Q_ENUM(Outcome)

    struct Result
    {
        Outcome outcome = Outcome::StartFailed;
        QString versionLine;
        QString error;
    };

    // A real version text is a few hundred bytes.
    static constexpr qsizetype kMaxAnswerBytes = 8 * 1024;

    explicit VersionQuery(QObject *parent = nullptr);

    void start(const QString &executable, int timeoutMs);

signals:
    void finished(const VersionQuery::Result &result);

private:
    void answered(const ConverterQuery::Result &answer);

    ConverterQuery m_query;
};
