// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QSslCertificate>
#include <QSslKey>
#include <QString>

// Certificates and private keys read from PEM files, for both ends of a TLS connection. On
// failure `error` is the reason alone; the caller names the option and the file.
class TlsFiles {
public:
    // Every certificate of the file: one, or a chain, or a set of authorities.
    static bool readCertificates(const QString& path, QList<QSslCertificate>* certificates, QString* error);
    // An unencrypted private key: RSA, EC or DSA.
    static bool readPrivateKey(const QString& path, QSslKey* key, QString* error);
};
