// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/WaitTimer.h"

#include "platform/MonotonicTimerFd.h"

#include <algorithm>

namespace {
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
    m_precise = new platform::MonotonicTimerFd(this);
    if (m_precise->isValid())
        connect(m_precise, &platform::MonotonicTimerFd::expired, this, &WaitTimer::preciseFired);
}

WaitTimer::~WaitTimer() = default;

bool WaitTimer::isPrecise() const {
    return m_precise->isValid();
}

void WaitTimer::start(qint64 nanoseconds) {
    m_active = true;
    if (!m_precise->isValid() || nanoseconds <= ImmediateNs) {
        disarmPrecise();
        m_fallback.start(static_cast<int>(std::clamp<qint64>(nanoseconds / NsPerMs, 0, MaxFallbackMs)));
        return;
    }
    m_fallback.stop();
    // Arming drops an expiry of the previous start that was not taken yet: no read needed here.
    m_precise->arm(nanoseconds);
    m_preciseArmed = true;
}

void WaitTimer::stop() {
    m_active = false;
    m_fallback.stop();
    disarmPrecise();
}

void WaitTimer::disarmPrecise() {
    if (!m_preciseArmed)
        return;
    m_preciseArmed = false;
    m_precise->disarm();
}

void WaitTimer::preciseFired() {
    // The event loop may report an expiry that a later start or stop has since dropped.
    if (!m_precise->drain())
        return;
    m_preciseArmed = false;
    fired();
}

void WaitTimer::fired() {
    m_fallback.stop();
    if (!m_active)
        return;
    m_active = false;
    emit timeout();
}
