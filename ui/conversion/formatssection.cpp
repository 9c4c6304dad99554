#include "formatssection.h"

#include "formatrules.h"
#include "formcolumns.h"
#include "pandocviewmodel.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <utility>

namespace {

// A value outside the list (say, from a stored preset) shows no selection.
void showValue(QComboBox *picker, const QString &value)
{
    const QSignalBlocker blocker(picker);
    picker->setCurrentIndex(picker->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

// The fixed entries, then a separator and what else the converter knows.
void fillPicker(QComboBox *picker, const QStringList &fixed, const QStringList &extra,
                const QString &value)
{
    const QSignalBlocker blocker(picker);
    picker->clear();
    picker->addItems(fixed);
    if (!extra.isEmpty()) {
        picker->insertSeparator(picker->count());
        picker->addItems(extra);
    }
    showValue(picker, value);
}

QHBoxLayout *pickerRow(QLabel *label, QComboBox *picker)
{
    auto *row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(picker);
    row->addStretch();
    return row;
}

} // namespace

const QStringList &FormatsSection::inputFormatChoices()
{
    return FormatRules::inputFormatChoices();
}

const QStringList &FormatsSection::outputFormatChoices()
{
    return FormatRules::outputFormatChoices();
}

FormatsSection::FormatsSection(PandocViewModel *viewModel, QWidget *parent)
    : QGroupBox(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("formatsSection"));
    m_inputPicker = FormColumns::makePicker(QStringLiteral("inputFormatPicker"), this);
    m_outputPicker = FormColumns::makePicker(QStringLiteral("outputFormatPicker"), this);
    m_pdfEnginePicker = FormColumns::makePicker(QStringLiteral("pdfEnginePicker"), this);
    m_inputPicker->setAccessibleName(QStringLiteral("Eingabeformat"));
    m_outputPicker->setAccessibleName(QStringLiteral("Ausgabeformat"));
    m_pdfEnginePicker->setAccessibleName(QStringLiteral("PDF-Engine"));
    m_pdfEngineLabel = FormColumns::makeLabel(QStringLiteral("PDF-Engine:"), this);
    m_pdfEngineLabel->setBuddy(m_pdfEnginePicker);
    fillFormatPickers();
    m_pdfEnginePicker->addItem(PandocViewModel::kAutomaticPdfEngine);
    m_pdfEnginePicker->setToolTip(QStringLiteral(
        "„Automatisch“ wählt nach den Zeichen der Eingabe: pdflatex für "
        "lateinische Schrift, sonst lualatex mit Schriften für alle Schriftsysteme."));

    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(FormColumns::kInnerSpacing);
    stack->addLayout(
        pickerRow(FormColumns::makeLabel(QStringLiteral("Eingabeformat:"), this), m_inputPicker));
    stack->addLayout(
        pickerRow(FormColumns::makeLabel(QStringLiteral("Ausgabeformat:"), this), m_outputPicker));
    stack->addLayout(pickerRow(m_pdfEngineLabel, m_pdfEnginePicker));

    connect(m_inputPicker, &QComboBox::currentTextChanged, m_viewModel,
            &PandocViewModel::setInputFormat);
    connect(m_outputPicker, &QComboBox::currentTextChanged, m_viewModel,
            &PandocViewModel::setOutputFormat);
    connect(m_pdfEnginePicker, &QComboBox::currentTextChanged, m_viewModel,
            &PandocViewModel::setPdfEngine);
    connect(m_viewModel, &PandocViewModel::inputFormatChanged, this,
            [this] { showValue(m_inputPicker, m_viewModel->inputFormat()); });
    // Whoever changed the format (picker or preset), the output side follows it.
    connect(m_viewModel, &PandocViewModel::outputFormatChanged, this, [this] {
        showValue(m_outputPicker, m_viewModel->outputFormat());
        m_viewModel->updateTemplateVisibility();
        m_viewModel->autoSetOutputFile();
        showPdfEngineRow();
    });
    connect(m_viewModel, &PandocViewModel::converterFormatsChanged, this,
            &FormatsSection::fillFormatPickers);
    connect(m_viewModel, &PandocViewModel::pdfEngineChanged, this, [this] {
        listPdfEngines();
        showValue(m_pdfEnginePicker, m_viewModel->pdfEngine());
    });
    showValue(m_pdfEnginePicker, m_viewModel->pdfEngine());
    showPdfEngineRow();
}

bool FormatsSection::event(QEvent *event)
{
    // While the row is hidden, the search for engines waits until the section has been
    // painted once, so it does not hold up the window's first frame.
    if (event->type() == QEvent::Paint && !m_pdfEnginesListed)
        QMetaObject::invokeMethod(this, &FormatsSection::listPdfEngines, Qt::QueuedConnection);
    return QGroupBox::event(event);
}

void FormatsSection::listPdfEngines()
{
    if (std::exchange(m_pdfEnginesListed, true))
        return;
    const QSignalBlocker blocker(m_pdfEnginePicker);
    m_pdfEnginePicker->addItems(m_viewModel->pdfEngines());
    showValue(m_pdfEnginePicker, m_viewModel->pdfEngine());
}

void FormatsSection::fillFormatPickers()
{
    fillPicker(m_inputPicker, inputFormatChoices(), m_viewModel->extraInputFormats(),
               m_viewModel->inputFormat());
    fillPicker(m_outputPicker, outputFormatChoices(), m_viewModel->extraOutputFormats(),
               m_viewModel->outputFormat());
}

void FormatsSection::showPdfEngineRow()
{
    const bool shown = m_viewModel->showPdfEngine();
    if (shown)
        listPdfEngines();
    m_pdfEngineLabel->setVisible(shown);
    m_pdfEnginePicker->setVisible(shown);
}
