// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDeadlineTimer>

// The pauses between tries to reach a receiver again: 0.1 s, doubling up to 5 s, for as long as
// the retry time allows.
class Backoff {
public:
    static constexpr qint64 FirstPauseMs = 100;
    static constexpr qint64 LongestPauseMs = 5000;

    // Starts counting the retry time from now.
    explicit Backoff(qint64 retryMs);

    // The pause before the next try, shortened to what is left of the retry time; -1 once that
    // time is used up.
    qint64 nextPauseMs();
    QDeadlineTimer deadline() const { return m_deadline; }
    bool expired() const { return m_deadline.hasExpired(); }

private:
    QDeadlineTimer m_deadline;
    qint64 m_pauseMs = FirstPauseMs;
};
