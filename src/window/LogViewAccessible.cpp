// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/LogViewAccessible.h"

#include "window/LogView.h"

#include <QScrollBar>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <utility>

namespace {

using Span = std::pair<int, int>;

bool byRows(QAccessible::TextBoundaryType type) {
    return type == QAccessible::LineBoundary || type == QAccessible::ParagraphBoundary;
}

// The piece of `text` that holds `offset` (below the text's size, or at it for a row): a character,
// a word or the spaces and punctuation between two words, a sentence, or a row without its "\n".
Span pieceAt(const QString& text, int offset, QAccessible::TextBoundaryType type) {
    const int size = int(text.size());
    if (byRows(type)) {
        // lastIndexOf() takes -1 for "from the end", so the first row is a case of its own.
        const int start = offset == 0 ? 0 : int(text.lastIndexOf(u'\n', offset - 1)) + 1;
        const int end = int(text.indexOf(u'\n', offset));
        return {start, end < 0 ? size : end};
    }
    const auto unit = type == QAccessible::CharBoundary   ? QTextBoundaryFinder::Grapheme
                      : type == QAccessible::WordBoundary ? QTextBoundaryFinder::Word
                                                          : QTextBoundaryFinder::Sentence;
    QTextBoundaryFinder finder(unit, text);
    // Between a comma and the space after it lies a word boundary that neither starts nor ends a
    // word: splitting there would hand a reader the comma and the space as two "words".
    const auto splits = [&finder] {
        return finder.boundaryReasons() & (QTextBoundaryFinder::StartOfItem | QTextBoundaryFinder::EndOfItem);
    };
    finder.setPosition(offset);
    while (finder.position() > 0 && !splits())
        finder.toPreviousBoundary();
    const int start = int(finder.position());
    finder.setPosition(offset);
    int end = int(finder.toNextBoundary());
    while (end > 0 && end < size && !splits())
        end = int(finder.toNextBoundary());
    return {start, end < 0 ? size : end};
}

enum class Step { Before, At, After };

// The piece at `offset`, or the one before or after it; nothing (offsets -1) where there is none.
QString pieceNear(const QString& text, int offset, QAccessible::TextBoundaryType type, Step step,
                  int* startOffset, int* endOffset) {
    const int size = int(text.size());
    *startOffset = *endOffset = -1;
    if (offset == -1) // what assistive technology passes for the end of the text
        offset = size;
    if (offset < 0 || offset > size)
        return {};
    Span piece;
    if (type == QAccessible::NoBoundary)
        piece = {0, size};
    else if (offset < size || byRows(type))
        piece = pieceAt(text, offset, type);
    else if (step == Step::Before) // past the last character, so the last piece comes before
        piece = {size, size};
    else if (step == Step::After || type == QAccessible::CharBoundary || size == 0)
        return {};
    else // the word or sentence at the end is the last one, though there is no character there
        piece = pieceAt(text, size - 1, type);

    if (step == Step::Before) {
        if (piece.first == 0)
            return {};
        piece = pieceAt(text, piece.first - 1, type);
    } else if (step == Step::After) {
        if (piece.second >= size)
            return {};
        // Rows do not hold their "\n": the next row starts after it.
        piece = pieceAt(text, piece.second + (byRows(type) ? 1 : 0), type);
    }
    *startOffset = piece.first;
    *endOffset = piece.second;
    return text.mid(piece.first, piece.second - piece.first);
}

} // namespace

LogViewAccessible::LogViewAccessible(LogView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

LogView* LogViewAccessible::view() const {
    return static_cast<LogView*>(widget());
}

QString LogViewAccessible::text(QAccessible::Text t) const {
    return t == QAccessible::Value ? view()->toPlainText() : QAccessibleWidget::text(t);
}

QAccessible::State LogViewAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    s.selectableText = true;
    return s;
}

void* LogViewAccessible::interface_cast(QAccessible::InterfaceType t) {
    if (t == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(t);
}

void LogViewAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
    if (selectionIndex != 0 || !view()->hasSelection())
        return;
    *startOffset = view()->offsetOf(view()->selectionStart());
    *endOffset = view()->offsetOf(view()->selectionEnd());
}

