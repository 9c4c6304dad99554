#include "conversionview.h"

#include "convertbutton.h"
#include "filepanels.h"
#include "formatssection.h"
#include "formcolumns.h"
#include "inputfilesection.h"
#include "literaturesection.h"
#include "moreoptionssection.h"
#include "optionssection.h"
#include "outputfilesection.h"
#include "pandocviewmodel.h"
#include "presetsection.h"
#include "runresultspanel.h"
#include "statussection.h"
#include "templateselectionsection.h"
#include "wheelguard.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

ConversionView::ConversionView(PandocViewModel *viewModel, FilePanels *panels, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel), m_panels(panels)
{
    setObjectName(QStringLiteral("conversionView"));

    // Made first so the keyboard's tab order starts at the top, where the eye does.
    auto *presets = new PresetSection(m_viewModel, m_panels, this);
    auto *content = new QWidget;
    m_content = content;
    content->setObjectName(QStringLiteral("conversionContent"));
    // Sections are created top to bottom: creation order is the tab order. The form and the
    // actions (button, status, log) stand one above the other, or side by side where the
    // window is wide enough, so that a laptop screen shows the whole tab at once.
    auto *form = new QVBoxLayout;
    form->setSpacing(FormColumns::kSectionSpacing);
    auto *inputs = new InputFileSection(m_viewModel, content);
    form->addWidget(inputs);
    form->addWidget(new FormatsSection(m_viewModel, content));
    form->addWidget(new TemplateSelectionSection(m_viewModel, content));
    m_output = new OutputFileSection(m_viewModel, content);
    form->addWidget(m_output);
    auto *options = new OptionsSection(m_viewModel, content);
    form->addWidget(options);
    m_more = new MoreOptionsSection(m_viewModel, m_panels, content);
    options->addFoldedArea(m_more);
    form->addStretch();
    auto *actions = new QVBoxLayout;
    actions->setSpacing(FormColumns::kSectionSpacing);
    // Above the button, so that a 1366×768 screen still shows the whole tab; stacked, it
    // follows the options as the last part of the form.
    actions->addWidget(new LiteratureSection(m_viewModel, m_panels, content));
    // The log takes the height the window has to spare.
    actions->addWidget(new StatusSection(m_viewModel, content), 1);
    auto *results = new RunResultsPanel(m_viewModel, content);
    actions->addWidget(results);
    m_form = form;
    m_actions = actions;
    m_columns = new QBoxLayout(QBoxLayout::TopToBottom, content);
    m_columns->setSpacing(FormColumns::kSectionSpacing);
    m_columns->addLayout(form);
    m_columns->addLayout(actions);
    arrangeColumns(false);

    m_scroll = new QScrollArea(this);
    auto *scroll = m_scroll;
    scroll->setObjectName(QStringLiteral("conversionScrollArea"));
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(content);
    // Made after the page has joined the window, so it is last in the tab order, as it is on
    // screen in the bar below the scrolling page.
    m_convert = new ConvertButton(m_viewModel, this);
    m_convertRow = makeConvertRow();

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    // The preset bar and the button stay put while the rest scrolls.
    outer->addWidget(presets);
    outer->addWidget(scroll, 1);
    auto *bar = new QHBoxLayout;
    m_bar = bar;
    const QMargins page = m_columns->contentsMargins();
    // Slim, so the whole tab still fits a 1366×768 screen side by side.
    bar->setContentsMargins(page.left(), FormColumns::kInnerSpacing / 2, page.right(),
                            FormColumns::kInnerSpacing / 2);
    outer->addLayout(bar);

    // Once the layout has made room for it; the log sits right above and stays in view.
    connect(results, &RunResultsPanel::resultsShown, scroll, [scroll, results] {
        QTimer::singleShot(0, scroll,
                           [scroll, results] { scroll->ensureWidgetVisible(results, 0, 0); });
    });
    placeConvertButton(m_columns->direction() == QBoxLayout::LeftToRight);
    connect(m_convert, &ConvertButton::canConvertChanged, this, &ConversionView::canConvertChanged);
    connect(inputs, &InputFileSection::browseRequested, this, &ConversionView::chooseInput);
    connect(m_output, &OutputFileSection::chooseRequested, this, &ConversionView::chooseOutput);
    FormColumns::alignLabels(this);
    // The form lives in a scroll area, which keeps its size changes to itself; the window
    // must still learn when the form needs more width (a progress bar appears, say).
    m_content->installEventFilter(this);
    WheelGuard::guardAll(this);
}

bool ConversionView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_content && event->type() == QEvent::LayoutRequest)
        updateGeometry();
    return QWidget::eventFilter(watched, event);
}

int ConversionView::twoColumnWidth() const
{
    const QMargins margins = m_columns->contentsMargins();
    return m_form->minimumSize().width() + kMinActionsWidth + m_columns->spacing() +
           margins.left() + margins.right() + m_scroll->verticalScrollBar()->sizeHint().width();
}

