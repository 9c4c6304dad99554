#pragma once

#include "converterquery.h"

#include <QObject>
#include <optional>

// Asks the converter for the text a document will contain (its own reading of the inputs,
// with the run's bibliography, metadata and filters), so that a choice that depends on the
// characters sees entities, citations and metadata as they will be set.
class TextProbe final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TextProbe)

public:
    // A document's text larger than this is judged as unknown.
    static constexpr qsizetype kMaxTextBytes = 16 * 1024 * 1024;

    explicit TextProbe(QObject *parent = nullptr);

    // `arguments` name the inputs and the options that change the text; the probe adds what
    // makes the converter write its document tree to standard output.
    void start(const QString &converter, const QStringList &arguments, const QString &folder,
               int timeoutMs);

signals:
    // None when the text could not be learnt.
    void finished(const std::optional<QString> &text);

private:
    ConverterQuery m_query;
};
