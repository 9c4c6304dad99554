#pragma once

#include "records.h"
#include "runresult.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// Why a planned job does not run: its log line, the status it sets ("" keeps the status)
// and how it counts.
struct Refusal
{
    QString line;
    QString status;
    RunResult::Outcome outcome = RunResult::Outcome::Failed;
};

// One conversion of a run, fixed before anything starts.
struct PlannedJob
{
    QString input;         // absolute path; the first one when several are merged
    QStringList inputs;    // what pandoc reads, in order: the input alone, or every merged one
    QString output;        // absolute path; "" when none was given
    QString workingFolder; // the input's folder, so relative paths resolve beside it
    QStringList arguments;
    QList<Template> templates; // put on the command line; stamped when the job starts
    QStringList notes;         // logged right after the command line
    std::optional<Refusal> refusal;
    // Set when the PDF engine depends on the document's text: the converter is first asked
    // for that text with these arguments, and what `pdfForText` makes of it is appended.
    std::optional<QStringList> textProbe;
    std::function<QStringList(const std::optional<QString> &text)> pdfForText;
    // The converter also reports every file it read (End::resources).
    bool logResources = false;
};

// Refuses every job whose output is its own input, another input, or another job's
// output, comparing file identities so that links, second paths to one folder and, where
// the file system folds case, other spellings are caught.
void refuseClashes(QList<PlannedJob> &jobs);
// The same for one output written from several inputs: it must be none of them.
std::optional<Refusal> mergedClash(const QStringList &inputs, const QString &output);

// Whether something (a file, a link, even a dangling one) is at `path`.
bool somethingAt(const QString &path);
