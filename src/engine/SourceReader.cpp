// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/SourceReader.h"

#include "engine/FileErrors.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

SourceReader::~SourceReader() {
    close();
}

platform::File SourceReader::openForReading(const QString& path, RunError* error) {
    // Cut short at the NUL, the name would open another file.
    if (path.contains(QChar(0))) {
        *error = FileErrors::badFileName(path);
        return {};
    }
    platform::File file = platform::File::openForReading(QFile::encodeName(path));
    if (file.status() == platform::File::Status::Failed) {
        const int err = file.error();
        // A missing folder is a path error, not a missing file: only the latter is passed over.
        const QString folder = QFileInfo(path).path();
        if (err == ENOENT && !QFileInfo(folder).isDir())
            *error = FileErrors::pathNotFound(path);
        else
            *error = FileErrors::fromErrno(err, path);
        return {};
    }
    // Only a regular file has an end: a FIFO or a device could block the window or feed it
    // an endless line.
    if (!file.isOpen()) {
        *error = FileErrors::notAFile(path);
        return {};
    }
    *error = RunError::none();
    return file;
}

RunError SourceReader::open(const QString& path) {
    close();
    m_path = path; // kept after a failed open, so "not open" can name the file
    RunError error;
    m_file = openForReading(path, &error);
    if (!m_file.isOpen())
        return error;
    if (m_block.size() != BlockSize)
        m_block.resize(BlockSize);
    return RunError::none();
}

RunError SourceReader::openStream(int fd, const QString& name) {
    close();
    m_path = name;
    m_file = platform::File::duplicate(fd);
    if (!m_file.isOpen())
        return FileErrors::readFailed(m_file.error(), name);
    m_file.setNonBlocking();
    m_stream = true;
    if (m_block.size() != BlockSize)
        m_block.resize(BlockSize);
    return RunError::none();
}

void SourceReader::close() {
    m_file.close();
    m_stream = false;
    m_waiting = false;
    if (m_block.size() > BlockSize) // let a long line's memory go
        m_block = QByteArray();
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
        if (m_eof || !m_file.isOpen()) {
            *haveData = false;
            return RunError::none();
        }
        const qint64 got = m_file.read(m_block.data(), m_block.size());
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
    if (!m_file.isOpen())
        return FileErrors::sourceNotOpen(m_path);
    if (m_stream)
        return checkStreamEnd(atEnd);
    bool haveData = false;
    const RunError error = fill(&haveData);
    *atEnd = !haveData;
    return error;
}

RunError SourceReader::checkStreamEnd(bool* atEnd) {
    m_waiting = false;
    *atEnd = false;
    for (;;) {
        if (m_skipLineFeed && m_pos < m_length) {
            m_skipLineFeed = false;
            if (m_block.at(m_pos) == '\n')
                ++m_pos;
            continue;
        }
        const size_t available = static_cast<size_t>(m_length - m_pos);
        if (available > 0 && (m_eof || findLineEnd(m_block.constData() + m_pos, available, m_ends)))
            return RunError::none();
        if (m_eof) {
            *atEnd = true;
            return RunError::none();
        }
        // Keep the unfinished line at the front and read on after it.
        if (m_pos > 0) {
            std::memmove(m_block.data(), m_block.constData() + m_pos, available);
            m_length = static_cast<qsizetype>(available);
            m_pos = 0;
        }
        if (m_length == m_block.size()) {
            if (m_block.size() >= MaxStreamLine)
                return RunError::make(RunError::OutOfMemory,
                                      QStringLiteral("Out of memory: a line of %1 longer than %2 bytes")
                                          .arg(m_path)
                                          .arg(MaxStreamLine));
            m_block.resize(std::min(m_block.size() * 2, MaxStreamLine));
        }
        const qint64 got = m_file.read(m_block.data() + m_length, m_block.size() - m_length);
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                m_waiting = true;
                return RunError::none();
            }
            return FileErrors::readFailed(errno, m_path);
        }
        if (got == 0)
            m_eof = true;
        m_length += got;
    }
}

RunError SourceReader::readLine(QByteArray* line) {
    line->clear();
    if (!m_file.isOpen())
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
        if (const char* end = findLineEnd(start, available, m_ends)) {
            const qsizetype length = end - start;
            line->append(start, length);
            m_pos += length + 1;
            m_skipLineFeed = *end == '\r';
            return RunError::none();
        }
        line->append(start, static_cast<qsizetype>(available));
        m_pos = m_length;
    }
}

const char* SourceReader::findLineEnd(const char* data, size_t size, LineEnds ends) {
    if (ends == LineEnds::CarriageReturn)
        return static_cast<const char*>(std::memchr(data, '\r', size));
    // The line feed first: in a Unix file it is the only end there is, and the carriage return
    // is then looked for only before it.
    const char* lf = static_cast<const char*>(std::memchr(data, '\n', size));
    const size_t before = lf ? static_cast<size_t>(lf - data) : size;
    const char* cr = static_cast<const char*>(std::memchr(data, '\r', before));
    return cr ? cr : lf;
}

RunError SourceReader::forEachLine(const QString& path, const std::function<void(const QByteArray&)>& visit,
                                   LineEnds ends) {
    SourceReader reader;
    reader.setLineEnds(ends);
    RunError error = reader.open(path);
    QByteArray line;
    while (!error.isError()) {
        bool atEnd = false;
        error = reader.checkEnd(&atEnd);
        if (error.isError() || atEnd)
            break;
        error = reader.readLine(&line);
        if (!error.isError())
            visit(line);
    }
    return error;
}
