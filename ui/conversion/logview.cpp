#include "logview.h"

#include "pandocviewmodel.h"

#include <QFontDatabase>
#include <QScrollBar>
#include <QTimer>

LogView::LogView(PandocViewModel *viewModel, QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("logView"));
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFixedHeight(150);

    for (const QString &line : viewModel->logMessages())
        append(line);
    connect(viewModel, &PandocViewModel::logMessageAppended, this, &LogView::append);
    connect(viewModel, &PandocViewModel::logCleared, this, &QPlainTextEdit::clear);
}

void LogView::append(const QString &line)
{
    appendPlainText(line);
    scheduleScroll();
}

void LogView::scheduleScroll()
{
    // One scroll per burst of lines is enough; the newest line ends at the bottom.
    if (m_scrollPending)
        return;
    m_scrollPending = true;
    QTimer::singleShot(0, this, [this] {
        m_scrollPending = false;
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    });
}
