// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// A moment on the civil clock, as a log line names it: whole seconds since 1970-01-01 00:00 UTC
// and the nanoseconds past them. Seconds rather than one count of nanoseconds, so a log of year 1
// or 9999 still has a moment.
struct WallTime {
    qint64 seconds = 0;
    qint32 nanoseconds = 0; // 0 to 999,999,999

    // The system's time of day now.
    static WallTime now();

    // Nanoseconds from `earlier` to this moment; negative when `earlier` is later. Saturates
    // instead of overflowing (the two may be millennia apart).
    qint64 nanosecondsSince(const WallTime& earlier) const;

    friend bool operator==(const WallTime& a, const WallTime& b) {
        return a.seconds == b.seconds && a.nanoseconds == b.nanoseconds;
    }
    friend bool operator!=(const WallTime& a, const WallTime& b) { return !(a == b); }
    friend bool operator<(const WallTime& a, const WallTime& b) {
        return a.seconds < b.seconds || (a.seconds == b.seconds && a.nanoseconds < b.nanoseconds);
    }
};
