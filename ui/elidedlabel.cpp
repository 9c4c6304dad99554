#include "elidedlabel.h"

#include <QEvent>
#include <QTextDocument>

ElidedLabel::ElidedLabel(QWidget *parent) : QLabel(parent)
{
    // Names and messages are text, even where they look like markup.
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString &text)
{
    // One line: a line break in a name would otherwise make the label taller.
    QString line = text;
    line.replace(u'\n', u' ').replace(u'\r', u' ');
    m_fullText = line;
    setToolTip(text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap));
    updateGeometry();
    updateShownText();
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {fontMetrics().horizontalAdvance(QStringLiteral("Wxyz…")),
            QLabel::minimumSizeHint().height()};
}

QSize ElidedLabel::sizeHint() const
{
    const QMargins m = contentsMargins();
    return {fontMetrics().horizontalAdvance(m_fullText) + m.left() + m.right() + 2 * margin(),
            QLabel::sizeHint().height()};
}

void ElidedLabel::updateShownText()
{
    const int room = contentsRect().width() - 2 * margin();
    const QString shown = fontMetrics().elidedText(m_fullText, Qt::ElideMiddle, std::max(0, room));
    if (shown != text())
        setText(shown);
}

void ElidedLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    updateShownText();
}

void ElidedLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        updateShownText();
}
