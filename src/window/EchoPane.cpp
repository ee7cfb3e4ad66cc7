// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/EchoPane.h"

#include "window/SteadyScrollBar.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves undefined read as Latin-1.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString fromWindows1252(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        *out++ = QChar(u >= 0x80 && u < 0xA0 ? Windows1252High[u - 0x80] : char16_t(u));
    }
    return text;
}

bool isAscii(QByteArrayView bytes) {
    for (const char b : bytes) {
        if (static_cast<unsigned char>(b) >= 0x80)
            return false;
    }
    return true;
}

// Valid UTF-8 decoded as such (a byte-order mark kept, as it is part of the line), else nothing.
bool decodeUtf8(QByteArrayView bytes, QString* text) {
    if (isAscii(bytes)) {
        *text = QString::fromLatin1(bytes);
        return true;
    }
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    *text = decoder(bytes);
    return !decoder.hasError();
}

} // namespace

EchoPane::EchoPane(QPlainTextEdit* pane, QLabel* countLabel, QObject* parent)
    : QObject(parent), m_pane(pane), m_countLabel(countLabel) {
    m_frame.setSingleShot(true);
    connect(&m_frame, &QTimer::timeout, this, &EchoPane::frameDue);
    // Following the newest line moves the bars at every frame; they repaint only when that shows.
    m_pane->setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical));
    m_pane->setHorizontalScrollBar(new SteadyScrollBar(Qt::Horizontal));
    const QScrollBar* bar = m_pane->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, &EchoPane::readerMoved);
    // The pane moves its scroll bar quietly when it scrolls for its own cursor (Ctrl+End, Page
    // Down, a selection dragged past the edge), but says so here.
    connect(m_pane, &QPlainTextEdit::updateRequest, this, [this](const QRect&, int dy) {
        if (dy != 0)
            readerMoved();
    });
    connect(bar, &QScrollBar::rangeChanged, this, &EchoPane::endMoved);
    m_pane->installEventFilter(this);
    m_viewport = m_pane->viewport();
    m_viewport->installEventFilter(this);
    resetDocument();
}

void EchoPane::resetDocument() {
    // Lines are only ever appended by the program; an undo history would just grow. Both are set
    // again after every clear, so that no reset of the document loses them.
    m_pane->setUndoRedoEnabled(false);
    m_pane->setMaximumBlockCount(m_maxLines);
    m_oneEmptyLine = false;
}

bool EchoPane::atEnd() const {
    const QScrollBar* bar = m_pane->verticalScrollBar();
    if (bar->value() >= bar->maximum())
        return true;
    // Scrolled for the cursor (Ctrl+End), the pane may stop with the last line whole in view, a
    // row short of the bar's end.
    QTextCursor last(m_pane->document());
    last.movePosition(QTextCursor::End);
    return m_pane->cursorRect(last).bottom() < m_pane->viewport()->height();
}

void EchoPane::readerMoved() {
    // Whatever moved the view (wheel, keys, scroll bar, a drag past the edge), the reader decides
    // by where it ends: at the end, the pane follows again.
    if (m_writing)
        return;
    m_following = !m_selecting && atEnd();
    QScrollBar* bar = m_pane->verticalScrollBar();
    if (m_following && bar->value() < bar->maximum())
        bar->setValue(bar->maximum());
}

void EchoPane::endMoved() {
    // The end moved with no line added: a horizontal scroll bar came or went, the pane changed
    // size. A pane that followed keeps following.
    if (!m_writing && m_following && !m_selecting) {
        QScrollBar* bar = m_pane->verticalScrollBar();
        bar->setValue(bar->maximum());
    }
}

bool EchoPane::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pane && event->type() == QEvent::KeyPress) {
        // Page Up and Page Down page the view, as Space, Shift+Space and a click in the scroll
        // bar's trough do, rather than jump to the pane's hidden cursor first.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier &&
            (key->key() == Qt::Key_PageDown || key->key() == Qt::Key_PageUp)) {
            m_pane->verticalScrollBar()->triggerAction(key->key() == Qt::Key_PageDown
                                                           ? QAbstractSlider::SliderPageStepAdd
                                                           : QAbstractSlider::SliderPageStepSub);
            return true;
        }
    } else if (watched == m_viewport) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_selecting = true;
            m_following = false;
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton) {
            m_selecting = false;
            m_following = atEnd();
        }
    }
    return QObject::eventFilter(watched, event);
}

QString EchoPane::displayText(const QByteArray& line) {
    const bool cut = line.size() > MaxLineBytes;
    qsizetype end = line.size();
    if (cut) {
        // Cut before a UTF-8 sequence rather than through it.
        end = MaxLineBytes;
        for (int i = 0; i < 3 && end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80; ++i)
            --end;
    }
    QString text;
    if (!decodeUtf8(QByteArrayView(line).first(end), &text))
        text = fromWindows1252(QByteArrayView(line).first(cut ? MaxLineBytes : line.size()));
    if (cut)
        text += QChar(0x2026); // "…"
    // A line may hold a bare line feed (only a carriage return ends a source line): it is shown
    // as a break inside the line's own block, so one line stays one block of the pane.
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n' || u == u'\r' || u == 0x2029 || u == 0xfdd0 || u == 0xfdd1)
            c = QChar::LineSeparator;
    }
    return text;
}

