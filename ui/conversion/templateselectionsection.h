#pragma once

#include <QGroupBox>

class PandocViewModel;
class TemplateRow;

// Template pickers for the kinds the output format can use.
class TemplateSelectionSection final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplateSelectionSection)

public:
    explicit TemplateSelectionSection(PandocViewModel *viewModel, QWidget *parent = nullptr);

private:
    void refreshTemplates();
    void refreshVisibility();

    PandocViewModel *m_viewModel;
    TemplateRow *m_html = nullptr;
    TemplateRow *m_css = nullptr;
    TemplateRow *m_latex = nullptr;
    TemplateRow *m_docx = nullptr;
};
