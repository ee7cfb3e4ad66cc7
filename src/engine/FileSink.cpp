// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/FileSink.h"

#include "engine/FileErrors.h"
#include "platform/File.h"

#include <QFileInfo>

#include <cerrno>

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
    platform::File file = platform::File::openForWriting(QFile::encodeName(path), mode == Mode::Append);
    if (file.status() == platform::File::Status::Failed) {
        const int err = file.error();
        if (err == ENOENT || err == ENOTDIR)
            return FileErrors::pathNotFound(path);
        return FileErrors::fromErrno(err, path);
    }
    // A file or a device such as /dev/null; a FIFO or socket could stall every line.
    if (!file.isOpen())
        return FileErrors::notAFile(path);
    QIODevice::OpenMode openMode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    if (mode == Mode::Append)
        openMode |= QIODevice::Append;
    if (!m_file.open(file.descriptor(), openMode, QFileDevice::AutoCloseHandle))
        return FileErrors::fromErrno(EIO, path);
    file.release(); // m_file closes it from now on
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
