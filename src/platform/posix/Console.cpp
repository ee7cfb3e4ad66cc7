// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Console.h"

#include <cerrno>
#include <csignal>

#include <unistd.h>

namespace platform::Console {

qint64 readStandardInput(char* data, qint64 size) {
    ssize_t got;
    do {
        got = ::read(STDIN_FILENO, data, static_cast<size_t>(size));
    } while (got < 0 && errno == EINTR);
    return got;
}

void writeStandardError(const QByteArray& bytes) {
    [[maybe_unused]] const ssize_t n =
        ::write(STDERR_FILENO, bytes.constData(), static_cast<size_t>(bytes.size()));
}

bool standardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void ignoreBrokenPipe() {
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace platform::Console
