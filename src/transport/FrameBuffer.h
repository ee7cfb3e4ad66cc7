// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "transport/Framing.h"

#include <QByteArray>

#include <vector>

// Lines framed for a stream and waiting to be written, many per system call. Keeps where each
// frame ends, so that what was written can be counted in whole lines, and a frame cut by a broken
// connection can be written again from its start on the next one.
class FrameBuffer {
public:
    explicit FrameBuffer(Framing framing) : m_framing(framing) {}

    // False, and nothing added, for a line the framing cannot carry (a line feed under LineFeed).
    bool append(const QByteArray& line);

    const char* pending() const { return m_bytes.data() + m_written; }
    qint64 pendingBytes() const { return qint64(m_bytes.size()) - m_written; }
    // Frames not yet written whole.
    qint64 pendingFrames() const { return qint64(m_ends.size() - m_whole); }

    // Notes that `bytes` more were written; returns how many frames that completed.
    qint64 consume(qint64 bytes);
    // Back to the start of the frame written in part, to write it again whole.
    void rewindPartialFrame();
    void clear();

private:
    Framing m_framing;
    std::vector<char> m_bytes;
    std::vector<qint64> m_ends; // end offset of each frame in m_bytes
    size_t m_whole = 0;         // frames written whole
    qint64 m_written = 0;       // bytes written
};
