// SPDX-License-Identifier: GPL-3.0-or-later
#include "replay/WallTime.h"

#include <QtNumeric>

#include <chrono>
#include <limits>

WallTime WallTime::now() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const qint64 ns = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count();
    // Floor division, so a moment before 1970 still has its nanoseconds in 0..999,999,999.
    qint64 seconds = ns / 1000000000;
    qint64 rest = ns % 1000000000;
    if (rest < 0) {
        --seconds;
        rest += 1000000000;
    }
    return {seconds, static_cast<qint32>(rest)};
}

qint64 WallTime::nanosecondsSince(const WallTime& earlier) const {
    constexpr qint64 Max = std::numeric_limits<qint64>::max();
    constexpr qint64 Min = std::numeric_limits<qint64>::min();
    qint64 seconds = 0;
    qint64 ns = 0;
    if (qSubOverflow(this->seconds, earlier.seconds, &seconds) ||
        qMulOverflow(seconds, qint64(1000000000), &ns) ||
        qAddOverflow(ns, qint64(nanoseconds) - earlier.nanoseconds, &ns))
        return earlier < *this ? Max : Min;
    return ns;
}
