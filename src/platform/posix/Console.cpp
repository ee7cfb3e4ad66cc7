// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Console.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace platform::Console {

qint64 readStandardInput(char* data, qint64 size) {
    ssize_t got;
    do {
        got = ::read(STDIN_FILENO, data, static_cast<size_t>(size));
    } while (got < 0 && errno == EINTR);
    return got;
}

bool guardStandardStreams() {
    bool outputClosed = false;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        if (fd == STDOUT_FILENO)
            outputClosed = true;
        const int null = ::open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) {
            ::dup2(null, fd);
            ::close(null);
        }
    }
    return outputClosed;
}

bool standardOutputIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

void writeStandardError(const QByteArray& bytes) {
    [[maybe_unused]] const ssize_t n =
        ::write(STDERR_FILENO, bytes.constData(), static_cast<size_t>(bytes.size()));
}

bool standardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

bool prepareCommandLineProgram() {
    const bool outputClosed = guardStandardStreams();
    ignoreBrokenPipe();
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    return outputClosed;
}

void print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void ignoreBrokenPipe() {
    std::signal(SIGPIPE, SIG_IGN);
    // A file size limit reached is a write error like a full disk, not a sudden death.
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace platform::Console
