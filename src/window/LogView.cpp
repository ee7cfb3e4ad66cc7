// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/LogView.h"

#include "window/LogViewAccessible.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Room between the frame and the text, as Qt's text views leave.
constexpr int Margin = 4;
// Sideways, the arrow keys and the bar's arrows move this many pixels.
constexpr int SidewaysStep = 20;
// A character's advance not yet asked of the font, and one that a row must be laid out for.
constexpr qreal NotAsked = -2;
constexpr qreal LaidOut = -1;

// One row laid out the way it is painted, so that widths, hits and pictures agree.
class RowLayout {
public:
    RowLayout(const QString& text, const QFont& font) : m_layout(text, font) {
        QTextOption option;
        option.setWrapMode(QTextOption::NoWrap);
        m_layout.setTextOption(option);
        m_layout.setCacheEnabled(true);
        m_layout.beginLayout();
        m_line = m_layout.createLine();
        if (m_line.isValid())
            m_line.setLineWidth(0); // no wrapping: the line takes the whole text whatever its width
        m_layout.endLayout();
    }
    int columnAt(qreal x) const { return m_line.isValid() ? m_line.xToCursor(x) : 0; }
    qreal xOf(int column) const { return m_line.isValid() ? m_line.cursorToX(column) : 0; }
    void draw(QPainter* painter, const QPointF& at, const QList<QTextLayout::FormatRange>& selections) const {
        m_layout.draw(painter, at, selections);
    }

private:
    QTextLayout m_layout;
    QTextLine m_line;
};

bool isExactOnDevice(int logicalPixels, qreal ratio) {
    const qreal device = logicalPixels * ratio;
    return std::abs(device - std::round(device)) < 1e-6;
}

} // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(logViewAccessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    // The viewport fills its own background: scrolling may then move its pixels.
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(SidewaysStep);
    updateMetrics();
}

LogView::~LogView() = default;

// ---- the lines ---------------------------------------------------------------------------------

int LogView::widthOf(const QString& row) const {
    // Most rows are Latin-1, and their width is the sum of their characters' (the pane asks its font
    // not to shape or kern what needs neither): far cheaper than laying each row out.
    qreal width = 0;
    for (const QChar c : row) {
        // Tabs go to tab stops, and other controls have no width of their own: laid out for real.
        qreal advance = LaidOut;
        if (c.unicode() < m_latin1Advances.size()) {
            qreal& known = m_latin1Advances[c.unicode()];
            // Asked of the font once, when the character first comes. Controls are not asked at
            // all: the font would look for them in every fallback font there is.
            if (known == NotAsked)
                known = c.isPrint() ? QFontMetricsF(font()).horizontalAdvance(c) : LaidOut;
            advance = known;
        }
        if (advance == LaidOut)
            return int(std::ceil(QFontMetricsF(font()).horizontalAdvance(row)));
        width += advance;
    }
    return int(std::ceil(width));
}

void LogView::noteWidth(int row) {
    const int width = widthOf(m_rows[row]);
    while (!m_widest.empty() && m_widest.back().second <= width)
        m_widest.pop_back();
    m_widest.emplace_back(m_droppedRows + row, width);
}

void LogView::addRow(const QString& text) {
    m_rows.append(text);
    noteWidth(rowCount() - 1);
}

