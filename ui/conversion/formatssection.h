#pragma once

#include <QGroupBox>
#include <QStringList>

class PandocViewModel;
class QComboBox;

// Input and output format pickers.
class FormatsSection final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormatsSection)

public:
    explicit FormatsSection(PandocViewModel *viewModel, QWidget *parent = nullptr);

    static const QStringList &inputFormatChoices();
    static const QStringList &outputFormatChoices();

private:
    PandocViewModel *m_viewModel;
    QComboBox *m_inputPicker = nullptr;
    QComboBox *m_outputPicker = nullptr;
};