void EchoPane::queue(const QString& line) {
    m_waiting.append(line);
    // The pane keeps only the most recent lines; so do the lines waiting for it.
    if (m_waiting.size() > m_maxLines)
        m_waiting.removeFirst();
}

void EchoPane::append(const QByteArray& line) {
    queue(displayText(line));
    scheduleFrame();
}

void EchoPane::append(const QByteArray& line, const QString& countCaption) {
    queue(displayText(line));
    setCount(countCaption); // one frame decision for the two
}

void EchoPane::appendShown(const QStringList& lines) {
    for (const QString& line : lines)
        queue(line);
    scheduleFrame();
}

void EchoPane::setMaxLines(int lines) {
    m_maxLines = std::max(1, lines);
    m_pane->setMaximumBlockCount(m_maxLines);
}

void EchoPane::setCount(const QString& caption) {
    m_caption = caption;
    m_captionWaiting = true;
    scheduleFrame();
}

bool EchoPane::minimised() const {
    return m_pane->window()->windowState() & Qt::WindowMinimized;
}

void EchoPane::scheduleFrame() {
    if (m_frame.isActive())
        return;
    const qint64 since = m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : qint64(FrameMs);
    if (since >= FrameMs && !minimised())
        flush();
    else
        m_frame.start(int(std::clamp<qint64>(FrameMs - since, 1, FrameMs)));
}

void EchoPane::frameDue() {
    // Nobody sees a minimised window: what waits for it costs no layout until it is restored.
    if (minimised())
        m_frame.start(FrameMs);
    else
        flush();
}

void EchoPane::flush() {
    m_frame.stop();
    if (!m_captionWaiting && m_waiting.isEmpty())
        return;
    // A frame paints the count and the lines together; the next one comes FrameMs later.
    m_sinceFrame.start();
    if (m_captionWaiting) {
        m_captionWaiting = false;
        if (m_countLabel)
            m_countLabel->setText(m_caption);
    }
    if (m_waiting.isEmpty())
        return;

    QScrollBar* bar = m_pane->verticalScrollBar();
    // The bars show where the frame leaves them, not the steps on the way.
    const SteadyScrollBar::Hold holdVertical(bar);
    const SteadyScrollBar::Hold holdHorizontal(m_pane->horizontalScrollBar());
    const int readerTop = bar->value();
    const int blocksBefore = m_pane->document()->blockCount();
    {
        const QScopedValueRollback<bool> writing(m_writing, true);
        appendLines(m_waiting);
    }
    const int added = int(m_waiting.size());
    m_waiting.clear();

    if (m_following && !m_selecting) {
        bar->setValue(bar->maximum());
    } else {
        // The reader's lines stay where they are; where the oldest lines dropped were the ones
        // read, the view shows the oldest line kept.
        const int dropped = blocksBefore + added - m_pane->document()->blockCount();
        const QScopedValueRollback<bool> writing(m_writing, true);
        bar->setValue(std::max(0, readerTop - std::max(0, dropped)));
    }

    // The pane's own cursor, hidden in a read-only pane, is at the end after a clear or Ctrl+End:
    // every edit there moves it and lays its line out once more. Holding no selection, it waits at
    // the top of the view instead, where appended lines leave it be.
    if (const QTextCursor cursor = m_pane->textCursor();
        !m_selecting && !cursor.hasSelection() && cursor.atEnd()) {
        const QScopedValueRollback<bool> writing(m_writing, true);
        m_pane->setTextCursor(m_pane->cursorForPosition(QPoint(0, 0)));
    }
}

void EchoPane::appendLines(const QStringList& lines) {
    // One edit for the frame, each line after the break that ends the one before: measured, it
    // costs less than Qt's append line by line, which repaints only the new rows but does all its
    // bookkeeping for every line, and far less once the oldest lines are being dropped. The
    // document drops the oldest blocks beyond its maximum block count. An empty document holding
    // one empty line still needs the break that ends it.
    QTextDocument* document = m_pane->document();
    const bool holdsLines = m_oneEmptyLine || !document->isEmpty();
    QTextCursor cursor(document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText((holdsLines ? QStringLiteral("\n") : QString()) + lines.join(QLatin1Char('\n')));
    m_oneEmptyLine = document->isEmpty();
}

void EchoPane::clear() {
    m_waiting.clear();
    flush(); // the count label keeps its last text
    m_pane->clear();
    resetDocument();
    m_following = true;
}

void EchoPane::showLines(const QStringList& lines) {
    flush();
    if (lines.isEmpty())
        return;
    {
        const QScopedValueRollback<bool> writing(m_writing, true);
        appendLines(lines);
    }
    m_following = true;
    m_pane->verticalScrollBar()->setValue(m_pane->verticalScrollBar()->maximum());
}

QString EchoPane::text() {
    flush();
    if (!m_oneEmptyLine && m_pane->document()->isEmpty())
        return QString();
    return m_pane->toPlainText() + QLatin1Char('\n');
}
