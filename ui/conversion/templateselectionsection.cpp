#include "templateselectionsection.h"

#include "formcolumns.h"
#include "pandocviewmodel.h"
#include "templaterow.h"

#include <QVBoxLayout>

TemplateSelectionSection::TemplateSelectionSection(PandocViewModel *viewModel, QWidget *parent)
    : QGroupBox(QStringLiteral("Templates (optional)"), parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("templateSelectionSection"));
    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(FormColumns::kInnerSpacing);

    using VM = PandocViewModel;
    auto addRow = [this, stack](const QString &label, const QString &name,
                                void (VM::*setter)(const std::optional<Template> &),
                                std::optional<Template> (VM::*getter)() const,
                                void (VM::*changed)()) {
        auto *row = new TemplateRow(label, name + QStringLiteral("Picker"), this);
        row->setObjectName(name + QStringLiteral("Row"));
        stack->addWidget(row);
        connect(row, &TemplateRow::selectionChosen, m_viewModel, setter);
        connect(m_viewModel, changed, row,
                [this, row, getter] { row->setSelection((m_viewModel->*getter)()); });
        row->setSelection((m_viewModel->*getter)());
        return row;
    };
    m_html = addRow(QStringLiteral("HTML-Template:"), QStringLiteral("htmlTemplate"),
                    &VM::setSelectedHtmlTemplate, &VM::selectedHtmlTemplate,
                    &VM::selectedHtmlTemplateChanged);
    m_css = addRow(QStringLiteral("CSS-Datei:"), QStringLiteral("cssTemplate"),
                   &VM::setSelectedCssTemplate, &VM::selectedCssTemplate,
                   &VM::selectedCssTemplateChanged);
    m_latex = addRow(QStringLiteral("LaTeX-Template:"), QStringLiteral("latexTemplate"),
                     &VM::setSelectedLatexTemplate, &VM::selectedLatexTemplate,
                     &VM::selectedLatexTemplateChanged);
    m_docx = addRow(QStringLiteral("DOCX-Referenz:"), QStringLiteral("docxTemplate"),
                    &VM::setSelectedDocxTemplate, &VM::selectedDocxTemplate,
                    &VM::selectedDocxTemplateChanged);

    connect(m_viewModel, &VM::templatesChanged, this, &TemplateSelectionSection::refreshTemplates);
    for (auto changed : {&VM::showHtmlTemplateChanged, &VM::showCssFileChanged,
                         &VM::showLatexTemplateChanged, &VM::showDocxReferenceChanged})
        connect(m_viewModel, changed, this, &TemplateSelectionSection::refreshVisibility);
    refreshTemplates();
    refreshVisibility();
}

void TemplateSelectionSection::refreshTemplates()
{
    // The pickers show no descriptions.
    if (m_viewModel->editedDescriptionId())
        return;
    m_html->setTemplates(m_viewModel->htmlTemplates());
    m_css->setTemplates(m_viewModel->cssTemplates());
    m_latex->setTemplates(m_viewModel->latexTemplates());
    m_docx->setTemplates(m_viewModel->docxTemplates());
}

void TemplateSelectionSection::refreshVisibility()
{
    m_html->setVisible(m_viewModel->showHtmlTemplate());
    m_css->setVisible(m_viewModel->showCssFile());
    m_latex->setVisible(m_viewModel->showLatexTemplate());
    m_docx->setVisible(m_viewModel->showDocxReference());
    // Hidden widgets take no room in the tab's layout.
    setVisible(m_viewModel->shouldShowTemplates());
}
