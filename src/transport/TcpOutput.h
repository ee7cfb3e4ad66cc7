// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "transport/StreamOutput.h"

#include <QHostAddress>
#include <QList>

// Lines over plain TCP (RFC 6587), on a non-blocking POSIX socket: large writes, and waits in
// poll() beside the stop descriptor, which Qt's sockets cannot wait on.
class TcpOutput : public StreamOutput {
public:
    TcpOutput(const Destination& destination, Framing framing);
    ~TcpOutput() override;

protected:
    RunError connectOnce(QDeadlineTimer timeout) override;
    qint64 writeSome(const char* data, qint64 size) override;
    WaitLimits::Outcome waitWritable() override;
    bool receiverHasClosed() override;
    bool disconnectInOrder() override;
    void abortConnection() override;
    QString lastError() const override { return m_error; }

private:
    int m_fd = -1;
    QList<QHostAddress> m_addresses; // looked up once, at the first connection
    QString m_error;
};
