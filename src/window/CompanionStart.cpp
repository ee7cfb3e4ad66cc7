// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/CompanionStart.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QProcess>
#include <QStandardPaths>

namespace {
const QString QuenbyProgram = QStringLiteral("Quenby.exe");

bool isAddressOfThisMachine(const QHostAddress& address) {
    return address.isLoopback() || QNetworkInterface::allAddresses().contains(address);
}
} // namespace

QString CompanionStart::listenUrl(const QString& host, int port) {
    QHostAddress address(host.trimmed());
    if (address.isNull() || !isAddressOfThisMachine(address))
        address = QHostAddress(QHostAddress::LocalHost);
    // A mapped IPv4 address (::ffff:a.b.c.d) is that IPv4 address.
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    if (mapped)
        address = QHostAddress(v4);
    const QString text = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    return QStringLiteral("udp://%1:%2").arg(text).arg(port);
}

CompanionStart::Choice CompanionStart::choose(const QString& host, int port) {
    // The program search that starting by the bare name would use, asked first, so that a
    // missing Quenby.exe leads to the companion rather than to a failure.
    if (!QStandardPaths::findExecutable(QuenbyProgram).isEmpty())
        return {QuenbyProgram, {}, false};
    return {QCoreApplication::applicationFilePath(),
            {QStringLiteral("--receiver"), QStringLiteral("--listen"), listenUrl(host, port)},
            true};
}

bool CompanionStart::startDetached(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}
