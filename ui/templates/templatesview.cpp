#include "templatesview.h"

#include "addtemplateview.h"
#include "elidedfield.h"
#include "filepanels.h"
#include "icons.h"
#include "pandocviewmodel.h"
#include "staricon.h"
#include "templatedetailview.h"
#include "templatelistmodel.h"
#include "templatelistrow.h"
#include "templateorder.h"
#include "wheelguard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QLocale>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel *headline(const QString &text, const QString &objectName)
{
    auto *label = new QLabel(text);
    label->setObjectName(objectName);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QPushButton *textButton(const QString &text, const QString &objectName)
{
    auto *button = new QPushButton(text);
    button->setObjectName(objectName);
    return button;
}

QToolButton *iconButton(const QString &toolTip, const QString &objectName)
{
    auto *button = new QToolButton;
    button->setObjectName(objectName);
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    button->setAutoRaise(true);
    return button;
}

template <typename Record>
std::optional<Record> recordWithId(const QList<Record> &records, const std::optional<QUuid> &id)
{
    if (!id)
        return std::nullopt;
    for (const Record &r : records) {
        if (r.id == *id)
            return r;
    }
    return std::nullopt;
}

} // namespace

TemplatesView::TemplatesView(PandocViewModel *viewModel, FilePanels *panels, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel), m_panels(panels)
{
    setObjectName(QStringLiteral("templatesView"));
    auto *splitter = new QSplitter(Qt::Horizontal);
    m_splitter = splitter;
    splitter->setObjectName(QStringLiteral("templatesSplitter"));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(buildLibraryPane());
    splitter->addWidget(buildDetailPane());
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 2);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    connect(m_viewModel, &PandocViewModel::templatesChanged, this, &TemplatesView::refreshList);
    connect(m_viewModel, &PandocViewModel::cslStylesChanged, this, &TemplatesView::refreshList);
    // A running conversion may still read the file.
    connect(m_viewModel, &PandocViewModel::isConvertingChanged, this,
            &TemplatesView::showSelection);
    refreshList();
    WheelGuard::guardAll(this);
}

QWidget *TemplatesView::buildLibraryPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("libraryPane"));
    auto *layout = new QVBoxLayout(pane);
    layout->setSpacing(10);
    // At least 300 wide, and wider when its rows need it (large fonts).
    layout->addItem(new QSpacerItem(300, 0, QSizePolicy::Fixed, QSizePolicy::Fixed));
    layout->addWidget(
        headline(QStringLiteral("Template-Bibliothek"), QStringLiteral("libraryTitle")));

    auto *filters = new QHBoxLayout;
    auto *typeLabel = new QLabel(QStringLiteral("Typ"));
    m_typeFilter = new QComboBox;
    m_typeFilter->setObjectName(QStringLiteral("typeFilter"));
    m_typeFilter->setAccessibleName(QStringLiteral("Typ"));
    m_typeFilter->setFixedWidth(200);
    m_typeFilter->addItem(QStringLiteral("Alle Typen"), -1);
    for (TemplateType type : templateTypeAllCases)
        m_typeFilter->addItem(displayName(type), int(type));
    m_typeFilter->addItem(kCslStyleKindName, TemplateListModel::kCslStyleKind);
    typeLabel->setBuddy(m_typeFilter);
    m_favoritesOnly = new QCheckBox(QStringLiteral("Nur Favoriten"));
    m_favoritesOnly->setObjectName(QStringLiteral("favoritesOnly"));
    filters->addWidget(typeLabel);
    filters->addWidget(m_typeFilter);
    filters->addWidget(m_favoritesOnly);
    filters->addStretch();
    layout->addLayout(filters);

    m_model = new TemplateListModel(this);
    m_model->setLibraryCheck(
        [vm = m_viewModel](const Template &t) { return vm->isTemplateInLibrary(t); });
    m_list = new QListView;
    m_list->setObjectName(QStringLiteral("templateList"));
    m_list->setAccessibleName(QStringLiteral("Template-Bibliothek"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new TemplateListRow(m_list));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setUniformItemSizes(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(m_list, 1);

    auto *buttons = new QHBoxLayout;
    auto *add = textButton(QStringLiteral("Hinzufügen"), QStringLiteral("addButton"));
    auto *import = textButton(QStringLiteral("Importieren"), QStringLiteral("importButton"));
    m_delete = textButton(QStringLiteral("Löschen"), QStringLiteral("deleteButton"));
    m_favorite = iconButton(QStringLiteral("Favorit"), QStringLiteral("favoriteButton"));
    auto *folder = iconButton(QStringLiteral("Ordner öffnen"), QStringLiteral("folderButton"));
    folder->setIcon(themedIcon(QStringLiteral("folder"), QStyle::SP_DirIcon));
    buttons->addWidget(add);
    buttons->addWidget(import);
    buttons->addWidget(m_delete);
    buttons->addStretch();
    buttons->addWidget(m_favorite);
    buttons->addWidget(folder);
    layout->addSpacing(layout->contentsMargins().top());
    layout->addLayout(buttons);

    connect(m_typeFilter, &QComboBox::currentIndexChanged, this, &TemplatesView::refreshList);
    connect(m_favoritesOnly, &QCheckBox::toggled, this, &TemplatesView::refreshList);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected) { onListSelectionChanged(selected); });
    connect(add, &QPushButton::clicked, this, &TemplatesView::openAddSheet);
    connect(import, &QPushButton::clicked, this, &TemplatesView::importFiles);
    connect(m_delete, &QPushButton::clicked, this, &TemplatesView::deleteSelected);
    connect(m_favorite, &QToolButton::clicked, this,
            [this] { m_viewModel->toggleFavorite(selectedTemplate()); });
    connect(folder, &QToolButton::clicked, this, [this] { m_viewModel->openTemplateFolder(); });
    return pane;
}

