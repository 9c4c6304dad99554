#pragma once

#include <QGroupBox>

class FilePanels;
class PandocViewModel;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QToolButton;

// Bibliography, citation style and the switch that has the converter process citations.
class LiteratureSection final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LiteratureSection)

public:
    LiteratureSection(PandocViewModel *viewModel, FilePanels *panels, QWidget *parent = nullptr);

    void chooseBibliography();
    void chooseStyle();

private:
    void rebuildStyles();
    void pickStyle(int index);
    // Only a library style can be deleted, and not while a conversion may still read it.
    void updateDeleteStyle();

    PandocViewModel *m_viewModel;
    FilePanels *m_panels;
    QLineEdit *m_bibliography = nullptr;
    QComboBox *m_styles = nullptr;
    QToolButton *m_deleteStyle = nullptr;
    QCheckBox *m_process = nullptr;
    bool m_picking = false;
};