int LogViewAccessible::selectionCount() const {
    return view()->hasSelection() ? 1 : 0;
}

void LogViewAccessible::addSelection(int startOffset, int endOffset) {
    // The view holds one selection: a new one takes the old one's place.
    setSelection(0, startOffset, endOffset);
}

void LogViewAccessible::removeSelection(int selectionIndex) {
    if (selectionIndex == 0)
        view()->clearSelection();
}

void LogViewAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (selectionIndex != 0)
        return;
    const int count = characterCount();
    view()->setSelection(view()->positionAt(std::clamp(startOffset, 0, count)),
                         view()->positionAt(std::clamp(endOffset, 0, count)));
}

int LogViewAccessible::cursorPosition() const {
    // The view has no caret: the selection's end stands for it, and once the selection is collapsed
    // (setCursorPosition) the place it collapsed to, so a reader finds the cursor where it put it.
    return std::clamp(view()->offsetOf(view()->selectionEnd()), 0, characterCount());
}

void LogViewAccessible::setCursorPosition(int position) {
    const LogView::Position at = view()->positionAt(std::clamp(position, 0, characterCount()));
    view()->setSelection(at, at);
}

QString LogViewAccessible::text(int startOffset, int endOffset) const {
    const QString whole = view()->toPlainText();
    const int size = int(whole.size());
    if (endOffset < 0 || endOffset > size) // -1 stands for the end
        endOffset = size;
    startOffset = std::clamp(startOffset, 0, endOffset);
    return whole.mid(startOffset, endOffset - startOffset);
}

QString LogViewAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int* startOffset, int* endOffset) const {
    return pieceNear(view()->toPlainText(), offset, boundaryType, Step::Before, startOffset, endOffset);
}

QString LogViewAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int* startOffset, int* endOffset) const {
    return pieceNear(view()->toPlainText(), offset, boundaryType, Step::After, startOffset, endOffset);
}

QString LogViewAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int* startOffset, int* endOffset) const {
    return pieceNear(view()->toPlainText(), offset, boundaryType, Step::At, startOffset, endOffset);
}

int LogViewAccessible::characterCount() const {
    // Asked before most other questions: counted from the last row rather than by joining them all.
    const int rows = view()->rowCount();
    return rows == 0 ? 0 : view()->offsetOf({rows - 1, 0}) + int(view()->rowText(rows - 1).size());
}

QRect LogViewAccessible::characterRect(int offset) const {
    if (offset < 0 || offset > characterCount())
        return {};
    const QRect r = view()->characterRect(view()->positionAt(offset));
    return {view()->viewport()->mapToGlobal(r.topLeft()), r.size()};
}

int LogViewAccessible::offsetAtPoint(const QPoint& point) const {
    // A point off the text is on no character, though the view would pick the nearest one for a mouse.
    const QPoint at = view()->viewport()->mapFromGlobal(point);
    if (!view()->viewport()->rect().contains(at) || view()->rowAt(at) < 0)
        return -1;
    return view()->offsetOf(view()->positionAt(at));
}

void LogViewAccessible::scrollToSubstring(int startIndex, int /*endIndex*/) {
    if (startIndex < 0 || startIndex > characterCount())
        return;
    const int row = view()->positionAt(startIndex).row;
    const QRect shown = view()->rowRect(row);
    // A row cut by the viewport's edge is not shown either. The bar counts rows from the top one.
    if (shown.top() < 0 || shown.bottom() >= view()->viewport()->height())
        view()->verticalScrollBar()->setValue(row);
}

QString LogViewAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    // Every character looks alike: the attributes are none, one character at a time.
    const int count = characterCount();
    *startOffset = std::clamp(offset, 0, count);
    *endOffset = std::min(*startOffset + 1, count);
    return {};
}

QAccessibleInterface* logViewAccessibleFactory(const QString& /*className*/, QObject* object) {
    // Qt asks with each class name up the object's class chain; the object itself is what counts.
    if (auto* view = qobject_cast<LogView*>(object))
        return new LogViewAccessible(view);
    return nullptr;
}
