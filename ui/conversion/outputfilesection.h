#pragma once

#include <QGroupBox>

class PandocViewModel;
class QLineEdit;
class QPushButton;

// The output path; locked while a batch names its outputs itself.
class OutputFileSection final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OutputFileSection)

public:
    explicit OutputFileSection(PandocViewModel *viewModel, QWidget *parent = nullptr);

    // The field and button follow this rule; the menu entry obeys it too.
    bool canChoose() const;

signals:
    // "Speichern unter..." was pressed; the tab owns the save panel.
    void chooseRequested();

private:
    void refresh();

    PandocViewModel *m_viewModel;
    QLineEdit *m_field = nullptr;
    QPushButton *m_button = nullptr;
};
