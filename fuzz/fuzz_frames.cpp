// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the TCP frame splitter: any stream, cut into any pieces, gives the messages of
// a plain reference reading of the whole stream, and no message is ever longer than the limit.
// The first input byte chooses the cuts; the rest is the stream.
#include "receive/FrameSplitter.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_frames: %s\n", what);
    std::abort();
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The framings read straight from their definitions, the whole stream at once. `ok` false when
// the stream breaks the framing; the messages before the break are kept.
QList<QByteArray> reference(const QByteArray& s, bool* ok) {
    QList<QByteArray> out;
    *ok = true;
    if (s.isEmpty())
        return out;
    if (!isDigit(s.front())) {
        for (qsizetype pos = 0; pos < s.size();) {
            qsizetype end = s.indexOf('\n', pos);
            const qsizetype stop = end < 0 ? s.size() : end;
            if (stop - pos > FrameSplitter::MaxMessage) {
                *ok = false;
                return out;
            }
            out << s.mid(pos, stop - pos);
            pos = end < 0 ? s.size() : end + 1;
        }
        return out;
    }
    qsizetype pos = 0;
    while (pos < s.size()) {
        qsizetype digits = pos;
        while (digits < s.size() && isDigit(s[digits]))
            ++digits;
        if (digits == pos || (s[pos] == '0' && digits - pos > 1) || digits - pos > 7 || digits == s.size() ||
            s[digits] != ' ') {
            *ok = false;
            return out;
        }
        const qsizetype length = s.mid(pos, digits - pos).toLongLong();
        if (length > FrameSplitter::MaxMessage || digits + 1 + length > s.size()) {
            *ok = false;
            return out;
        }
        out << s.mid(digits + 1, length);
        pos = digits + 1 + length;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const unsigned cutSeed = data[0];
    const QByteArray stream(reinterpret_cast<const char*>(data) + 1, qsizetype(size) - 1);

    FrameSplitter splitter;
    QList<QByteArray> got;
    const auto visit = [&got](QByteArrayView m) {
        if (m.size() > FrameSplitter::MaxMessage)
            fail("a message over the limit");
        got << m.toByteArray();
    };
    // Pieces of 1 to 16 bytes, sized from the seed, so every cut position gets tried.
    bool ok = true;
    unsigned state = cutSeed | 1u;
    for (qsizetype pos = 0; pos < stream.size() && ok;) {
        state = state * 1103515245u + 12345u;
        const qsizetype piece = std::min<qsizetype>(1 + (state >> 16) % 16, stream.size() - pos);
        ok = splitter.feed(QByteArrayView(stream.constData() + pos, piece), visit);
        pos += piece;
    }
    if (ok)
        ok = splitter.finish(visit);
    if (ok != splitter.error().isEmpty())
        fail("a failure without its reason, or a reason without a failure");

    bool referenceOk = false;
    const QList<QByteArray> expected = reference(stream, &referenceOk);
    if (ok != referenceOk)
        fail(ok ? "a broken stream was accepted" : "a sound stream was refused");
    if (got != expected)
        fail("messages differ from the reference reading");
    if (!stream.isEmpty() &&
        splitter.framing() != (isDigit(stream.front()) ? FrameSplitter::Framing::OctetCounting
                                                       : FrameSplitter::Framing::LineFeed))
        fail("wrong framing chosen");
    return 0;
}
