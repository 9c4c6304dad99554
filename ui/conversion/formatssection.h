#pragma once

#include <QGroupBox>
#include <QStringList>

class PandocViewModel;
class QComboBox;
class QLabel;

// Input and output format pickers, and the PDF engine while the output is PDF.
class FormatsSection final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FormatsSection)

public:
    explicit FormatsSection(PandocViewModel *viewModel, QWidget *parent = nullptr);

    static const QStringList &inputFormatChoices();
    static const QStringList &outputFormatChoices();

protected:
    bool event(QEvent *event) override;

private:
    void fillFormatPickers();
    void showPdfEngineRow();
    void listPdfEngines();

    PandocViewModel *m_viewModel;
    QComboBox *m_inputPicker = nullptr;
    QComboBox *m_outputPicker = nullptr;
    QLabel *m_pdfEngineLabel = nullptr;
    QComboBox *m_pdfEnginePicker = nullptr;
    bool m_pdfEnginesListed = false;
};
