// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/LineIndex.h"

#include "engine/FileErrors.h"
#include "engine/SourceReader.h"

#include <cerrno>
#include <cstring>

void LineIndex::clear() {
    m_offsets.clear();
    m_offsets.shrink_to_fit();
}

RunError LineIndex::build(const QString& path, LineEnds ends) {
    clear();
    m_path = path;
    m_ends = ends;
    RunError error;
    platform::File file = SourceReader::openForReading(path, &error);
    if (!file.isOpen())
        return error;

    constexpr qint64 BlockSize = 1024 * 1024;
    std::vector<char> block(BlockSize);
    qint64 base = 0;
    bool needStart = true; // the next byte begins a line
    bool afterCr = false;  // the previous byte was a carriage return
    for (;;) {
        const qint64 got = file.read(block.data(), BlockSize);
        if (got < 0) {
            const int err = errno;
            clear();
            return FileErrors::readFailed(err, path);
        }
        if (got == 0)
            break;
        const char* data = block.data();
        qint64 i = 0;
        while (i < got) {
            if (afterCr) {
                afterCr = false;
                if (data[i] == '\n') { // the rest of a CRLF line end
                    ++i;
                    continue;
                }
            }
            if (needStart) {
                m_offsets.push_back(base + i);
                needStart = false;
            }
            const char* end = SourceReader::findLineEnd(data + i, static_cast<size_t>(got - i), ends);
            if (!end) {
                i = got;
                break;
            }
            i = end - data + 1;
            afterCr = *end == '\r';
            needStart = true;
        }
        base += got;
    }
    m_offsets.push_back(base);
    return RunError::none();
}

RunError LineIndex::readLine(qint64 k, QByteArray* line) const {
    line->clear();
    if (k < 0 || k >= count())
        return FileErrors::inputPastEnd(m_path);
    RunError error;
    platform::File file = SourceReader::openForReading(m_path, &error);
    if (!file.isOpen()) {
        // The draw cannot read a file that is gone; say so rather than pass it over silently.
        return error.number == RunError::FileNotFound ? FileErrors::sourceNotOpen(m_path) : error;
    }
    const qint64 size = file.size();
    if (size < 0)
        return FileErrors::readFailed(errno, m_path);
    const qint64 start = m_offsets[static_cast<size_t>(k)];
    if (start >= size)
        return FileErrors::inputPastEnd(m_path);
    const qint64 end = std::min<qint64>(m_offsets[static_cast<size_t>(k) + 1], size);
    line->resize(end - start);
    qint64 done = 0;
    while (done < line->size()) {
        const qint64 got = file.readAt(line->data() + done, line->size() - done, start + done);
        if (got < 0) {
            const int err = errno;
            line->clear();
            return FileErrors::readFailed(err, m_path);
        }
        if (got == 0)
            break; // shrank while reading: keep what is there
        done += got;
    }
    line->truncate(done);
    if (const char* end =
            SourceReader::findLineEnd(line->constData(), static_cast<size_t>(line->size()), m_ends))
        line->truncate(end - line->constData());
    return RunError::none();
}
