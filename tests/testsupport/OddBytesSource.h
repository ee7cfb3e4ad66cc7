// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>

// A source whose lines are hard to pass through unchanged: a 37-byte syslog message, bytes that
// are not UTF-8, a lone line feed inside a line, a bare CR end, an empty line and a last line
// without a line end. Shared by the window's and the command line's byte-for-byte tests.
namespace OddBytesSource {

inline QByteArray syslog37() {
    return "<34>Oct 11 22:14:15 host su: failed x";
}

inline QByteArray file() {
    return syslog37() + "\r\n" + "<13>Dec  7 caf\xe9 \x80\xff\xfe end" + "\r" + "first half\nsecond half" +
           "\r\n\r\nlast without end";
}

// The lines the run produces from file(), in order.
inline QList<QByteArray> lines() {
    return {syslog37(), "<13>Dec  7 caf\xe9 \x80\xff\xfe end", "first half\nsecond half", QByteArray(),
            "last without end"};
}

} // namespace OddBytesSource
