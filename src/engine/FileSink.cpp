#include "FileSink.h"

#include "FileErrors.h"

#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileSink::~FileSink() {
    close();
}

RunError FileSink::open(const QString& path, Mode mode) {
    close();
    m_path = path;
    // Cut short at the NUL, the name would create or empty another file.
    if (path.contains(QChar(0)))
        return FileErrors::badFileName(path);
    // Opened by hand so the system's reason for a refusal reaches the operator unchanged.
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking only for the open: a FIFO without a reader must not hang the window.
    const int flags =
        O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | (mode == Mode::Append ? O_APPEND : O_TRUNC);
    int fd;
    do {
        fd = ::open(name.constData(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            return FileErrors::pathNotFound(path);
        return FileErrors::fromErrno(err, path);
    }
    // A file or a device such as /dev/null; a FIFO or socket could stall every line.
    struct stat st;
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISCHR(st.st_mode))) {
        ::close(fd);
        return FileErrors::notAFile(path);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    QIODevice::OpenMode openMode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (mode == Mode::Append)
        openMode |= QIODevice::Append;
    if (!m_file.open(fd, openMode, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return FileErrors::fromErrno(EIO, path);
    }
    return RunError::none();
}

RunError FileSink::writeLine(const QByteArray& line) {
    if (!m_file.isOpen())
        return RunError::make(RunError::BadFileNumber,
                              QStringLiteral("Output file not open: %1").arg(m_path));
    m_record.resize(0);
    m_record.append(line);
    m_record.append("\r\n", 2);
    m_file.unsetError();
    errno = 0;
    const qint64 written = m_file.write(m_record);
    if (written == m_record.size())
        return RunError::none();
    const int err = errno;
    if (m_file.error() == QFileDevice::ResourceError)
        return FileErrors::writeFailed(ENOSPC, m_path);
    return FileErrors::writeFailed(err, m_path);
}

void FileSink::close() {
    if (m_file.isOpen())
        m_file.close();
}
