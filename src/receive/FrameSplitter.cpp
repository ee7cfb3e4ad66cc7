// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive/FrameSplitter.h"

#include <algorithm>

namespace {
constexpr qsizetype MaxLengthDigits = 7; // MaxMessage has 7 digits

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

bool FrameSplitter::fail(const QString& error) {
    m_error = error;
    m_pending.clear();
    return false;
}

bool FrameSplitter::feed(QByteArrayView bytes, const Visit& visit) {
    if (failed())
        return false;
    if (bytes.isEmpty())
        return true;
    if (m_framing == Framing::Unknown)
        m_framing = isDigit(bytes.front()) ? Framing::OctetCounting : Framing::LineFeed;
    return m_framing == Framing::OctetCounting ? feedOctetCounted(bytes, visit) : feedLines(bytes, visit);
}

bool FrameSplitter::feedOctetCounted(QByteArrayView bytes, const Visit& visit) {
    qsizetype pos = 0;
    const qsizetype size = bytes.size();
    while (pos < size) {
        if (m_needed < 0) {
            // In the length field: digits up to the space.
            while (pos < size && bytes[pos] != ' ') {
                const char c = bytes[pos];
                // No leading zero; a lone 0 is the empty message, as talvex-send frames an empty line.
                if (!isDigit(c) || (m_pending.size() == 1 && m_pending.front() == '0'))
                    return fail(QStringLiteral("octet-counted frame without a valid length"));
                if (m_pending.size() == MaxLengthDigits)
                    return fail(QStringLiteral("octet-counted frame longer than %1 bytes").arg(MaxMessage));
                m_pending += c;
                ++pos;
            }
            if (pos == size)
                return true;
            if (m_pending.isEmpty())
                return fail(QStringLiteral("octet-counted frame without a valid length"));
            ++pos; // the space
            const qsizetype length = m_pending.toLongLong();
            if (length > MaxMessage)
                return fail(QStringLiteral("octet-counted frame longer than %1 bytes").arg(MaxMessage));
            m_pending.clear();
            m_needed = length;
        }
        const qsizetype available = size - pos;
        if (m_pending.isEmpty() && available >= m_needed) {
            // The whole message is in this block: no copy.
            visit(bytes.sliced(pos, m_needed));
            pos += m_needed;
            m_needed = -1;
            continue;
        }
        const qsizetype take = std::min(available, m_needed);
        m_pending.append(bytes.sliced(pos, take));
        pos += take;
        m_needed -= take;
        if (m_needed == 0) {
            visit(m_pending);
            m_pending.clear();
            m_needed = -1;
        }
    }
    return true;
}

bool FrameSplitter::feedLines(QByteArrayView bytes, const Visit& visit) {
    qsizetype pos = 0;
    for (;;) {
        const qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            break;
        if (m_pending.isEmpty()) {
            visit(bytes.sliced(pos, end - pos));
        } else {
            if (m_pending.size() + (end - pos) > MaxMessage)
                return fail(
                    QStringLiteral("message longer than %1 bytes without a line feed").arg(MaxMessage));
            m_pending.append(bytes.sliced(pos, end - pos));
            visit(m_pending);
            m_pending.clear();
        }
        pos = end + 1;
    }
    if (m_pending.size() + (bytes.size() - pos) > MaxMessage)
        return fail(QStringLiteral("message longer than %1 bytes without a line feed").arg(MaxMessage));
    m_pending.append(bytes.sliced(pos));
    return true;
}

bool FrameSplitter::finish(const Visit& visit) {
    if (failed())
        return false;
    if (m_framing == Framing::LineFeed && !m_pending.isEmpty()) {
        visit(m_pending);
        m_pending.clear();
    } else if (m_framing == Framing::OctetCounting && (m_needed > 0 || !m_pending.isEmpty())) {
        return fail(QStringLiteral("connection closed in the middle of an octet-counted frame"));
    }
    return true;
}
