// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "receive/DeliveryCheck.h"
#include "receive/MessageOutput.h"
#include "receive/ReceiveOptions.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <memory>

class Reception;

// One talvex-receive run: listens, writes and counts what arrives, ends at the count, the idle
// time, the duration, the timeout or an interruption, keeps the progress line on a terminal up
// to date, and prints the summary. Exit statuses as documented in --help.
class ReceiveCommand : public QObject {
    Q_OBJECT
public:
    enum Status { Success = 0, Failed = 1, BadUsage = 2 };

    explicit ReceiveCommand(const ReceiveOptions& options, QObject* parent = nullptr);
    ~ReceiveCommand() override;

    // Opens the output, reads the --expect file and starts listening. Success, or BadUsage with
    // the reason already on standard error.
    Status prepare();
    // Receives until an ending and returns the exit status.
    Status run();
    // SIGINT or SIGTERM: end with the summary.
    void interrupt();

private:
    enum class Ending { None, Count, Idle, Duration, Timeout, Interrupted, OutputFailed };

    void message(QByteArrayView bytes);
    void batchRead();
    void checkIdle();
    void endWith(Ending ending);
    void showProgress();
    QString progressText() const;
    void printSummary(Status status);

    ReceiveOptions m_options;
    std::unique_ptr<Reception> m_reception;
    MessageOutput m_output;
    std::unique_ptr<DeliveryCheck> m_check;
    QEventLoop m_loop;
    QElapsedTimer m_clock;
    qint64 m_firstArrivalNs = -1;
    qint64 m_lastArrivalNs = -1;
    QTimer m_progressTimer;
    QTimer m_idleTimer;
    QTimer m_durationTimer;
    QTimer m_timeoutTimer;
    bool m_progress = false;
    Ending m_ending = Ending::None;
};
