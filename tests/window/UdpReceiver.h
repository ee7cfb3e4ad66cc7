// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
#include <QUdpSocket>

// A receiver on 127.0.0.1 at a port the initialisation keeps (it replaces ports above 32000).
class UdpReceiver {
public:
    UdpReceiver() {
        m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4 * 1024 * 1024);
        for (quint16 port = 20000 + quint16(QCoreApplication::applicationPid() % 5000); port < 32000;
             port += 7) {
            if (m_socket.bind(QHostAddress(QHostAddress::LocalHost), port))
                return;
        }
    }
    bool isBound() const { return m_socket.state() == QAbstractSocket::BoundState; }
    quint16 port() const { return m_socket.localPort(); }

    // Every datagram that has arrived so far, oldest first (payloads only).
    QList<QByteArray> take() {
        while (m_socket.hasPendingDatagrams())
            m_received << m_socket.receiveDatagram().data();
        return m_received;
    }

private:
    QUdpSocket m_socket;
    QList<QByteArray> m_received;
};
