#pragma once

#include <QGroupBox>

class ElidedField;
class ElidedLabel;
class PandocViewModel;
class QLabel;
class QToolButton;

// The input box; the whole box takes dropped files.
class InputFileSection final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InputFileSection)

public:
    explicit InputFileSection(PandocViewModel *viewModel, QWidget *parent = nullptr);

signals:
    // "Durchsuchen..." was pressed; the tab owns the open panel.
    void browseRequested();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void refresh();
    void takeTypedPath(const QString &typed);

    PandocViewModel *m_viewModel;
    QLabel *m_label = nullptr;
    ElidedField *m_field = nullptr;
    ElidedLabel *m_problem = nullptr; // why a typed path was not taken
    QToolButton *m_listButton = nullptr;
};
