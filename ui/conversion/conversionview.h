#pragma once

#include <QWidget>

class ConvertButton;
class FilePanels;
class MoreOptionsSection;
class OutputFileSection;
class PandocViewModel;
class QBoxLayout;
class QHBoxLayout;
class QScrollArea;
class QVBoxLayout;

// The conversion tab: the sections, the two file panels and what the menu asks of them.
class ConversionView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConversionView)

public:
    ConversionView(PandocViewModel *viewModel, FilePanels *panels, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Whether "Konvertieren" may start a run now: an input is chosen and nothing runs.
    bool canConvert() const;
    // The further settings' open page, -1 while folded; kept between sessions.
    MoreOptionsSection *moreOptions() const { return m_more; }

signals:
    void canConvertChanged(bool canConvert);

public slots:
    // Opens the input panel; the result, unless cancelled, goes to the view model.
    void chooseInput();
    // Opens the output save panel, only while at most one input is chosen.
    void chooseOutput();
    // Converts, if the conversion button would allow it.
    void requestConvert();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The log column is at least this wide beside the form.
    static constexpr int kMinActionsWidth = 420;

    int twoColumnWidth() const;
    void arrangeColumns(bool sideBySide);
    void placeConvertButton(bool sideBySide);
    // The button with the switch "Bei Änderungen automatisch konvertieren" beside it.
    QWidget *makeConvertRow();

    PandocViewModel *m_viewModel;
    FilePanels *m_panels;
    OutputFileSection *m_output = nullptr;
    MoreOptionsSection *m_more = nullptr;
    ConvertButton *m_convert = nullptr;
    QWidget *m_convertRow = nullptr;
    QHBoxLayout *m_bar = nullptr; // below the scrolling page
    QWidget *m_content = nullptr;
    QScrollArea *m_scroll = nullptr;
    QBoxLayout *m_columns = nullptr;
    QVBoxLayout *m_form = nullptr;
    QVBoxLayout *m_actions = nullptr;
};
