// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/MonotonicTimerFd.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cstdint>

#include <sys/timerfd.h>
#include <unistd.h>

namespace platform {

namespace {
constexpr qint64 NsPerSecond = 1000LL * 1000 * 1000;
} // namespace

MonotonicTimerFd::MonotonicTimerFd(QObject* parent) : QObject(parent) {
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &MonotonicTimerFd::expired);
    }
}

MonotonicTimerFd::~MonotonicTimerFd() {
    if (m_fd >= 0) {
        delete m_notifier; // before its descriptor goes
        ::close(m_fd);
    }
}

void MonotonicTimerFd::arm(qint64 nanoseconds) {
    // A zero it_value would disarm: the shortest wait is one nanosecond.
    const qint64 ns = std::max<qint64>(nanoseconds, 1);
    itimerspec due{};
    due.it_value.tv_sec = static_cast<time_t>(ns / NsPerSecond);
    due.it_value.tv_nsec = static_cast<long>(ns % NsPerSecond);
    ::timerfd_settime(m_fd, 0, &due, nullptr);
}

void MonotonicTimerFd::disarm() {
    const itimerspec disarm{};
    ::timerfd_settime(m_fd, 0, &disarm, nullptr);
}

bool MonotonicTimerFd::drain() {
    std::uint64_t expirations = 0;
    return ::read(m_fd, &expirations, sizeof expirations) == sizeof expirations && expirations > 0;
}

} // namespace platform
