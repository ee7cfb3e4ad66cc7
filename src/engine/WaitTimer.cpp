#include "WaitTimer.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cstdint>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {
constexpr qint64 NsPerSecond = 1000LL * 1000 * 1000;
constexpr qint64 NsPerMs = 1000LL * 1000;
// QTimer takes an int of milliseconds; longer waits are armed again when it fires.
constexpr qint64 MaxFallbackMs = 3600LL * 1000;
// Waits this short go straight back through the event loop: arming the kernel timer and taking
// its wake-up costs more than the wait itself.
constexpr qint64 ImmediateNs = 50LL * 1000;
} // namespace

WaitTimer::WaitTimer(QObject* parent) : QObject(parent) {
    m_fallback.setSingleShot(true);
    m_fallback.setTimerType(Qt::PreciseTimer);
    connect(&m_fallback, &QTimer::timeout, this, &WaitTimer::fired);
    m_fd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_fd >= 0) {
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &WaitTimer::fired);
    }
}

WaitTimer::~WaitTimer() {
    if (m_fd >= 0) {
        delete m_notifier; // before its descriptor goes
        ::close(m_fd);
    }
}

void WaitTimer::start(qint64 nanoseconds) {
    m_active = true;
    if (m_fd < 0 || nanoseconds <= ImmediateNs) {
        m_fallback.start(static_cast<int>(std::clamp<qint64>(nanoseconds / NsPerMs, 0, MaxFallbackMs)));
        return;
    }
    m_fallback.stop();
    drain(); // an expiry of the previous start must not be taken for this one
    // A zero it_value would disarm: the shortest wait is one nanosecond.
    const qint64 ns = std::max<qint64>(nanoseconds, 1);
    itimerspec due{};
    due.it_value.tv_sec = static_cast<time_t>(ns / NsPerSecond);
    due.it_value.tv_nsec = static_cast<long>(ns % NsPerSecond);
    ::timerfd_settime(m_fd, 0, &due, nullptr);
}

void WaitTimer::stop() {
    m_active = false;
    m_fallback.stop();
    if (m_fd < 0)
        return;
    const itimerspec disarm{};
    ::timerfd_settime(m_fd, 0, &disarm, nullptr);
    drain();
}

void WaitTimer::drain() {
    std::uint64_t expirations = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_fd, &expirations, sizeof expirations);
}

void WaitTimer::fired() {
    if (m_fd >= 0)
        drain();
    m_fallback.stop();
    if (!m_active)
        return;
    m_active = false;
    emit timeout();
}
