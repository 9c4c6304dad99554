#pragma once

#include "conversionsettings.h"
#include "dialogs.h"
#include "syncedrecords.h"

class ConverterService;
class PresetService;
class TemplateService;
struct DefaultsImport;
struct DefaultsSettings;

// Presets as pandoc defaults files, both ways.
class DefaultsTransfer final
{
public:
    DefaultsTransfer(PresetService &presets, const TemplateService &templates,
                     const ConverterService &converter, Dialogs *dialogs, StoreLog::Log log);

    // Writes the preset, or `current` when none is given, as a defaults file; `firstInput`
    // decides what "Automatisch" takes.
    bool exportFile(const std::optional<Preset> &preset, const ConversionSettings &current,
                    const QString &firstInput, const QString &path) const;
    // Reads a defaults file into a new preset and selects it.
    bool importFile(const QString &path, const QStringList &inputChoices,
                    const QStringList &outputChoices);

private:
    // Names every key that writes a file or runs a program in one question; without consent
    // they are taken out of `settings`. The keys taken out.
    QStringList confirmEffects(const DefaultsImport &read, DefaultsSettings &settings) const;

    PresetService &m_presets;
    const TemplateService &m_templates;
    const ConverterService &m_converter;
    Dialogs *m_dialogs;
    StoreLog::Log m_log;
};
