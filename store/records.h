#pragma once

#include "templatetype.h"

#include <QDateTime>
#include <QHashFunctions>
#include <QMetaType>
#include <QString>
#include <QUuid>
#include <optional>

// A library entry; filePath points at the copy inside the store folder.
struct Template
{
    QUuid id;
    QString name;
    TemplateType type = TemplateType::Html;
    QString filePath;
    bool isFavorite = false;
    QDateTime lastUsed;
    QString description;

    friend bool operator==(const Template &, const Template &) = default;
};

// A named snapshot of conversion settings; templates are referred to by name.
struct Preset
{
    QUuid id;
    QString name;
    QString inputFormat;
    QString outputFormat;
    std::optional<QString> htmlTemplate;
    std::optional<QString> cssFile;
    std::optional<QString> latexTemplate;
    std::optional<QString> docxReference;
    bool standalone = true;
    bool tableOfContents = false;
    bool numberSections = false;
    QString additionalOptions;
    // Absent means "Automatisch".
    std::optional<QString> pdfEngine;

    // Citations: file paths, absent when none is chosen. Without "citeproc" the switch
    // follows whether a bibliography is set.
    std::optional<QString> bibliography;
    std::optional<QString> csl;
    std::optional<bool> citeproc;
    // Options set through their own controls, as command-line words; written only when set.
    std::optional<QString> options;
    // Changed format extensions ("+smart-auto_identifiers"); written only when set.
    std::optional<QString> inputExtensions;
    std::optional<QString> outputExtensions;
    // Several inputs become one document; written only when set. The files are never kept.
    std::optional<bool> mergeInputs;

    friend bool operator==(const Preset &, const Preset &) = default;
};

size_t qHash(TemplateType type, size_t seed = 0) noexcept;
size_t qHash(const Template &record, size_t seed = 0) noexcept;
size_t qHash(const Preset &record, size_t seed = 0) noexcept;

Q_DECLARE_METATYPE(Template)
Q_DECLARE_METATYPE(Preset)
