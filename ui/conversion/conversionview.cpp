#include "conversionview.h"

#include "convertbutton.h"
#include "filepanels.h"
#include "formatssection.h"
#include "formcolumns.h"
#include "inputfilesection.h"
#include "optionssection.h"
#include "outputfilesection.h"
#include "pandocviewmodel.h"
#include "presetsection.h"
#include "statussection.h"
#include "templateselectionsection.h"

#include <QFile>
#include <QFileInfo>
#include <QScrollArea>
#include <QVBoxLayout>

ConversionView::ConversionView(PandocViewModel *viewModel, FilePanels *panels, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel), m_panels(panels)
{
    setObjectName(QStringLiteral("conversionView"));

    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("conversionContent"));
    auto *inputs = new InputFileSection(m_viewModel, content);
    m_output = new OutputFileSection(m_viewModel, content);
    m_convert = new ConvertButton(m_viewModel, content);
    auto *stack = new QVBoxLayout(content);
    stack->setSpacing(FormColumns::kSectionSpacing);
    stack->addWidget(inputs);
    stack->addWidget(new FormatsSection(m_viewModel, content));
    stack->addWidget(new TemplateSelectionSection(m_viewModel, content));
    stack->addWidget(m_output);
    stack->addWidget(new OptionsSection(m_viewModel, content));
    stack->addWidget(m_convert);
    stack->addWidget(new StatusSection(m_viewModel, content));
    stack->addStretch();

    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("conversionScrollArea"));
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(content);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(FormColumns::kSectionSpacing);
    // The preset bar stays put while the rest scrolls.
    outer->addWidget(new PresetSection(m_viewModel, this));
    outer->addWidget(scroll, 1);

    connect(inputs, &InputFileSection::browseRequested, this, &ConversionView::chooseInput);
    connect(m_output, &OutputFileSection::chooseRequested, this, &ConversionView::chooseOutput);
}

void ConversionView::chooseInput()
{
    const std::optional<QList<QUrl>> urls = m_panels->chooseOpenFiles(
        this, QStringLiteral("Eingabedateien wählen"), QStringLiteral("Alle Dateien (*)"));
    if (urls)
        m_viewModel->handleInputFileSelection({*urls, std::nullopt});
}

void ConversionView::chooseOutput()
{
    if (!m_output->canChoose())
        return;
    // Start in the input's folder; a bare name would land in the working directory.
    QString suggested = m_viewModel->suggestedOutputFilename();
    if (!m_viewModel->inputFiles().isEmpty())
        suggested = QFileInfo(m_viewModel->inputFiles().first().toLocalFile()).absolutePath() +
                    u'/' + suggested;
    const std::optional<QString> path = m_panels->chooseSaveFile(
        this, QStringLiteral("Ausgabedatei wählen"), suggested, m_viewModel->outputFileType());
    if (!path)
        return;
    // The chosen place is claimed at once with an empty file; an existing one is left intact.
    QFile placeholder(*path);
    if (!placeholder.exists() && !placeholder.open(QIODevice::WriteOnly)) {
        m_viewModel->handleOutputFileSelection({{}, placeholder.errorString()});
        return;
    }
    placeholder.close();
    m_viewModel->handleOutputFileSelection({{QUrl::fromLocalFile(*path)}, std::nullopt});
}

void ConversionView::requestConvert()
{
    if (m_convert->canConvert())
        m_viewModel->convert();
}