void LogView::appendLines(const QStringList& lines) {
    if (lines.isEmpty())
        return;
    const int rowsBefore = rowCount();
    for (const QString& line : lines) {
        if (!line.contains(QChar::LineSeparator)) {
            addRow(line);
            m_lineRows.push_back(1);
            continue;
        }
        const QStringList parts = line.split(QChar::LineSeparator);
        for (const QString& part : parts)
            addRow(part);
        m_lineRows.push_back(int(parts.size()));
    }
    if (QAccessible::isActive()) {
        // Assistive technology hears of the text added at the end, then of the oldest dropped.
        const int added = rowCount() - rowsBefore;
        const int at = rowsBefore > 0 ? offsetOf({rowsBefore, 0}) - 1 : 0;
        const QString text = QStringList(m_rows.mid(rowsBefore, added)).join(QLatin1Char('\n'));
        QAccessibleTextInsertEvent inserted(this, at, rowsBefore > 0 ? QLatin1Char('\n') + text : text);
        QAccessible::updateAccessibility(&inserted);
    }
    const int top = verticalScrollBar()->value();
    const int dropped = dropOldestLines(m_maxLines > 0 ? std::max(0, lineCount() - m_maxLines) : 0);

    // New rows inside the view are painted; what is shown above them stays (rows dropped above the
    // view move the scroll value with them). Where the rows shown were dropped, the view shows the
    // oldest row kept, and all of it is new.
    const int first = rowsBefore - dropped;
    updateScrollBars();
    if (dropped > 0) {
        m_shiftingWithRows = true;
        verticalScrollBar()->setValue(std::max(0, top - dropped));
        m_shiftingWithRows = false;
        if (top < dropped)
            viewport()->update();
    }
    repaintRows(std::max(0, first), rowCount() - 1);
    emit linesAdded(int(lines.size()));
}

int LogView::dropOldestLines(int lines) {
    if (lines <= 0)
        return 0;
    int rows = 0;
    for (int i = 0; i < lines; ++i) {
        rows += m_lineRows.front();
        m_lineRows.pop_front();
    }
    if (QAccessible::isActive()) {
        QAccessibleTextRemoveEvent removed(
            this, 0, QStringList(m_rows.mid(0, rows)).join(QLatin1Char('\n')) + QLatin1Char('\n'));
        QAccessible::updateAccessibility(&removed);
    }
    m_rows.remove(0, rows);
    m_droppedRows += rows;
    while (!m_widest.empty() && m_widest.front().first < m_droppedRows)
        m_widest.pop_front();
    // A selection keeps its text while it is kept, and starts at the oldest row kept once not.
    for (Position* end : {&m_anchor, &m_cursor}) {
        end->row -= rows;
        if (end->row < 0)
            *end = Position();
    }
    return rows;
}

void LogView::setMaximumLineCount(int lines) {
    m_maxLines = std::max(0, lines);
    if (m_maxLines > 0 && lineCount() > m_maxLines) {
        dropOldestLines(lineCount() - m_maxLines);
        updateScrollBars();
        viewport()->update();
    }
}

void LogView::clear() {
    const bool hadSelection = hasSelection();
    m_rows.clear();
    m_lineRows.clear();
    m_widest.clear();
    m_droppedRows = 0;
    m_anchor = m_cursor = Position();
    updateScrollBars();
    viewport()->update();
    if (hadSelection)
        emit selectionChanged();
}

void LogView::setPlainText(const QString& text) {
    clear();
    if (!text.isEmpty())
        appendLines(text.split(QLatin1Char('\n')));
}

QString LogView::lineText(int line) const {
    if (line < 0 || line >= lineCount())
        return QString();
    int row = 0;
    for (int i = 0; i < line; ++i)
        row += m_lineRows[size_t(i)];
    return QStringList(m_rows.mid(row, m_lineRows[size_t(line)])).join(QChar::LineSeparator);
}

QString LogView::toPlainText() const {
    return m_rows.join(QLatin1Char('\n'));
}

// ---- geometry ----------------------------------------------------------------------------------

void LogView::updateMetrics() {
    m_rowHeight = std::max(1, QFontMetrics(font()).lineSpacing());
    m_ascent = QFontMetricsF(font()).ascent();
    m_latin1Advances.fill(NotAsked);
    // Widths follow the font.
    m_widest.clear();
    for (int row = 0; row < rowCount(); ++row)
        noteWidth(row);
    updateScrollBars();
    viewport()->update();
}

int LogView::fullRowsShown() const {
    return std::max(1, viewport()->height() / m_rowHeight);
}

int LogView::textLeft() const {
    return Margin - horizontalScrollBar()->value();
}

