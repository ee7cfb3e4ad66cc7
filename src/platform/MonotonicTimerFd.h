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
    // Arms the timer for nanoseconds from now (at least one).
    void arm(qint64 nanoseconds);
    void disarm();
    // Takes a pending expiry, so that it is not taken for the next one.
    void drain();

signals:
    void expired();

private:
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace platform
