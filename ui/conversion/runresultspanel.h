#pragma once

#include "runresult.h"

#include <QGroupBox>

class PandocViewModel;
class QPushButton;
class QTreeWidget;

// The files of the last batch, one row each, with what can be done about them. Shown after a
// batch, hidden when the next run starts.
class RunResultsPanel final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunResultsPanel)

public:
    explicit RunResultsPanel(PandocViewModel *viewModel, QWidget *parent = nullptr);

    // Fills the list; it appears only for runs of more than one file.
    void showResults(const RunResults &results);

signals:
    // The panel has just appeared, so the tab can scroll it into view.
    void resultsShown();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void build();
    void fitTableHeight();
    const RunResult *selectedRow() const;
    void refreshButtons();
    void openSelected();
    void showSelectedFolder();

    PandocViewModel *m_viewModel;
    RunResults m_results;
    QTreeWidget *m_table = nullptr;
    QPushButton *m_open = nullptr;
    QPushButton *m_folder = nullptr;
    QPushButton *m_retry = nullptr;
    bool m_tableHeightSet = false;
};
