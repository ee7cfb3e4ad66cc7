// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class LogView;
class QLabel;

// The output pane and the line count above it, as the run and the preview fill them. Lines are
// kept as bytes until shown; the pane shows each as one line, decoded for display only (a line
// that is valid UTF-8 as UTF-8, any other as Windows-1252), at most MaxLineBytes of it, and keeps
// the last MaxLines lines (or as many as setMaxLines says).
//
// Lines and counts arrive at whatever rate the run produces them, but a person reads neither
// faster than a few times a second, and every paint of the window costs the process more than
// producing a line: both are painted together at most once per FrameMs, the lines of a frame in
// one edit of the pane, and not at all while the window is minimised. A line that comes after a
// quiet FrameMs is shown at once; while lines keep coming, a frame goes with the first line after
// FrameMs, and the last lines of a burst are shown at most one and a half FrameMs after the frame
// before. The views belong to the window; this only writes into them. A window that keeps its
// count elsewhere gives no count label.
//
// The pane follows the newest line while its view is at the end, however the end was reached,
// and holds still for a reader elsewhere or one dragging a selection: the lines under the reader
// stay where they are, also when the oldest lines are dropped (unless those are the lines read:
// then the view shows the oldest line kept).
class EchoPane : public QObject {
    Q_OBJECT
public:
    EchoPane(LogView* pane, QLabel* countLabel, QObject* parent = nullptr);

    static constexpr int MaxLines = 100000;
    static constexpr qsizetype MaxLineBytes = 65536;
    static constexpr int FrameMs = 100;

    // What the pane shows of one line: valid UTF-8 decoded as such, anything else as Windows-1252
    // (Latin-1 where it has no character), cut to MaxLineBytes and then ended by "…". Line breaks
    // inside the line become line separators, so the line stays one line of the pane.
    static QString displayText(const QByteArray& line);

    // A produced line and the count that goes with it, both shown by the next frame.
    void append(const QByteArray& line);
    void setCount(const QString& caption);
    // Both at once: one frame for the two, where one after the other could take two.
    void append(const QByteArray& line, const QString& countCaption);
    // Lines already decoded for display, shown by the next frame like produced lines.
    void appendShown(const QStringList& lines);
    // Keeps the last `lines` lines instead of MaxLines.
    void setMaxLines(int lines);
    // Empties the pane and drops waiting lines; the count keeps its text.
    void clear();
    // Shows whatever waits, now.
    void flush();
    // Adds these already decoded lines to the pane in one edit, and follows the end again.
    void showLines(const QStringList& lines);
    // The pane's text after a flush: each line followed by "\n".
    QString text();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void queue(const QString& line);
    bool atEnd() const;
    void readerMoved();
    void endMoved();
    void scheduleFrame();
    void frameDue();
    bool minimised() const;

    LogView* m_pane;
    // Kept from the start: while the pane is being destroyed its viewport() may no longer be asked.
    QObject* m_viewport = nullptr;
    QLabel* m_countLabel;
    int m_maxLines = MaxLines;
    QStringList m_waiting;
    QString m_caption;
    bool m_captionWaiting = false;
    QTimer m_frame;
    QElapsedTimer m_sinceFrame;
    // The view shows the newest line after every frame.
    bool m_following = true;
    // A mouse button is held in the pane: a selection is being made there.
    bool m_selecting = false;
    // The pane's text is being changed by this object, not by the reader.
    bool m_writing = false;
};
