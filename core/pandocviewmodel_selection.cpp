// Choosing inputs and outputs: open panel, save panel, drops, the batch list.
#include "pandocviewmodel.h"

#include <QFileInfo>

namespace {

QString fileNameOf(const QUrl &url)
{
    return QFileInfo(url.toLocalFile()).fileName();
}

} // namespace

void PandocViewModel::handleInputFileSelection(const PanelResult &outcome)
{
    if (outcome.error) {
        appendLog(QStringLiteral("❌ Fehler beim Auswählen der Datei: ") + *outcome.error);
        return;
    }
    setInputFiles(outcome.urls);
    if (outcome.urls.size() == 1) {
        autoSetOutputFile();
        return;
    }
    setOutputFile(kBatchPlaceholder);
    if (outcome.urls.isEmpty())
        return;
    QStringList names;
    for (const QUrl &url : outcome.urls)
        names << QStringLiteral("• ") + fileNameOf(url);
    showAlert(QStringLiteral("Batch-Modus"),
              QStringLiteral("Batch-Konvertierung aktiviert!\n\nAusgewählte Dateien (") +
                  QString::number(outcome.urls.size()) + QStringLiteral("):\n\n") +
                  names.join(u'\n') +
                  QStringLiteral("\n\nAusgabedateien werden automatisch im gleichen Ordner mit "
                                 "dem gewählten Format erstellt."));
}

void PandocViewModel::handleOutputFileSelection(const PanelResult &outcome)
{
    if (outcome.error) {
        appendLog(QStringLiteral("❌ Fehler beim Auswählen der Ausgabedatei: ") + *outcome.error);
        return;
    }
    if (!outcome.urls.isEmpty())
        setOutputFile(outcome.urls.first().toLocalFile());
}

bool PandocViewModel::handleDrop(const QList<QUrl> &urls)
{
    QList<QUrl> files;
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            files.append(url);
    }
    if (files.isEmpty())
        return true;
    setInputFiles(files);
    if (files.size() == 1)
        autoSetOutputFile();
    return true;
}

void PandocViewModel::showBatchFileList()
{
    QStringList lines;
    for (qsizetype i = 0; i < m_inputFiles.size(); ++i)
        lines << QString::number(i + 1) + QStringLiteral(". ") + fileNameOf(m_inputFiles[i]);
    showAlert(QStringLiteral("Ausgewählte Dateien"),
              QStringLiteral("Batch-Konvertierung: ") + QString::number(m_inputFiles.size()) +
                  QStringLiteral(" Dateien\n\n") + lines.join(u'\n'));
}
