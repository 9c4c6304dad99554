#pragma once

#include <QPlainTextEdit>

class PandocViewModel;

// The log lines, monospaced and selectable; appends without rebuilding and follows the newest line.
class LogView final : public QPlainTextEdit
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LogView)

public:
    explicit LogView(PandocViewModel *viewModel, QWidget *parent = nullptr);

private:
    void append(const QString &line);
    void scheduleScroll();

    bool m_scrollPending = false;
};
