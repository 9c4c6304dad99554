#include "commandline.h"

#include "pandocviewmodel.h"

#include <QCommandLineParser>
#include <QFileInfo>

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Velunor – ein Programm zum Umwandeln von Dokumenten mit pandoc."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Diese Hilfe anzeigen."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Die Version anzeigen."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("DATEI"),
                                 QStringLiteral("Eingabedateien, die konvertiert werden sollen."),
                                 QStringLiteral("[DATEI...]"));

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.action = CommandLine::Action::Error;
        result.text = parser.errorText() + QStringLiteral("\nMehr dazu mit: velunor --help");
        return result;
    }
    if (parser.isSet(help)) {
        result.action = CommandLine::Action::Help;
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.action = CommandLine::Action::Version;
        result.text = QStringLiteral("velunor " VELUNOR_VERSION);
        return result;
    }
    result.files = parser.positionalArguments();
    return result;
}

namespace {

// The files that exist, as local URLs; each missing one gets a log line.
QList<QUrl> existingFiles(PandocViewModel &viewModel, const QStringList &files)
{
    QList<QUrl> urls;
    for (const QString &file : files) {
        const QFileInfo info(file);
        if (!info.isFile()) {
            viewModel.appendLog(QStringLiteral("❌ Datei nicht gefunden: ") + file);
            continue;
        }
        urls << QUrl::fromLocalFile(info.absoluteFilePath());
    }
    return urls;
}

} // namespace

void openCommandLineFiles(PandocViewModel &viewModel, const QStringList &files)
{
    const QList<QUrl> urls = existingFiles(viewModel, files);
    if (!urls.isEmpty())
        viewModel.handleInputFileSelection({urls, std::nullopt});
}

void openHandedOverFiles(PandocViewModel &viewModel, const QStringList &files)
{
    const QList<QUrl> urls = existingFiles(viewModel, files);
    if (!urls.isEmpty())
        viewModel.handleDrop(urls);
}

QStringList absoluteFilePaths(const QStringList &files)
{
    QStringList paths;
    paths.reserve(files.size());
    for (const QString &file : files)
        paths << QFileInfo(file).absoluteFilePath();
    return paths;
}
