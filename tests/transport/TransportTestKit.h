// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>

// Lines for the stream transport tests: each one numbered, with a tab and non-ASCII text so a
// changed byte shows, and starting with "<" as syslog lines do (an LF-framed line that starts
// with a digit would read as an octet count).
namespace TransportTestKit {

inline QByteArray line(int i) {
    return "<134>Dec  7 22:14:15 bench-host app[4242]:\tline " +
           QByteArray::number(i).rightJustified(6, '0') + " caf\xC3\xA9 \xE2\x82\xAC " +
           QByteArray(i % 7 * 9, 'x');
}

inline QList<QByteArray> lines(int first, int count) {
    QList<QByteArray> all;
    for (int i = first; i < first + count; ++i)
        all << line(i);
    return all;
}

// True when `received` holds lines of `sent` in their order, each at most once.
inline bool inOrderSubset(const QList<QByteArray>& received, const QList<QByteArray>& sent) {
    qsizetype at = 0;
    for (const QByteArray& r : received) {
        while (at < sent.size() && sent.at(at) != r)
            ++at;
        if (at == sent.size())
            return false;
        ++at;
    }
    return true;
}

inline bool endsWith(const QList<QByteArray>& all, const QList<QByteArray>& tail) {
    return all.size() >= tail.size() && all.mid(all.size() - tail.size()) == tail;
}

} // namespace TransportTestKit
