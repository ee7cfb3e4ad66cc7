// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "receive/ListenAddress.h"
#include "receive/ListenError.h"
#include "receive/MessageHandler.h"

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

// One UDP listening socket: each datagram is one message. The socket gets a large receive buffer
// and is read in batches of datagrams per system call (recvmmsg), so a fast sender does not
// overflow it; the datagrams the system still had to drop are counted.
class UdpListener : public QObject {
    Q_OBJECT
public:
    explicit UdpListener(MessageHandler handler, QObject* parent = nullptr);
    ~UdpListener() override;

    ListenError listen(const QHostAddress& address, quint16 port);
    quint16 port() const { return m_port; }
    // Datagrams the system dropped because the receive buffer was full.
    quint64 dropped() const { return m_dropped; }
    // The receive buffer the system granted, in bytes.
    int receiveBuffer() const { return m_receiveBuffer; }

signals:
    // After each batch read: the time to flush what the messages produced.
    void batchRead();

private:
    void readBatches();

    MessageHandler m_handler;
    int m_fd = -1;
    quint16 m_port = 0;
    int m_receiveBuffer = 0;
    quint64 m_dropped = 0;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_buffers;  // Batch datagrams of BufferSize bytes each
    QByteArray m_controls; // their ancillary data: the drop counter
};
