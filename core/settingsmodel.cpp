#include "settingsmodel.h"

void SettingsModel::setInputFormat(const QString &value)
{
    // Extensions belong to one format; another format starts from its own defaults.
    if (value != m_value.inputFormat)
        setExtensions(QString(), m_value.outputExtensions);
    assign(m_value.inputFormat, value, &SettingsModel::inputFormatChanged);
}

void SettingsModel::setOutputFormat(const QString &value)
{
    if (value != m_value.outputFormat)
        setExtensions(m_value.inputExtensions, QString());
    assign(m_value.outputFormat, value, &SettingsModel::outputFormatChanged);
}

void SettingsModel::setHtml(const std::optional<Template> &value)
{
    assign(m_value.htmlTemplate, value, &SettingsModel::htmlTemplateChanged);
}

void SettingsModel::setCss(const std::optional<Template> &value)
{
    assign(m_value.cssTemplate, value, &SettingsModel::cssTemplateChanged);
}

void SettingsModel::setLatex(const std::optional<Template> &value)
{
    assign(m_value.latexTemplate, value, &SettingsModel::latexTemplateChanged);
}

void SettingsModel::setDocx(const std::optional<Template> &value)
{
    assign(m_value.docxTemplate, value, &SettingsModel::docxTemplateChanged);
}

void SettingsModel::setStandalone(bool value)
{
    assign(m_value.standalone, value, &SettingsModel::standaloneChanged);
}

void SettingsModel::setTableOfContents(bool value)
{
    assign(m_value.tableOfContents, value, &SettingsModel::tableOfContentsChanged);
}

void SettingsModel::setNumberSections(bool value)
{
    assign(m_value.numberSections, value, &SettingsModel::numberSectionsChanged);
}

void SettingsModel::setAdditionalOptions(const QString &value)
{
    assign(m_value.additionalOptions, value, &SettingsModel::additionalOptionsChanged);
}

void SettingsModel::setPdfEngine(const QString &value)
{
    assign(m_value.pdfEngine, value, &SettingsModel::pdfEngineChanged);
}

void SettingsModel::setBibliography(const QString &value)
{
    if (m_value.citations.bibliography == value)
        return;
    const bool wasEmpty = m_value.citations.bibliography.isEmpty();
    m_value.citations.bibliography = value;
    emit bibliographyChanged();
    if (wasEmpty != value.isEmpty())
        setProcessCitations(!value.isEmpty());
}

void SettingsModel::setCsl(const QString &value)
{
    assign(m_value.citations.csl, value, &SettingsModel::cslChanged);
}

void SettingsModel::setProcessCitations(bool value)
{
    assign(m_value.citations.process, value, &SettingsModel::processCitationsChanged);
}

std::optional<QString> SettingsModel::option(const QString &name) const
{
    const auto found = m_value.options.constFind(name);
    return found == m_value.options.cend() ? std::nullopt : std::optional(found.value());
}

void SettingsModel::setOption(const QString &name, const std::optional<QString> &value)
{
    QMap<QString, QString> options = m_value.options;
    if (value)
        options.insert(name, *value);
    else
        options.remove(name);
    assign(m_value.options, options, &SettingsModel::optionsChanged);
}

void SettingsModel::setFilters(const QStringList &value)
{
    assign(m_value.filters, value, &SettingsModel::optionsChanged);
}

void SettingsModel::setMetadata(const QList<std::pair<QString, QString>> &value)
{
    assign(m_value.metadata, value, &SettingsModel::optionsChanged);
}

void SettingsModel::setVariables(const QList<std::pair<QString, QString>> &value)
{
    assign(m_value.variables, value, &SettingsModel::optionsChanged);
}

void SettingsModel::setExtensions(const QString &input, const QString &output)
{
    if (m_value.inputExtensions == input && m_value.outputExtensions == output)
        return;
    m_value.inputExtensions = input;
    m_value.outputExtensions = output;
    emit optionsChanged();
}

void SettingsModel::apply(const ConversionSettings &s)
{
    setInputFormat(s.inputFormat);
    setOutputFormat(s.outputFormat);
    setStandalone(s.standalone);
    setTableOfContents(s.tableOfContents);
    setNumberSections(s.numberSections);
    setAdditionalOptions(s.additionalOptions);
    setHtml(s.htmlTemplate);
    setCss(s.cssTemplate);
    setLatex(s.latexTemplate);
    setDocx(s.docxTemplate);
    setPdfEngine(s.pdfEngine);
    setBibliography(s.citations.bibliography);
    setCsl(s.citations.csl);
    setProcessCitations(s.citations.process);
    assign(m_value.options, s.options, &SettingsModel::optionsChanged);
    setFilters(s.filters);
    setMetadata(s.metadata);
    setVariables(s.variables);
    setExtensions(s.inputExtensions, s.outputExtensions);
    setMergeInputs(s.mergeInputs);
}
