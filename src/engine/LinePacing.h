// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

// A schedule fixed in advance (a rate, a log's recorded rhythm), in place of a wait counted from
// the line before: line k leaves at the run's start plus dueNs(k), so a long run does not drift.
class LinePacing {
public:
    virtual ~LinePacing() = default;

    // When line `k` (0 for the run's first line) is due, in nanoseconds from the run's start on
    // the monotonic clock; called once per line, in order, before its wait. `line` is the line
    // about to leave in file order (empty in random order, where the line is drawn when due).
    virtual qint64 dueNs(qint64 k, const QByteArray& line) = 0;
};
