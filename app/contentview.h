#pragma once

#include "pandocviewmodel.h"

#include <QTabWidget>

class FilePanels;

// The window's root view: owns the view model and shows the two tabs.
class ContentView final : public QTabWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContentView)

public:
    ContentView(ViewModelEnvironment environment, FilePanels *panels, QWidget *parent = nullptr);

    PandocViewModel *viewModel() const { return m_viewModel; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    PandocViewModel *m_viewModel;
    bool m_checked = false;
};
