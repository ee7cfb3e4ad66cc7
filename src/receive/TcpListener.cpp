// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive/TcpListener.h"

#include "receive/FrameSplitter.h"

#include "receive/TlsServer.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace {
constexpr qint64 ReadBlock = 256 * 1024;

QString peerText(const QHostAddress& a, quint16 port) {
    const QString host =
        a.protocol() == QAbstractSocket::IPv6Protocol ? '[' + a.toString() + ']' : a.toString();
    return host + QLatin1Char(':') + QString::number(port);
}
} // namespace

TcpListener::TcpListener(MessageHandler handler, const std::optional<QSslConfiguration>& tls, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {
    if (!tls) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &TcpListener::accept);
        return;
    }
    m_transport = ListenAddress::Transport::Tls;
    auto* server = new TlsServer(*tls, this);
    m_server = server;
    // A TLS connection is queued for taking only once its handshake is done.
    connect(server, &TlsServer::pendingConnectionAvailable, this, &TcpListener::accept);
    connect(server, &TlsServer::handshakeFailed, this, [this](const QString& peer, const QString& reason) {
        ++m_handshakeFailures;
        emit connectionFailed(QStringLiteral("TLS handshake with %1 failed: %2").arg(peer, reason));
    });
}

TcpListener::~TcpListener() = default;

ListenError TcpListener::listen(const QHostAddress& address, quint16 port) {
    if (m_server->listen(address, port))
        return {};
    const QString where = ListenAddress::toString(m_transport, address, port);
    const QString reason = m_server->errorString();
    switch (m_server->serverError()) {
    case QAbstractSocket::SocketAccessError:
        if (port < 1024)
            return {ListenError::Kind::Privileged,
                    QStringLiteral("cannot listen on %1: ports below 1024 need privileges (root, or the "
                                   "CAP_NET_BIND_SERVICE capability). Choose a port of 1024 or more, on both "
                                   "sides: the receiver's address and the sender's destination.")
                        .arg(where),
                    reason};
        break;
    case QAbstractSocket::AddressInUseError:
        return {ListenError::Kind::InUse,
                QStringLiteral("cannot listen on %1: another program already uses this port").arg(where),
                reason};
    default:
        break;
    }
    return {ListenError::Kind::Other, QStringLiteral("cannot listen on %1: %2").arg(where, reason), reason};
}

quint16 TcpListener::port() const {
    return m_server->serverPort();
}

void TcpListener::accept() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        ++m_connections;
        m_connectionsOpen.insert(socket, {FrameSplitter(), socket->peerAddress(),
                                          peerText(socket->peerAddress(), socket->peerPort())});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { closed(socket); });
        // Bytes may have come with the connection itself.
        read(socket);
    }
}

void TcpListener::read(QTcpSocket* socket) {
    const auto found = m_connectionsOpen.find(socket);
    if (found == m_connectionsOpen.end() || found->splitter.failed())
        return;
    FrameSplitter& splitter = found->splitter;
    const QHostAddress sender = found->peer;
    const auto visit = [this, &sender](QByteArrayView message) { m_handler(message, sender); };
    if (m_block.size() != ReadBlock)
        m_block.resize(ReadBlock);
    QByteArray& block = m_block;
    bool any = false;
    for (;;) {
        const qint64 got = socket->read(block.data(), block.size());
        if (got <= 0)
            break;
        any = true;
        if (!splitter.feed(QByteArrayView(block.constData(), got), visit)) {
            ++m_framingErrors;
            emit connectionFailed(
                QStringLiteral("connection from %1 closed: %2").arg(found->peerText, splitter.error()));
            socket->abort();
            break;
        }
    }
    if (any)
        emit batchRead();
}

void TcpListener::closed(QTcpSocket* socket) {
    read(socket); // what came just before the close
    const auto found = m_connectionsOpen.find(socket);
    if (found == m_connectionsOpen.end())
        return;
    FrameSplitter& splitter = found->splitter;
    if (!splitter.failed()) {
        const QHostAddress sender = found->peer;
        if (!splitter.finish([this, &sender](QByteArrayView message) { m_handler(message, sender); })) {
            ++m_framingErrors;
            emit connectionFailed(
                QStringLiteral("connection from %1: %2").arg(found->peerText, splitter.error()));
        }
        emit batchRead();
    }
    m_connectionsOpen.erase(found);
    socket->deleteLater();
}
