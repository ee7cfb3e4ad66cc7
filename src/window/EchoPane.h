// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QLabel;
class QPlainTextEdit;

// The output pane and the line count above it, as the run and the preview fill them. Lines are
// kept as bytes until shown; the pane shows each as one block, decoded for display only (a line
// that is valid UTF-8 as UTF-8, any other as Windows-1252), at most MaxLineBytes of it, and keeps
// the last MaxLines lines.
//
// Lines and counts arrive at whatever rate the run produces them, but a person reads neither
// faster than a few times a second, and every paint of the window costs the process more than
// producing a line: both are painted together at most once per FrameMs, the lines of a frame in
// one edit of the pane, and not at all while the window is minimised. A line that comes after a
// quiet FrameMs is shown at once. The views belong to the window; this only writes into them.
class EchoPane : public QObject {
    Q_OBJECT
public:
    EchoPane(QPlainTextEdit* pane, QLabel* countLabel, QObject* parent = nullptr);

    static constexpr int MaxLines = 100000;
    static constexpr qsizetype MaxLineBytes = 65536;
    static constexpr int FrameMs = 100;

    // What the pane shows of one line: valid UTF-8 decoded as such, anything else as Windows-1252
    // (Latin-1 where it has no character), cut to MaxLineBytes and then ended by "…". Line breaks
    // inside the line become line separators, so the line stays one block.
    static QString displayText(const QByteArray& line);

    // A produced line and the count that goes with it, both shown by the next frame.
    void append(const QByteArray& line);
    void setCount(const QString& caption);
    // Both at once: one frame for the two, where one after the other could take two.
    void append(const QByteArray& line, const QString& countCaption);
    // Empties the pane and drops waiting lines; the count keeps its text.
    void clear();
    // Shows whatever waits, now.
    void flush();
    // Replaces the pane's text with these already decoded lines in one edit, scrolled to the end.
    void showLines(const QStringList& lines);
    // The pane's text after a flush: each line followed by "\n".
    QString text();

private:
    void queue(const QByteArray& line);
    void scheduleFrame();
    void frameDue();
    bool minimised() const;
    void resetDocument();

    QPlainTextEdit* m_pane;
    QLabel* m_countLabel;
    QStringList m_waiting;
    QString m_caption;
    bool m_captionWaiting = false;
    QTimer m_frame;
    QElapsedTimer m_sinceFrame;
};
