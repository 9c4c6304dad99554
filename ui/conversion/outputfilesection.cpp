#include "outputfilesection.h"

#include "formcolumns.h"
#include "pandocviewmodel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

OutputFileSection::OutputFileSection(PandocViewModel *viewModel, QWidget *parent)
    : QGroupBox(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("outputFileSection"));
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("outputField"));
    m_field->setAccessibleName(QStringLiteral("Ausgabedatei"));
    m_button = new QPushButton(QStringLiteral("Speichern unter..."), this);
    m_button->setObjectName(QStringLiteral("saveAsButton"));

    auto *row = new QHBoxLayout(this);
    row->addWidget(FormColumns::makeLabel(QStringLiteral("Ausgabedatei:"), this));
    row->addWidget(m_field, 1);
    row->addWidget(m_button);

    connect(m_field, &QLineEdit::textEdited, m_viewModel, &PandocViewModel::setOutputFile);
    connect(m_button, &QPushButton::clicked, this, &OutputFileSection::chooseRequested);
    connect(m_viewModel, &PandocViewModel::outputFileChanged, this, &OutputFileSection::refresh);
    connect(m_viewModel, &PandocViewModel::inputFilesChanged, this, &OutputFileSection::refresh);
    connect(m_viewModel, &PandocViewModel::batchOutputFolderChanged, this,
            &OutputFileSection::refresh);
    connect(m_viewModel, &PandocViewModel::mergeInputsChanged, this, &OutputFileSection::refresh);
    refresh();
}

bool OutputFileSection::canChoose() const
{
    // Merged inputs write one file, chosen as for one input.
    return m_viewModel->inputFiles().size() <= 1 || m_viewModel->mergeInputs();
}

void OutputFileSection::refresh()
{
    // A batch names no file: it writes beside the inputs or into one chosen folder.
    const bool batch = !canChoose();
    QString text = batch ? PandocViewModel::kBatchPlaceholder : m_viewModel->outputFile();
    if (batch && !m_viewModel->batchOutputFolder().isEmpty())
        text += QStringLiteral(" → ") + m_viewModel->batchOutputFolder();
    // Rewriting the text the user is typing would move the cursor.
    if (m_field->text() != text)
        m_field->setText(text);
    m_field->setEnabled(!batch);
    m_button->setText(batch ? QStringLiteral("Ordner wählen...")
                            : QStringLiteral("Speichern unter..."));
}
