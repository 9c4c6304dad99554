#pragma once

#include <QString>
#include <QStringList>

class PandocViewModel;

// What the command line asks for. Files are kept as given; they become the
// inputs once the window exists.
struct CommandLine
{
    enum class Action
    {
        Run,
        Help,
        Version,
        Error
    };

    Action action = Action::Run;
    QStringList files;
    // Help or version text for stdout, or the error for stderr.
    QString text;
};

// `arguments` includes the program name, as argv does.
CommandLine parseCommandLine(const QStringList &arguments);

// Takes the files as if chosen in the input open panel; a file that does not
// exist is reported in the log and left out.
void openCommandLineFiles(PandocViewModel &viewModel, const QStringList &files);

// Takes files handed over by a later start as if they were dropped on the window.
void openHandedOverFiles(PandocViewModel &viewModel, const QStringList &files);

// Relative names mean nothing to another process with another working folder.
QStringList absoluteFilePaths(const QStringList &files);
