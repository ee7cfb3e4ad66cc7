// SPDX-License-Identifier: GPL-3.0-or-later
#include "send/ConsoleEcho.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

void ConsoleEcho::write(const QByteArray& line) {
    if (failed())
        return;
    if (m_beforeEcho)
        m_beforeEcho();
    errno = 0;
    if (std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout) !=
            static_cast<size_t>(line.size()) ||
        std::fputc('\n', stdout) == EOF || (m_flushEachLine && std::fflush(stdout) != 0))
        failNow();
}

void ConsoleEcho::flush() {
    if (failed())
        return;
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        failNow();
}

void ConsoleEcho::failNow() {
    const int err = errno;
    m_error = QStringLiteral("standard output could not take the lines (%1)")
                  .arg(QString::fromLocal8Bit(std::strerror(err ? err : EIO)));
}
