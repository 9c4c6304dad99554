#include "fileselection.h"

#include "formatname.h"
#include "formatrules.h"
#include "mergeplan.h"
#include "runplanner.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString fileNameOf(const QUrl &url)
{
    return QFileInfo(url.toLocalFile()).fileName();
}

} // namespace

FileSelection::FileSelection(Dialogs *dialogs, std::function<void(const QString &)> log,
                             QObject *parent)
    : QObject(parent), m_dialogs(dialogs), m_log(std::move(log))
{
}

void FileSelection::setInputs(const QList<QUrl> &value)
{
    if (m_inputs == value)
        return;
    m_inputs = value;
    emit inputsChanged();
}

void FileSelection::setOutput(const QString &value)
{
    const QString before = output();
    m_besideInputs = value == kBatchPlaceholder;
    if (!m_besideInputs)
        m_output = value;
    if (output() != before)
        emit outputChanged();
}

void FileSelection::deriveOutput(const QString &outputFormat)
{
    if (merging()) {
        const QString extension = FormatRules::outputExtension(outputFormat);
        setOutput(m_besideInputs || m_output.isEmpty()
                      ? mergedOutputName(firstInput(), outputFormat)
                      : replaceLastExtension(m_output, extension));
        return;
    }
    if (m_inputs.size() != 1)
        return;
    setOutput(replaceLastExtension(m_inputs.first().toLocalFile(),
                                   FormatRules::outputExtension(outputFormat)));
}

void FileSelection::takeOpenPanel(const QList<QUrl> &urls, const std::optional<QString> &error,
                                  const QString &outputFormat)
{
    if (error) {
        m_log(QStringLiteral("❌ Fehler beim Auswählen der Datei: ") + *error);
        return;
    }
    setInputs(urls);
    if (urls.size() == 1) {
        deriveOutput(outputFormat);
        return;
    }
    setOutput(kBatchPlaceholder);
    if (merging()) {
        // A new set of chapters: named after their first folder, not the last book.
        deriveOutput(outputFormat);
        return;
    }
    // Explained once a session; the output field says it from then on.
    if (urls.isEmpty() || !m_dialogs || std::exchange(m_batchExplained, true))
        return;
    QStringList names;
    for (const QUrl &url : urls)
        names << QStringLiteral("• ") + fileNameOf(url);
    m_dialogs->showAlert(
        QStringLiteral("Batch-Modus"),
        QStringLiteral("Batch-Konvertierung aktiviert!\n\nAusgewählte Dateien (") +
            QString::number(urls.size()) + QStringLiteral("):\n\n") + names.join(u'\n') +
            QStringLiteral("\n\nAusgabedateien werden automatisch im gleichen Ordner mit "
                           "dem gewählten Format erstellt."));
}

void FileSelection::takeSavePanel(const QList<QUrl> &urls, const std::optional<QString> &error)
{
    if (error) {
        m_log(QStringLiteral("❌ Fehler beim Auswählen der Ausgabedatei: ") + *error);
        return;
    }
    if (!urls.isEmpty())
        setOutput(urls.first().toLocalFile());
}

void FileSelection::takeDrop(const QList<QUrl> &urls, const QString &outputFormat)
{
    QList<QUrl> files;
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            files.append(url);
    }
    if (files.isEmpty())
        return;
    setInputs(files);
    if (merging())
        setOutput(kBatchPlaceholder);
    if (files.size() == 1 || merging())
        deriveOutput(outputFormat);
}

void FileSelection::setMerge(bool on, const QString &outputFormat)
{
    if (std::exchange(m_merge, on) == on || m_inputs.size() < 2)
        return;
    setOutput(kBatchPlaceholder);
    deriveOutput(outputFormat);
    emit outputChanged(); // the field shows a name, or the placeholder again
}

bool FileSelection::moveInput(qsizetype from, qsizetype to)
{
    if (from < 0 || to < 0 || from >= m_inputs.size() || to >= m_inputs.size())
        return false;
    if (from != to) {
        m_inputs.move(from, to);
        emit inputsChanged();
    }
    return true;
}

void FileSelection::showList()
{
    QStringList lines;
    for (qsizetype i = 0; i < m_inputs.size(); ++i)
        lines << QString::number(i + 1) + QStringLiteral(". ") + fileNameOf(m_inputs[i]);
    if (m_dialogs)
        m_dialogs->showAlert(QStringLiteral("Ausgewählte Dateien"),
                             QStringLiteral("Batch-Konvertierung: ") +
                                 QString::number(m_inputs.size()) + QStringLiteral(" Dateien\n\n") +
                                 lines.join(u'\n'));
}

QString FileSelection::display() const
{
    if (m_inputs.isEmpty())
        return {};
    if (m_inputs.size() == 1)
        return m_inputs.first().toLocalFile();
    return QStringLiteral("📦 ") + QString::number(m_inputs.size()) +
           QStringLiteral(" Dateien ausgewählt");
}

QString FileSelection::suggestedName(const QString &outputFormat) const
{
    if (m_inputs.isEmpty())
        return QStringLiteral("output");
    if (merging())
        return QFileInfo(m_output.isEmpty() ? mergedOutputName(firstInput(), outputFormat)
                                            : m_output)
            .fileName();
    const QString fileName = fileNameOf(m_inputs.first());
    return baseNameWithoutLastExtension(fileName) + u'.' +
           FormatRules::outputExtension(outputFormat);
}

QList<std::pair<QString, QString>> FileSelection::plannedFiles(const QString &outputFormat) const
{
    const QString output = m_output.isEmpty() ? QString() : QFileInfo(m_output).absoluteFilePath();
    if (m_inputs.size() == 1 && !m_besideInputs)
        return {{m_inputs.first().toLocalFile(), output}};
    if (merging()) {
        // Every input with the one output: the planner makes one conversion of them.
        QList<std::pair<QString, QString>> files;
        for (const QUrl &url : m_inputs)
            files.append({url.toLocalFile(), m_besideInputs ? QString() : output});
        return files;
    }
    QStringList paths;
    paths.reserve(m_inputs.size());
    for (const QUrl &url : m_inputs)
        paths << url.toLocalFile();
    QList<std::pair<QString, QString>> files = RunPlanner::besideInputs(paths, outputFormat);
    // Two inputs of one name from different folders would meet there: the planner refuses that.
    if (!m_batchFolder.isEmpty()) {
        for (auto &file : files)
            file.second = QDir(m_batchFolder).absoluteFilePath(QFileInfo(file.second).fileName());
    }
    return files;
}

void FileSelection::setBatchFolder(const QString &folder)
{
    if (m_batchFolder == folder)
        return;
    m_batchFolder = folder;
    emit batchFolderChanged();
}
