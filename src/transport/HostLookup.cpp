// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport/HostLookup.h"

#include <QHostInfo>

#include <algorithm>

QList<QHostAddress> HostLookup::addresses(const QString& host, QString* error) {
    const QString name = host.trimmed();
    QHostAddress literal;
    if (literal.setAddress(name))
        return {literal};
    // Names under .invalid never exist (RFC 6761): no need to ask a name server.
    const QString bare = name.endsWith(QLatin1Char('.')) ? name.chopped(1) : name;
    if (name.isEmpty() || bare.compare(QLatin1String("invalid"), Qt::CaseInsensitive) == 0 ||
        bare.endsWith(QLatin1String(".invalid"), Qt::CaseInsensitive)) {
        *error = QStringLiteral("the host \"%1\" does not exist").arg(host);
        return {};
    }
    const QHostInfo info = QHostInfo::fromName(name);
    QList<QHostAddress> found = info.addresses();
    if (info.error() != QHostInfo::NoError || found.isEmpty()) {
        *error = QStringLiteral("the host \"%1\" was not found: %2").arg(host, info.errorString());
        return {};
    }
    std::stable_sort(found.begin(), found.end(), [](const QHostAddress& a, const QHostAddress& b) {
        return a.protocol() == QAbstractSocket::IPv4Protocol && b.protocol() != QAbstractSocket::IPv4Protocol;
    });
    return found;
}
