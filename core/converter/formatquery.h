#pragma once

#include "converterquery.h"

#include <QObject>
#include <QStringList>
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
    // pandoc knows about a hundred formats; room for ten times that is plenty.
    static constexpr qsizetype kMaxAnswerBytes = 16 * 1024;
    static constexpr qsizetype kMaxNames = 500;

    explicit FormatQuery(QObject *parent = nullptr);

    // What an earlier query of this path found, if any.
    static std::optional<ConverterFormats> cached(const QString &executable);
    static void clearCache();

    // The well-formed names of one answer, each once, in their first order, at most kMaxNames.
    static QStringList parseList(const QByteArray &answer);

    // Emits finished() later, also for a cached path. A list that cannot be read stays empty.
    void start(const QString &executable, int timeoutMs);

signals:
    void finished(const ConverterFormats &formats);

private:
    void collect(int index, const ConverterQuery::Result &answer);

    QString m_executable;
    std::array<ConverterQuery, 2> m_queries;
    std::array<QStringList, 2> m_lists;
    int m_pending = 0;
};
