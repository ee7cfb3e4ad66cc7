// SPDX-License-Identifier: GPL-3.0-or-later
#include "send/InputSpool.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr qint64 ChunkSize = 256 * 1024;
// Copied per turn of the event loop at most, so a signal is seen while a fast writer keeps up.
constexpr int ChunksPerTurn = 16;

QString systemError(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

// All of it, or false with errno set.
bool writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}
} // namespace

InputSpool::InputSpool(QObject* parent) : QObject(parent) {}

InputSpool::~InputSpool() = default;

bool InputSpool::start(int fd) {
    m_file = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/talvex-send-XXXXXX.txt"));
    if (!m_file->open()) {
        m_error = QStringLiteral("cannot keep standard input in a temporary file in %1: %2")
                      .arg(QDir::tempPath(), m_file->errorString());
        return false;
    }
    // Nameless from now on: nothing is left behind, whatever ends the program. The run reads the
    // copy through the process's own descriptor.
    m_copyFd = m_file->handle();
    ::unlink(QFile::encodeName(m_file->fileName()).constData());
    m_path = QStringLiteral("/proc/self/fd/%1").arg(m_copyFd);
    m_fd = fd;
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InputSpool::readSome);
    return true;
}

void InputSpool::cancel() {
    if (!m_notifier || !m_notifier->isEnabled())
        return;
    m_error = QStringLiteral("interrupted while reading standard input");
    finish(false);
}

void InputSpool::readSome() {
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    for (int turn = 0; turn < ChunksPerTurn; ++turn) {
        const ssize_t got = ::read(m_fd, chunk.data(), static_cast<size_t>(chunk.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return; // the notifier calls again when more has come
        if (got < 0) {
            m_error = QStringLiteral("cannot read standard input: %1").arg(systemError(errno));
            finish(false);
            return;
        }
        if (got == 0) {
            finish(true);
            return;
        }
        if (!writeAll(m_copyFd, chunk.constData(), got)) {
            const int err = errno;
            m_error = err == ENOSPC || err == EDQUOT || err == EFBIG
                          ? QStringLiteral("the temporary folder %1 is full: standard input cannot be kept "
                                           "there for --loop or --random (set TMPDIR to a folder with room)")
                                .arg(QDir::tempPath())
                          : QStringLiteral("cannot keep standard input in %1: %2")
                                .arg(QDir::tempPath(), systemError(err));
            finish(false);
            return;
        }
        m_bytes += got;
    }
}

void InputSpool::finish(bool ok) {
    m_notifier->setEnabled(false);
    if (!ok)
        m_file.reset(); // the copy is let go at once, not at the end of the program
    emit finished(ok);
}
