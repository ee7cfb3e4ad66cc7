// SPDX-License-Identifier: GPL-3.0-or-later
#include "send/ConsoleHost.h"

void ConsoleHost::echoLine(const QByteArray& line) {
    if (!m_echo || m_echoFailed)
        return;
    // Bytes as read, one line per line of standard output.
    if (std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout) !=
            static_cast<size_t>(line.size()) ||
        std::fputc('\n', stdout) == EOF || (m_flushEachLine && std::fflush(stdout) != 0))
        m_echoFailed = true;
}

void ConsoleHost::showError(const QString& errorCaption, const QString&) {
    m_error = errorCaption;
}

void ConsoleHost::flushEcho() {
    if (m_echo && !m_echoFailed && std::fflush(stdout) != 0)
        m_echoFailed = true;
}
