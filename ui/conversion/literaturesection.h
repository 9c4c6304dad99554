#pragma once

#include <QGroupBox>

class ElidedField;
class ElidedLabel;
class FilePanels;
class PandocViewModel;
class QCheckBox;
class QComboBox;
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
    void takeTypedBibliography(const QString &typed);

    PandocViewModel *m_viewModel;
    FilePanels *m_panels;
    ElidedField *m_bibliography = nullptr;
    ElidedLabel *m_bibliographyProblem = nullptr;
    QComboBox *m_styles = nullptr;
    QToolButton *m_deleteStyle = nullptr;
    QCheckBox *m_process = nullptr;
    bool m_picking = false;
};
