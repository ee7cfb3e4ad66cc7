// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/File.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {
int openRetrying(const QByteArray& name, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = ::open(name.constData(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

void clearNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
}
} // namespace

File::~File() {
    close();
}

File::File(File&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_status(std::exchange(other.m_status, Status::Closed)),
      m_error(std::exchange(other.m_error, 0)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_status = std::exchange(other.m_status, Status::Closed);
        m_error = std::exchange(other.m_error, 0);
    }
    return *this;
}

File File::openForReading(const QByteArray& name) {
    // Non-blocking only for the open itself: a FIFO must not hang the program waiting for a writer.
    const int fd = openRetrying(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return File(-1, Status::Failed, errno);
    // Only a regular file has an end: a FIFO or a device could block the program or feed it an
    // endless line.
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return File(-1, Status::WrongKind, 0);
    }
    clearNonBlocking(fd);
    return File(fd, Status::Opened, 0);
}

File File::openForWriting(const QByteArray& name, bool append, const File* notThis) {
    // Non-blocking only for the open: a FIFO without a reader must not hang the program. Never
    // O_TRUNC: the file is emptied only once it is known not to be the one it must not be.
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | (append ? O_APPEND : 0);
    const int fd = openRetrying(name, flags, 0666);
    if (fd < 0)
        return File(-1, Status::Failed, errno);
    // A file or a device such as /dev/null; a FIFO or socket could stall every line.
    struct stat st;
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISCHR(st.st_mode))) {
        ::close(fd);
        return File(-1, Status::WrongKind, 0);
    }
    File file(fd, Status::Opened, 0);
    if (notThis && notThis->isOpen() && file.isSameFileAs(*notThis)) {
        file.close();
        file.m_status = Status::SameFile;
        return file;
    }
    if (!append && S_ISREG(st.st_mode) && st.st_size > 0 && ::ftruncate(fd, 0) != 0) {
        const int err = errno;
        file.close();
        return File(-1, Status::Failed, err);
    }
    clearNonBlocking(fd);
    return file;
}

File File::duplicate(int fd) {
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return File(-1, Status::Failed, errno);
    return File(copy, Status::Opened, 0);
}

void File::setNonBlocking() {
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
}

bool File::isSameFileAs(const File& other) const {
    struct stat mine {};
    struct stat theirs {};
    return ::fstat(m_fd, &mine) == 0 && ::fstat(other.m_fd, &theirs) == 0 && mine.st_dev == theirs.st_dev &&
           mine.st_ino == theirs.st_ino;
}

bool File::resize(qint64 size) {
    int result;
    do {
        result = ::ftruncate(m_fd, static_cast<off_t>(size));
    } while (result < 0 && errno == EINTR);
    return result == 0;
}

File File::openRecord(const QByteArray& name, bool create) {
    // O_NOFOLLOW: a link, even a dangling one, is refused rather than followed or created through.
    // O_NONBLOCK: a pipe planted under the name must not hang the open. O_CLOEXEC: a program
    // started by this one must not inherit, and so keep, the lock.
    constexpr int Flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(name.constData(), O_RDWR | Flags | (create ? O_CREAT : 0), 0666);
    if (fd < 0 && errno != ELOOP)
        fd = ::open(name.constData(), O_RDONLY | Flags); // someone else's, or a read-only file system
    if (fd < 0) {
        const int err = errno;
        const bool wrongKind = err == ELOOP || err == EISDIR || err == ENXIO;
        return File(-1, wrongKind ? Status::WrongKind : Status::Failed, err);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return File(-1, Status::WrongKind, 0);
    }
    return File(fd, Status::Opened, 0);
}

qint64 File::read(char* data, qint64 size) {
    ssize_t got;
    do {
        got = ::read(m_fd, data, static_cast<size_t>(size));
    } while (got < 0 && errno == EINTR);
    return got;
}

qint64 File::write(const char* data, qint64 size) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd, data + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            break;
        }
        done += n;
    }
    return done;
}

qint64 File::readAt(char* data, qint64 size, qint64 offset) {
    ssize_t got;
    do {
        got = ::pread(m_fd, data, static_cast<size_t>(size), static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    return got;
}

qint64 File::size() const {
    struct stat st;
    if (::fstat(m_fd, &st) != 0)
        return -1;
    return st.st_size;
}

void File::replaceContents(const QByteArray& bytes) {
    if (::ftruncate(m_fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written =
            ::pwrite(m_fd, bytes.constData(), static_cast<size_t>(bytes.size()), 0);
    }
}

File::Lock File::tryLock() {
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
        return Lock::Locked;
    return errno == EWOULDBLOCK || errno == EINTR ? Lock::Busy : Lock::Refused;
}

bool File::isNamedBy(const QByteArray& name) const {
    // lstat: a link put in the file's place names another file.
    struct stat opened {};
    struct stat named {};
    return ::fstat(m_fd, &opened) == 0 && ::lstat(name.constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

void File::release() {
    m_fd = -1;
    m_status = Status::Closed;
}

void File::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_status = Status::Closed;
}

} // namespace platform
