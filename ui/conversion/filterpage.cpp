#include "filterpage.h"

#include "conversionsettings.h"
#include "filepanels.h"
#include "filters.h"
#include "pandocviewmodel.h"
#include "settingsmodel.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

FilterPage::FilterPage(PandocViewModel *viewModel, FilePanels *panels, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel), m_panels(panels)
{
    setObjectName(QStringLiteral("filterPage"));
    auto *stack = new QVBoxLayout(this);
    auto *note = new QLabel(QStringLiteral("Lua-Filter (.lua) und JSON-Filter (Programme), in "
                                           "dieser Reihenfolge angewandt."),
                            this);
    note->setWordWrap(true);
    stack->addWidget(note);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("filterList"));
    m_list->setAccessibleName(QStringLiteral("Filter"));
    m_list->setMinimumHeight(m_list->fontMetrics().lineSpacing() * 5);
    stack->addWidget(m_list);

    auto *buttons = new QHBoxLayout;
    const auto button = [this, buttons](const QString &text, const QString &name) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(name);
        buttons->addWidget(b);
        return b;
    };
    QPushButton *addFile = button(QStringLiteral("Hinzufügen…"), QStringLiteral("addFilterButton"));
    m_remove = button(QStringLiteral("Entfernen"), QStringLiteral("removeFilterButton"));
    m_up = button(QStringLiteral("Nach oben"), QStringLiteral("filterUpButton"));
    m_down = button(QStringLiteral("Nach unten"), QStringLiteral("filterDownButton"));
    buttons->addStretch();
    stack->addLayout(buttons);

    auto *offeredRow = new QHBoxLayout;
    m_offered = new QComboBox(this);
    m_offered->setObjectName(QStringLiteral("offeredFilterPicker"));
    m_offered->setAccessibleName(QStringLiteral("Gefundene Filter"));
    m_offered->addItem(QStringLiteral("Gefundener Filter…"));
    m_offered->addItems(offeredFilters());
    m_offered->setEnabled(m_offered->count() > 1);
    m_offered->setToolTip(QStringLiteral("Filter im Ordner ") + userFilterFolder() +
                          QStringLiteral(" und bekannte Filterprogramme im PATH"));
    offeredRow->addWidget(m_offered);
    offeredRow->addStretch();
    stack->addLayout(offeredRow);
    stack->addStretch();

    connect(addFile, &QPushButton::clicked, this, [this] {
        const auto path =
            m_panels->chooseOpenFile(this, QStringLiteral("Filter wählen"),
                                     QStringLiteral("Lua-Filter (*.lua);;Alle Dateien (*)"));
        if (path && !path->isEmpty())
            add(*path);
    });
    connect(m_offered, &QComboBox::activated, this, [this](int index) {
        if (index > 0)
            add(m_offered->itemText(index));
        m_offered->setCurrentIndex(0);
    });
    connect(m_remove, &QPushButton::clicked, this, [this] {
        const int row = m_list->currentRow();
        QStringList list = entries();
        // The citation step goes with the citations switch, not from here.
        if (row < 0 || list[row] == kCiteprocStep)
            return;
        list.removeAt(row);
        store(list, std::min<int>(row, int(list.size()) - 1));
    });
    connect(m_up, &QPushButton::clicked, this, [this] { move(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { move(1); });
    connect(m_list, &QListWidget::currentRowChanged, this, &FilterPage::updateButtons);
    connect(m_viewModel, &PandocViewModel::optionValuesChanged, this, &FilterPage::refresh);
    connect(m_viewModel, &PandocViewModel::processCitationsChanged, this, &FilterPage::refresh);
    refresh();
}

QStringList FilterPage::shownEntries(const QStringList &filters, bool citations)
{
    QStringList shown;
    for (const QString &f : filters) {
        if (f != kCiteprocStep || (citations && !shown.contains(f)))
            shown << f;
    }
    if (citations && !shown.contains(kCiteprocStep))
        shown << kCiteprocStep.toString();
    return shown;
}

QStringList FilterPage::entries() const
{
    QStringList list;
    for (int i = 0; i < m_list->count(); ++i)
        list << m_list->item(i)->data(Qt::UserRole).toString();
    return list;
}

void FilterPage::refresh()
{
    const QStringList shown = shownEntries(m_viewModel->editedSettings().value().filters,
                                           m_viewModel->processCitations());
    if (shown == entries())
        return;
    const int row = m_list->currentRow();
    const QSignalBlocker quiet(m_list);
    m_list->clear();
    for (const QString &entry : shown) {
        QString text;
        if (entry == kCiteprocStep)
            text = QStringLiteral("Zitate verarbeiten (citeproc)");
        else
            text = (entry.endsWith(u".lua", Qt::CaseInsensitive) ? QStringLiteral("Lua: ")
                                                                 : QStringLiteral("JSON: ")) +
                   QFileInfo(entry).fileName();
        auto *item = new QListWidgetItem(text, m_list);
        item->setData(Qt::UserRole, entry);
        item->setToolTip(entry);
    }
    m_list->setCurrentRow(std::min(row, m_list->count() - 1));
    updateButtons();
}

void FilterPage::updateButtons()
{
    const int row = m_list->currentRow();
    m_remove->setEnabled(row >= 0 && entries()[row] != kCiteprocStep);
    m_up->setEnabled(row > 0);
    m_down->setEnabled(row >= 0 && row + 1 < m_list->count());
}

void FilterPage::store(const QStringList &list, int selected)
{
    QStringList filters = list;
    // Without citations their step keeps no place; at the end it is where it would be anyway.
    if (!m_viewModel->processCitations() || (!filters.isEmpty() && filters.last() == kCiteprocStep))
        filters.removeAll(kCiteprocStep.toString());
    m_viewModel->editedSettings().setFilters(filters);
    refresh();
    m_list->setCurrentRow(selected);
}

void FilterPage::add(const QString &filter)
{
    QStringList list = entries();
    // A new filter runs before the citations, where pandoc-crossref and its kind belong.
    const qsizetype step = list.indexOf(kCiteprocStep.toString());
    const qsizetype at = step >= 0 && step == list.size() - 1 ? step : list.size();
    list.insert(at, filter);
    store(list, int(at));
}

void FilterPage::move(int by)
{
    const int row = m_list->currentRow();
    QStringList list = entries();
    if (row < 0 || row + by < 0 || row + by >= list.size())
        return;
    list.move(row, row + by);
    store(list, row + by);
}
