// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

// The addresses of a receiver's host, IPv4 first (most syslog receivers listen there).
namespace HostLookup {
// An address literal as given; a name through the system's resolver (blocking). Empty, with
// `error` set, for a host that does not resolve.
QList<QHostAddress> addresses(const QString& host, QString* error);
} // namespace HostLookup