void LogView::updateScrollBars() {
    QScrollBar* vertical = verticalScrollBar();
    const int page = fullRowsShown();
    vertical->setPageStep(page);
    vertical->setRange(0, std::max(0, rowCount() - page));
    QScrollBar* sideways = horizontalScrollBar();
    const int widest = m_widest.empty() ? 0 : m_widest.front().second;
    sideways->setPageStep(viewport()->width());
    sideways->setRange(0, std::max(0, widest + 2 * Margin - viewport()->width()));
}

QRect LogView::rowRect(int row) const {
    return QRect(0, (row - verticalScrollBar()->value()) * m_rowHeight, viewport()->width(), m_rowHeight);
}

int LogView::rowAt(const QPoint& viewportPoint) const {
    if (viewportPoint.y() < 0)
        return -1;
    const int row = verticalScrollBar()->value() + viewportPoint.y() / m_rowHeight;
    return row < rowCount() ? row : -1;
}

LogView::Position LogView::positionAt(const QPoint& viewportPoint) const {
    if (m_rows.isEmpty())
        return Position();
    const int row =
        std::clamp(verticalScrollBar()->value() + int(std::floor(qreal(viewportPoint.y()) / m_rowHeight)), 0,
                   rowCount() - 1);
    return {row, RowLayout(m_rows[row], font()).columnAt(viewportPoint.x() - textLeft())};
}

QRect LogView::characterRect(const Position& position) const {
    if (position.row < 0 || position.row >= rowCount())
        return QRect();
    const RowLayout layout(m_rows[position.row], font());
    const int left = textLeft() + int(layout.xOf(position.column));
    const int right =
        textLeft() + int(layout.xOf(std::min(position.column + 1, int(m_rows[position.row].size()))));
    const QRect row = rowRect(position.row);
    return QRect(left, row.top(), std::max(0, right - left), row.height());
}

int LogView::offsetOf(const Position& position) const {
    int offset = 0;
    const int row = std::clamp(position.row, 0, rowCount());
    for (int r = 0; r < row; ++r)
        offset += int(m_rows[r].size()) + 1;
    return offset + (row < rowCount() ? std::clamp(position.column, 0, int(m_rows[row].size())) : 0);
}

LogView::Position LogView::positionAt(int offset) const {
    int row = 0;
    for (; row < rowCount(); ++row) {
        const int length = int(m_rows[row].size());
        if (offset <= length)
            return {row, std::max(0, offset)};
        offset -= length + 1;
    }
    return m_rows.isEmpty() ? Position() : Position{rowCount() - 1, int(m_rows.last().size())};
}

void LogView::repaintRows(int first, int last) {
    const int top = verticalScrollBar()->value();
    first = std::max(first, top);
    last = std::min(last, top + fullRowsShown());
    if (first <= last)
        viewport()->update(rowRect(first).united(rowRect(last)));
}

// ---- painting and scrolling --------------------------------------------------------------------

void LogView::paintEvent(QPaintEvent* event) {
    if (m_rows.isEmpty())
        return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Text));
    const QRect area = event->rect();
    const int top = verticalScrollBar()->value();
    const int first = top + std::max(0, area.top() / m_rowHeight);
    const int last = std::min(rowCount() - 1, top + area.bottom() / m_rowHeight);
    const Position start = selectionStart();
    const Position end = selectionEnd();
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    for (int row = first; row <= last; ++row) {
        const int y = (row - top) * m_rowHeight;
        if (!hasSelection() || row < start.row || row > end.row) {
            // A row is painted as its text, without a layout of its own: what most frames paint.
            painter.drawText(QPointF(textLeft(), y + m_ascent), m_rows[row]);
            continue;
        }
        const int length = int(m_rows[row].size());
        const RowLayout layout(m_rows[row], font());
        QList<QTextLayout::FormatRange> selections;
        const int from = row == start.row ? start.column : 0;
        const int to = row == end.row ? end.column : length;
        if (to > from)
            selections.append({from, to - from, selected});
        if (row < end.row) {
            // A selection that goes on past the row's end takes its break: a space's width.
            const qreal x = textLeft() + layout.xOf(length);
            painter.fillRect(
                QRectF(x, y, QFontMetricsF(font()).horizontalAdvance(QLatin1Char(' ')), m_rowHeight),
                selected.background());
        }
        layout.draw(&painter, QPointF(textLeft(), y), selections);
    }
}

