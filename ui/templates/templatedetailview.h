#pragma once

#include "records.h"

#include <QFileSystemWatcher>
#include <QWidget>
#include <optional>

class FilePanels;
class PandocViewModel;
class QGroupBox;
class ElidedField;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The right pane for the selected record: description editor, details, content preview,
// "Bearbeiten" and "Exportieren".
class TemplateDetailView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplateDetailView)

public:
    // The preview shows at most this much of a file.
    static constexpr qint64 kPreviewLimit = 1024 * 1024;

    TemplateDetailView(PandocViewModel *viewModel, FilePanels *panels, QWidget *parent = nullptr);

    // The current stored record; its description fills the editor only when another record
    // (by id) comes on display.
    void setRecord(const Template &record);
    std::optional<Template> record() const { return m_record; }

    // A date as "medium date, short time" in the given locale.
    static QString formatLastUsed(const QDateTime &time, const QLocale &locale);

private:
    void reloadContent();
    void onFolderChanged();
    void watch(const QString &path);
    void exportFile();

    PandocViewModel *m_viewModel;
    FilePanels *m_panels;
    std::optional<Template> m_record;
    bool m_inLibrary = false;

    QPlainTextEdit *m_description = nullptr;
    QLabel *m_type = nullptr;
    ElidedField *m_path = nullptr;
    QLabel *m_lastUsed = nullptr;
    QGroupBox *m_contentGroup = nullptr;
    QPlainTextEdit *m_content = nullptr;
    QLabel *m_truncated = nullptr;
    QPushButton *m_edit = nullptr;
    QPushButton *m_export = nullptr;
    // Refreshes the preview when the stored file changes on disk, for example after "Bearbeiten".
    QFileSystemWatcher m_watcher;
    // What the preview was read from, so unrelated changes in the folder do not reread it.
    QString m_previewStamp;
};
