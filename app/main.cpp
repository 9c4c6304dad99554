#include "appsetup.h"
#include "commandline.h"
#include "conversionpreferences.h"
#include "mainwindow.h"
#include "outputkeeper.h"
#include "platform.h"
#include "quitsignals.h"
#include "singleinstance.h"
#include "storelocation.h"

#include <QApplication>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Parsed before the application object so --help and --version need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = parseCommandLine(arguments);
    switch (commandLine.action) {
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
        std::fputs(qPrintable(commandLine.text + u'\n'), stdout);
        return 0;
    case CommandLine::Action::Error:
        std::fputs(qPrintable(commandLine.text + u'\n'), stderr);
        return 2;
    case CommandLine::Action::Run:
        break;
    }

    QApplication app(argc, argv);
    setUpApplication(app);

    // Two windows over one store would overwrite each other's changes.
    SingleInstance instance(StoreLocation::standard().storeFolder());
    const SingleInstance::Role role = instance.start(absoluteFilePaths(commandLine.files));
    if (role == SingleInstance::Role::HandedOver)
        return 0;

    // Helpers that leave their converter's session still come back to us to be ended.
    Platform::becomeSubreaper();
    // A Velunor killed mid-run left its temporary outputs beside the files it was given.
    QSet<QString> folders;
    for (const QString &file : absoluteFilePaths(commandLine.files))
        folders.insert(QFileInfo(file).absolutePath());
    for (const QString &folder : std::as_const(folders))
        OutputKeeper::removeStale(folder);

    MainWindow window;
    const QuitSignals quitSignals([&window] { window.closeWhenIdle(); });
    QObject::connect(&instance, &SingleInstance::activated, &window,
                     &MainWindow::takeHandedOverFiles);
    const ConversionPreferences settings(
        window.viewModel(),
        std::make_unique<QSettings>(QStringLiteral("Velunor"), QStringLiteral("Velunor")));
    window.show();
    if (role == SingleInstance::Role::Alone)
        window.viewModel()->appendLog(SingleInstance::notAnsweringWarning());
    // Once the window is up, so the batch explanation has a parent to sit on.
    QTimer::singleShot(0, &window, [&window, files = commandLine.files] {
        openCommandLineFiles(*window.viewModel(), files);
    });
    return app.exec();
}