void ConversionView::arrangeColumns(bool sideBySide)
{
    m_columns->setDirection(sideBySide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    // Side by side the form takes the larger share; stacked, spare height goes to the log.
    m_columns->setStretch(0, sideBySide ? 3 : 0);
    m_columns->setStretch(1, sideBySide ? 2 : 1);
    placeConvertButton(sideBySide);
}

void ConversionView::placeConvertButton(bool sideBySide)
{
    // Side by side, the whole tab fits a laptop screen with the button under the bibliography;
    // stacked, the page scrolls and the button stays in the bar below it.
    if (!m_convertRow || !m_bar)
        return;
    m_bar->removeWidget(m_convertRow);
    m_actions->removeWidget(m_convertRow);
    if (sideBySide)
        m_actions->insertWidget(1, m_convertRow);
    else
        m_bar->addWidget(m_convertRow);
    m_convertRow->show();
}

QWidget *ConversionView::makeConvertRow()
{
    auto *watch = new QCheckBox(QStringLiteral("Bei Änderungen automatisch konvertieren"), this);
    watch->setObjectName(QStringLiteral("watchCheck"));
    watch->setToolTip(QStringLiteral(
        "Nach einer erfolgreichen Konvertierung werden das Dokument, die Vorlagen, CSS, "
        "Literatur und alle Dateien, die Pandoc dabei gelesen hat, beobachtet; jede gespeicherte "
        "Änderung konvertiert mit denselben Einstellungen noch einmal. Eine andere Aktion, "
        "Abbrechen oder das Ausschalten beendet die Beobachtung."));
    watch->setChecked(m_viewModel->watchChanges());
    connect(watch, &QCheckBox::toggled, m_viewModel, &PandocViewModel::setWatchChanges);
    connect(m_viewModel, &PandocViewModel::watchChangesChanged, watch,
            [this, watch] { watch->setChecked(m_viewModel->watchChanges()); });
    auto *row = new QWidget(this);
    row->setObjectName(QStringLiteral("convertRow"));
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_convert, 1);
    layout->addWidget(watch);
    return row;
}

void ConversionView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const bool sideBySide = width() >= twoColumnWidth();
    if (sideBySide != (m_columns->direction() == QBoxLayout::LeftToRight))
        arrangeColumns(sideBySide);
}

QSize ConversionView::sizeHint() const
{
    // Side by side, the whole tab at once: the window opens showing all of it where the
    // screen allows. (A scroll area alone asks for a fraction of its content.)
    const QMargins margins = m_columns->contentsMargins();
    const int columns = std::max(m_form->sizeHint().height(), m_actions->sizeHint().height());
    const int outer = QWidget::sizeHint().height() - m_scroll->sizeHint().height();
    return {twoColumnWidth(), outer + columns + margins.top() + margins.bottom()};
}

QSize ConversionView::minimumSizeHint() const
{
    // Stacked is the narrowest arrangement; the form only scrolls up and down, so it is never
    // narrower than that.
    const QMargins margins = m_columns->contentsMargins();
    const int column = std::max(m_form->minimumSize().width(), m_actions->minimumSize().width());
    const int bar = m_scroll->verticalScrollBar()->sizeHint().width();
    return {std::max(QWidget::minimumSizeHint().width() - m_scroll->minimumSizeHint().width(),
                     column + margins.left() + margins.right() + bar),
            QWidget::minimumSizeHint().height()};
}

void ConversionView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        // After the children have taken the new font.
        QMetaObject::invokeMethod(
            this, [this] { FormColumns::alignLabels(this); }, Qt::QueuedConnection);
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
    if (!m_output->canChoose()) {
        // A batch: the folder its outputs go to; cancelling keeps the one before.
        const QList<QUrl> inputs = m_viewModel->inputFiles();
        const QString start = m_viewModel->batchOutputFolder().isEmpty()
                                  ? QFileInfo(inputs.first().toLocalFile()).absolutePath()
                                  : m_viewModel->batchOutputFolder();
        if (const auto folder =
                m_panels->chooseFolder(this, QStringLiteral("Ausgabeordner wählen"), start))
            m_viewModel->setBatchOutputFolder(*folder);
        return;
    }
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
    if (!placeholder.exists() && !placeholder.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        m_viewModel->handleOutputFileSelection({{}, placeholder.errorString()});
        return;
    }
    placeholder.close();
    m_viewModel->handleOutputFileSelection({{QUrl::fromLocalFile(*path)}, std::nullopt});
}

bool ConversionView::canConvert() const
{
    return m_convert->canConvert();
}

void ConversionView::requestConvert()
{
    if (m_convert->canConvert())
        m_viewModel->convert();
}
