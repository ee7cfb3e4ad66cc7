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
    // Opened by hand so the system's reason for a refusal reaches the operator unchanged.
    const QByteArray name = QFile::encodeName(path);
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (mode == Mode::Append ? O_APPEND : O_TRUNC);
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
