// SPDX-License-Identifier: GPL-3.0-or-later
#include "send/ConsoleHost.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

void ConsoleHost::echoLine(const QByteArray& line) {
    if (!m_echo || echoFailed())
        return;
    if (m_beforeEcho)
        m_beforeEcho();
    // Bytes as read, one line per line of standard output.
    errno = 0;
    if (std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout) !=
            static_cast<size_t>(line.size()) ||
        std::fputc('\n', stdout) == EOF || (m_flushEachLine && std::fflush(stdout) != 0))
        echoFailedNow();
}

void ConsoleHost::showError(const QString& errorCaption, const QString&) {
    m_error = errorCaption;
}

void ConsoleHost::flushEcho() {
    if (!m_echo || echoFailed())
        return;
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        echoFailedNow();
}

void ConsoleHost::echoFailedNow() {
    const int err = errno;
    m_echoError = QStringLiteral("standard output could not take the lines (%1)")
                      .arg(QString::fromLocal8Bit(std::strerror(err ? err : EIO)));
}
