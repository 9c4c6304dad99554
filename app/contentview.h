#pragma once

#include "pandocviewmodel.h"

#include <QTabWidget>

class ConversionView;
class FilePanels;

// The window's root view: owns the view model and shows the two tabs.
class ContentView final : public QTabWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContentView)

public:
    ContentView(ViewModelEnvironment environment, FilePanels *panels, QWidget *parent = nullptr);

    ~ContentView() override;

    PandocViewModel *viewModel() const { return m_viewModel; }
    ConversionView *conversionView() const { return m_conversionView; }

    QSize minimumSizeHint() const override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    PandocViewModel *m_viewModel;
    ConversionView *m_conversionView = nullptr;
    bool m_checked = false;
};
