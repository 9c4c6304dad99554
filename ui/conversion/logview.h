#pragma once

#include <QAbstractScrollArea>
#include <QStringList>
#include <QTimer>

class PandocViewModel;

// The log, monospaced, one row per text line. Appending stores the line and defers the
// scroll range and the jump to the newest line to the next turn of the event loop, and only
// the visible rows are painted, so 100,000 lines cost no more per line than ten do.
// Whole lines are selected with mouse or keyboard and copied with the usual shortcut. On
// request long lines wrap at the view's width instead of scrolling sideways.
class LogView final : public QAbstractScrollArea
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LogView)

public:
    explicit LogView(PandocViewModel *viewModel, QWidget *parent = nullptr);

    int lineCount() const { return int(m_lines.size()); }
    QString line(int row) const { return m_lines.at(row); }
    // The selected lines, joined with line breaks.
    QString selectedText() const;
    void selectAll();
    void copySelection() const;
    void setWrapLines(bool wrap);
    // As tall as its minimum; spare height is given, not asked for.
    QSize sizeHint() const override;
    bool wrapsLines() const { return m_wrap; }
    // Rows on screen: one per line, more where wrapped lines take several.
    int rowCount() const { return m_wrap ? int(m_rows.size()) : lineCount(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void append(const QString &entry);
    void clearLines();
    void updateScrollRange();
    void followNewest();
    void measureAll();
    int lineWidth(const QString &text) const;
    int lineHeight() const;
    // The line shown at a point of the viewport.
    int lineAt(const QPoint &viewportPos) const;
    void wrapLine(int line);
    void rewrap();
    bool hasSelection() const { return m_anchor >= 0 && m_cursor >= 0; }

    QStringList m_lines;
    // Measured when a line arrives: CJK and emoji are wider than a monospaced 'M'.
    int m_widestLine = 0;
    int m_anchor = -1;
    int m_cursor = -1;
    QTimer m_followTimer;

    // While wrapping: each screen row is a piece of one line.
    struct Row
    {
        int line;
        int start;
        int length;
    };
    bool m_wrap = false;
    QList<Row> m_rows;
    int m_wrapWidth = 0; // the width m_rows were made for
};
