#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// One conversion set-up in the terms of a pandoc defaults file.
struct DefaultsSettings
{
    QString from; // empty: pandoc decides
    QString to;
    bool standalone = false;
    bool tableOfContents = false;
    bool numberSections = false;
    QString templatePath;
    QStringList cssPaths;
    QString referenceDoc;
    QString pdfEngine;
    bool citeproc = false;
    QString bibliography;
    QString csl;
    // Further converter options as command-line words, in order.
    QStringList extraOptions;
};

struct DefaultsExport
{
    QByteArray yaml;
    // Option groups with no defaults key; they stand in a comment of the file.
    QStringList unmapped;
};

// `title` goes into the file's first comment line.
DefaultsExport writeDefaults(const DefaultsSettings &settings, const QString &title);

struct DefaultsImport
{
    // Set when the file cannot be used at all; then nothing else counts.
    std::optional<QString> error;
    DefaultsSettings settings;
    // Keys pandoc does not know, and keys a preset cannot hold (such as input files).
    QStringList unknownKeys;
    QStringList unsupportedKeys;
};

// Reads a defaults file, following `defaults:` includes relative to each file's folder.
DefaultsImport readDefaults(const QString &path);
