// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <deque>
#include <utility>

// A read-only view of log lines, kept cheap for lines that arrive many times a second.
//
// It keeps the last lines only (a maximum line count), one row of the view per line, or more for a
// line that holds line separators. Only rows that come into view are painted: a new row at the end
// scrolls the view by moving what is already on the screen and paints the strip that comes in.
// The top row stays the same row while lines are added and the oldest dropped; when the rows
// shown are dropped, the view shows the oldest row kept.
//
// A reader selects with the mouse (a double click takes a word, Shift+click extends) or with Shift
// and the moving keys, copies with the keyboard's copy key or the context menu, and selects all
// with its select-all key; the keyboard pages and scrolls as in any text view. Lines may be as
// long as the caller allows: the view does not wrap, it scrolls sideways.
class LogView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit LogView(QWidget* parent = nullptr);
    ~LogView() override;

    // A place in the text: a row of the view (counted from the oldest row kept) and a character
    // offset in it.
    struct Position {
        int row = 0;
        int column = 0;
        bool operator==(const Position& other) const { return row == other.row && column == other.column; }
        bool operator!=(const Position& other) const { return !(*this == other); }
        bool operator<(const Position& other) const {
            return row < other.row || (row == other.row && column < other.column);
        }
    };

    // Adds lines after the last one (each may hold line separators, one row for each part), and
    // drops the oldest beyond the maximum line count.
    void appendLines(const QStringList& lines);
    void setMaximumLineCount(int lines);
    int maximumLineCount() const { return m_maxLines; }
    int lineCount() const { return int(m_lineRows.size()); }
    // A kept line (the oldest is 0), its rows joined by line separators.
    QString lineText(int line) const;
    void clear();
    // Replaces every line with the lines of `text`, split at its line breaks.
    void setPlainText(const QString& text);
    // Every line, joined by "\n" (so are the rows of one line).
    QString toPlainText() const;

    int rowCount() const { return int(m_rows.size()); }
    QString rowText(int row) const { return m_rows.value(row); }
    // The row at this point of the viewport, or -1 above the viewport or below the last row.
    int rowAt(const QPoint& viewportPoint) const;
    // Where a row starts in toPlainText(), and the row and column of an offset of it.
    int offsetOf(const Position& position) const;
    Position positionAt(int offset) const;
    // The viewport's rectangle of a row (which may lie outside the viewport), and the place in the
    // text nearest to a point of the viewport.
    QRect rowRect(int row) const;
    Position positionAt(const QPoint& viewportPoint) const;
    // The viewport's rectangle of the character at a position (empty width at a row's end).
    QRect characterRect(const Position& position) const;

    bool hasSelection() const { return m_anchor != m_cursor; }
    Position selectionStart() const { return std::min(m_anchor, m_cursor); }
    Position selectionEnd() const { return std::max(m_anchor, m_cursor); }
    void setSelection(const Position& anchor, const Position& cursor);
    // The selected text, rows joined by "\n".
    QString selectedText() const;
    void selectAll();
    void clearSelection();
    void copy() const;

signals:
    void selectionChanged();
    // Lines were added after the last one (and as many of the oldest may have been dropped).
    void linesAdded(int count);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    int widthOf(const QString& row) const;
    // Keeps a row's width for the sideways range.
    void noteWidth(int row);
    void addRow(const QString& text);
    // Drops the oldest lines, and says how many rows they took.
    int dropOldestLines(int lines);
    void updateMetrics();
    void updateScrollBars();
    int fullRowsShown() const;
    int textLeft() const;
    void extendSelection(const QPoint& viewportPoint);
    bool extendByKey(QKeyEvent* event);
    void repaintRows(int first, int last);

    QStringList m_rows;
    // Each kept line's number of rows, oldest first.
    std::deque<int> m_lineRows;
    // Rows dropped since the view was last emptied: the widest row's bookkeeping numbers rows from
    // there. It keeps each row that is wider than every row after it, with its width (a sliding
    // maximum), so the widest kept row is always the first.
    qint64 m_droppedRows = 0;
    std::deque<std::pair<qint64, int>> m_widest;
    int m_maxLines = 0;
    int m_rowHeight = 1;
    qreal m_ascent = 0;
    // The advance of each Latin-1 character, as the rows need them.
    mutable std::array<qreal, 256> m_latin1Advances{};
    // Set while the scroll value follows rows dropped above the view: what is shown does not move.
    bool m_shiftingWithRows = false;

    Position m_anchor;
    Position m_cursor;
    bool m_dragging = false;
    QPoint m_dragPoint;
    QBasicTimer m_dragScroll;
};
