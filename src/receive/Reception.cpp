// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive/Reception.h"

#include "receive/TcpListener.h"
#include "receive/UdpListener.h"

Reception::Reception(MessageHandler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

Reception::~Reception() = default;

ListenError Reception::listen(const QList<ListenAddress>& addresses) {
    const MessageHandler handler = [this](QByteArrayView message, const QHostAddress& sender) {
        count(message, sender);
    };
    for (const ListenAddress& a : addresses) {
        ListenError error;
        if (a.transport == ListenAddress::Transport::Udp) {
            auto* udp = new UdpListener(handler, this);
            error = udp->listen(a.address, a.port);
            m_udp << udp;
            if (!error.isError()) {
                connect(udp, &UdpListener::batchRead, this, &Reception::batchRead);
                m_listening << ListenAddress::toString(a.transport, a.address, udp->port());
            }
        } else if (a.transport == ListenAddress::Transport::Tls && !m_tls) {
            error = {ListenError::Kind::Other,
                     QStringLiteral("cannot listen on %1: TLS needs a certificate and its private key")
                         .arg(a.toString()),
                     QString()};
        } else {
            auto* tcp = new TcpListener(
                handler, a.transport == ListenAddress::Transport::Tls ? m_tls : std::nullopt, this);
            error = tcp->listen(a.address, a.port);
            m_tcp << tcp;
            if (!error.isError()) {
                connect(tcp, &TcpListener::batchRead, this, &Reception::batchRead);
                connect(tcp, &TcpListener::connectionFailed, this, &Reception::warning);
                m_listening << ListenAddress::toString(a.transport, a.address, tcp->port());
            }
        }
        if (error.isError()) {
            close();
            return error;
        }
    }
    return {};
}

void Reception::close() {
    for (UdpListener* udp : std::as_const(m_udp)) {
        m_closedDropped += udp->dropped();
        delete udp;
    }
    for (TcpListener* tcp : std::as_const(m_tcp)) {
        m_closedConnections += tcp->connections();
        m_closedFramingErrors += tcp->framingErrors();
        m_closedHandshakeFailures += tcp->handshakeFailures();
        delete tcp;
    }
    m_udp.clear();
    m_tcp.clear();
    m_listening.clear();
}

QStringList Reception::listening() const {
    return m_listening;
}

qint64 Reception::connections() const {
    qint64 n = m_closedConnections;
    for (const TcpListener* tcp : m_tcp)
        n += tcp->connections();
    return n;
}

qint64 Reception::framingErrors() const {
    qint64 n = m_closedFramingErrors;
    for (const TcpListener* tcp : m_tcp)
        n += tcp->framingErrors();
    return n;
}

qint64 Reception::handshakeFailures() const {
    qint64 n = m_closedHandshakeFailures;
    for (const TcpListener* tcp : m_tcp)
        n += tcp->handshakeFailures();
    return n;
}

quint64 Reception::droppedDatagrams() const {
    quint64 n = m_closedDropped;
    for (const UdpListener* udp : m_udp)
        n += udp->dropped();
    return n;
}

void Reception::count(QByteArrayView message, const QHostAddress& sender) {
    if (!m_accepting)
        return;
    ++m_messages;
    m_bytes += message.size();
    // Messages come in runs from one sender: its entry is looked up once per run.
    if (!m_lastSenderCount || sender != m_lastSender) {
        m_lastSender = sender;
        const QString key = sender.toString();
        auto it = m_perSender.find(key);
        if (it == m_perSender.end() && m_perSender.size() < MaxSendersShown)
            it = m_perSender.emplace(key, 0).first;
        m_lastSenderCount = it == m_perSender.end() ? &m_otherSenders : &it->second;
    }
    ++*m_lastSenderCount;
    m_handler(message, sender);
}