void LogView::scrollContentsBy(int dx, int dy) {
    if (m_shiftingWithRows)
        return; // the rows shown are the same rows, under a new number
    // Moving the pixels is only exact where the distance is whole pixels of the screen; elsewhere
    // (fractional scale factors) the view is painted anew.
    const qreal ratio = viewport()->devicePixelRatioF();
    const int down = dy * m_rowHeight;
    if (std::abs(down) < viewport()->height() && isExactOnDevice(down, ratio) && isExactOnDevice(dx, ratio))
        viewport()->scroll(dx, down);
    else
        viewport()->update();
}

void LogView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void LogView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateMetrics();
}

// ---- the reader --------------------------------------------------------------------------------

void LogView::setSelection(const Position& anchor, const Position& cursor) {
    const auto clamp = [this](Position p) {
        if (m_rows.isEmpty())
            return Position();
        p.row = std::clamp(p.row, 0, rowCount() - 1);
        p.column = std::clamp(p.column, 0, int(m_rows[p.row].size()));
        return p;
    };
    const Position a = clamp(anchor);
    const Position c = clamp(cursor);
    if (a == m_anchor && c == m_cursor)
        return;
    m_anchor = a;
    m_cursor = c;
    viewport()->update();
    if (QAccessible::isActive()) {
        QAccessibleTextSelectionEvent selection(this, offsetOf(selectionStart()), offsetOf(selectionEnd()));
        selection.setCursorPosition(offsetOf(m_cursor));
        QAccessible::updateAccessibility(&selection);
    }
    emit selectionChanged();
}

QString LogView::selectedText() const {
    if (!hasSelection())
        return QString();
    const Position start = selectionStart();
    const Position end = selectionEnd();
    if (start.row == end.row)
        return m_rows[start.row].mid(start.column, end.column - start.column);
    QStringList parts{m_rows[start.row].mid(start.column)};
    for (int row = start.row + 1; row < end.row; ++row)
        parts.append(m_rows[row]);
    parts.append(m_rows[end.row].left(end.column));
    return parts.join(QLatin1Char('\n'));
}

void LogView::selectAll() {
    if (!m_rows.isEmpty())
        setSelection(Position(), Position{rowCount() - 1, int(m_rows.last().size())});
}

void LogView::clearSelection() {
    setSelection(m_cursor, m_cursor);
}

void LogView::copy() const {
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void LogView::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    if (extendByKey(event))
        return;
    QScrollBar* vertical = verticalScrollBar();
    QScrollBar* sideways = horizontalScrollBar();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Space:
        if (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier) {
            vertical->triggerAction(modifiers == Qt::NoModifier ? QAbstractSlider::SliderPageStepAdd
                                                                : QAbstractSlider::SliderPageStepSub);
            return;
        }
        break;
    case Qt::Key_Home:
    case Qt::Key_End: {
        QScrollBar* bar = modifiers == Qt::ControlModifier ? vertical : sideways;
        if (modifiers == Qt::ControlModifier || modifiers == Qt::NoModifier) {
            bar->triggerAction(event->key() == Qt::Key_Home ? QAbstractSlider::SliderToMinimum
                                                            : QAbstractSlider::SliderToMaximum);
            return;
        }
        break;
    }
    default:
        break;
    }
    // The arrows and Page Up and Down, as every scroll area has them; anything else goes on to the
    // window.
    QAbstractScrollArea::keyPressEvent(event);
}

