#pragma once

#include <QDialog>

class FilePanels;
class PandocViewModel;
class QComboBox;
class QLineEdit;
class QPushButton;

// The sheet behind "Hinzufügen": name, kind, file and description of a new template, or
// name and file of a citation style.
// Accepted when the template was added; a failed add keeps it open with its fields.
class AddTemplateView final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AddTemplateView)

public:
    AddTemplateView(PandocViewModel *viewModel, FilePanels *panels, QWidget *parent = nullptr);

private:
    void chooseFile();
    void add();
    void updateAddEnabled();
    bool isCslStyle() const;

    PandocViewModel *m_viewModel;
    FilePanels *m_panels;
    QLineEdit *m_name = nullptr;
    QComboBox *m_type = nullptr;
    QLineEdit *m_file = nullptr;
    QLineEdit *m_description = nullptr;
    QPushButton *m_add = nullptr;
};
