#pragma once

#include "dialogs.h"
#include "report.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <optional>

// The chosen inputs and the output: from the open and save panels, drops and retries.
class FileSelection final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FileSelection)

public:
    // Shown for the output while each output lies beside its input.
    static inline const QString kBatchPlaceholder = QStringLiteral("(Automatisch generiert)");

    FileSelection(Dialogs *dialogs, std::function<void(const QString &)> log,
                  QObject *parent = nullptr);

    const QList<QUrl> &inputs() const { return m_inputs; }
    QString firstInput() const
    {
        return m_inputs.isEmpty() ? QString() : m_inputs[0].toLocalFile();
    }
    void setInputs(const QList<QUrl> &value);
    // The output as the field shows it: merged inputs write one named file.
    QString output() const { return m_besideInputs && !merging() ? kBatchPlaceholder : m_output; }
    // The placeholder makes every output lie beside its input.
    void setOutput(const QString &value);
    // Where a batch writes; "" beside each input.
    const QString &batchFolder() const { return m_batchFolder; }
    void setBatchFolder(const QString &folder);
    // The one input's name with the format's extension; when merging, the chosen output's
    // extension follows the format.
    void deriveOutput(const QString &outputFormat);

    // Several inputs into one document, in the order of inputs(). Turning it on names the
    // output after the first input's folder.
    void setMerge(bool on, const QString &outputFormat);
    bool merging() const { return m_merge && m_inputs.size() > 1; }
    // Moves one input to another place; false when either is out of range.
    bool moveInput(qsizetype from, qsizetype to);

    void takeOpenPanel(const QList<QUrl> &urls, const std::optional<QString> &error,
                       const QString &outputFormat);
    void takeSavePanel(const QList<QUrl> &urls, const std::optional<QString> &error);
    // Takes the local files among the dropped URLs, in order.
    void takeDrop(const QList<QUrl> &urls, const QString &outputFormat);
    void showList();

    // Each input with its absolute output: the chosen one, or beside the inputs.
    QList<std::pair<QString, QString>> plannedFiles(const QString &outputFormat) const;

    QString display() const;
    QString suggestedName(const QString &outputFormat) const;

signals:
    void inputsChanged();
    void outputChanged();
    void batchFolderChanged();

private:
    Dialogs *m_dialogs;
    std::function<void(const QString &)> m_log;
    QList<QUrl> m_inputs;
    QString m_output;
    bool m_besideInputs = false;
    bool m_merge = false;
    bool m_batchExplained = false;
    QString m_batchFolder;
};
