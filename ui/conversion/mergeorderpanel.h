#pragma once

#include <QWidget>

class PandocViewModel;
class QCheckBox;
class QListWidget;
class QPushButton;

// With several inputs: the switch that makes them one document, and the order pandoc reads
// them in (drag an entry, or "Nach oben"/"Nach unten", Alt+↑/Alt+↓ in the list).
class MergeOrderPanel final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MergeOrderPanel)

public:
    explicit MergeOrderPanel(PandocViewModel *viewModel, QWidget *parent = nullptr);

private:
    void build();
    void refresh();
    void refreshButtons();
    void moveSelected(int step);
    // A drag inside the list has moved an entry: the inputs take the list's order.
    void takeListOrder();

    PandocViewModel *m_viewModel;
    QCheckBox *m_merge = nullptr;
    QCheckBox *m_fileScope = nullptr;
    QWidget *m_order = nullptr;
    QListWidget *m_list = nullptr;
    QPushButton *m_up = nullptr;
    QPushButton *m_down = nullptr;
    QString m_selectedPath; // kept selected when the list is filled again
    bool m_orderPending = false;
};
