#pragma once

#include <QList>
#include <QString>

// One file's outcome in the last run, for the results list and the desktop notification.
struct RunResult
{
    enum class Outcome
    {
        Succeeded,
        Failed,
        Skipped,
        // Left alone: its output is up to date with its inputs and settings.
        Unchanged
    };

    QString input;  // absolute path of the input
    QString output; // absolute path of the output ("" when none was planned)
    Outcome outcome = Outcome::Skipped;
    double seconds = 0.0; // wall time of the converter run; 0 for skipped files
    // Why it failed or was skipped: pandoc's first error line or Velunor's refusal; "" on success.
    QString reason = {};

    friend bool operator==(const RunResult &, const RunResult &) = default;
};

using RunResults = QList<RunResult>;
