#pragma once

#include <QWidget>

class LogView;
class PandocViewModel;
class QLabel;
class QProgressBar;
class QPushButton;

// Status line with progress and cancel, the log and its clear button.
class StatusSection final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StatusSection)

public:
    explicit StatusSection(PandocViewModel *viewModel, QWidget *parent = nullptr);

protected:
    void changeEvent(QEvent *event) override;

private:
    void refreshStatus();
    void refreshProgress();

    PandocViewModel *m_viewModel;
    QLabel *m_status = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_cancel = nullptr;
    LogView *m_log = nullptr;
};
