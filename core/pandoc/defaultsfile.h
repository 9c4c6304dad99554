#pragma once

#include <QByteArray>
#include <QList>
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
    // What "Automatisch" chose for the PDF engine: written with a comment that lets the
    // reader restore "Automatisch" instead of the engine.
    QStringList automaticPdfArguments;
};

struct DefaultsExport
{
    QByteArray yaml;
    // Option groups with no defaults key; they stand in a comment of the file.
    QStringList unmapped;
};

// `title` goes into the file's first comment line.
DefaultsExport writeDefaults(const DefaultsSettings &settings, const QString &title);

// A key of a defaults file that writes a file or runs a program.
struct DefaultsEffect
{
    QString key;          // "log-file", "filters", ...
    QString value;        // as pandoc reads it: variables expanded, a relative path left relative
    QString file;         // the defaults file it stands in
    unsigned effects = 0; // PandocOptions::Effect
};

struct DefaultsImport
{
    // Set when the file cannot be used at all; then nothing else counts.
    std::optional<QString> error;
    DefaultsSettings settings;
    // Keys pandoc does not know, and keys a preset cannot hold (such as input files).
    QStringList unknownKeys;
    QStringList unsupportedKeys;
    // Every key that writes a file or runs a program, "output-file" included.
    QList<DefaultsEffect> effects;
    // "Automatisch" was chosen when the file was written.
    bool automaticPdfEngine = false;
};

// Reads a defaults file, following `defaults:` includes relative to each file's folder. Paths
// of keys that write a file or run a program are made absolute against the folder of the
// file that names them; other relative paths that name a file there are made absolute too,
// the rest stay relative to the folder a conversion runs in, as pandoc reads them.
DefaultsImport readDefaults(const QString &path);
