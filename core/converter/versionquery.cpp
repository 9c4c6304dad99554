#include "versionquery.h"

#include <QStringDecoder>

VersionQuery::VersionQuery(QObject *parent) : QObject(parent)
{
    connect(&m_query, &ConverterQuery::finished, this, &VersionQuery::answered);
}

void VersionQuery::start(const QString &executable, int timeoutMs)
{
    m_query.start(executable, {QStringLiteral("--version")}, timeoutMs, kMaxAnswerBytes);
}

void VersionQuery::answered(const ConverterQuery::Result &answer)
{
    using Kind = ConverterQuery::Kind;
    switch (answer.kind) {
    case Kind::StartFailed:
        emit finished({Outcome::StartFailed, {}, answer.error});
        return;
    case Kind::Crashed:
        emit finished({Outcome::Crashed, {}, answer.error});
        return;
    case Kind::TimedOut:
        emit finished({Outcome::TimedOut, {}, {}});
        return;
    case Kind::Exited:
        if (answer.exitCode != 0) {
            emit finished({Outcome::NonZeroExit, {}, {}});
            return;
        }
        break;
    case Kind::Overflowed:
        break;
    }
    const bool cut = answer.kind == Kind::Overflowed;
    const qsizetype lineFeed = answer.output.indexOf('\n');
    // Only the first line counts; an answer that was cut off must have ended one before the cut.
    if (cut && lineFeed < 0) {
        emit finished({Outcome::TooLong, {}, {}});
        return;
    }
    // Stateless, so a sequence cut off at the end counts as invalid, unless we cut it.
    QStringDecoder decoder(QStringDecoder::Utf8, cut ? QStringConverter::Flag::Default
                                                     : QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(answer.output);
    if (decoder.hasError()) {
        emit finished({Outcome::NotUtf8, {}, {}});
        return;
    }
    const qsizetype end = text.indexOf(u'\n');
    emit finished({Outcome::Version, end < 0 ? text : text.left(end), {}});
}
