#include "FileLock.h"

#include <QFile>

#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

int FileLock::openLockFile(const QByteArray& path, bool create, bool* notAFile) {
    *notAFile = false;
    // O_NOFOLLOW: a link, even a dangling one, is refused rather than followed or created through.
    // O_NONBLOCK: a pipe planted under the name must not hang the open. O_CLOEXEC: a program
    // started by this one must not inherit, and so keep, the lock.
    constexpr int Flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(path.constData(), O_RDWR | Flags | (create ? O_CREAT : 0), 0666);
    if (fd < 0 && errno != ELOOP)
        fd = ::open(path.constData(), O_RDONLY | Flags); // someone else's, or a read-only file system
    if (fd < 0) {
        *notAFile = errno == ELOOP || errno == EISDIR || errno == ENXIO;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *notAFile = true;
        return -1;
    }
    return fd;
}

FileLock::FileLock(const QString& path, int timeoutMs) {
    bool notAFile = false;
    m_fd = openLockFile(QFile::encodeName(path), true, &notAFile);
    if (m_fd < 0) {
        m_state = notAFile ? State::NotAFile : State::NoLockFile;
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
