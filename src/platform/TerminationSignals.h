// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace platform {

// Turns the system's requests to end the program (Ctrl+C, `kill`, a logout) into a Qt signal
// delivered by the event loop, where the program can end the way it always does. One per process.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    enum Kind { Interrupt = 0x1, Terminate = 0x2, HangUp = 0x4, Quit = 0x8 };
    Q_DECLARE_FLAGS(Kinds, Kind)

    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Starts watching; false when the watch cannot be set up.
    bool watch(Kinds kinds);

signals:
    void received();

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace platform

Q_DECLARE_OPERATORS_FOR_FLAGS(platform::TerminationSignals::Kinds)
