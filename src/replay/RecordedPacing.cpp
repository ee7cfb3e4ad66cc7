// SPDX-License-Identifier: GPL-3.0-or-later
#include "replay/RecordedPacing.h"

#include "replay/HeadTimestamp.h"

#include <QtNumeric>

#include <cmath>
#include <limits>
#include <numeric>

namespace {
constexpr qint64 Forever = std::numeric_limits<qint64>::max();
constexpr qint64 SpeedScale = 1000000; // six decimals
constexpr qint64 OneDayNs = 86400LL * 1000000000LL;
constexpr qint64 HalfYearNs = 182 * OneDayNs;
// No year puts a time without one nearer than this to the line before (29 February in a run of
// common years): it is taken as no timestamp rather than as a wait of a year.
constexpr qint64 FarthestYearChoiceNs = 200 * OneDayNs;

qint64 saturatingAdd(qint64 a, qint64 b) {
    qint64 sum = 0;
    return qAddOverflow(a, b, &sum) ? Forever : sum;
}
} // namespace

RecordedPacing::RecordedPacing(double speed, qint64 maxGapNs, WallTime reference)
    : m_maxGapNs(maxGapNs), m_reference(reference) {
    // As a fraction of whole numbers, so dividing by it is exact: 0.5 is 1/2, 60 is 60/1.
    const double bounded = std::isfinite(speed) ? qBound(MinimumSpeed, speed, MaximumSpeed) : 1.0;
    const qint64 numerator = std::llround(bounded * SpeedScale);
    const qint64 divisor = std::gcd(numerator, SpeedScale);
    m_speedNumerator = numerator / divisor;
    m_speedDenominator = SpeedScale / divisor;
}

qint64 RecordedPacing::dueNs(qint64 k, const QByteArray& line) {
    if (k == 0) {
        // A new run starts its schedule anew.
        m_hasPrevious = false;
        m_recordedNs = 0;
        m_cappedNs = 0;
    }
    const HeadTimestamp stamp = HeadTimestamp::find(line);
    WallTime time;
    if (stamp.isValid() && place(stamp, &time)) {
        if (m_hasPrevious) {
            const qint64 gap = time.nanosecondsSince(m_previous);
            if (gap > 0)
                addGap(gap);
        }
        m_previous = time;
        m_hasPrevious = true;
    }
    return saturatingAdd(m_cappedNs, scaled(m_recordedNs));
}

bool RecordedPacing::place(const HeadTimestamp& stamp, WallTime* time) const {
    if (stamp.hasYear())
        return stamp.toWallTime(0, time);
    if (!m_hasPrevious) {
        // The latest year that does not put it more than a day ahead of now (a day for the zones
        // ahead of ours); 29 February looks back to the last leap year.
        const int now = stamp.yearOf(m_reference);
        for (int year = now + 1; year >= now - 8; --year) {
            if (stamp.toWallTime(year, time) && time->nanosecondsSince(m_reference) <= OneDayNs)
                return true;
        }
        return false;
    }
    // The year that puts it nearest to the line before: December to January is a new year, and a
    // late December line after the new year stays in the old one.
    const int around = stamp.yearOf(m_previous);
    // Within half a year in the line before's own year, no other year can be nearer.
    if (stamp.toWallTime(around, time) &&
        qAbs(qMax(time->nanosecondsSince(m_previous), -Forever)) < HalfYearNs)
        return true;
    bool found = false;
    qint64 nearest = Forever;
    for (int year = around - 1; year <= around + 1; ++year) {
        WallTime candidate;
        if (!stamp.toWallTime(year, &candidate))
            continue;
        const qint64 distance = qAbs(qMax(candidate.nanosecondsSince(m_previous), -Forever));
        if (!found || distance < nearest) {
            *time = candidate;
            nearest = distance;
            found = true;
        }
    }
    return found && nearest <= FarthestYearChoiceNs;
}

void RecordedPacing::addGap(qint64 recordedNs) {
    if (m_maxGapNs >= 0 && scaled(recordedNs) > m_maxGapNs)
        m_cappedNs = saturatingAdd(m_cappedNs, m_maxGapNs);
    else
        m_recordedNs = saturatingAdd(m_recordedNs, recordedNs);
}

qint64 RecordedPacing::scaled(qint64 recordedNs) const {
    // recordedNs * denominator / numerator, without the product overflowing: the remainder's part
    // is below numerator * denominator, at most 10^18.
    const qint64 whole = recordedNs / m_speedNumerator;
    const qint64 rest = recordedNs % m_speedNumerator;
    qint64 wholePart = 0;
    if (qMulOverflow(whole, m_speedDenominator, &wholePart))
        return Forever;
    return saturatingAdd(wholePart, rest * m_speedDenominator / m_speedNumerator);
}
