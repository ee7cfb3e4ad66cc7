// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/EchoPane.h"

#include "window/LogView.h"
#include "window/SteadyScrollBar.h"

#include <QLabel>
#include <QMouseEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStringDecoder>

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

EchoPane::EchoPane(LogView* pane, QLabel* countLabel, QObject* parent)
    : QObject(parent), m_pane(pane), m_countLabel(countLabel) {
    m_frame.setSingleShot(true);
    connect(&m_frame, &QTimer::timeout, this, &EchoPane::frameDue);
    // Following the newest line moves the bars at every frame; they repaint only when that shows.
    m_pane->setVerticalScrollBar(new SteadyScrollBar(Qt::Vertical));
    m_pane->setHorizontalScrollBar(new SteadyScrollBar(Qt::Horizontal));
    const QScrollBar* bar = m_pane->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this, &EchoPane::readerMoved);
    connect(bar, &QScrollBar::rangeChanged, this, &EchoPane::endMoved);
    m_viewport = m_pane->viewport();
    m_viewport->installEventFilter(this);
    m_pane->installEventFilter(this);
    m_pane->setMaximumLineCount(m_maxLines);
}

bool EchoPane::atEnd() const {
    const QScrollBar* bar = m_pane->verticalScrollBar();
    return bar->value() >= bar->maximum();
}

void EchoPane::readerMoved() {
    // Whatever moved the view (wheel, keys, scroll bar, a drag past the edge), the reader decides
    // by where it ends: at the end, the pane follows again.
    if (m_writing)
        return;
    m_following = !m_selecting && atEnd();
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
    if (watched == m_pane && event->type() == QEvent::Show) {
        scheduleFrame(); // a restored window shows what waited while it was minimised
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
    // as a break inside the line, so one line stays one line of the pane (the cap counts lines).
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
    m_pane->setMaximumLineCount(m_maxLines);
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
    // Nobody sees a minimised window: what waits for it costs no layout, and no wake-up, until
    // the pane is shown again.
    if (minimised())
        return;
    const qint64 since = m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : qint64(FrameMs);
    if (since >= FrameMs) {
        flush();
        return;
    }
    // While lines keep coming, the next frame goes with the first line after FrameMs, in the
    // wake-up that line costs anyway; the timer is only there for the last lines of a burst, and
    // waits a little longer so as not to wake the process on its own just before that line.
    if (!m_frame.isActive())
        m_frame.start(int(FrameMs - since + FrameMs / 2));
}

void EchoPane::frameDue() {
    if (!minimised())
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
    const QScopedValueRollback<bool> writing(m_writing, true);
    // The pane keeps the reader's lines where they are, or shows the oldest line kept where the
    // lines read were dropped.
    m_pane->appendLines(m_waiting);
    m_waiting.clear();
    if (m_following && !m_selecting)
        bar->setValue(bar->maximum());
}

void EchoPane::clear() {
    m_waiting.clear();
    flush(); // the count label keeps its last text
    m_pane->clear();
    m_following = true;
}

void EchoPane::showLines(const QStringList& lines) {
    flush();
    if (lines.isEmpty())
        return;
    {
        const QScopedValueRollback<bool> writing(m_writing, true);
        m_pane->appendLines(lines);
    }
    m_following = true;
    m_pane->verticalScrollBar()->setValue(m_pane->verticalScrollBar()->maximum());
}

QString EchoPane::text() {
    flush();
    return m_pane->lineCount() > 0 ? m_pane->toPlainText() + QLatin1Char('\n') : QString();
}
