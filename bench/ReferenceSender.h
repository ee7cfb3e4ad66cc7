// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <vector>

// The plainest sender there is, to measure Talvex's pacing against on the same machine and in
// the same run: a loop that sleeps the delay with clock_nanosleep, then sends the next line as
// one datagram to 127.0.0.1, like Talvex each wait starting after the previous send.
namespace ReferenceSender {

struct Result {
    double cpuSeconds = 0; // processor time of the sending thread
    double wallSeconds = 0;
    qint64 sent = 0;
};

// Blocks until every line is sent; `delayNs` before each one.
Result send(std::uint16_t port, const QList<QByteArray>& lines, std::int64_t delayNs);

// Blocks until every line is sent, `batch` datagrams per sendmmsg call, without any wait: the
// ceiling of batched sending on this machine.
Result sendBatched(std::uint16_t port, const QList<QByteArray>& lines, int batch);

// Blocks until every line is sent; line k at the start plus `dueNs[k]`, each wait to its
// absolute time on the monotonic clock (clock_nanosleep with TIMER_ABSTIME), so nothing drifts.
Result sendOnSchedule(std::uint16_t port, const QList<QByteArray>& lines,
                      const std::vector<std::int64_t>& dueNs);

} // namespace ReferenceSender
