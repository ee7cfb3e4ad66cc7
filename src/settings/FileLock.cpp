#include "FileLock.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

FileLock::FileLock(const QString& path, int timeoutMs) {
    const QByteArray native = QFile::encodeName(path);
    // O_CLOEXEC: a program started by this one must not inherit, and so keep, the lock.
    m_fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0)
        m_fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC); // someone else's lock file
    if (m_fd < 0) {
        m_state = State::NoLockFile;
        return;
    }

    // Non-blocking attempts with short sleeps rather than a blocking flock(): the wait stays
    // bounded, and a holder that hangs cannot freeze this process for good.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_state = State::Locked;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            break;
        if (Clock::now() >= deadline) {
            ::close(m_fd);
            m_fd = -1;
            m_state = State::TimedOut;
            return;
        }
        std::this_thread::sleep_for(pause);
        if (pause < std::chrono::milliseconds(8))
            pause *= 2;
    }
    // flock() itself is refused (e.g. a file system without locks): treat like no lock file.
    ::close(m_fd);
    m_fd = -1;
    m_state = State::NoLockFile;
}

FileLock::~FileLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}
