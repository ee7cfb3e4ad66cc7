// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive/ListenAddress.h"

#include <algorithm>

namespace {
const QLatin1String Separator("://");

QString schemeName(ListenAddress::Transport transport) {
    switch (transport) {
    case ListenAddress::Transport::Udp:
        return QStringLiteral("udp");
    case ListenAddress::Transport::Tcp:
        return QStringLiteral("tcp");
    case ListenAddress::Transport::Tls:
        return QStringLiteral("tls");
    }
    return QString();
}
} // namespace

QString ListenAddress::toString(Transport transport, const QHostAddress& address, quint16 port) {
    const QString scheme = schemeName(transport);
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    return scheme + Separator + host + QLatin1Char(':') + QString::number(port);
}

QString ListenAddress::toString() const {
    return toString(transport, address, port);
}

bool ListenAddress::parse(const QString& text, ListenAddress* result, QString* error) {
    const qsizetype schemeEnd = text.indexOf(Separator);
    if (schemeEnd < 0) {
        *error = QStringLiteral("\"%1\" is not a listening address such as udp://0.0.0.0:5514 or "
                                "tcp://127.0.0.1:5514")
                     .arg(text);
        return false;
    }
    ListenAddress a;
    const QString scheme = text.left(schemeEnd).toLower();
    bool known = false;
    for (const Transport t : {Transport::Udp, Transport::Tcp, Transport::Tls}) {
        if (scheme == schemeName(t)) {
            a.transport = t;
            known = true;
        }
    }
    if (!known) {
        *error = QStringLiteral("unknown transport \"%1\" in \"%2\" (udp, tcp or tls)").arg(scheme, text);
        return false;
    }

    const QString rest = text.mid(schemeEnd + Separator.size());
    // Only TLS has a port of its own to fall back on; syslog's 514 would need privileges.
    const bool portOptional = a.transport == Transport::Tls;
    QString host;
    QString port = portOptional ? QString::number(TlsPort) : QString();
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        const bool portFollows = rest.mid(close + 1, 1) == QLatin1String(":");
        if (close < 0 || (!portFollows && !(portOptional && close == rest.size() - 1))) {
            *error = QStringLiteral("write an IPv6 address as [::1]:PORT (got \"%1\")").arg(text);
            return false;
        }
        host = rest.mid(1, close - 1);
        if (portFollows)
            port = rest.mid(close + 2);
    } else {
        const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
        if (colon < 0 && !portOptional) {
            *error = QStringLiteral("no port in \"%1\" (as in udp://0.0.0.0:5514)").arg(text);
            return false;
        }
        host = colon < 0 ? rest : rest.left(colon);
        if (colon >= 0)
            port = rest.mid(colon + 1);
        if (host.contains(QLatin1Char(':'))) {
            *error = QStringLiteral("write an IPv6 address in brackets, as in udp://[::1]:5514 (got \"%1\")")
                         .arg(text);
            return false;
        }
    }

    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        a.address = QHostAddress(QHostAddress::LocalHost);
    else if (host.isEmpty() || !a.address.setAddress(host) || a.address.isNull()) {
        *error =
            QStringLiteral("\"%1\" is not an IP address of this machine (as 0.0.0.0, 127.0.0.1 or [::1])")
                .arg(host);
        return false;
    }

    bool ok = false;
    const int value = port.toInt(&ok, 10);
    // Digits only: toInt would take a sign or spaces.
    const bool digits = !port.isEmpty() && port.size() <= 5 &&
                        std::all_of(port.cbegin(), port.cend(),
                                    [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
    if (!ok || !digits || value < 0 || value > 65535) {
        *error = QStringLiteral("port \"%1\" is not a number from 0 to 65535").arg(port);
        return false;
    }
    a.port = static_cast<quint16>(value);
    *result = a;
    return true;
}