QWidget *TemplatesView::buildDetailPane()
{
    auto *pane = new QWidget;
    pane->setObjectName(QStringLiteral("detailPane"));
    auto *layout = new QVBoxLayout(pane);
    layout->setSpacing(10);
    layout->addItem(new QSpacerItem(400, 0, QSizePolicy::Fixed, QSizePolicy::Fixed));
    layout->addWidget(
        headline(QStringLiteral("Vorschau / Details"), QStringLiteral("detailTitle")));

    auto *empty = new QLabel(QStringLiteral("Kein Template ausgewählt"));
    empty->setObjectName(QStringLiteral("noSelectionLabel"));
    empty->setAlignment(Qt::AlignCenter);
    empty->setForegroundRole(QPalette::PlaceholderText);

    m_detail = new TemplateDetailView(m_viewModel, m_panels);
    // The detail form is taller than small windows; it scrolls rather than squeezing.
    auto *scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("detailScroll"));
    scroll->setWidget(m_detail);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // Blend into the tab page instead of painting the window colour over it.
    scroll->viewport()->setAutoFillBackground(false);
    m_detail->setAutoFillBackground(false);

    m_detailStack = new QStackedWidget;
    m_detailStack->setObjectName(QStringLiteral("detailStack"));
    m_detailStack->addWidget(empty);
    m_detailStack->addWidget(scroll);
    m_detailStack->addWidget(buildStyleDetail());
    layout->addWidget(m_detailStack, 1);
    return pane;
}

QWidget *TemplatesView::buildStyleDetail()
{
    auto *group = new QGroupBox(QStringLiteral("Details"));
    group->setObjectName(QStringLiteral("styleDetailsGroup"));
    auto *form = new QFormLayout(group);
    auto *type = new QLabel(kCslStyleKindName);
    type->setObjectName(QStringLiteral("styleTypeValue"));
    type->setTextFormat(Qt::PlainText);
    // A stored path has no spaces to wrap at; shortened, it fits any width.
    m_stylePath = new ElidedField;
    m_stylePath->setObjectName(QStringLiteral("stylePathValue"));
    m_stylePath->setAccessibleName(QStringLiteral("Pfad"));
    m_styleAdded = new QLabel;
    m_styleAdded->setObjectName(QStringLiteral("styleAddedValue"));
    m_styleAdded->setTextFormat(Qt::PlainText);
    form->addRow(QStringLiteral("Typ"), type);
    form->addRow(QStringLiteral("Pfad"), m_stylePath);
    form->addRow(QStringLiteral("Hinzugefügt"), m_styleAdded);

    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("styleDetail"));
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(group);
    layout->addStretch();
    return page;
}

std::optional<Template> TemplatesView::selectedTemplate() const
{
    return recordWithId(m_viewModel->templates(), m_selectedId);
}

std::optional<CslStyle> TemplatesView::selectedCslStyle() const
{
    return recordWithId(m_viewModel->cslStyles(), m_selectedId);
}

AddTemplateView *TemplatesView::addSheet() const
{
    return m_addSheet;
}

QByteArray TemplatesView::splitterState() const
{
    // A tab never opened keeps what it was given.
    return m_pendingSplitterState.isEmpty() ? m_splitter->saveState() : m_pendingSplitterState;
}

void TemplatesView::setSplitterState(const QByteArray &state)
{
    m_pendingSplitterState = state;
    if (window()->isVisible())
        m_splitter->restoreState(std::exchange(m_pendingSplitterState, {}));
}

void TemplatesView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Before the window is shown the splitter's width is a guess; sizes restored then would
    // be shared out again by the stretch factors.
    if (!m_pendingSplitterState.isEmpty() && window()->isVisible())
        m_splitter->restoreState(std::exchange(m_pendingSplitterState, {}));
}

