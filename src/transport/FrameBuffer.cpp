// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport/FrameBuffer.h"

#include <charconv>
#include <cstring>

bool FrameBuffer::append(const QByteArray& line) {
    if (m_framing == Framing::LineFeed && line.contains('\n'))
        return false;
    // Written out whole: start afresh rather than grow behind what is gone.
    if (m_whole == m_ends.size() && m_written == qint64(m_bytes.size()))
        clear();
    const size_t size = size_t(line.size());
    const size_t at = m_bytes.size();
    if (m_framing == Framing::OctetCounting) {
        char digits[24];
        const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, size);
        const size_t prefix = size_t(end - digits);
        m_bytes.resize(at + prefix + 1 + size);
        std::memcpy(m_bytes.data() + at, digits, prefix);
        m_bytes[at + prefix] = ' ';
        std::memcpy(m_bytes.data() + at + prefix + 1, line.constData(), size);
    } else {
        m_bytes.resize(at + size + 1);
        std::memcpy(m_bytes.data() + at, line.constData(), size);
        m_bytes[at + size] = '\n';
    }
    m_ends.push_back(qint64(m_bytes.size()));
    return true;
}

qint64 FrameBuffer::consume(qint64 bytes) {
    m_written += bytes;
    const size_t before = m_whole;
    while (m_whole < m_ends.size() && m_ends[m_whole] <= m_written)
        ++m_whole;
    return qint64(m_whole - before);
}

void FrameBuffer::rewindPartialFrame() {
    m_written = m_whole == 0 ? 0 : m_ends[m_whole - 1];
}

void FrameBuffer::clear() {
    m_bytes.clear();
    m_ends.clear();
    m_whole = 0;
    m_written = 0;
}
