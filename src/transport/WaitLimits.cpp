// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport/WaitLimits.h"

#include <cerrno>

#include <poll.h>

bool WaitLimits::reached() const {
    if (m_deadline.hasExpired())
        return true;
    if (m_stopFd < 0)
        return false;
    pollfd stop{m_stopFd, POLLIN, 0};
    return ::poll(&stop, 1, 0) > 0;
}

WaitLimits::Outcome WaitLimits::waitFor(int fd, short events, QDeadlineTimer timeout) const {
    pollfd fds[2] = {{fd, events, 0}, {m_stopFd, POLLIN, 0}};
    for (;;) {
        const bool limitFirst = m_deadline.deadlineNSecs() <= timeout.deadlineNSecs();
        const QDeadlineTimer until = limitFirst ? m_deadline : timeout;
        const qint64 remaining = until.remainingTime(); // -1 for forever
        fds[0].revents = 0;
        fds[1].revents = 0;
        const int n = ::poll(fds, 2, remaining < 0 ? -1 : int(qMin<qint64>(remaining, 1 << 30)));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return Outcome::Cut;
        }
        if (fds[1].revents != 0)
            return Outcome::Cut;
        if (fds[0].revents != 0)
            return Outcome::Ready;
        if (n == 0 && until.hasExpired())
            return limitFirst ? Outcome::Cut : Outcome::TimedOut;
    }
}
