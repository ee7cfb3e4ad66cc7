// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport/StreamOutput.h"

#include "transport/Backoff.h"
#include "transport/TransportError.h"

StreamOutput::StreamOutput(const Destination& destination, Framing framing)
    : m_destination(destination), m_buffer(framing) {}

StreamOutput::~StreamOutput() = default;

RunError StreamOutput::interrupted() const {
    return RunError::make(TransportError::Interrupted,
                          QStringLiteral("the wait on %1 was cut short").arg(peer()));
}

RunError StreamOutput::open() {
    const RunError error = connectOnce(QDeadlineTimer(m_connectTimeoutMs));
    m_connected = !error.isError();
    return error;
}

RunError StreamOutput::write(const QByteArray& line) {
    if (m_failure.isError())
        return m_failure;
    if (m_buffer.pendingBytes() >= ChunkBytes) {
        const RunError error = writeOut();
        if (error.isError())
            return error;
    }
    if (!m_buffer.append(line)) {
        return RunError::make(
            TransportError::LineNotFramable,
            QStringLiteral("a line holds a line feed, which would split it in two under "
                           "line-feed framing: it was not sent (--framing octet carries it)"));
    }
    return RunError::none();
}

RunError StreamOutput::flush() {
    if (m_failure.isError())
        return m_failure;
    return writeOut();
}

RunError StreamOutput::writeOut() {
    bool checked = false;
    while (m_buffer.pendingBytes() > 0) {
        if (!m_connected) {
            const RunError error = reconnect();
            if (error.isError())
                return error;
            checked = true;
        }
        // A receiver that went away is seen before more is written into the void: what was
        // written since it left is lost either way, but no more joins it.
        if (!checked) {
            checked = true;
            if (receiverHasClosed()) {
                m_breakReason = QStringLiteral("the receiver closed the connection");
                connectionBroke();
                continue;
            }
        }
        const qint64 n = writeSome(m_buffer.pending(), m_buffer.pendingBytes());
        if (n > 0) {
            const qint64 whole = m_buffer.consume(n);
            m_onConnection += whole;
            m_counts.written += whole;
        } else if (n == 0) {
            if (waitWritable() == WaitLimits::Outcome::Cut)
                return interrupted();
        } else {
            m_breakReason = lastError();
            connectionBroke();
        }
    }
    return RunError::none();
}

void StreamOutput::connectionBroke() {
    abortConnection();
    m_connected = false;
    m_counts.atRisk += m_onConnection;
    m_onConnection = 0;
    m_buffer.rewindPartialFrame();
}

RunError StreamOutput::reconnect() {
    Backoff backoff(m_retryMs);
    RunError last = RunError::make(TransportError::ConnectionBroken, m_breakReason);
    for (;;) {
        const qint64 pause = backoff.nextPauseMs();
        if (pause < 0)
            break;
        if (m_limits.sleep(QDeadlineTimer(pause)) == WaitLimits::Outcome::Cut)
            return interrupted();
        const QDeadlineTimer timeout(qMin<qint64>(m_connectTimeoutMs, backoff.deadline().remainingTime()));
        const RunError error = connectOnce(timeout);
        if (!error.isError()) {
            m_connected = true;
            ++m_counts.reconnects;
            return RunError::none();
        }
        if (error.number == TransportError::Interrupted)
            return error;
        last = error;
    }
    m_counts.unsent += m_buffer.pendingFrames();
    m_buffer.clear();
    m_failure = RunError::make(
        TransportError::ConnectionBroken,
        QStringLiteral("the connection to %1 broke (%2) and could not be made again within %3 s: %4")
            .arg(peer(), m_breakReason)
            .arg(double(m_retryMs) / 1000)
            .arg(last.description));
    return m_failure;
}

void StreamOutput::close() {
    // Whatever the connection takes without a wait goes; a wait only while no limit is reached.
    if (m_connected && !m_failure.isError() && m_buffer.pendingBytes() > 0)
        writeOut();
    m_counts.unsent += m_buffer.pendingFrames();
    m_buffer.clear();
    if (m_connected && !disconnectInOrder()) {
        m_counts.atRisk += m_onConnection;
    }
    m_onConnection = 0;
    m_connected = false;
}
