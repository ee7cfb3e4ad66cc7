#include "SourceReader.h"

#include "FileErrors.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

SourceReader::~SourceReader() {
    close();
}

int SourceReader::openForReading(const QString& path, RunError* error) {
    // Cut short at the NUL, the name would open another file.
    if (path.contains(QChar(0))) {
        *error = FileErrors::badFileName(path);
        return -1;
    }
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do {
        // Non-blocking only for the open itself: a FIFO must not hang the window waiting for a writer.
        fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int err = errno;
        // A missing folder is a path error, not a missing file: only the latter is passed over.
        const QString folder = QFileInfo(path).path();
        if (err == ENOENT && !QFileInfo(folder).isDir())
            *error = FileErrors::pathNotFound(path);
        else
            *error = FileErrors::fromErrno(err, path);
        return -1;
    }
    // Only a regular file has an end: a FIFO or a device could block the window or feed it
    // an endless line.
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        *error = FileErrors::notAFile(path);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    *error = RunError::none();
    return fd;
}

qint64 SourceReader::readSome(int fd, char* data, qint64 size) {
    ssize_t got;
    do {
        got = ::read(fd, data, static_cast<size_t>(size));
    } while (got < 0 && errno == EINTR);
    return got;
}

RunError SourceReader::open(const QString& path) {
    close();
    m_path = path; // kept after a failed open, so "not open" can name the file
    RunError error;
    const int fd = openForReading(path, &error);
    if (fd < 0)
        return error;
    m_fd = fd;
    if (m_block.size() != BlockSize)
        m_block.resize(BlockSize);
    return RunError::none();
}

void SourceReader::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_length = 0;
    m_pos = 0;
    m_eof = false;
    m_skipLineFeed = false;
}

RunError SourceReader::fill(bool* haveData) {
    for (;;) {
        if (m_pos < m_length) {
            if (m_skipLineFeed) {
                m_skipLineFeed = false;
                if (m_block.at(m_pos) == '\n') {
                    ++m_pos;
                    continue;
                }
            }
            *haveData = true;
            return RunError::none();
        }
        if (m_eof || m_fd < 0) {
            *haveData = false;
            return RunError::none();
        }
        const qint64 got = readSome(m_fd, m_block.data(), m_block.size());
        if (got < 0) {
            *haveData = false;
            return FileErrors::readFailed(errno, m_path);
        }
        m_pos = 0;
        m_length = got;
        if (got == 0)
            m_eof = true;
    }
}

RunError SourceReader::checkEnd(bool* atEnd) {
    if (m_fd < 0)
        return FileErrors::sourceNotOpen(m_path);
    bool haveData = false;
    const RunError error = fill(&haveData);
    *atEnd = !haveData;
    return error;
}

RunError SourceReader::readLine(QByteArray* line) {
    line->clear();
    if (m_fd < 0)
        return FileErrors::sourceNotOpen(m_path);
    for (;;) {
        bool haveData = false;
        const RunError error = fill(&haveData);
        if (error.isError())
            return error;
        if (!haveData)
            return RunError::none(); // last line without a line end
        const char* start = m_block.constData() + m_pos;
        const size_t available = static_cast<size_t>(m_length - m_pos);
        const void* cr = std::memchr(start, '\r', available);
        if (cr) {
            const qsizetype length = static_cast<const char*>(cr) - start;
            line->append(start, length);
            m_pos += length + 1;
            m_skipLineFeed = true;
            return RunError::none();
        }
        line->append(start, static_cast<qsizetype>(available));
        m_pos = m_length;
    }
}
