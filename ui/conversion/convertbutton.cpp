#include "convertbutton.h"

#include "pandocviewmodel.h"

#include <QApplication>
#include <QEvent>

ConvertButton::ConvertButton(PandocViewModel *viewModel, QWidget *parent)
    : QPushButton(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("convertButton"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMinimumHeight(36);
    applyAccent();
    // No shortcut here: the menu's "Konvertieren" owns Ctrl+R.
    connect(this, &QPushButton::clicked, this, [this] {
        if (canConvert())
            m_viewModel->convert();
    });
    connect(m_viewModel, &PandocViewModel::isConvertingChanged, this, &ConvertButton::refresh);
    connect(m_viewModel, &PandocViewModel::inputFilesChanged, this, &ConvertButton::refresh);
    refresh();
}

bool ConvertButton::canConvert() const
{
    return !m_viewModel->isConverting() && !m_viewModel->inputFiles().isEmpty();
}

void ConvertButton::refresh()
{
    setText(m_viewModel->isConverting() ? QStringLiteral("Konvertierung läuft...")
                                        : QStringLiteral("KONVERTIEREN"));
    setEnabled(canConvert());
    emit canConvertChanged(canConvert());
}

void ConvertButton::changeEvent(QEvent *event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::ApplicationPaletteChange)
        applyAccent();
}

void ConvertButton::applyAccent()
{
    // The accent look of a prominent button, from whatever palette is active.
    QPalette pal = QApplication::palette(this);
    pal.setColor(QPalette::Active, QPalette::Button,
                 pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::Button,
                 pal.color(QPalette::Inactive, QPalette::Highlight));
    pal.setColor(QPalette::Active, QPalette::ButtonText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    pal.setColor(QPalette::Inactive, QPalette::ButtonText,
                 pal.color(QPalette::Inactive, QPalette::HighlightedText));
    setPalette(pal);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
}
