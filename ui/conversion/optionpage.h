#pragma once

#include <QWidget>

#include <functional>

class PandocViewModel;
class QVBoxLayout;

// The converter options people use most, each with its own control and a line saying what it
// does. A control shows only for the outputs it affects.
class OptionPage final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(OptionPage)

public:
    explicit OptionPage(PandocViewModel *viewModel, QWidget *parent = nullptr);

    // One entry of a picker: what it shows, the option it sets (none: the converter's
    // default) and that option's value.
    struct Choice
    {
        QString text;
        QString option;
        QString value;
    };

private:
    using Shown = std::function<bool(const QString &format)>;
    void addRow(const QString &label, QWidget *control, const QString &explanation,
                const QString &tip, Shown shown);
    QWidget *numberControl(const QString &name, const QString &option, int min, int max,
                           const QString &unset);
    QWidget *choiceControl(const QString &name, const QList<Choice> &choices);
    QWidget *switchControl(const QString &name, const QString &text,
                           const std::function<QString()> &option);
    QWidget *textControl(const QString &name, const QString &option, const QString &placeholder);
    void refreshHighlightStyles();
    void updateVisibility();

    PandocViewModel *m_viewModel;
    QVBoxLayout *m_stack = nullptr;
    QList<std::pair<QWidget *, Shown>> m_rows;
    class QComboBox *m_highlight = nullptr;
};
