#include "formatssection.h"

#include "formcolumns.h"
#include "pandocviewmodel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

// A value outside the list (say, from a stored preset) shows no selection.
void showValue(QComboBox *picker, const QString &value)
{
    const QSignalBlocker blocker(picker);
    picker->setCurrentIndex(picker->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

QHBoxLayout *pickerRow(const QString &caption, QComboBox *picker, QWidget *parent)
{
    auto *row = new QHBoxLayout;
    row->addWidget(FormColumns::makeLabel(caption, parent));
    row->addWidget(picker);
    row->addStretch();
    return row;
}

} // namespace

const QStringList &FormatsSection::inputFormatChoices()
{
    static const QStringList choices{QStringLiteral("auto (automatisch)"),
                                     QStringLiteral("markdown"),
                                     QStringLiteral("html"),
                                     QStringLiteral("latex"),
                                     QStringLiteral("docx"),
                                     QStringLiteral("odt"),
                                     QStringLiteral("rst"),
                                     QStringLiteral("textile"),
                                     QStringLiteral("org"),
                                     QStringLiteral("mediawiki")};
    return choices;
}

const QStringList &FormatsSection::outputFormatChoices()
{
    static const QStringList choices{QStringLiteral("docx"),
                                     QStringLiteral("html"),
                                     QStringLiteral("html5"),
                                     QStringLiteral("pdf"),
                                     QStringLiteral("latex"),
                                     QStringLiteral("markdown"),
                                     QStringLiteral("gfm (GitHub Markdown)"),
                                     QStringLiteral("rst"),
                                     QStringLiteral("odt"),
                                     QStringLiteral("epub"),
                                     QStringLiteral("pptx"),
                                     QStringLiteral("rtf"),
                                     QStringLiteral("plain (txt)")};
    return choices;
}

FormatsSection::FormatsSection(PandocViewModel *viewModel, QWidget *parent)
    : QGroupBox(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("formatsSection"));
    m_inputPicker = FormColumns::makePicker(QStringLiteral("inputFormatPicker"), this);
    m_inputPicker->addItems(inputFormatChoices());
    m_outputPicker = FormColumns::makePicker(QStringLiteral("outputFormatPicker"), this);
    m_outputPicker->addItems(outputFormatChoices());

    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(FormColumns::kInnerSpacing);
    stack->addLayout(pickerRow(QStringLiteral("Eingabeformat:"), m_inputPicker, this));
    stack->addLayout(pickerRow(QStringLiteral("Ausgabeformat:"), m_outputPicker, this));

    connect(m_inputPicker, &QComboBox::currentTextChanged, m_viewModel,
            &PandocViewModel::setInputFormat);
    connect(m_outputPicker, &QComboBox::currentTextChanged, m_viewModel,
            &PandocViewModel::setOutputFormat);
    connect(m_viewModel, &PandocViewModel::inputFormatChanged, this,
            [this] { showValue(m_inputPicker, m_viewModel->inputFormat()); });
    // Whoever changed the format (picker or preset), the output side follows it.
    connect(m_viewModel, &PandocViewModel::outputFormatChanged, this, [this] {
        showValue(m_outputPicker, m_viewModel->outputFormat());
        m_viewModel->updateTemplateVisibility();
        m_viewModel->autoSetOutputFile();
    });
    showValue(m_inputPicker, m_viewModel->inputFormat());
    showValue(m_outputPicker, m_viewModel->outputFormat());
}
