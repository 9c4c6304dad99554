// Formats the found converter lists, and the PDF engine.
#include "pandocviewmodel.h"

#include "optioncatalog.h"

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
    connect(this, &PandocViewModel::optionValuesChanged, this,
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

std::optional<QString> PandocViewModel::optionValue(const QString &name) const
{
    const auto found = m_settings.options.constFind(name);
    return found == m_settings.options.cend() ? std::nullopt : std::optional(found.value());
}

void PandocViewModel::setOptionValue(const QString &name, const std::optional<QString> &value)
{
    QMap<QString, QString> options = m_settings.options;
    if (value)
        options.insert(name, *value);
    else
        options.remove(name);
    assign(m_settings.options, options, &PandocViewModel::optionValuesChanged);
}

void PandocViewModel::setPdfEngine(const QString &value)
{
    assign(m_settings.pdfEngine, value, &PandocViewModel::pdfEngineChanged);
}

QStringList PandocViewModel::pdfEngines() const
{
    return m_pdfPlanner->engines();
}

bool PandocViewModel::showPdfEngine() const
{
    return converterFormatName(m_settings.outputFormat).toLower() == u"pdf";
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

void PandocViewModel::warnAboutPresetNeeds(const Preset &preset)
{
    // Told, not changed: the preset may come from a machine with a newer pandoc.
    if (!FormatRules::isKnownFormat(preset.inputFormat, m_converterFormats.input))
        appendLog(QStringLiteral("⚠ Pandoc kennt das Eingabeformat des Presets nicht: ") +
                  converterFormatName(preset.inputFormat));
    if (!FormatRules::isKnownFormat(preset.outputFormat, m_converterFormats.output))
        appendLog(QStringLiteral("⚠ Pandoc kennt das Ausgabeformat des Presets nicht: ") +
                  converterFormatName(preset.outputFormat));
    const bool engineFound =
        m_settings.pdfEngine == kAutomaticPdfEngine ||
        pdfEngines().contains(m_settings.pdfEngine) ||
        (m_settings.pdfEngine.contains(u'/') && QFileInfo(m_settings.pdfEngine).isExecutable());
    if (!engineFound)
        appendLog(QStringLiteral("⚠ PDF-Engine des Presets nicht gefunden: ") +
                  m_settings.pdfEngine);
}
