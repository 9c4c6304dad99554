#pragma once

#include <QWidget>

class PandocViewModel;
class FilePanels;
class QTabWidget;
class QToolButton;

// Options, metadata, filters and extensions below the main path, folded away until opened.
// The pages are built the first time the area opens. The button that opens it is placed by
// the section around it, so the folded area takes no room of its own.
class MoreOptionsSection final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MoreOptionsSection)

public:
    MoreOptionsSection(PandocViewModel *viewModel, FilePanels *panels, QWidget *parent = nullptr);

    // The open page, or -1 while folded; kept between sessions by the window.
    int state() const;
    void restoreState(int state);
    QToolButton *toggle() const { return m_toggle; }
    // Puts the pages' controls, in reading order, right after `previous` in the Tab order.
    void chainFocusAfter(QWidget *previous);

signals:
    // The pages exist now (the area opened for the first time).
    void pagesBuilt();

private:
    void setOpen(bool open);

    PandocViewModel *m_viewModel;
    FilePanels *m_panels;
    QToolButton *m_toggle = nullptr;
    QTabWidget *m_tabs = nullptr;
};
