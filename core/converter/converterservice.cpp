#include "converterservice.h"

#include "formatname.h"
#include "formatrules.h"
#include "versionquery.h"

#include <QFileInfo>
#include <QRegularExpression>

ConverterService::ConverterService(Setup setup, Reporter report, QObject *parent)
    : QObject(parent), m_setup(std::move(setup)), m_report(std::move(report)),
      m_answers(m_setup.formatQueryTimeoutMs)
{
}

const PdfSetupPlanner &ConverterService::pdfPlanner() const
{
    if (!m_pdfPlanner)
        m_pdfPlanner = std::make_unique<PdfSetupPlanner>(PdfSetup::findEngines(m_setup.enginePath),
                                                         m_setup.pdfSetupFolder);
    return *m_pdfPlanner;
}

ConverterService::~ConverterService() = default;

void ConverterService::check()
{
    // A query still under way reports for both calls.
    if (m_versionQuery)
        return;
    const QStringList candidates = m_setup.search.candidates();
    const std::optional<QString> found = m_setup.search.locate();
    if (!found) {
        reportNotFound(candidates);
        emit checkFinished();
        return;
    }
    const QString path = *found;
    m_answers.setExecutable(path);
    askFormats(path);
    m_versionQuery = std::make_unique<VersionQuery>();
    connect(m_versionQuery.get(), &VersionQuery::finished, this,
            [this, path](const VersionQuery::Result &result) {
                using Outcome = VersionQuery::Outcome;
                const auto &log = m_report.log;
                switch (result.outcome) {
                case Outcome::Version:
                    m_report.status(QStringLiteral("✓ ") + result.versionLine +
                                        QStringLiteral(" (") + path + u')',
                                    Tone::Success);
                    log(QStringLiteral("✓ ") + result.versionLine);
                    log(QStringLiteral("Pfad: ") + path);
                    break;
                case Outcome::StartFailed:
                    m_report.status(QStringLiteral("⚠ Pandoc nicht gefunden!"), Tone::Failure);
                    log(QStringLiteral("⚠ Fehler beim Überprüfen von Pandoc: ") + result.error);
                    break;
                case Outcome::TimedOut:
                    log(QStringLiteral("⚠ Pandoc antwortet nicht auf --version (") + path +
                        QStringLiteral("); Abfrage nach ") +
                        QString::number(m_setup.versionQueryTimeoutMs / 1000.0) +
                        QStringLiteral(" s abgebrochen"));
                    break;
                case Outcome::TooLong:
                    log(QStringLiteral("⚠ Pandoc antwortet nicht auf --version (") + path +
                        QStringLiteral("); Antwort nach ") +
                        QString::number(VersionQuery::kMaxAnswerBytes / 1024) +
                        QStringLiteral(" KiB ohne Versionszeile abgebrochen"));
                    break;
                case Outcome::NonZeroExit:
                case Outcome::NotUtf8:
                case Outcome::Crashed:
                    break;
                }
                m_versionQuery.release()->deleteLater();
                emit checkFinished();
            });
    m_versionQuery->start(path, m_setup.versionQueryTimeoutMs);
}

void ConverterService::reportNotFound(const QStringList &candidates)
{
    m_report.status(QStringLiteral("⚠ Pandoc nicht gefunden!"), Tone::Failure);
    m_report.log(QStringLiteral("⚠ Pandoc nicht gefunden - Bitte installieren: ") + kInstallPage);
    m_report.log(QStringLiteral("Gesuchte Pfade:"));
    for (const QString &candidate : candidates.first(std::min<qsizetype>(5, candidates.size())))
        m_report.log(QStringLiteral("  - ") + candidate);
}

void ConverterService::askFormats(const QString &executable)
{
    if (m_formatQuery)
        return;
    m_formatQuery = std::make_unique<FormatQuery>();
    connect(m_formatQuery.get(), &FormatQuery::finished, this,
            [this](const ConverterFormats &formats) {
                m_formatQuery.release()->deleteLater();
                if (formats.input == m_formats.input && formats.output == m_formats.output)
                    return;
                m_formats = formats;
                emit formatsChanged();
            });
    m_formatQuery->start(executable, m_setup.formatQueryTimeoutMs);
}

QStringList ConverterService::presetWarnings(const QString &inputFormat,
                                             const QString &outputFormat,
                                             const QString &pdfEngine) const
{
    QStringList lines;
    if (!FormatRules::isKnownFormat(inputFormat, m_formats.input))
        lines << QStringLiteral("⚠ Pandoc kennt das Eingabeformat des Presets nicht: ") +
                     converterFormatName(inputFormat);
    if (!FormatRules::isKnownFormat(outputFormat, m_formats.output))
        lines << QStringLiteral("⚠ Pandoc kennt das Ausgabeformat des Presets nicht: ") +
                     converterFormatName(outputFormat);
    const bool engineFound = pdfEngine == PdfSetup::kAutomatic ||
                             pdfPlanner().engines().contains(pdfEngine) ||
                             (pdfEngine.contains(u'/') && QFileInfo(pdfEngine).isExecutable());
    if (!engineFound)
        lines << QStringLiteral("⚠ PDF-Engine des Presets nicht gefunden: ") + pdfEngine;
    return lines;
}

void ConverterService::warnUnknownExtensions(const ConversionSettings &settings)
{
    warnUnknownExtensions(converterFormatName(settings.inputFormat), settings.inputExtensions);
    warnUnknownExtensions(converterFormatName(settings.outputFormat), settings.outputExtensions);
}

void ConverterService::warnUnknownExtensions(const QString &format, const QString &changes)
{
    static const QRegularExpression one(QStringLiteral("[+-]([a-z0-9_]+)"));
    if (changes.isEmpty() || format == u"auto")
        return;
    const QStringList listed = m_answers.extensions(format);
    if (listed.isEmpty()) {
        // Asked now; checked when the answer arrives.
        if (m_extensionChecks.isEmpty())
            connect(&m_answers, &ConverterAnswers::answered, this, [this] {
                const auto waiting = std::exchange(m_extensionChecks, {});
                m_answers.disconnect(this);
                for (const auto &[f, c] : waiting)
                    warnUnknownExtensions(f, c);
            });
        m_extensionChecks.append({format, changes});
        return;
    }
    for (auto it = one.globalMatch(changes); it.hasNext();) {
        const QString name = it.next().captured(1);
        if (!listed.contains(u'+' + name) && !listed.contains(u'-' + name))
            m_report.log(QStringLiteral("⚠ Pandoc kennt die Erweiterung des Presets nicht: ") +
                         format + u' ' + name);
    }
}

QStringList ConverterService::extraFormats(bool input) const
{
    return input ? FormatRules::extraFormats(FormatRules::inputFormatChoices(), m_formats.input)
                 : FormatRules::extraFormats(FormatRules::outputFormatChoices(), m_formats.output);
}
