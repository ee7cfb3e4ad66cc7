// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport/Destination.h"

namespace {

const QLatin1String SchemeSeparator("://");

bool parseScheme(const QString& scheme, Destination::Transport* transport) {
    const Destination::Transport all[] = {Destination::Transport::Udp, Destination::Transport::Tcp,
                                          Destination::Transport::Tls, Destination::Transport::Relp};
    for (const Destination::Transport t : all) {
        if (scheme.compare(Destination::schemeName(t), Qt::CaseInsensitive) == 0) {
            *transport = t;
            return true;
        }
    }
    return false;
}

} // namespace

QString Destination::schemeName(Transport transport) {
    switch (transport) {
    case Transport::Udp:
        return QStringLiteral("udp");
    case Transport::Tcp:
        return QStringLiteral("tcp");
    case Transport::Tls:
        return QStringLiteral("tls");
    case Transport::Relp:
        return QStringLiteral("relp");
    }
    return QString();
}

int Destination::defaultPort(Transport transport) {
    return transport == Transport::Tls ? TlsPort : SyslogPort;
}

bool Destination::parse(const QString& text, Destination* destination, QString* error) {
    Destination d;
    QString rest = text;
    const qsizetype separator = text.indexOf(SchemeSeparator);
    if (separator >= 0) {
        const QString scheme = text.left(separator);
        if (!parseScheme(scheme, &d.transport)) {
            *error = QStringLiteral("unknown scheme \"%1\" in \"%2\": use udp://, tcp://, tls:// or relp://")
                         .arg(scheme, text);
            return false;
        }
        rest = text.mid(separator + SchemeSeparator.size());
    }
    if (rest.contains(QLatin1Char('/'))) {
        *error = QStringLiteral("a destination is HOST:PORT, without a path (got \"%1\")").arg(text);
        return false;
    }

    QString host = rest;
    QString port;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype close = rest.indexOf(QLatin1Char(']'));
        if (close < 0) {
            *error = QStringLiteral("missing ']' in \"%1\"").arg(text);
            return false;
        }
        host = rest.mid(1, close - 1);
        const QString after = rest.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(QLatin1Char(':'))) {
                *error = QStringLiteral("expected \":PORT\" after \"]\" in \"%1\"").arg(text);
                return false;
            }
            port = after.mid(1);
            if (port.isEmpty()) {
                *error = QStringLiteral("no port after ':' in \"%1\"").arg(text);
                return false;
            }
        }
    } else {
        const qsizetype colons = rest.count(QLatin1Char(':'));
        if (colons > 1) {
            *error =
                QStringLiteral("write an IPv6 address in brackets, as in [::1]:514 (got \"%1\")").arg(text);
            return false;
        }
        if (colons == 1) {
            const qsizetype colon = rest.indexOf(QLatin1Char(':'));
            host = rest.left(colon);
            port = rest.mid(colon + 1);
            if (port.isEmpty()) {
                *error = QStringLiteral("no port after ':' in \"%1\"").arg(text);
                return false;
            }
        }
    }
    if (host.trimmed().isEmpty()) {
        *error = QStringLiteral("no host in \"%1\"").arg(text);
        return false;
    }
    if (host.contains(QLatin1Char('[')) || host.contains(QLatin1Char(']'))) {
        *error = QStringLiteral("a stray bracket in \"%1\"").arg(text);
        return false;
    }
    d.host = host;
    d.port = defaultPort(d.transport);
    if (!port.isEmpty()) {
        bool ok = false;
        const int value = port.toInt(&ok, 10);
        if (!ok || value < 1 || value > 65535) {
            *error = QStringLiteral("port \"%1\" is not a number from 1 to 65535").arg(port);
            return false;
        }
        d.port = value;
    }
    *destination = d;
    return true;
}

QString Destination::toString() const {
    const QString shownHost =
        host.contains(QLatin1Char(':')) ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return schemeName(transport) + SchemeSeparator + shownHost + QLatin1Char(':') + QString::number(port);
}
