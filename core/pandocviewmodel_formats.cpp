// Formats the found converter lists, and the PDF engine.
#include "pandocviewmodel.h"

#include "formatname.h"
#include "formatrules.h"

#include <QFileInfo>

#include <algorithm>

void PandocViewModel::setUpFormatsAndPdf()
{
    m_pdfPlanner = std::make_unique<PdfSetupPlanner>(PdfSetup::findEngines(m_env.enginePath),
                                                     m_env.pdfSetupFolder);
    connect(this, &PandocViewModel::pdfEngineChanged, this,
            &PandocViewModel::commandPreviewChanged);
}

QStringList PandocViewModel::extraInputFormats() const
{
    return FormatRules::extraFormats(FormatRules::inputFormatChoices(), m_converterFormats.input);
}

QStringList PandocViewModel::extraOutputFormats() const
{
    return FormatRules::extraFormats(FormatRules::outputFormatChoices(), m_converterFormats.output);
}

void PandocViewModel::setPdfEngine(const QString &value)
{
    assign(m_pdfEngine, value, &PandocViewModel::pdfEngineChanged);
}

QStringList PandocViewModel::pdfEngines() const
{
    return m_pdfPlanner->engines();
}

bool PandocViewModel::showPdfEngine() const
{
    return converterFormatName(m_outputFormat).toLower() == u"pdf";
}

QString PandocViewModel::automaticPdfEngine(const QString &inputPath) const
{
    return m_pdfPlanner->automaticEngine(inputPath);
}

void PandocViewModel::askConverterFormats(const QString &executable)
{
    if (m_formatQuery)
        return;
    m_formatQuery = std::make_unique<FormatQuery>();
    connect(m_formatQuery.get(), &FormatQuery::finished, this,
            [this](const ConverterFormats &formats) {
                m_formatQuery.release()->deleteLater();
                if (formats.input == m_converterFormats.input &&
                    formats.output == m_converterFormats.output)
                    return;
                m_converterFormats = formats;
                emit converterFormatsChanged();
            });
    m_formatQuery->start(executable, m_env.formatQueryTimeoutMs);
}

QStringList PandocViewModel::pdfArguments(const RunSettings &settings, const QString &input,
                                          const QStringList &options) const
{
    if (converterFormatName(settings.outputFormat) != u"pdf")
        return {};
    for (const QString &option : options) {
        if (option == u"--pdf-engine" || option.startsWith(u"--pdf-engine="))
            return {};
    }
    return m_pdfPlanner->arguments(settings.pdfEngine, input);
}

bool PandocViewModel::pdfFromText(const RunSettings &settings, const QStringList &options) const
{
    if (settings.pdfEngine != PdfSetup::kAutomatic || pdfEngines().isEmpty() ||
        converterFormatName(settings.outputFormat) != u"pdf")
        return false;
    return std::none_of(options.begin(), options.end(), [](const QString &option) {
        return option == u"--pdf-engine" || option.startsWith(u"--pdf-engine=");
    });
}

QStringList PandocViewModel::textProbeArguments(const RunSettings &settings, const QString &input,
                                                const QStringList &options) const
{
    QStringList args;
    const QString from = converterFormatName(settings.inputFormat);
    if (from != u"auto")
        args << QStringLiteral("-f") << from;
    args << input << citationArguments(settings.citations) << options;
    return args;
}

void PandocViewModel::warnAboutPresetNeeds(const Preset &preset)
{
    // Told, not changed: the preset may come from a machine with a newer pandoc.
    if (!FormatRules::isKnownFormat(preset.inputFormat, m_converterFormats.input))
        appendLog(QStringLiteral("⚠ Pandoc kennt das Eingabeformat des Presets nicht: ") +
                  converterFormatName(preset.inputFormat));
    if (!FormatRules::isKnownFormat(preset.outputFormat, m_converterFormats.output))
        appendLog(QStringLiteral("⚠ Pandoc kennt das Ausgabeformat des Presets nicht: ") +
                  converterFormatName(preset.outputFormat));
    const bool engineFound = m_pdfEngine == kAutomaticPdfEngine ||
                             pdfEngines().contains(m_pdfEngine) ||
                             (m_pdfEngine.contains(u'/') && QFileInfo(m_pdfEngine).isExecutable());
    if (!engineFound)
        appendLog(QStringLiteral("⚠ PDF-Engine des Presets nicht gefunden: ") + m_pdfEngine);
}
