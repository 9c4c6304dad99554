#include "formatquery.h"

#include <QHash>
#include <QLoggingCategory>
#include <QSet>

Q_LOGGING_CATEGORY(lcFormats, "velunor.formats")

namespace {

// Only ever touched on the UI thread.
QHash<QString, ConverterFormats> &sessionCache()
{
    static QHash<QString, ConverterFormats> cache;
    return cache;
}

bool isFormatName(QByteArrayView name)
{
    if (name.isEmpty() || name.size() > 64)
        return false;
    for (const char c : name) {
        const bool ok =
            (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '+' || c == '-';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

FormatQuery::FormatQuery(QObject *parent) : QObject(parent)
{
    for (int i = 0; i < 2; ++i) {
        connect(&m_queries[size_t(i)], &ConverterQuery::finished, this,
                [this, i](const ConverterQuery::Result &answer) { collect(i, answer); });
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

QStringList FormatQuery::parseList(const QByteArray &answer)
{
    // Anything that does not look like a name is dropped, so a foreign program's chatter
    // never lands in a picker.
    QStringList names;
    QSet<QByteArrayView> seen;
    const QByteArrayView all(answer);
    for (qsizetype from = 0; from < all.size();) {
        qsizetype to = all.indexOf('\n', from);
        if (to < 0)
            to = all.size();
        const QByteArrayView name = all.sliced(from, to - from).trimmed();
        from = to + 1;
        if (!isFormatName(name) || seen.contains(name))
            continue;
        seen.insert(name);
        names << QString::fromLatin1(name);
        if (names.size() == kMaxNames)
            break;
    }
    return names;
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
    const char *options[] = {"--list-input-formats", "--list-output-formats"};
    for (int i = 0; i < 2; ++i)
        m_queries[size_t(i)].start(executable, {QString::fromLatin1(options[i])}, timeoutMs,
                                   kMaxAnswerBytes);
}

void FormatQuery::collect(int index, const ConverterQuery::Result &answer)
{
    using Kind = ConverterQuery::Kind;
    if (m_pending <= 0)
        return;
    // A list that was cut off still names real formats before its last, partial line.
    if (answer.kind == Kind::Exited && answer.exitCode == 0)
        m_lists[size_t(index)] = parseList(answer.output);
    else if (answer.kind == Kind::Overflowed)
        m_lists[size_t(index)] =
            parseList(answer.output.first(answer.output.lastIndexOf('\n') + 1));
    else if (answer.kind == Kind::TimedOut)
        qCWarning(lcFormats) << "format list of" << m_executable << "timed out";
    if (--m_pending > 0)
        return;
    const ConverterFormats formats{m_lists[0], m_lists[1]};
    // A failed answer is not kept, so the next check asks again.
    if (!formats.input.isEmpty() && !formats.output.isEmpty())
        sessionCache().insert(m_executable, formats);
    emit finished(formats);
}
