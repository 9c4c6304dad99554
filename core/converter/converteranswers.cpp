#include "converteranswers.h"

#include "converterquery.h"
#include "convertersearch.h"

#include <QRegularExpression>

ConverterAnswers::ConverterAnswers(int timeoutMs, QObject *parent)
    : QObject(parent), m_timeoutMs(timeoutMs)
{
}

ConverterAnswers::~ConverterAnswers() = default;

void ConverterAnswers::setExecutable(const QString &executable)
{
    if (executable == m_executable)
        return;
    m_executable = executable;
    m_answers.clear();
    // Answers still under way belong to the old converter.
    for (ConverterQuery *query : std::as_const(m_pending))
        query->disconnect(this), query->deleteLater();
    m_pending.clear();
}

QByteArray ConverterAnswers::answer(const QStringList &arguments)
{
    const QString key = arguments.join(u'\n');
    if (const auto found = m_answers.constFind(key); found != m_answers.cend())
        return *found;
    if (m_executable.isEmpty() || m_pending.contains(key))
        return {};
    auto *query = new ConverterQuery(this);
    m_pending.insert(key, query);
    connect(query, &ConverterQuery::finished, this,
            [this, key, query](const ConverterQuery::Result &result) {
                m_pending.remove(key);
                query->deleteLater();
                // A failed question is not asked again this session; its answer is empty.
                m_answers.insert(key,
                                 result.kind == ConverterQuery::Kind::Exited && result.exitCode == 0
                                     ? result.output
                                     : QByteArray());
                emit answered();
            });
    query->start(m_executable, arguments, m_timeoutMs, kMaxAnswerBytes);
    return {};
}

QStringList ConverterAnswers::parseExtensions(const QByteArray &answer)
{
    static const QRegularExpression line(QStringLiteral("^[+-][a-z0-9_]{1,64}$"));
    QStringList names;
    for (const QByteArray &raw : answer.split('\n')) {
        const QString text = QString::fromLatin1(raw.trimmed());
        if (line.match(text).hasMatch() && names.size() < 500)
            names << text;
    }
    return names;
}

QStringList ConverterAnswers::extensions(const QString &format)
{
    static const QRegularExpression name(QStringLiteral("^[a-z0-9_]{1,40}$"));
    if (!name.match(format).hasMatch())
        return {};
    return parseExtensions(answer({QStringLiteral("--list-extensions=") + format}));
}

QStringList ConverterAnswers::highlightStyles()
{
    static const QRegularExpression line(QStringLiteral("^[A-Za-z0-9_-]{1,40}$"));
    QStringList styles;
    for (const QByteArray &raw : answer({QStringLiteral("--list-highlight-styles")}).split('\n')) {
        const QString text = QString::fromLatin1(raw.trimmed());
        if (line.match(text).hasMatch() && styles.size() < 200)
            styles << text;
    }
    return styles;
}

bool ConverterAnswers::knowsOption(const QString &name)
{
    const QByteArray option = "--" + name.toLatin1();
    return answer({QStringLiteral("--help")}).contains(option);
}
