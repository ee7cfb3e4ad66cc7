// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RunError.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// The run's output file. Unbuffered: each line and its CRLF go to the system in one write, so
// every line produced is in the file even if the program is killed right after.
class FileSink {
public:
    enum class Mode { Truncate, Append };

    FileSink() = default;
    ~FileSink();
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    // Creates the file if needed; Truncate empties it, Append keeps its content.
    RunError open(const QString& path, Mode mode);
    // Appends the line's bytes and CRLF.
    RunError writeLine(const QByteArray& line);
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    QString path() const { return m_path; }

private:
    QFile m_file;
    QString m_path;
    QByteArray m_record; // reused: no allocation per line once it has grown
};
