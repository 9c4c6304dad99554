#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class ConverterQuery;

// Questions asked of the converter only when a control needs the answer: the extensions of a
// format, the highlighting styles, the options it knows. Each is asked once per converter,
// off the UI thread; the answers are kept for the session.
class ConverterAnswers final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConverterAnswers)

public:
    static constexpr qsizetype kMaxAnswerBytes = 64 * 1024;

    explicit ConverterAnswers(int timeoutMs, QObject *parent = nullptr);
    ~ConverterAnswers() override;

    // The converter the answers are about; a new one forgets the old answers.
    void setExecutable(const QString &executable);

    // "+smart", "-raw_html": each extension of `format` with its default; empty until asked.
    QStringList extensions(const QString &format);
    QStringList highlightStyles();
    // Whether --help lists the option (such as "embed-resources").
    bool knowsOption(const QString &name);

    // Splits an extension list into its names with their defaults.
    static QStringList parseExtensions(const QByteArray &answer);

signals:
    // An answer arrived: ask again for it.
    void answered();

private:
    // The kept answer, or empty while it is asked for.
    QByteArray answer(const QStringList &arguments);

    int m_timeoutMs;
    QString m_executable;
    QHash<QString, QByteArray> m_answers;
    QHash<QString, ConverterQuery *> m_pending;
};
