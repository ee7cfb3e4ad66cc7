// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/EchoPane.h"

#include <QLabel>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStringDecoder>
#include <QTextBlock>
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

// The pane's layout. The plain text layout repaints only the changed blocks when one line is
// appended, but asks for the whole visible pane when one edit adds several, as a frame of the
// echo does. For an edit that only appends fewer lines than the pane shows, this asks for the
// appended blocks alone: the scroll to the end then moves what is already painted and paints
// the rest. A frame of more lines repaints the whole pane anyway.
class AppendLayout : public QPlainTextDocumentLayout {
public:
    AppendLayout(QTextDocument* document, const QPlainTextEdit* pane)
        : QPlainTextDocumentLayout(document), m_pane(pane) {}

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override {
        const QTextDocument* doc = document();
        const QTextBlock first = doc->findBlock(from);
        const int paneLines = m_pane->viewport()->height() / std::max(1, m_pane->fontMetrics().lineSpacing());
        const bool fewAppended = charsRemoved == 0 && charsAdded > 0 &&
                                 from + charsAdded >= doc->characterCount() - 1 &&
                                 doc->blockCount() - first.blockNumber() <= paneLines;
        if (!fewAppended) {
            QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
            return;
        }
        {
            const QSignalBlocker quiet(this);
            QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
        }
        emit documentSizeChanged(documentSize());
        for (QTextBlock block = first; block.isValid(); block = block.next())
            emit updateBlock(block);
    }

private:
    const QPlainTextEdit* m_pane;
};

} // namespace

EchoPane::EchoPane(QPlainTextEdit* pane, QLabel* countLabel, QObject* parent)
    : QObject(parent), m_pane(pane), m_countLabel(countLabel) {
    auto* document = new QTextDocument(m_pane);
    document->setDocumentLayout(new AppendLayout(document, m_pane));
    document->setDefaultFont(m_pane->font());
    m_pane->setDocument(document);
    m_frame.setSingleShot(true);
    connect(&m_frame, &QTimer::timeout, this, &EchoPane::frameDue);
    resetDocument();
}

void EchoPane::resetDocument() {
    // Lines are only ever appended by the program; an undo history would just grow. Each line is
    // followed by a line break, so the last block is always the empty one after it. Both are set
    // again after every clear, so that no reset of the document loses them.
    m_pane->setUndoRedoEnabled(false);
    m_pane->setMaximumBlockCount(MaxLines + 1);
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

void EchoPane::queue(const QByteArray& line) {
    m_waiting.append(displayText(line));
    // The pane keeps only the most recent lines; so do the lines waiting for it.
    if (m_waiting.size() > MaxLines)
        m_waiting.removeFirst();
}

void EchoPane::append(const QByteArray& line) {
    queue(line);
    scheduleFrame();
}

void EchoPane::append(const QByteArray& line, const QString& countCaption) {
    queue(line);
    setCount(countCaption); // one frame decision for the two
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
        m_countLabel->setText(m_caption);
    }
    if (m_waiting.isEmpty())
        return;

    QScrollBar* bar = m_pane->verticalScrollBar();
    const bool followEnd = bar->value() >= bar->maximum();

    // Appended at the end in one edit, never by rewriting the text; the document drops the
    // oldest blocks beyond its maximum block count.
    QTextCursor cursor(m_pane->document());
    cursor.movePosition(QTextCursor::End);
    QString batch = m_waiting.join(QLatin1Char('\n'));
    batch += QLatin1Char('\n');
    m_waiting.clear();
    cursor.insertText(batch);

    if (followEnd)
        bar->setValue(bar->maximum());
}

void EchoPane::clear() {
    m_waiting.clear();
    flush(); // the count label keeps its last text
    m_pane->clear();
    resetDocument();
}

void EchoPane::showLines(const QStringList& lines) {
    flush();
    if (lines.isEmpty())
        return;
    QTextCursor cursor(m_pane->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    m_pane->verticalScrollBar()->setValue(m_pane->verticalScrollBar()->maximum());
}

QString EchoPane::text() {
    flush();
    return m_pane->toPlainText();
}
