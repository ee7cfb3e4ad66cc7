// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDeadlineTimer>

// What may cut a wait on the network short, so that a receiver that stops reading never holds a
// run past a stop request or its own end: a descriptor that turns readable when the user asks
// the run to stop (the self-pipe of the termination signals), and the run's deadline.
class WaitLimits {
public:
    enum class Outcome { Ready, TimedOut, Cut };

    void setStopDescriptor(int fd) { m_stopFd = fd; }
    void setDeadline(QDeadlineTimer deadline) { m_deadline = deadline; }
    int stopDescriptor() const { return m_stopFd; }
    QDeadlineTimer deadline() const { return m_deadline; }

    // True once a stop was asked for or the deadline passed; does not wait.
    bool reached() const;

    // Waits until `fd` is ready for `events` (poll() flags), `timeout` expires (TimedOut), or a
    // limit is reached (Cut). Ready also when poll() reports an error or a hang-up on `fd`:
    // the next read or write on it tells what happened.
    Outcome waitFor(int fd, short events, QDeadlineTimer timeout) const;
    // Sleeps until `timeout`, cut short by a limit.
    Outcome sleep(QDeadlineTimer timeout) const { return waitFor(-1, 0, timeout); }

private:
    int m_stopFd = -1;
    QDeadlineTimer m_deadline{QDeadlineTimer::Forever};
};
