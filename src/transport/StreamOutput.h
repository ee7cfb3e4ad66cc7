// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/LineOutput.h"
#include "transport/DeliveryCounts.h"
#include "transport/Destination.h"
#include "transport/FrameBuffer.h"
#include "transport/WaitLimits.h"

#include <QDeadlineTimer>
#include <QString>

// A stream of framed lines to one receiver (TCP, TLS): lines are gathered into large buffers and
// written with few system calls; a writer that outruns its receiver waits on the socket (the
// buffer never grows past one chunk and a line); a broken connection is made again with back-off
// for up to the retry time, and the lines written to it are counted as at risk. The subclasses
// only connect, write and wait.
class StreamOutput : public LineOutput {
public:
    // Bytes gathered before they are written out.
    static constexpr qint64 ChunkBytes = 256 * 1024;
    static constexpr qint64 DefaultRetryMs = 30000;
    static constexpr int DefaultConnectTimeoutMs = 10000;

    StreamOutput(const Destination& destination, Framing framing);
    ~StreamOutput() override;
    StreamOutput(const StreamOutput&) = delete;
    StreamOutput& operator=(const StreamOutput&) = delete;

    void setRetryMs(qint64 ms) { m_retryMs = ms; }
    void setConnectTimeoutMs(int ms) { m_connectTimeoutMs = ms; }
    // What may cut a wait on the receiver short (Interrupted).
    void setWaitLimits(const WaitLimits& limits) { m_limits = limits; }

    // The first connection, before any line: an error here means nothing was sent.
    RunError open();
    RunError write(const QByteArray& line) override;
    RunError flush() override;
    void close() override;

    const DeliveryCounts& counts() const { return m_counts; }
    // "tcp://127.0.0.1:514", for messages.
    QString peer() const { return m_destination.toString(); }

protected:
    // Makes a new connection, giving up at `timeout`.
    virtual RunError connectOnce(QDeadlineTimer timeout) = 0;
    // Writes what it can of `data` without waiting: the bytes taken, 0 when the connection cannot
    // take more now, -1 when it broke (lastError() says why).
    virtual qint64 writeSome(const char* data, qint64 size) = 0;
    // Waits until the connection can take more (Ready also when it broke), or a limit is reached.
    virtual WaitLimits::Outcome waitWritable() = 0;
    // True when the receiver has closed or reset the connection; does not wait.
    virtual bool receiverHasClosed() = 0;
    // Ends the connection in order, waiting a little for the receiver to close its side; false
    // when it broke instead.
    virtual bool disconnectInOrder() = 0;
    // Drops the connection at once.
    virtual void abortConnection() = 0;
    virtual QString lastError() const = 0;

    const Destination& destination() const { return m_destination; }
    const WaitLimits& limits() const { return m_limits; }
    RunError interrupted() const;

private:
    RunError writeOut();
    void connectionBroke();
    RunError reconnect();

    Destination m_destination;
    FrameBuffer m_buffer;
    WaitLimits m_limits;
    DeliveryCounts m_counts;
    qint64 m_retryMs = DefaultRetryMs;
    int m_connectTimeoutMs = DefaultConnectTimeoutMs;
    qint64 m_onConnection = 0; // lines written whole to the current connection
    bool m_connected = false;
    QString m_breakReason;
    RunError m_failure; // once set, the output is done for
};
