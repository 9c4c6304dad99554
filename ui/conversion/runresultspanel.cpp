#include "runresultspanel.h"

#include "focusorder.h"
#include "formcolumns.h"
#include "icons.h"
#include "pandocviewmodel.h"
#include "statuscolors.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTextDocument>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

enum Column
{
    NameColumn,
    OutcomeColumn,
    OutputColumn,
    SecondsColumn,
    ColumnCount
};

constexpr int kVisibleRows = 5;

} // namespace

RunResultsPanel::RunResultsPanel(PandocViewModel *viewModel, QWidget *parent)
    : QGroupBox(QStringLiteral("Ergebnisse"), parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("runResultsPanel"));
    using VM = PandocViewModel;
    connect(m_viewModel, &VM::runResultsReady, this,
            [this] { showResults(m_viewModel->lastRunResults()); });
    // The list belongs to the run that is over; a new run makes it stale.
    connect(m_viewModel, &VM::isConvertingChanged, this, [this] {
        if (m_viewModel->isConverting())
            hide();
        refreshButtons();
    });
    hide();
}

void RunResultsPanel::build()
{
    // Made for the first batch's results: a start does without the list and its header.
    m_table = new QTreeWidget(this);
    m_table->setObjectName(QStringLiteral("runResultsTable"));
    m_table->setAccessibleName(QStringLiteral("Ergebnisse der Konvertierung"));
    m_table->setColumnCount(ColumnCount);
    m_table->setHeaderLabels({QStringLiteral("Datei"), QStringLiteral("Ergebnis"),
                              QStringLiteral("Ausgabe"), QStringLiteral("Dauer")});
    m_table->setRootIsDecorated(false);
    m_table->setUniformRowHeights(true);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setTextElideMode(Qt::ElideMiddle);
    QHeaderView *header = m_table->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(OutcomeColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(OutputColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(SecondsColumn, QHeaderView::ResizeToContents);

    m_open = new QPushButton(QStringLiteral("Öffnen"), this);
    m_open->setObjectName(QStringLiteral("openResultButton"));
    m_open->setIcon(themedIcon(QStringLiteral("document-open"), QStyle::SP_DialogOpenButton));
    m_folder = new QPushButton(QStringLiteral("Im Ordner zeigen"), this);
    m_folder->setObjectName(QStringLiteral("showResultFolderButton"));
    m_folder->setIcon(themedIcon(QStringLiteral("folder-open"), QStyle::SP_DirOpenIcon));
    m_retry = new QPushButton(QStringLiteral("Fehlgeschlagene erneut konvertieren"), this);
    m_retry->setObjectName(QStringLiteral("retryFailedButton"));
    m_retry->setToolTip(QStringLiteral(
        "Konvertiert die fehlgeschlagenen Dateien noch einmal mit den Einstellungen ihres "
        "Laufs: gleiches Ausgabeformat, gleiche Vorlagen, gleiche Ausgabedateien. Seitdem "
        "geänderte Einstellungen gelten erst für die nächste neue Konvertierung."));
    m_retry->setIcon(themedIcon(QStringLiteral("view-refresh"), QStyle::SP_BrowserReload));
    auto *hideButton = new QPushButton(QStringLiteral("Ausblenden"), this);
    hideButton->setObjectName(QStringLiteral("hideResultsButton"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_open);
    buttons->addWidget(m_folder);
    buttons->addWidget(m_retry);
    buttons->addStretch();
    buttons->addWidget(hideButton);

    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(FormColumns::kInnerSpacing);
    stack->addWidget(m_table);
    stack->addLayout(buttons);

    connect(m_table, &QTreeWidget::itemSelectionChanged, this, &RunResultsPanel::refreshButtons);
    connect(m_table, &QTreeWidget::itemActivated, this, &RunResultsPanel::openSelected);
    connect(m_open, &QPushButton::clicked, this, &RunResultsPanel::openSelected);
    connect(m_folder, &QPushButton::clicked, this, &RunResultsPanel::showSelectedFolder);
    connect(m_retry, &QPushButton::clicked, m_viewModel, &PandocViewModel::retryFailedConversions);
    connect(hideButton, &QPushButton::clicked, this, &QWidget::hide);
    // Made after the rest of the window: Tab reaches them where they stand.
    chainFocusAfter(focusableBefore(this), this);
}

void RunResultsPanel::showResults(const RunResults &results)
{
    using Outcome = RunResult::Outcome;
    using Color = PandocViewModel::StatusColor;
    if (!m_table)
        build();
    m_results = results;
    m_table->clear();
    const QLocale locale(QLocale::German, QLocale::Germany);
    QList<QTreeWidgetItem *> items;
    bool anyExplained = false;
    for (const RunResult &row : results) {
        QString outcome = QStringLiteral("übersprungen");
        Color color = Color::Gray;
        if (row.outcome == Outcome::Succeeded) {
            outcome = QStringLiteral("✓");
            color = Color::Green;
        } else if (row.outcome == Outcome::Failed) {
            outcome = QStringLiteral("✗");
            color = Color::Red;
        } else if (row.outcome == Outcome::Unchanged) {
            outcome = QStringLiteral("unverändert");
        }
        const QString output =
            row.output.isEmpty() ? QStringLiteral("–") : QFileInfo(row.output).fileName();
        const QString seconds = row.outcome == Outcome::Skipped || row.outcome == Outcome::Unchanged
                                    ? QStringLiteral("–")
                                    : locale.toString(row.seconds, 'f', 1) + QStringLiteral(" s");
        const bool explained = row.outcome == Outcome::Failed && !row.reason.isEmpty();
        if (explained)
            outcome += u' ' + row.reason;
        auto *item = new QTreeWidgetItem(
            QStringList{QFileInfo(row.input).fileName(), outcome, output, seconds});
        item->setToolTip(NameColumn, Qt::convertFromPlainText(row.input, Qt::WhiteSpaceNoWrap));
        item->setToolTip(OutputColumn, Qt::convertFromPlainText(row.output, Qt::WhiteSpaceNoWrap));
        // pandoc's text is text, even where it looks like markup.
        if (explained)
            item->setToolTip(OutcomeColumn, Qt::convertFromPlainText(row.reason));
        item->setForeground(OutcomeColumn, statusColorFor(color, palette()));
        item->setTextAlignment(OutcomeColumn,
                               explained ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
        anyExplained = anyExplained || explained;
        item->setTextAlignment(SecondsColumn, Qt::AlignRight | Qt::AlignVCenter);
        items << item;
    }
    m_table->addTopLevelItems(items);
    // A reason needs room of its own; a column of bare marks stays narrow. Long reasons are
    // shortened in the middle like the names, the tool tip has them whole.
    m_table->header()->setSectionResizeMode(
        OutcomeColumn, anyExplained ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
    // The first failure is what the user most likely wants to look at.
    const auto failed = std::find_if(results.cbegin(), results.cend(), [](const RunResult &row) {
        return row.outcome == Outcome::Failed;
    });
    if (!items.isEmpty())
        m_table->setCurrentItem(items.at(failed == results.cend() ? 0 : failed - results.cbegin()));
    refreshButtons();
    if (results.size() < 2) {
        hide();
        return;
    }
    // Before it appears, so the tab scrolls to the panel at its final height.
    fitTableHeight();
    show();
    emit resultsShown();
}

void RunResultsPanel::showEvent(QShowEvent *event)
{
    // Measured when first shown: the header's size asks the style and the fonts, work the
    // window's first frame can do without while the panel is hidden.
    fitTableHeight();
    QGroupBox::showEvent(event);
}

void RunResultsPanel::fitTableHeight()
{
    if (!m_table || std::exchange(m_tableHeightSet, true))
        return;
    // A few rows are enough to pick from; a long batch scrolls inside the list, so the panel
    // and the log above it both fit a small window.
    const int rowHeight = fontMetrics().height() + 6;
    m_table->setFixedHeight(m_table->header()->sizeHint().height() + kVisibleRows * rowHeight +
                            2 * m_table->frameWidth());
}

const RunResult *RunResultsPanel::selectedRow() const
{
    if (!m_table)
        return nullptr;
    const QList<QTreeWidgetItem *> items = m_table->selectedItems();
    if (items.isEmpty())
        return nullptr;
    const int row = m_table->indexOfTopLevelItem(items.first());
    return row >= 0 && row < m_results.size() ? &m_results.at(row) : nullptr;
}

void RunResultsPanel::refreshButtons()
{
    if (!m_table)
        return;
    const RunResult *row = selectedRow();
    const bool desktop = m_viewModel->environment().desktop != nullptr;
    const bool written = row && (row->outcome == RunResult::Outcome::Succeeded ||
                                 row->outcome == RunResult::Outcome::Unchanged);
    m_open->setEnabled(desktop && written);
    m_folder->setEnabled(desktop && row);
    const bool anyFailed =
        std::any_of(m_results.cbegin(), m_results.cend(), [](const RunResult &result) {
            return result.outcome == RunResult::Outcome::Failed;
        });
    m_retry->setEnabled(anyFailed && !m_viewModel->isConverting());
}

void RunResultsPanel::openSelected()
{
    const RunResult *row = selectedRow();
    if (!row || (row->outcome != RunResult::Outcome::Succeeded &&
                 row->outcome != RunResult::Outcome::Unchanged))
        return;
    if (Desktop *desktop = m_viewModel->environment().desktop)
        desktop->openFile(row->output);
}

void RunResultsPanel::showSelectedFolder()
{
    const RunResult *row = selectedRow();
    Desktop *desktop = m_viewModel->environment().desktop;
    if (!row || !desktop)
        return;
    // A file refused before it ran has no output; its input's folder is the place to look.
    const QString file = row->output.isEmpty() ? row->input : row->output;
    desktop->openFolder(QFileInfo(file).absolutePath());
}
