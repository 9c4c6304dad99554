#pragma once

#include "pandocviewmodel.h"

#include <QTabWidget>

class ConversionView;
class FilePanels;
class TemplatesView;

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
    // The tab "Templates", built on first use: when it is first shown or asked for here.
    TemplatesView *templatesView();

    // The library's divider; kept until the tab is built when that happens later.
    QByteArray templatesSplitterState() const;
    void setTemplatesSplitterState(const QByteArray &state);

    QSize minimumSizeHint() const override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    PandocViewModel *m_viewModel;
    FilePanels *m_panels;
    ConversionView *m_conversionView = nullptr;
    TemplatesView *m_templatesView = nullptr;
    QByteArray m_splitterState;
    bool m_checked = false;
};
