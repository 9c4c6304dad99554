#pragma once

#include "convertersearch.h"
#include "dialogs.h"
#include "pdfsetup.h"
#include "storelocation.h"
#include "uptodate.h"

#include <optional>

// What the view model needs from outside; tests pass fakes and temporary folders.
struct ViewModelEnvironment
{
    StoreLocation store = StoreLocation::standard();
    ConverterSearch converter;
    Dialogs *dialogs = nullptr;
    Desktop *desktop = nullptr;
    int versionQueryTimeoutMs = 5000;
    int cancelGraceMs = 2000;
    // PDF engines are looked for here; the font header for any script is written below.
    std::optional<QString> enginePath = ConverterSearch::environmentPath();
    QString pdfSetupFolder = PdfSetup::defaultHeaderFolder();
    int formatQueryTimeoutMs = 10000;
    // Where "Nur geänderte Dateien" keeps what each output was written from.
    QString upToDateFolder = UpToDate::defaultFolder();
};
