#pragma once

#include <QGroupBox>

class MoreOptionsSection;
class PandocViewModel;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;

// Converter switches, extra options, batch parallelism and the resulting command line.
class OptionsSection final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OptionsSection)

public:
    explicit OptionsSection(PandocViewModel *viewModel, QWidget *parent = nullptr);

    // Puts the further settings' button beside the last switch row and their area below.
    void addFoldedArea(MoreOptionsSection *area);

private:
    QCheckBox *addSwitch(const QString &text, const QString &name,
                         bool (PandocViewModel::*getter)() const,
                         void (PandocViewModel::*setter)(bool), void (PandocViewModel::*changed)());
    void refreshOptions();
    QHBoxLayout *makeHeadingShiftRow();
    QHBoxLayout *makeParallelJobsRow();

    PandocViewModel *m_viewModel;
    QLineEdit *m_options = nullptr;
    QLineEdit *m_command = nullptr;
    QLabel *m_commandLabel = nullptr;
    QHBoxLayout *m_jobsRow = nullptr;
};
