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
    connect(this, &QLineEdit::editingFinished, this, &ElidedField::finishEditing);
}

void ElidedField::setFullText(const QString &text, const std::optional<QString> &editText)
{
    m_fullText = text;
    m_editText = editText.value_or(text);
    // Tool tips take markup; a path is text.
    setToolTip(text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap));
    if (editing())
        setText(m_editText);
    else
        updateShownText();
}

void ElidedField::setTypingAllowed(bool allowed)
{
    setReadOnly(!allowed);
}

void ElidedField::updateShownText()
{
    // Never under the user's fingers.
    if (editing())
        return;
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

void ElidedField::finishEditing()
{
    if (isReadOnly() || text() == m_editText)
        return;
    // What the owner accepts comes back through setFullText(); a refused text stays to be
    // corrected.
    emit textTyped(text());
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

void ElidedField::focusInEvent(QFocusEvent *event)
{
    if (!isReadOnly()) {
        setText(m_editText);
        selectAll();
    }
    QLineEdit::focusInEvent(event);
}

void ElidedField::focusOutEvent(QFocusEvent *event)
{
    // Emits editingFinished while the typed text still stands.
    QLineEdit::focusOutEvent(event);
    updateShownText();
}

void ElidedField::keyPressEvent(QKeyEvent *event)
{
    if (editing() && event->key() == Qt::Key_Escape) {
        setText(m_editText);
        selectAll();
        event->accept();
        return;
    }
    // Copying gives the whole path, not the shortened one.
    if (!editing() && event->matches(QKeySequence::Copy) &&
        (!hasSelectedText() || selectedText() == text())) {
        QApplication::clipboard()->setText(m_fullText);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
