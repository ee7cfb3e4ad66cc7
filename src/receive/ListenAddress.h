// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QString>

// Where a receiver listens: a transport, a local address and a port, written as a URL such as
// "udp://0.0.0.0:5514", "tcp://127.0.0.1:5514", "tls://[::1]:6514". Port 0 lets the system
// choose a free one.
struct ListenAddress {
    enum class Transport { Udp, Tcp, Tls };
    // The port of syslog over TLS, as talvex-send's: a tls:// address may leave it out.
    static constexpr quint16 TlsPort = 6514;

    Transport transport = Transport::Udp;
    QHostAddress address;
    quint16 port = 0;

    // "udp://127.0.0.1:5514"; the port given is the one bound once known.
    QString toString() const;
    static QString toString(Transport transport, const QHostAddress& address, quint16 port);

    // The host is an IP address of this machine (or "localhost"); no name lookup, so a listening
    // address means the same on every machine. False with `error` set otherwise.
    static bool parse(const QString& text, ListenAddress* result, QString* error);
};
