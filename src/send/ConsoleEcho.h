// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// --echo: each produced line on standard output, as read, followed by a line feed. Remembers the
// first failure of standard output (closed, full, its reader gone) and writes nothing after it.
class ConsoleEcho {
public:
    explicit ConsoleEcho(bool flushEachLine) : m_flushEachLine(flushEachLine) {}

    void write(const QByteArray& line);
    void flush();
    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }
    // Standard output was closed when the program started: the echo has nowhere to go.
    void setOutputClosed() { m_error = QStringLiteral("standard output is closed"); }
    // Called before echoed bytes go out, so a progress line on the same terminal can make way.
    void setBeforeEcho(std::function<void()> beforeEcho) { m_beforeEcho = std::move(beforeEcho); }

private:
    void failNow();

    bool m_flushEachLine = false;
    QString m_error;
    std::function<void()> m_beforeEcho;
};
