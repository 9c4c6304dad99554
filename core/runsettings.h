#pragma once

#include "citations.h"
#include "records.h"

#include <QString>
#include <optional>

// Every setting a conversion reads, copied when the run starts so that nothing
// the user changes during the run reaches it.
struct RunSettings
{
    QString inputFormat;
    QString outputFormat;
    bool standalone = true;
    bool tableOfContents = false;
    bool numberSections = false;
    std::optional<Template> htmlTemplate;
    std::optional<Template> cssTemplate;
    std::optional<Template> latexTemplate;
    std::optional<Template> docxTemplate;
    QString additionalOptions;
    QString pdfEngine; // "Automatisch" or an engine
    CitationSettings citations;
};
