// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

namespace platform {
class MonotonicTimerFd;
}

// A single-shot timer for the run's waits, precise to well under a millisecond and costing no
// processor time while it waits: a kernel timer on the monotonic clock, watched by the event
// loop. Qt's own timers have millisecond resolution, so on their own they would either be late
// or need the end of each wait spun out on the processor. Where no such timer can be had, a precise
// QTimer stands in; it may fire up to a millisecond early or late, so the caller always checks
// the clock when it fires and arms again for what is left. The same holds for waits of a few
// microseconds, which go straight back through the event loop.
class WaitTimer : public QObject {
    Q_OBJECT
public:
    explicit WaitTimer(QObject* parent = nullptr);
    ~WaitTimer() override;

    // Fires once, `nanoseconds` from now (at once for 0 or less). Re-arming replaces the last start.
    void start(qint64 nanoseconds);
    void stop();
    bool isActive() const { return m_active; }
    bool isPrecise() const;

signals:
    void timeout();

private:
    void disarmPrecise();
    void preciseFired();
    void fired();

    platform::MonotonicTimerFd* m_precise = nullptr;
    QTimer m_fallback;
    bool m_active = false;
    bool m_preciseArmed = false;
};
