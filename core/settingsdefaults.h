#pragma once

#include "conversionsettings.h"
#include "defaultsfile.h"

#include <QStringList>

// Settings in the terms of a defaults file. `automaticPdf` is what "Automatisch" would pass
// for PDF (written out so that pandoc alone converts alike); `missingTemplates` receives the
// names of chosen templates whose files are gone, which are left out.
DefaultsSettings defaultsFromSettings(const ConversionSettings &settings,
                                      const QStringList &extraWords,
                                      const QStringList &automaticPdf,
                                      QStringList *missingTemplates);

// A defaults file's settings as a preset (no id, no name): files that are in the library
// become its entries, other files stay options; formats become the pickers' entries where
// one names the same format.
Preset presetFromDefaults(const DefaultsSettings &defaults, bool automaticPdfEngine,
                          const QList<Template> &templates, const QStringList &inputChoices,
                          const QStringList &outputChoices);
