#include "logview.h"

#include "pandocviewmodel.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

namespace {
constexpr int kLineGap = 2;
constexpr int kMargin = 4;
// Longer lines are measured in part and scaled, so one huge line cannot stall the window.
constexpr qsizetype kMeasuredChars = 2000;
} // namespace

LogView::LogView(PandocViewModel *viewModel, QWidget *parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("logView"));
    setAccessibleName(QStringLiteral("Log"));
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // At least a few lines; the rest of the window's spare height when there is some.
    setMinimumHeight(150);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);

    auto *copy = new QAction(QStringLiteral("Kopieren"), this);
    connect(copy, &QAction::triggered, this, &LogView::copySelection);
    auto *all = new QAction(QStringLiteral("Alles auswählen"), this);
    connect(all, &QAction::triggered, this, &LogView::selectAll);
    addActions({copy, all});
    setContextMenuPolicy(Qt::ActionsContextMenu);

    m_followTimer.setSingleShot(true);
    m_followTimer.setInterval(0);
    connect(&m_followTimer, &QTimer::timeout, this, &LogView::followNewest);

    for (const QString &entry : viewModel->logMessages())
        append(entry);
    connect(viewModel, &PandocViewModel::logMessageAppended, this, &LogView::append);
    connect(viewModel, &PandocViewModel::logCleared, this, &LogView::clearLines);
}

void LogView::append(const QString &entry)
{
    // An entry may hold several lines (the converter's error output).
    for (const QString &text : entry.split(u'\n')) {
        m_lines.append(text);
        m_widestLine = std::max(m_widestLine, lineWidth(text));
        if (m_wrap)
            wrapLine(int(m_lines.size()) - 1);
    }
    if (!m_followTimer.isActive())
        m_followTimer.start();
}

void LogView::clearLines()
{
    m_lines.clear();
    m_rows.clear();
    m_widestLine = 0;
    m_anchor = m_cursor = -1;
    m_followTimer.stop();
    updateScrollRange();
    viewport()->update();
}

void LogView::followNewest()
{
    updateScrollRange();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
}

int LogView::lineWidth(const QString &text) const
{
    if (text.size() <= kMeasuredChars)
        return fontMetrics().horizontalAdvance(text);
    const qint64 part = fontMetrics().horizontalAdvance(text.left(kMeasuredChars));
    return int(std::min<qint64>(part * text.size() / kMeasuredChars, INT_MAX / 2));
}

void LogView::measureAll()
{
    m_widestLine = 0;
    for (const QString &text : std::as_const(m_lines))
        m_widestLine = std::max(m_widestLine, lineWidth(text));
}

int LogView::lineHeight() const
{
    return fontMetrics().height() + kLineGap;
}

void LogView::updateScrollRange()
{
    const int visible = viewport()->height();
    const qint64 content = qint64(rowCount()) * lineHeight() + 2 * kMargin;
    QScrollBar *v = verticalScrollBar();
    v->setSingleStep(lineHeight());
    v->setPageStep(visible);
    v->setRange(0, int(std::min<qint64>(std::max<qint64>(0, content - visible), INT_MAX)));
    const qint64 width = m_wrap ? 0 : qint64(m_widestLine) + 2 * kMargin;
    QScrollBar *h = horizontalScrollBar();
    h->setPageStep(viewport()->width());
    h->setRange(0, int(std::max<qint64>(0, width - viewport()->width())));
}

QSize LogView::sizeHint() const
{
    return {QAbstractScrollArea::sizeHint().width(), minimumHeight()};
}

void LogView::setWrapLines(bool wrap)
{
    if (wrap == m_wrap)
        return;
    m_wrap = wrap;
    setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    rewrap();
    followNewest();
}

void LogView::rewrap()
{
    m_rows.clear();
    if (!m_wrap)
        return;
    m_wrapWidth = viewport()->width();
    m_rows.reserve(m_lines.size());
    for (int line = 0; line < m_lines.size(); ++line)
        wrapLine(line);
}

void LogView::wrapLine(int line)
{
    const QString &text = m_lines.at(line);
    const QFontMetrics metrics = fontMetrics();
    const int room = std::max(1, m_wrapWidth - 2 * kMargin);
    const int guess = std::max(1, room / std::max(1, metrics.horizontalAdvance(u'M')));
    int start = 0;
    do {
        int length = std::min(guess, int(text.size()) - start);
        // Wide characters (CJK, emoji) take more room than the monospaced guess.
        while (length > 1 && metrics.horizontalAdvance(text.mid(start, length)) > room)
            length = std::max(1, length - std::max(1, length / 10));
        // Never between the halves of a character outside the BMP.
        if (length > 1 && start + length < text.size() &&
            text.at(start + length - 1).isHighSurrogate())
            --length;
        m_rows.append({line, start, length});
        start += length;
    } while (start < text.size());
}

void LogView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (m_wrap && viewport()->width() != m_wrapWidth)
        rewrap();
    updateScrollRange();
}

void LogView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        measureAll();
        rewrap();
        updateScrollRange();
    }
}

void LogView::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const int height = lineHeight();
    const int top = verticalScrollBar()->value() - kMargin;
    const int first = std::max(0, top / height);
    const int last = std::min(rowCount() - 1, (top + viewport()->height()) / height);
    const int low = std::min(m_anchor, m_cursor);
    const int high = std::max(m_anchor, m_cursor);
    const int x = kMargin - horizontalScrollBar()->value();
    for (int row = first; row <= last; ++row) {
        const QRect rect(0, row * height - top, viewport()->width(), height);
        const int line = m_wrap ? m_rows.at(row).line : row;
        const bool selected = hasSelection() && line >= low && line <= high;
        if (selected)
            painter.fillRect(rect, palette().brush(QPalette::Highlight));
        painter.setPen(palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QString &text = m_lines.at(line);
        painter.drawText(rect.adjusted(x, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         m_wrap ? text.mid(m_rows.at(row).start, m_rows.at(row).length) : text);
    }
}

int LogView::lineAt(const QPoint &viewportPos) const
{
    if (m_lines.isEmpty())
        return -1;
    const int y = viewportPos.y() + verticalScrollBar()->value() - kMargin;
    const int row = std::clamp(y / lineHeight(), 0, rowCount() - 1);
    return m_wrap ? m_rows.at(row).line : row;
}

void LogView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const int row = lineAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier) || m_anchor < 0)
        m_anchor = row;
    m_cursor = row;
    viewport()->update();
}

void LogView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || m_anchor < 0)
        return;
    m_cursor = lineAt(event->position().toPoint());
    viewport()->update();
}

void LogView::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copySelection();
    } else if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
    } else {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void LogView::selectAll()
{
    if (m_lines.isEmpty())
        return;
    m_anchor = 0;
    m_cursor = int(m_lines.size()) - 1;
    viewport()->update();
}

QString LogView::selectedText() const
{
    if (!hasSelection())
        return {};
    const int low = std::min(m_anchor, m_cursor);
    const int high = std::max(m_anchor, m_cursor);
    return m_lines.mid(low, high - low + 1).join(u'\n');
}

void LogView::copySelection() const
{
    if (hasSelection())
        QApplication::clipboard()->setText(selectedText());
}
