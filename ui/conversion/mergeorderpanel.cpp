#include "mergeorderpanel.h"

#include "focusorder.h"
#include "pandocviewmodel.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kFileScope = QStringLiteral("file-scope");

} // namespace

MergeOrderPanel::MergeOrderPanel(PandocViewModel *viewModel, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("mergeOrderPanel"));
    // The controls are made when a second input first arrives: most starts have one or none,
    // and the list would hold up the first frame for nothing.
    hide();
    connect(m_viewModel, &PandocViewModel::inputFilesChanged, this, &MergeOrderPanel::refresh);
    connect(m_viewModel, &PandocViewModel::mergeInputsChanged, this, &MergeOrderPanel::refresh);
    connect(m_viewModel, &PandocViewModel::optionValuesChanged, this, &MergeOrderPanel::refresh);
    refresh();
}

void MergeOrderPanel::build()
{
    m_merge = new QCheckBox(QStringLiteral("Zu einem Dokument zusammenfügen"), this);
    m_merge->setObjectName(QStringLiteral("mergeInputsCheck"));
    m_merge->setToolTip(QStringLiteral("Alle Eingabedateien werden in der Reihenfolge der Liste "
                                       "zu einer Ausgabedatei konvertiert."));

    m_order = new QWidget(this);
    m_fileScope = new QCheckBox(QStringLiteral("Jede Datei eigenständig lesen"), m_order);
    m_fileScope->setObjectName(QStringLiteral("fileScopeCheck"));
    m_fileScope->setToolTip(QStringLiteral("--file-scope: Fußnoten und Verweise gelten nur "
                                           "innerhalb ihrer eigenen Datei."));

    m_list = new QListWidget(m_order);
    m_list->setObjectName(QStringLiteral("mergeOrderList"));
    m_list->setAccessibleName(QStringLiteral("Reihenfolge der Eingabedateien"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setDragDropMode(QAbstractItemView::InternalMove);
    m_list->setDefaultDropAction(Qt::MoveAction);
    m_list->setMaximumHeight(m_list->fontMetrics().height() * 8);

    m_up = new QPushButton(QStringLiteral("Nach oben"), m_order);
    m_up->setObjectName(QStringLiteral("moveUpButton"));
    m_up->setToolTip(QStringLiteral("Gewählte Datei nach oben (Alt+↑)"));
    m_down = new QPushButton(QStringLiteral("Nach unten"), m_order);
    m_down->setObjectName(QStringLiteral("moveDownButton"));
    m_down->setToolTip(QStringLiteral("Gewählte Datei nach unten (Alt+↓)"));

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(m_up);
    buttons->addWidget(m_down);
    buttons->addStretch(1);
    auto *listRow = new QHBoxLayout;
    listRow->setContentsMargins(0, 0, 0, 0);
    listRow->addWidget(m_list, 1);
    listRow->addLayout(buttons);
    auto *orderStack = new QVBoxLayout(m_order);
    orderStack->setContentsMargins(0, 0, 0, 0);
    orderStack->addWidget(m_fileScope);
    orderStack->addLayout(listRow);
    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addWidget(m_merge);
    stack->addWidget(m_order);

    for (const auto &[keys, step] :
         {std::pair{Qt::ALT | Qt::Key_Up, -1}, std::pair{Qt::ALT | Qt::Key_Down, 1}}) {
        auto *shortcut = new QShortcut(QKeySequence(keys), m_list);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, step] { moveSelected(step); });
    }
    connect(m_up, &QPushButton::clicked, this, [this] { moveSelected(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { moveSelected(1); });
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
        m_selectedPath = row >= 0 ? m_list->item(row)->data(Qt::UserRole).toString() : QString();
        refreshButtons();
    });
    // A drop moves the entry, or inserts a copy and removes the original: the order is
    // taken once the drop has finished with the list's items.
    const auto later = [this] {
        if (!std::exchange(m_orderPending, true))
            QTimer::singleShot(0, this, &MergeOrderPanel::takeListOrder);
    };
    connect(m_list->model(), &QAbstractItemModel::rowsMoved, this, later);
    connect(m_list->model(), &QAbstractItemModel::rowsInserted, this, later);
    connect(m_list->model(), &QAbstractItemModel::rowsRemoved, this, later);
    connect(m_merge, &QCheckBox::toggled, m_viewModel, &PandocViewModel::setMergeInputs);
    connect(m_fileScope, &QCheckBox::toggled, this, [this](bool on) {
        m_viewModel->setOptionValue(kFileScope, on ? std::optional(QString()) : std::nullopt);
    });
    // Made after the rest of the window: Tab reaches them where they stand.
    chainFocusAfter(focusableBefore(this), this);
}

void MergeOrderPanel::refresh()
{
    const QList<QUrl> inputs = m_viewModel->inputFiles();
    if (!m_merge) {
        if (inputs.size() < 2)
            return;
        build();
    }
    setVisible(inputs.size() > 1);
    m_merge->setChecked(m_viewModel->mergeInputs());
    m_fileScope->setChecked(m_viewModel->optionValue(kFileScope).has_value());
    m_order->setVisible(m_viewModel->mergeInputs());

    QStringList paths;
    for (const QUrl &url : inputs)
        paths << url.toLocalFile();
    QStringList shown;
    for (int row = 0; row < m_list->count(); ++row)
        shown << m_list->item(row)->data(Qt::UserRole).toString();
    if (shown != paths) {
        const QString selected = m_selectedPath;
        const QSignalBlocker quiet(m_list);
        m_list->clear();
        for (const QString &path : std::as_const(paths)) {
            auto *item = new QListWidgetItem(QFileInfo(path).fileName(), m_list);
            item->setData(Qt::UserRole, path);
            item->setToolTip(path);
        }
        m_list->setCurrentRow(int(paths.indexOf(selected)));
        m_selectedPath = selected;
    }
    refreshButtons();
}

void MergeOrderPanel::refreshButtons()
{
    const int row = m_list->currentRow();
    m_up->setEnabled(row > 0);
    m_down->setEnabled(row >= 0 && row + 1 < m_list->count());
}

void MergeOrderPanel::moveSelected(int step)
{
    QPushButton *button = step < 0 ? m_up : m_down;
    const bool buttonFocused = button->hasFocus();
    const int row = m_list->currentRow();
    if (row < 0 || !m_viewModel->moveInput(row, row + step))
        return;
    // At the end of the list the button is disabled; the keyboard goes on in the list.
    if (buttonFocused && !button->isEnabled())
        m_list->setFocus();
}

void MergeOrderPanel::takeListOrder()
{
    m_orderPending = false;
    QList<QUrl> order;
    for (int row = 0; row < m_list->count(); ++row)
        order << QUrl::fromLocalFile(m_list->item(row)->data(Qt::UserRole).toString());
    if (order.size() == m_viewModel->inputFiles().size())
        m_viewModel->setInputFiles(order);
}
