// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace platform {

// A single-shot kernel timer on the monotonic clock, precise to the nanosecond, whose expiry the
// event loop delivers as expired(). isValid() is false where the system offers none.
class MonotonicTimerFd : public QObject {
    Q_OBJECT
public:
    explicit MonotonicTimerFd(QObject* parent = nullptr);
    ~MonotonicTimerFd() override;

    bool isValid() const { return m_fd >= 0; }
    // Arms the timer for nanoseconds from now (at least one). Arming again, or disarming, drops
    // an expiry not yet taken.
    void arm(qint64 nanoseconds);
    void disarm();
    // Takes a pending expiry; false when there was none (an expired() that a later arm or disarm
    // made stale).
    bool drain();

signals:
    void expired();

private:
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace platform
