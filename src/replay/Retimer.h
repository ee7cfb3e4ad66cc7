// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/LineRewriter.h"
#include "replay/WallTime.h"

#include <functional>

// Stamps each line with the moment it is sent: the timestamp at its head (see HeadTimestamp) is
// replaced by the time of day in the same form, and every other byte stays. A line without a
// timestamp it knows goes out as it was. Counts both kinds for the run's summary.
class Retimer : public LineRewriter {
public:
    using Clock = std::function<WallTime()>;

    // `clock` gives the send time; tests pass a fixed one.
    explicit Retimer(Clock clock = &WallTime::now);

    void rewrite(QByteArray* line) override;

    qint64 retimed() const { return m_retimed; }
    qint64 unchanged() const { return m_unchanged; }

private:
    Clock m_clock;
    qint64 m_retimed = 0;
    qint64 m_unchanged = 0;
};
