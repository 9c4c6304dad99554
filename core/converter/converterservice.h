#pragma once

#include "conversionsettings.h"
#include "converteranswers.h"
#include "convertersearch.h"
#include "formatquery.h"
#include "pdfsetup.h"
#include "report.h"

#include <QObject>

#include <memory>

class VersionQuery;

// The converter this window uses: where it is, its version, the formats it lists and the
// PDF engines beside it.
class ConverterService final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConverterService)

public:
    struct Setup
    {
        ConverterSearch search;
        int versionQueryTimeoutMs = 5000;
        int formatQueryTimeoutMs = 10000;
        std::optional<QString> enginePath;
        QString pdfSetupFolder;
    };
    static inline const QString kInstallPage = QStringLiteral("https://pandoc.org/installing.html");

    ConverterService(Setup setup, Reporter report, QObject *parent = nullptr);
    ~ConverterService() override;

    const ConverterSearch &search() const { return m_setup.search; }
    // Looks for the converter and asks its version and formats; checkFinished() follows.
    void check();
    const ConverterFormats &formats() const { return m_formats; }
    // What it lists beyond the pickers' own entries; empty until it answered.
    QStringList extraFormats(bool input) const;
    // Made on first use: the engine search and the font set-up wait until PDF is asked for.
    const PdfSetupPlanner &pdfPlanner() const;
    // What the found converter says when a control asks (extensions, styles, options).
    ConverterAnswers &answers() { return m_answers; }

    // What this converter lacks for a preset: a "⚠ " line each (told, not changed: the
    // preset may come from a machine with a newer pandoc).
    QStringList presetWarnings(const QString &inputFormat, const QString &outputFormat,
                               const QString &pdfEngine) const;
    // A "⚠ " line for each of the changed extensions the converter does not list for the
    // format; logged once the converter has answered.
    void warnUnknownExtensions(const ConversionSettings &settings);

signals:
    // The check has written its result (or found nothing to write).
    void checkFinished();
    void formatsChanged();

private:
    void reportNotFound(const QStringList &candidates);
    void askFormats(const QString &executable);

    Setup m_setup;
    Reporter m_report;
    std::unique_ptr<VersionQuery> m_versionQuery;
    std::unique_ptr<FormatQuery> m_formatQuery;
    ConverterFormats m_formats;
    ConverterAnswers m_answers;
    void warnUnknownExtensions(const QString &format, const QString &changes);
    // Extension changes waiting for the converter's list: format, changes.
    QList<std::pair<QString, QString>> m_extensionChecks;
    mutable std::unique_ptr<PdfSetupPlanner> m_pdfPlanner;
};
