#pragma once

#include "cslstyles.h"
#include "records.h"

#include <QPointer>
#include <QUuid>
#include <QWidget>
#include <optional>

class AddTemplateView;
class ElidedField;
class FilePanels;
class PandocViewModel;
class QCheckBox;
class QComboBox;
class QItemSelection;
class QLabel;
class QListView;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QToolButton;
class TemplateDetailView;
class TemplateListModel;

// The template library tab: filterable list on the left, the selected record on the right.
class TemplatesView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplatesView)

public:
    TemplatesView(PandocViewModel *viewModel, FilePanels *panels, QWidget *parent = nullptr);

    // The selection designates a record by id; a filter that hides it does not clear it.
    std::optional<QUuid> selectedId() const { return m_selectedId; }
    // The current stored record of the selection.
    std::optional<Template> selectedTemplate() const;
    // The current stored style of the selection, when a citation style is selected.
    std::optional<CslStyle> selectedCslStyle() const;
    // None for "Alle Typen" and for citation styles, which are no template kind.
    std::optional<TemplateType> filterType() const;
    bool showFavoritesOnly() const;
    // The add sheet while it is open.
    AddTemplateView *addSheet() const;
    // The divider between list and details, as remembered between runs.
    QByteArray splitterState() const;
    // Applied once the tab has its real width, so the divider lands where it was.
    void setSplitterState(const QByteArray &state);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *buildLibraryPane();
    QWidget *buildDetailPane();
    QWidget *buildStyleDetail();
    void refreshList();
    void showSelection();
    void selectInList();
    void onListSelectionChanged(const QItemSelection &selected);
    void openAddSheet();
    void importFiles();
    void deleteSelected();

    PandocViewModel *m_viewModel;
    FilePanels *m_panels;
    std::optional<QUuid> m_selectedId;
    // Set while the list is changed from here, so its selection signals are not the user's.
    bool m_updatingList = false;

    TemplateListModel *m_model = nullptr;
    QComboBox *m_typeFilter = nullptr;
    QCheckBox *m_favoritesOnly = nullptr;
    QListView *m_list = nullptr;
    QPushButton *m_delete = nullptr;
    QToolButton *m_favorite = nullptr;
    QStackedWidget *m_detailStack = nullptr;
    TemplateDetailView *m_detail = nullptr;
    ElidedField *m_stylePath = nullptr;
    QLabel *m_styleAdded = nullptr;
    QPointer<AddTemplateView> m_addSheet;
    QSplitter *m_splitter = nullptr;
    QByteArray m_pendingSplitterState;
};
