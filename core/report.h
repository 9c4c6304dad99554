#pragma once

#include <QString>

#include <functional>

// How a message reads in the status line; the window picks the colour.
enum class Tone
{
    Neutral,
    Busy,
    Success,
    Warning,
    Failure,
    Muted
};

// What a service tells the window: log lines, the status line and the progress bar.
struct Reporter
{
    std::function<void(const QString &)> log;
    std::function<void(const QString &, Tone)> status;
    // Only the text, keeping the colour.
    std::function<void(const QString &)> statusText;
    std::function<void(double)> progress;
};
