#pragma once

#include <QWidget>

class ConvertButton;
class FilePanels;
class OutputFileSection;
class PandocViewModel;

// The conversion tab: the sections, the two file panels and what the menu asks of them.
class ConversionView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConversionView)

public:
    ConversionView(PandocViewModel *viewModel, FilePanels *panels, QWidget *parent = nullptr);

public slots:
    // Opens the input panel; the result, unless cancelled, goes to the view model.
    void chooseInput();
    // Opens the output save panel, only while at most one input is chosen.
    void chooseOutput();
    // Converts, if the conversion button would allow it.
    void requestConvert();

private:
    PandocViewModel *m_viewModel;
    FilePanels *m_panels;
    OutputFileSection *m_output = nullptr;
    ConvertButton *m_convert = nullptr;
};
