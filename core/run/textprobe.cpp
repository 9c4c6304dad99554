#include "textprobe.h"

#include <QStringDecoder>

TextProbe::TextProbe(QObject *parent) : QObject(parent)
{
    connect(&m_query, &ConverterQuery::finished, this, [this](const ConverterQuery::Result &r) {
        if (r.kind != ConverterQuery::Kind::Exited || r.exitCode != 0) {
            emit finished(std::nullopt);
            return;
        }
        QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
        const QString text = decoder.decode(r.output);
        emit finished(decoder.hasError() ? std::nullopt : std::optional<QString>(text));
    });
}

void TextProbe::start(const QString &converter, const QStringList &arguments, const QString &folder,
                      int timeoutMs)
{
    // Last, so they win over a format or output named in the extra options. JSON keeps every
    // character of text and metadata unescaped.
    QStringList args = arguments;
    args << QStringLiteral("--to=json") << QStringLiteral("--output=-");
    m_query.setWorkingDirectory(folder);
    m_query.start(converter, args, timeoutMs, kMaxTextBytes);
}
