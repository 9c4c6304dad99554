#pragma once

#include "conversionplan.h"
#include "conversionsettings.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

class PdfSetupPlanner;

// Turns settings and files into the jobs of a run: every refusal, the argument lists and the
// PDF set-up, fixed before anything starts. Holds no state of its own.
class RunPlanner final
{
public:
    // `templateNotes` gives the lines logged for the templates a job passes.
    RunPlanner(const PdfSetupPlanner &pdf,
               std::function<QStringList(const QList<Template> &)> templateNotes);

    // With settings.mergeInputs and several files, one job reads them all into the first
    // file's output.
    QList<PlannedJob> plan(const ConversionSettings &settings,
                           const QList<std::pair<QString, QString>> &inputsAndOutputs) const;

    // The converter's arguments for one conversion of `inputs` (several when merging);
    // `passed` receives the templates put on the line.
    // With `pdfFromText` the PDF engine is left out: it follows from the document's text.
    QStringList arguments(const ConversionSettings &settings, const QStringList &inputs,
                          const QString &output, const QStringList &options,
                          QList<Template> *passed, bool pdfFromText = false) const;
    // Whether "Automatisch" picks the PDF engine of this run from the document's text.
    bool pdfFromText(const ConversionSettings &settings, const QStringList &options) const;
    // What the converter is asked to learn that text: the same inputs, citations and options.
    static QStringList textProbeArguments(const ConversionSettings &settings,
                                          const QStringList &inputs, const QStringList &options);
    // The PDF engine and font arguments for one input; nothing unless the output is PDF, and
    // nothing when the extra options name an engine themselves.
    QStringList pdfArguments(const ConversionSettings &settings, const QString &input,
                             const QStringList &options) const;

    // Said once per run: extra options that also have a control of their own.
    static QStringList overlapNotes(const ConversionSettings &settings);

    // The command line of the first conversion of these files (of all of them when merging),
    // quoted so that it can be pasted into a shell.
    QString commandLine(const ConversionSettings &settings,
                        const QList<std::pair<QString, QString>> &inputsAndOutputs,
                        const QString &converter) const;

    // Every input converted beside itself, with the output format's extension.
    static QList<std::pair<QString, QString>> besideInputs(const QStringList &inputs,
                                                           const QString &outputFormat);

private:
    // The CSS as an include file that puts it inside the page; empty when it cannot be.
    QString embeddedStyle(const QString &cssPath) const;

    const PdfSetupPlanner &m_pdf;
    std::function<QStringList(const QList<Template> &)> m_templateNotes;
};
