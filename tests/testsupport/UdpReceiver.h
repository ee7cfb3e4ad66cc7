// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>

// A plain datagram socket on 127.0.0.1 that collects what the program sends, byte for byte
// (empty datagrams included), with a large receive buffer so nothing is dropped. Engine tests
// wait with receive(); window tests, which must keep the event loop turning, poll with take().
class UdpReceiver {
public:
    // On a system-chosen port, or with `highestPort`, on a port at most that high (settings
    // that keep only ports up to 32000 can then name it).
    explicit UdpReceiver(quint16 highestPort = 0);
    ~UdpReceiver();
    UdpReceiver(const UdpReceiver&) = delete;
    UdpReceiver& operator=(const UdpReceiver&) = delete;

    bool isValid() const { return m_fd >= 0; }
    quint16 port() const { return m_port; }
    // Collects datagrams until `count` have arrived or nothing has come for `quietMs`.
    QList<QByteArray> receive(int count, int quietMs = 2000);
    // Every datagram that has arrived so far, oldest first, without waiting.
    QList<QByteArray> take();

    // A loopback port where nobody listens (bound, then released).
    static quint16 deadPort();

private:
    int m_fd = -1;
    quint16 m_port = 0;
    QList<QByteArray> m_taken;
};
