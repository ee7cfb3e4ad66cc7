// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSslConfiguration>
#include <QTcpServer>

class QSslSocket;

// A TCP server whose connections speak TLS: each is queued for taking (pendingConnectionAvailable,
// nextPendingConnection) once its handshake is done. One that fails it, sends something else or
// stays silent too long is closed and said with handshakeFailed; the others go on.
class TlsServer : public QTcpServer {
    Q_OBJECT
public:
    static constexpr int HandshakeTimeoutMs = 10000;

    explicit TlsServer(const QSslConfiguration& configuration, QObject* parent = nullptr);

signals:
    // `peer` is "ADDRESS:PORT", `reason` the TLS library's or Qt's.
    void handshakeFailed(const QString& peer, const QString& reason);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void fail(QSslSocket* socket, const QString& peer, const QString& reason);

    QSslConfiguration m_configuration;
};
