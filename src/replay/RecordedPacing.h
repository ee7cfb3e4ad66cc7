// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/LinePacing.h"
#include "replay/WallTime.h"

class HeadTimestamp;

// A log's own rhythm: the wait before a line is the gap between its timestamp and that of the
// last line before it that had one, divided by the speed and capped. A line without a timestamp,
// or with one earlier than the line before (an unsorted log, a clock set back), leaves at once.
// Each line's due time is the exact sum of the gaps before it, kept in whole nanoseconds and a
// remainder, so a replay of any length does not drift.
class RecordedPacing : public LinePacing {
public:
    // The speed's bounds; it is kept to six decimals.
    static constexpr double MinimumSpeed = 0.001;
    static constexpr double MaximumSpeed = 1000000;
    static constexpr qint64 NoGapLimit = -1;

    // `speed` divides every recorded gap (2: twice as fast, 0.5: half as fast); `maxGapNs` caps a
    // gap after that (NoGapLimit: none). Times without a year are placed from `reference`: the
    // first one in the latest year that puts it at most a day after `reference`, each following
    // one in the year nearest to the line before, so December to January moves on a year.
    explicit RecordedPacing(double speed, qint64 maxGapNs = NoGapLimit, WallTime reference = WallTime::now());

    qint64 dueNs(qint64 k, const QByteArray& line) override;

private:
    bool place(const HeadTimestamp& stamp, WallTime* time) const;
    void addGap(qint64 recordedNs);
    qint64 scaled(qint64 recordedNs) const;

    qint64 m_speedNumerator = 1; // speed = numerator / denominator
    qint64 m_speedDenominator = 1;
    qint64 m_maxGapNs = NoGapLimit;
    WallTime m_reference;
    bool m_hasPrevious = false;
    WallTime m_previous;
    qint64 m_recordedNs = 0; // the gaps below the cap, as recorded
    qint64 m_cappedNs = 0;   // the capped gaps, as waited
};
