// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "receive/ListenAddress.h"
#include "receive/ListenError.h"
#include "receive/MessageHandler.h"

#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QStringList>

#include <map>
#include <optional>

class TcpListener;
class UdpListener;

// The receiver's core, shared by talvex-receive and the companion window: listens on the
// addresses asked for, hands each message on as it arrives, and keeps the counts of the
// summary. Core and Network only.
class Reception : public QObject {
    Q_OBJECT
public:
    // Senders beyond this many are counted together, so a flood of addresses cannot grow the table.
    static constexpr int MaxSendersShown = 1000;

    explicit Reception(MessageHandler handler, QObject* parent = nullptr);
    ~Reception() override;

    // What tls:// addresses speak: certificate, key, and the check of client certificates. A
    // tls:// address cannot be listened on without it.
    void setTlsConfiguration(const QSslConfiguration& configuration) { m_tls = configuration; }
    // Listens on every address, or on none: at the first that fails the others are let go.
    ListenError listen(const QList<ListenAddress>& addresses);
    // Takes no more messages, not even the rest of a batch being read; the counts stay.
    void stop() { m_accepting = false; }
    // Stops listening and closes every connection; the counts stay.
    void close();
    // The addresses listened on, with the ports bound ("udp://127.0.0.1:5514").
    QStringList listening() const;

    qint64 messages() const { return m_messages; }
    qint64 bytes() const { return m_bytes; }
    qint64 connections() const;
    qint64 framingErrors() const;
    qint64 handshakeFailures() const;
    quint64 droppedDatagrams() const;
    // Messages per sender address (its text), and those of the senders beyond MaxSendersShown.
    const std::map<QString, qint64>& perSender() const { return m_perSender; }
    qint64 otherSenders() const { return m_otherSenders; }

signals:
    // After messages were handed on: the time to flush or show what they produced.
    void batchRead();
    void warning(const QString& text);

private:
    void count(QByteArrayView message, const QHostAddress& sender);

    MessageHandler m_handler;
    std::optional<QSslConfiguration> m_tls;
    QList<UdpListener*> m_udp;
    QList<TcpListener*> m_tcp;
    QStringList m_listening;
    bool m_accepting = true;
    qint64 m_messages = 0;
    qint64 m_bytes = 0;
    std::map<QString, qint64> m_perSender; // node-based: an entry stays where it is
    qint64 m_otherSenders = 0;
    QHostAddress m_lastSender;
    qint64* m_lastSenderCount = nullptr;
    qint64 m_closedConnections = 0;
    qint64 m_closedFramingErrors = 0;
    qint64 m_closedHandshakeFailures = 0;
    quint64 m_closedDropped = 0;
};
