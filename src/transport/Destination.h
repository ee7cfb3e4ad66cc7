// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where talvex-send sends its lines, as given to -t: "udp://HOST:PORT", "tcp://HOST:PORT",
// "tls://HOST:PORT", "relp://HOST:PORT", or a bare "HOST:PORT" / "HOST", which means UDP. An IPv6
// address goes in brackets ("tcp://[::1]:514"). Without a port: 6514 for TLS, 514 otherwise.
struct Destination {
    enum class Transport { Udp, Tcp, Tls, Relp };

    static constexpr int SyslogPort = 514;
    static constexpr int TlsPort = 6514; // the port RFC 5425 assigns to syslog over TLS

    Transport transport = Transport::Udp;
    QString host = QStringLiteral("127.0.0.1");
    int port = SyslogPort;

    // False with `error` set when `text` is not a destination; `*destination` is then untouched.
    static bool parse(const QString& text, Destination* destination, QString* error);

    // "tcp://[::1]:514": reads back to the same destination.
    QString toString() const;
    static QString schemeName(Transport transport);
    static int defaultPort(Transport transport);
};
