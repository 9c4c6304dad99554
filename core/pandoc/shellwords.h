#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// Splits extra options the way a POSIX shell splits words, without any expansion:
// blanks separate words; single quotes, double quotes and backslash group and
// escape, and the quotes are removed.
struct ShellWords
{
    QStringList words;
    // Set when the text cannot be split (an unclosed quote).
    std::optional<QString> error;
};

ShellWords splitShellWords(const QString &text);

// Quotes one argument so a POSIX shell reads it back unchanged.
QString shellQuote(const QString &argument);
