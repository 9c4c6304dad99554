#pragma once

#include <QWidget>

class FilePanels;
class PandocViewModel;
class QComboBox;
class QListWidget;
class QPushButton;

// The filters of a conversion in the order the converter applies them; while citations are
// processed, their step is an entry of its own that moves like the others.
class FilterPage final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FilterPage)

public:
    FilterPage(PandocViewModel *viewModel, FilePanels *panels, QWidget *parent = nullptr);

    // The entries as listed: the citation step shows only while citations are processed, at
    // the end unless it was moved.
    static QStringList shownEntries(const QStringList &filters, bool citations);

private:
    void refresh();
    void updateButtons();
    void store(const QStringList &entries, int selected);
    void add(const QString &filter);
    void move(int by);
    QStringList entries() const;

    PandocViewModel *m_viewModel;
    FilePanels *m_panels;
    QListWidget *m_list = nullptr;
    QComboBox *m_offered = nullptr;
    QPushButton *m_remove = nullptr;
    QPushButton *m_up = nullptr;
    QPushButton *m_down = nullptr;
};
