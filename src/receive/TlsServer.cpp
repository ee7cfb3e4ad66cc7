// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive/TlsServer.h"

#include <QSslSocket>
#include <QTimer>

#include <unistd.h>

TlsServer::TlsServer(const QSslConfiguration& configuration, QObject* parent)
    : QTcpServer(parent), m_configuration(configuration) {}

void TlsServer::incomingConnection(qintptr descriptor) {
    auto* socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        ::close(int(descriptor));
        delete socket;
        return;
    }
    const QHostAddress address = socket->peerAddress();
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    const QString peer = host + QLatin1Char(':') + QString::number(socket->peerPort());
    connect(socket, &QSslSocket::encrypted, this, [this, socket] {
        disconnect(socket, nullptr, this, nullptr);
        addPendingConnection(socket);
    });
    connect(socket, &QSslSocket::errorOccurred, this, [this, socket, peer] {
        QStringList reasons;
        for (const QSslError& error : socket->sslHandshakeErrors())
            reasons << error.errorString();
        if (reasons.isEmpty())
            reasons << socket->errorString();
        reasons.removeDuplicates();
        fail(socket, peer, reasons.join(QStringLiteral("; ")));
    });
    // A client that never completes its handshake would hold its connection for ever.
    QTimer::singleShot(HandshakeTimeoutMs, socket, [this, socket, peer] {
        if (socket->state() == QAbstractSocket::ConnectedState && !socket->isEncrypted())
            fail(socket, peer, QStringLiteral("no TLS handshake within %1 s").arg(HandshakeTimeoutMs / 1000));
    });
    socket->setSslConfiguration(m_configuration);
    socket->startServerEncryption();
}

void TlsServer::fail(QSslSocket* socket, const QString& peer, const QString& reason) {
    // Said once per connection, however many errors its end brings: the first says why.
    disconnect(socket, nullptr, this, nullptr);
    emit handshakeFailed(peer, reason);
    socket->abort();
    socket->deleteLater();
}