std::optional<TemplateType> TemplatesView::filterType() const
{
    const int value = m_typeFilter->currentData().toInt();
    return value < 0 ? std::nullopt : std::optional<TemplateType>(TemplateType(value));
}

bool TemplatesView::showFavoritesOnly() const
{
    return m_favoritesOnly->isChecked();
}

void TemplatesView::refreshList()
{
    // A description edit changes neither the rows nor their order; filtering and sorting a
    // large library on every keystroke would stall typing.
    if (const std::optional<QUuid> edited = m_viewModel->editedDescriptionId()) {
        if (const std::optional<Template> record = recordWithId(m_viewModel->templates(), edited))
            m_model->replaceRecord(*record);
        showSelection();
        return;
    }
    const int kind = m_typeFilter->currentData().toInt();
    const bool stylesOnly = kind == TemplateListModel::kCslStyleKind;
    // Styles have no favourites; they show under their own kind and under "Alle Typen".
    QList<CslStyle> styles;
    if (!showFavoritesOnly() && (stylesOnly || !filterType()))
        styles = m_viewModel->cslStyles();
    std::stable_sort(styles.begin(), styles.end(), [](const CslStyle &a, const CslStyle &b) {
        return compareNamesByCodePoint(a.name, b.name) < 0;
    });
    m_updatingList = true;
    m_model->setRecords(stylesOnly
                            ? QList<Template>()
                            : m_viewModel->filteredTemplates(filterType(), showFavoritesOnly()),
                        styles);
    m_updatingList = false;
    selectInList();
    showSelection();
}

void TemplatesView::selectInList()
{
    const int row = m_selectedId ? m_model->rowOf(*m_selectedId) : -1;
    QItemSelectionModel *selection = m_list->selectionModel();
    const QModelIndex index = m_model->index(row, 0);
    if (row >= 0 && selection->isSelected(index))
        return;
    m_updatingList = true;
    if (row < 0) {
        selection->clear();
    } else {
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_list->scrollTo(index);
    }
    m_updatingList = false;
}

void TemplatesView::showSelection()
{
    const std::optional<Template> record = selectedTemplate();
    const std::optional<CslStyle> style = record ? std::nullopt : selectedCslStyle();
    m_delete->setEnabled((record || style) && !m_viewModel->isConverting());
    m_favorite->setEnabled(record.has_value());
    const bool favourite = record && record->isFavorite;
    m_favorite->setIcon(starIcon(favourite));
    // Names the symbol shown, for tests and accessibility tools.
    m_favorite->setProperty("symbol",
                            favourite ? QStringLiteral("star.fill") : QStringLiteral("star"));
    if (record) {
        m_detail->setRecord(*record);
        m_detailStack->setCurrentIndex(1);
    } else if (style) {
        m_stylePath->setFullText(style->filePath);
        m_styleAdded->setText(TemplateDetailView::formatLastUsed(style->added, QLocale()));
        m_detailStack->setCurrentIndex(2);
    } else {
        m_detailStack->setCurrentIndex(0);
    }
}

void TemplatesView::onListSelectionChanged(const QItemSelection &selected)
{
    if (m_updatingList)
        return;
    const QModelIndexList rows = selected.indexes();
    if (rows.isEmpty()) {
        // Only a completed delete clears the selection; keep showing the record.
        QMetaObject::invokeMethod(this, &TemplatesView::selectInList, Qt::QueuedConnection);
        return;
    }
    m_selectedId = rows.first().data(TemplateListModel::IdRole).toUuid();
    showSelection();
}

void TemplatesView::openAddSheet()
{
    if (m_addSheet) {
        m_addSheet->raise();
        return;
    }
    m_addSheet = new AddTemplateView(m_viewModel, m_panels, this);
    m_addSheet->setAttribute(Qt::WA_DeleteOnClose);
    WheelGuard::guardAll(m_addSheet);
    m_addSheet->open();
}

void TemplatesView::importFiles()
{
    if (!m_panels)
        return;
    const std::optional<QList<QUrl>> urls =
        m_panels->chooseOpenFiles(this, QStringLiteral("Templates importieren"), QString());
    if (urls)
        m_viewModel->handleTemplateImport({*urls, std::nullopt});
}

void TemplatesView::deleteSelected()
{
    const std::optional<Template> record = selectedTemplate();
    const std::optional<CslStyle> style = record ? std::nullopt : selectedCslStyle();
    if (!record && !style)
        return;
    if (record ? m_viewModel->deleteTemplate(*record) : m_viewModel->deleteCslStyle(style->id)) {
        m_selectedId.reset();
        selectInList();
        showSelection();
    }
}
