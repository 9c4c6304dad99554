#include "elidedfield.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextDocument>

ElidedField::ElidedField(QWidget *parent) : QLineEdit(parent)
{
    setReadOnly(true);
}

void ElidedField::setFullText(const QString &text)
{
    m_fullText = text;
    // Tool tips take markup; a path is text.
    setToolTip(text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap));
    updateShownText();
}

void ElidedField::updateShownText()
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    // QLineEdit keeps a small horizontal margin inside its contents rectangle.
    const int room = std::max(0, area.width() - 4);
    const QString shown = fontMetrics().elidedText(m_fullText, Qt::ElideMiddle, room);
    if (shown != text()) {
        setText(shown);
        setCursorPosition(0);
    }
}

void ElidedField::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    updateShownText();
}

void ElidedField::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updateShownText();
}

void ElidedField::keyPressEvent(QKeyEvent *event)
{
    // Copying gives the whole path, not the shortened one.
    if (event->matches(QKeySequence::Copy) && (!hasSelectedText() || selectedText() == text())) {
        QApplication::clipboard()->setText(m_fullText);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
