// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive/TlsServerOptions.h"

#include "transport/TlsFiles.h"

#include <QSslSocket>

#include <sys/socket.h>
#include <unistd.h>

namespace {
bool fail(QString* error, const char* option, const QString& path, const QString& reason) {
    *error = QStringLiteral("--%1 %2: %3").arg(QLatin1String(option), path, reason);
    return false;
}

// Qt checks that the key belongs to the certificate only when a connection's TLS is set up: one
// is set up here, on a socket pair that never carries a byte, so a mismatch is said before
// listening rather than as a failed handshake with every client.
bool usable(const QSslConfiguration& configuration, QString* reason) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return true; // no trial possible: each handshake will say it
    QSslSocket trial;
    if (!trial.setSocketDescriptor(fds[0])) {
        ::close(fds[0]);
        ::close(fds[1]);
        return true;
    }
    QStringList errors; // the first says why; those after only that the set-up failed
    QObject::connect(&trial, &QSslSocket::errorOccurred, &trial,
                     [&trial, &errors](QAbstractSocket::SocketError) { errors << trial.errorString(); });
    trial.setSslConfiguration(configuration);
    trial.startServerEncryption();
    trial.abort();
    ::close(fds[1]);
    if (errors.isEmpty())
        return true;
    *reason = errors.constFirst();
    return false;
}
} // namespace

bool TlsServerOptions::load(QSslConfiguration* configuration, QString* error) const {
    if (!QSslSocket::supportsSsl()) {
        *error = QStringLiteral("TLS is not available: Qt found no TLS library (%1)")
                     .arg(QSslSocket::sslLibraryVersionString());
        return false;
    }
    QSslConfiguration c = QSslConfiguration::defaultConfiguration();
    c.setProtocol(QSsl::TlsV1_2OrLater);
    QString reason;
    QList<QSslCertificate> chain;
    if (!TlsFiles::readCertificates(certFile, &chain, &reason))
        return fail(error, "cert", certFile, reason);
    QSslKey key;
    if (!TlsFiles::readPrivateKey(keyFile, &key, &reason))
        return fail(error, "key", keyFile, reason);
    c.setLocalCertificateChain(chain);
    c.setPrivateKey(key);
    if (caFile.isEmpty()) {
        c.setPeerVerifyMode(QSslSocket::VerifyNone);
    } else {
        QList<QSslCertificate> authorities;
        if (!TlsFiles::readCertificates(caFile, &authorities, &reason))
            return fail(error, "ca", caFile, reason);
        c.setCaCertificates(authorities);
        c.setPeerVerifyMode(QSslSocket::VerifyPeer);
    }
    if (!usable(c, &reason)) {
        *error = QStringLiteral("--key %1 does not go with the certificate of --cert %2: %3")
                     .arg(keyFile, certFile, reason);
        return false;
    }
    *configuration = c;
    return true;
}
