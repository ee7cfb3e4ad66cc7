// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/LineOutput.h"
#include "transport/DeliveryCounts.h"
#include "transport/Destination.h"
#include "transport/WaitLimits.h"

#include <QString>

struct relpEngine_s;
struct relpClt_s;

// Lines as RELP "syslog" commands through librelp's client: the receiver acknowledges each one,
// at most a window of them wait for their acknowledgement, and when the session breaks librelp
// sends the unacknowledged ones again once it is back; the line in hand is then sent again too,
// so every line arrives at least once.
class RelpOutput : public LineOutput {
public:
    static constexpr int DefaultWindow = 128; // librelp's own default
    static constexpr qint64 DefaultRetryMs = 30000;
    static constexpr int DefaultConnectTimeoutSeconds = 10;
    static constexpr int DefaultAnswerTimeoutSeconds = 90;

    explicit RelpOutput(const Destination& destination);
    ~RelpOutput() override;
    RelpOutput(const RelpOutput&) = delete;
    RelpOutput& operator=(const RelpOutput&) = delete;

    void setRetryMs(qint64 ms) { m_retryMs = ms; }
    void setConnectTimeoutSeconds(int seconds) { m_connectTimeoutSeconds = seconds; }
    // How long librelp waits for an acknowledgement before it takes the session as broken.
    void setAnswerTimeoutSeconds(int seconds) { m_answerTimeoutSeconds = seconds; }
    void setWindow(int lines) { m_window = lines; }
    // Cuts the pauses between reconnections short.
    void setWaitLimits(const WaitLimits& limits) { m_limits = limits; }
    // A flag a signal handler sets: librelp's own waits end when a signal arrives and it is set.
    void setStopFlag(int* flag);

    // The session, before any line: an error here means nothing was sent.
    RunError open();
    RunError write(const QByteArray& line) override;
    // Ends the session in order, which waits for every acknowledgement.
    void close() override;

    const DeliveryCounts& counts() const;
    QString peer() const { return m_destination.toString(); }

private:
    static void onSessionError(void* user, char* where, char* message, int code);
    RunError sessionError(int code, const QString& what) const;
    RunError reconnect(int code);

    Destination m_destination;
    WaitLimits m_limits;
    qint64 m_retryMs = DefaultRetryMs;
    int m_connectTimeoutSeconds = DefaultConnectTimeoutSeconds;
    int m_answerTimeoutSeconds = DefaultAnswerTimeoutSeconds;
    int m_window = DefaultWindow;
    int* m_stopFlag = nullptr;
    relpEngine_s* m_engine = nullptr;
    relpClt_s* m_client = nullptr;
    mutable DeliveryCounts m_counts;
    int m_sessionErrors = 0;
    QString m_lastSessionError;
    RunError m_failure;
};
