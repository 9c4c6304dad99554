#pragma once

#include "citations.h"
#include "pdfsetup.h"
#include "records.h"

#include <QList>
#include <QMap>
#include <QString>
#include <optional>

// Every setting of one conversion. The view model's properties read and write one such
// value, and a run keeps a copy so that nothing the user changes meanwhile reaches it.
struct ConversionSettings
{
    QString inputFormat = QStringLiteral("auto (automatisch)");
    QString outputFormat = QStringLiteral("docx");
    bool standalone = true;
    bool tableOfContents = false;
    bool numberSections = false;
    std::optional<Template> htmlTemplate;
    std::optional<Template> cssTemplate;
    std::optional<Template> latexTemplate;
    std::optional<Template> docxTemplate;
    QString additionalOptions;
    QString pdfEngine = PdfSetup::kAutomatic; // "Automatisch" or an engine
    CitationSettings citations;
    // pandoc options that have a control of their own: long name -> value ("" for a flag).
    QMap<QString, QString> options;
    // Filter files in the order pandoc applies them; kCiteprocStep marks where citations are
    // processed (after every filter when absent).
    QStringList filters;
    // "-M" and "-V" pairs in order; a key given twice becomes a list, as pandoc reads it.
    QList<std::pair<QString, QString>> metadata;
    QList<std::pair<QString, QString>> variables;
    // Changed extensions of the formats, such as "+smart-auto_identifiers".
    QString inputExtensions;
    QString outputExtensions;
    // Several inputs become one document, read by pandoc in the order of the inputs.
    bool mergeInputs = false;

    friend bool operator==(const ConversionSettings &, const ConversionSettings &) = default;
};

inline constexpr QStringView kCiteprocStep = u"citeproc";

// The options that have a control of their own; any of them found among other options (a
// defaults file, a preset) goes to its control.
const QStringList &controlledOptions();
// The label of the control that sets one of controlledOptions().
QString controlLabel(const QString &option);

// The command-line words of every control: options, metadata, variables and filters, with
// "--citeproc" in its place among the filters while citations are processed. `keepStep`
// writes the citation step's place even while they are not (for presets).
QStringList controlArguments(const ConversionSettings &settings, bool keepStep = false);
// Takes the uses of every control's option out of `words` into `settings`; whether a
// "--citeproc" was among them.
bool takeControls(QStringList &words, ConversionSettings &settings);
// The format with its changed extensions, as the converter takes it.
QString formatWithExtensions(const QString &format, const QString &extensions);
// Splits "markdown+smart-raw_html" into the format and its extension changes.
std::pair<QString, QString> splitExtensions(const QString &format);

// The preset that keeps these settings under `name`, with a new id.
Preset presetFromSettings(const ConversionSettings &settings, const QString &name);

// A preset's settings laid over `current`: templates are found by name among `templates`
// (the first of its kind in library order), and a preset that names none of a kind keeps
// the current one. Citations and the engine are always the preset's own.
ConversionSettings settingsFromPreset(const Preset &preset, const QList<Template> &templates,
                                      const ConversionSettings &current);
