#pragma once

#include "conversionsettings.h"

#include <QObject>

// The settings of the next conversion as the window edits them; each field announces only a
// real change.
class SettingsModel final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SettingsModel)

public:
    explicit SettingsModel(QObject *parent = nullptr) : QObject(parent) {}

    const ConversionSettings &value() const { return m_value; }

    void setInputFormat(const QString &value);
    void setOutputFormat(const QString &value);
    void setHtml(const std::optional<Template> &value);
    void setCss(const std::optional<Template> &value);
    void setLatex(const std::optional<Template> &value);
    void setDocx(const std::optional<Template> &value);
    void setStandalone(bool value);
    void setTableOfContents(bool value);
    void setNumberSections(bool value);
    void setAdditionalOptions(const QString &value);
    void setPdfEngine(const QString &value);
    // Choosing a bibliography turns processing on, clearing it turns it off.
    void setBibliography(const QString &value);
    void setCsl(const QString &value);
    void setProcessCitations(bool value);
    std::optional<QString> option(const QString &name) const;
    void setOption(const QString &name, const std::optional<QString> &value);
    // Filters, metadata, variables and extensions announce themselves with optionsChanged.
    void setFilters(const QStringList &value);
    void setMetadata(const QList<std::pair<QString, QString>> &value);
    void setVariables(const QList<std::pair<QString, QString>> &value);
    void setExtensions(const QString &input, const QString &output);
    void setMergeInputs(bool value) { assign(m_value.mergeInputs, value, &Self::mergeChanged); }
    // Takes every field of `settings`, in the order presets have always been loaded.
    void apply(const ConversionSettings &settings);

signals:
    void inputFormatChanged();
    void outputFormatChanged();
    void htmlTemplateChanged();
    void cssTemplateChanged();
    void latexTemplateChanged();
    void docxTemplateChanged();
    void standaloneChanged();
    void tableOfContentsChanged();
    void numberSectionsChanged();
    void additionalOptionsChanged();
    void pdfEngineChanged();
    void bibliographyChanged();
    void cslChanged();
    void processCitationsChanged();
    void optionsChanged();
    void mergeChanged();

private:
    using Self = SettingsModel;
    template <typename T> void assign(T &field, const T &value, void (SettingsModel::*changed)())
    {
        if (field == value)
            return;
        field = value;
        emit(this->*changed)();
    }

    ConversionSettings m_value;
};
