// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/LineOutput.h"
#include "engine/RunError.h"
#include "platform/File.h"

#include <QByteArray>
#include <QString>

// The run's output file. Unbuffered: each line and its CRLF go to the system in one write, so
// every line produced is in the file even if the program is killed right after. A write that
// fails half-way is taken back, so the file always ends with a whole line.
class FileSink : public LineOutput {
public:
    enum class Mode { Truncate, Append };

    FileSink() = default;
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    // Creates the file if needed; Truncate empties it, Append keeps its content. When `source` is
    // open and the path leads to that same file, by whatever name or link, nothing is touched and
    // the error says so in the language of `languageOffset`.
    RunError open(const QString& path, Mode mode, const platform::File* source = nullptr,
                  int languageOffset = 1);
    // Appends the line's bytes and CRLF.
    RunError write(const QByteArray& line) override;
    RunError writeLine(const QByteArray& line) { return write(line); }
    void close() override;
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_path; }

private:
    platform::File m_file;
    QString m_path;
    QByteArray m_record; // reused: no allocation per line once it has grown
};
