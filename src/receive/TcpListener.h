// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "receive/FrameSplitter.h"
#include "receive/ListenAddress.h"
#include "receive/ListenError.h"
#include "receive/MessageHandler.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QSslConfiguration>

#include <optional>

class QTcpServer;
class QTcpSocket;

// One TCP listening socket, plain or TLS: takes any number of connections at once and cuts each
// one's stream into messages with a FrameSplitter of its own, so each connection picks its
// framing. Under TLS a connection is taken once its handshake is done; one that fails it is
// closed and counted, and the others go on.
class TcpListener : public QObject {
    Q_OBJECT
public:
    // With `tls`, every connection speaks TLS with that configuration (certificate, key, and
    // whether a client certificate is required).
    explicit TcpListener(MessageHandler handler, const std::optional<QSslConfiguration>& tls = std::nullopt,
                         QObject* parent = nullptr);
    ~TcpListener() override;

    ListenError listen(const QHostAddress& address, quint16 port);
    quint16 port() const;
    // Connections accepted so far, and those still open.
    qint64 connections() const { return m_connections; }
    qsizetype openConnections() const { return m_connectionsOpen.size(); }
    // Connections closed because their stream broke the framing.
    qint64 framingErrors() const { return m_framingErrors; }
    // TLS connections closed because their handshake failed.
    qint64 handshakeFailures() const { return m_handshakeFailures; }

signals:
    void batchRead();
    // A connection was dropped for a broken framing or a failed handshake; `text` says which and why.
    void connectionFailed(const QString& text);

private:
    void accept();
    void read(QTcpSocket* socket);
    void closed(QTcpSocket* socket);

    struct Connection {
        FrameSplitter splitter;
        QHostAddress peer; // kept: a closed socket no longer tells
        QString peerText;
    };

    MessageHandler m_handler;
    ListenAddress::Transport m_transport = ListenAddress::Transport::Tcp;
    QTcpServer* m_server = nullptr;
    QHash<QTcpSocket*, Connection> m_connectionsOpen;
    QByteArray m_block; // one read buffer for every connection, reused
    qint64 m_connections = 0;
    qint64 m_framingErrors = 0;
    qint64 m_handshakeFailures = 0;
};
