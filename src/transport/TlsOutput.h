// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "transport/StreamOutput.h"
#include "transport/TlsOptions.h"

#include <QHostAddress>
#include <QList>
#include <QSslConfiguration>

#include <memory>

class QSslSocket;

// Lines over TLS (RFC 5425) through QSslSocket, TLS 1.2 or later. The certificates and the key
// are read and checked by prepare(), before any connection; the receiver's certificate is checked
// at every connection, so a failing check stops the run before a line leaves.
class TlsOutput : public StreamOutput {
public:
    TlsOutput(const Destination& destination, Framing framing, const TlsOptions& options);
    ~TlsOutput() override;

    // Reads the files named in the options; an error names the file and what is wrong with it.
    RunError prepare();
    // The name the receiver's certificate is checked against.
    QString checkedName() const;

protected:
    RunError connectOnce(QDeadlineTimer timeout) override;
    qint64 writeSome(const char* data, qint64 size) override;
    WaitLimits::Outcome waitWritable() override;
    bool receiverHasClosed() override;
    bool disconnectInOrder() override;
    void abortConnection() override;
    QString lastError() const override { return m_error; }

private:
    qint64 unwritten() const;
    bool failed() const;
    RunError settle();
    RunError connectError() const;

    TlsOptions m_options;
    QList<QHostAddress> m_addresses; // looked up once, at the first connection
    QSslConfiguration m_configuration;
    std::unique_ptr<QSslSocket> m_socket;
    QString m_error;
};