bool LogView::extendByKey(QKeyEvent* event) {
    // Shift with a moving key extends the selection from where it ends, as in any text view; the
    // view scrolls to keep that end in sight.
    if (m_rows.isEmpty())
        return false;
    Position to = m_cursor;
    const int length = int(m_rows[to.row].size());
    const int last = rowCount() - 1;
    if (event == QKeySequence::SelectNextChar) {
        to = to.column < length ? Position{to.row, to.column + 1}
             : to.row < last    ? Position{to.row + 1, 0}
                                : to;
    } else if (event == QKeySequence::SelectPreviousChar) {
        to = to.column > 0 ? Position{to.row, to.column - 1}
             : to.row > 0  ? Position{to.row - 1, int(m_rows[to.row - 1].size())}
                           : to;
    } else if (event == QKeySequence::SelectNextLine || event == QKeySequence::SelectNextPage) {
        to.row = std::min(last, to.row + (event == QKeySequence::SelectNextLine ? 1 : fullRowsShown()));
    } else if (event == QKeySequence::SelectPreviousLine || event == QKeySequence::SelectPreviousPage) {
        to.row = std::max(0, to.row - (event == QKeySequence::SelectPreviousLine ? 1 : fullRowsShown()));
    } else if (event == QKeySequence::SelectStartOfLine) {
        to.column = 0;
    } else if (event == QKeySequence::SelectEndOfLine) {
        to.column = length;
    } else if (event == QKeySequence::SelectStartOfDocument) {
        to = Position();
    } else if (event == QKeySequence::SelectEndOfDocument) {
        to = {last, int(m_rows[last].size())};
    } else {
        return false;
    }
    setSelection(m_anchor, to);
    QScrollBar* vertical = verticalScrollBar();
    if (m_cursor.row < vertical->value())
        vertical->setValue(m_cursor.row);
    else if (m_cursor.row >= vertical->value() + fullRowsShown())
        vertical->setValue(m_cursor.row - fullRowsShown() + 1);
    return true;
}

void LogView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const Position at = positionAt(event->position().toPoint());
    m_dragging = true;
    m_dragPoint = event->position().toPoint();
    setSelection(event->modifiers() & Qt::ShiftModifier ? m_anchor : at, at);
}

void LogView::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    m_dragPoint = event->position().toPoint();
    extendSelection(m_dragPoint);
    // Past the top or bottom edge the view scrolls on while the button is held.
    if (viewport()->rect().contains(QPoint(viewport()->width() / 2, m_dragPoint.y())))
        m_dragScroll.stop();
    else if (!m_dragScroll.isActive())
        m_dragScroll.start(50, this);
}

void LogView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    m_dragScroll.stop();
}

void LogView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_rows.isEmpty())
        return;
    const Position at = positionAt(event->position().toPoint());
    const QString& row = m_rows[at.row];
    QTextBoundaryFinder words(QTextBoundaryFinder::Word, row);
    words.setPosition(at.column);
    const int start = words.isAtBoundary() ? at.column : int(words.toPreviousBoundary());
    words.setPosition(at.column);
    const int end = int(words.toNextBoundary());
    setSelection({at.row, std::max(0, start)}, {at.row, end < 0 ? int(row.size()) : end});
    m_dragging = false;
}

void LogView::extendSelection(const QPoint& viewportPoint) {
    setSelection(m_anchor, positionAt(viewportPoint));
}

void LogView::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_dragScroll.timerId()) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    QScrollBar* vertical = verticalScrollBar();
    vertical->triggerAction(m_dragPoint.y() < 0 ? QAbstractSlider::SliderSingleStepSub
                                                : QAbstractSlider::SliderSingleStepAdd);
    extendSelection(m_dragPoint);
}

void LogView::contextMenuEvent(QContextMenuEvent* event) {
    // Qt's own words for these, so that its translations apply.
    QMenu menu(this);
    QAction* copyAction = menu.addAction(QCoreApplication::translate("QWidgetTextControl", "&Copy"));
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    connect(copyAction, &QAction::triggered, this, &LogView::copy);
    QAction* all = menu.addAction(QCoreApplication::translate("QWidgetTextControl", "Select All"));
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(!m_rows.isEmpty());
    connect(all, &QAction::triggered, this, &LogView::selectAll);
    menu.exec(event->globalPos());
}
