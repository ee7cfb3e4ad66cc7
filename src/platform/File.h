// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace platform {

// An open file of the program's own, closed when the object goes. Opening checks what kind of
// file the name leads to, so that a pipe, a folder or a planted link is refused before it can
// block the program or have it write where it should not. Failures keep the system's reason as
// an errno value: the messages shown to the operator are built from it.
class File {
public:
    enum class Status {
        Closed,
        Opened,
        Failed,    // the system refused the open: error() says why
        WrongKind, // opened, but not the kind of file asked for, and closed again
        SameFile,  // opened, but it is the file it must not be, and closed again untouched
    };
    enum class Lock { Locked, Busy, Refused };

    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // A regular file, read only. Never waits for a writer at the open (a FIFO is refused).
    static File openForReading(const QByteArray& name);
    // A regular file or a character device (such as /dev/null), created when missing, emptied or
    // appended to. Never waits for a reader at the open. When `notThis` is open and the name
    // leads to that very file (by any path or link), nothing is emptied and SameFile is returned.
    static File openForWriting(const QByteArray& name, bool append, const File* notThis = nullptr);

    // A descriptor of the program's own on what `fd` is open on; Failed with error() otherwise.
    static File duplicate(int fd);
    // Reads from now on return at once, -1 with EAGAIN when nothing has come.
    void setNonBlocking();

    // Whether both are open on the same file (device and inode).
    bool isSameFileAs(const File& other) const;
    // Sets the file's size (cuts it back); false with errno set.
    bool resize(qint64 size);
    // A lock or record file: never reached through a symbolic link, a regular file, read-write
    // when possible, else read only; created when asked. A link, a folder or a FIFO under the
    // name is WrongKind.
    static File openRecord(const QByteArray& name, bool create);

    Status status() const { return m_status; }
    bool isOpen() const { return m_fd >= 0; }
    int error() const { return m_error; }

    // Reads up to size bytes from the current position: 0 at the end, -1 with errno set.
    qint64 read(char* data, qint64 size);
    // Writes all of size bytes unless the system refuses: the count written, which is less than
    // size only with errno set.
    qint64 write(const char* data, qint64 size);
    // Reads up to size bytes at offset without moving the position: 0 past the end, -1 with errno set.
    qint64 readAt(char* data, qint64 size, qint64 offset);
    // The size now, -1 with errno set.
    qint64 size() const;
    // Replaces the whole content; best effort.
    void replaceContents(const QByteArray& bytes);
    // An exclusive lock without waiting, held until the file is closed; the system drops it when
    // the process dies.
    Lock tryLock();
    // Whether the name still leads to this very file (not to a link, nor to another file put there).
    bool isNamedBy(const QByteArray& name) const;

    // The descriptor, for QFile::open(int, ...); release() once that owns it.
    int descriptor() const { return m_fd; }
    // Forgets the descriptor without closing it: another owner closes it.
    void release();
    void close();

private:
    File(int fd, Status status, int error) : m_fd(fd), m_status(status), m_error(error) {}

    int m_fd = -1;
    Status m_status = Status::Closed;
    int m_error = 0;
};

} // namespace platform
