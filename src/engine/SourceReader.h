// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/LineEnds.h"
#include "engine/RunError.h"
#include "platform/File.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Reads a source file forwards, one line at a time, as bytes. A line ends at a carriage return
// or a carriage return followed by a line feed (neither is part of the line); a line feed alone
// stays inside the line, unless the reader is told that any line end counts (LineEnds::Any); a
// last line without a line end is a line. Reads in large blocks, so a line costs no system call
// of its own.
class SourceReader {
public:
    SourceReader() = default;
    ~SourceReader();
    SourceReader(const SourceReader&) = delete;
    SourceReader& operator=(const SourceReader&) = delete;

    // Opens `path` for reading. A missing file gives FileNotFound, a missing folder PathNotFound.
    RunError open(const QString& path);
    // A stream (a pipe, a terminal, standard input) read as its lines arrive: the reader works on
    // its own duplicate of `fd`, which is made non-blocking. `name` names it in messages.
    RunError openStream(int fd, const QString& name);
    void close();
    // How lines end; the window's rule (CarriageReturn) unless set. Applies from the next line.
    void setLineEnds(LineEnds ends) { m_ends = ends; }
    LineEnds lineEnds() const { return m_ends; }
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_path; }

    // Whether no line is left (may read ahead to find out). On a stream, false only once a whole
    // line has come; while one is still coming, false with isWaitingForInput() set.
    RunError checkEnd(bool* atEnd);
    bool isWaitingForInput() const { return m_waiting; }
    // The next line; at the end of the file an empty line.
    RunError readLine(QByteArray* line);

    // Opens `path` and hands each of its lines in turn to `visit`, split as readLine splits them;
    // stops at the first error, which it returns. The way through a whole source for whoever
    // needs all of it at once (the count, the preview); the run, which waits between two lines,
    // reads them one at a time with checkEnd and readLine.
    static RunError forEachLine(const QString& path, const std::function<void(const QByteArray&)>& visit,
                                LineEnds ends = LineEnds::CarriageReturn);

    // Opens a file for reading with the error model of the run: the file, or a closed one with
    // `error` set.
    static platform::File openForReading(const QString& path, RunError* error);

    // The first byte of `data` that ends a line under `ends`, or null. A carriage return found
    // there may be the first half of a CR LF end.
    static const char* findLineEnd(const char* data, size_t size, LineEnds ends);

private:
    // Makes at least one unread byte available unless the file is exhausted; eats the line feed
    // that may follow the carriage return which ended the previous line.
    RunError fill(bool* haveData);
    RunError checkStreamEnd(bool* atEnd);

    static constexpr qsizetype BlockSize = 64 * 1024;
    // A stream's line must fit in memory whole before it can go; past this it is refused.
    static constexpr qsizetype MaxStreamLine = 64 * 1024 * 1024;

    platform::File m_file;
    QString m_path;
    QByteArray m_block;
    qsizetype m_length = 0;
    qsizetype m_pos = 0;
    bool m_eof = false;
    bool m_skipLineFeed = false;
    bool m_stream = false;
    bool m_waiting = false;
    LineEnds m_ends = LineEnds::CarriageReturn;
};
