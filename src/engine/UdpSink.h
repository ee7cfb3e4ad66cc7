// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/LineOutput.h"
#include "engine/RunError.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>

#include <vector>

class QUdpSocket;

// The UDP endpoint behind the window's Winsock1: a destination set at the initialisation,
// a local binding to a system-chosen port, one datagram per line. A send after close()
// goes to the same destination, binding again by itself.
class UdpSink : public QObject, public LineOutput {
    Q_OBJECT
public:
    explicit UdpSink(QObject* parent = nullptr);
    ~UdpSink() override;

    // Sets the sink up for a destination in one step: closes what was open, takes the host and
    // the port and binds again. False when no local socket could be bound; an unusable host
    // shows in destinationError().
    bool open(const QString& host, qint32 port);
    // Sends what write() kept, then lets the socket go.
    void close() override;
    // An IPv4 or IPv6 literal is used as given; any other text is resolved once, here
    // (blocking; the caller shows the wait cursor). An unusable host is remembered and
    // makes every send fail with DestinationUnusable.
    void setRemoteHost(const QString& host);
    void setRemotePort(qint32 port);
    bool bind(quint16 localPort = 0);

    // Why a send to the current destination cannot be made (DestinationUnusable), or none.
    RunError destinationError() const;
    // One datagram whose payload is exactly `payload` (an empty payload sends an empty datagram).
    RunError send(const QByteArray& payload);

    // As a run's output: one datagram per line. Without batching (the window's way) each line is
    // sent at once; with it, lines are kept until flush() or a full batch and go out together in
    // one system call. A line too long for a datagram is refused at once either way.
    RunError write(const QByteArray& line) override;
    RunError flush() override;
    void setBatching(bool on) { m_batching = on; }
    static constexpr int BatchSize = 64;

    QString remoteHost() const;
    qint32 remotePort() const;
    QHostAddress remoteAddress() const; // null when the host is unusable
    quint16 localPort() const;          // 0 while not bound
    bool isOpen() const;

    // Largest payload for the current destination's family (65507 IPv4, 65527 IPv6).
    int maxPayload() const;

private:
    RunError tooLong(const QByteArray& payload) const;
    bool ensureBound();
    // Sends the kept lines from the first with sendmmsg; how many went.
    size_t sendBatch();

    QUdpSocket* m_socket = nullptr;
    bool m_batching = false;
    // The kept lines, one after another in one buffer, and where each ends: no allocation per line.
    QByteArray m_pendingBytes;
    std::vector<qsizetype> m_pendingEnds;
    QString m_host;
    QHostAddress m_address;
    qint32 m_port = 0;
};
