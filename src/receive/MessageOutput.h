// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Where talvex-receive writes what arrives: each message unchanged, followed by the chosen line
// end, to standard output and/or a file. Writes are gathered into large blocks; flush() after
// each batch puts them out. A message that holds the line end itself cannot be told apart from
// two messages in the output: it is counted as ambiguous.
class MessageOutput {
public:
    MessageOutput() = default;
    ~MessageOutput();
    MessageOutput(const MessageOutput&) = delete;
    MessageOutput& operator=(const MessageOutput&) = delete;

    void setLineEnd(const QByteArray& lineEnd) { m_lineEnd = lineEnd; }
    void setEcho(bool echo) { m_echo = echo; }
    // Opens (creates, empties or appends to) the file; false with error() set.
    bool openFile(const QString& path, bool append);

    void write(QByteArrayView message);
    // False once a write failed; error() says where and why.
    bool flush();
    qint64 ambiguous() const { return m_ambiguous; }
    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }

private:
    bool writeAll(int fd, const QString& name);

    QByteArray m_lineEnd = QByteArrayLiteral("\r\n");
    bool m_echo = false;
    int m_fileFd = -1;
    QString m_filePath;
    QByteArray m_pending;
    qint64 m_ambiguous = 0;
    QString m_error;
};
