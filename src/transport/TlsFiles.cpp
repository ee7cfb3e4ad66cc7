// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport/TlsFiles.h"

#include <QFile>

namespace {
bool readFile(const QString& path, QByteArray* bytes, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
    *bytes = file.readAll();
    return true;
}
} // namespace

bool TlsFiles::readCertificates(const QString& path, QList<QSslCertificate>* certificates, QString* error) {
    QByteArray bytes;
    if (!readFile(path, &bytes, error))
        return false;
    *certificates = QSslCertificate::fromData(bytes, QSsl::Pem);
    if (certificates->isEmpty()) {
        *error = QStringLiteral("no PEM certificate in it");
        return false;
    }
    return true;
}

bool TlsFiles::readPrivateKey(const QString& path, QSslKey* key, QString* error) {
    QByteArray bytes;
    if (!readFile(path, &bytes, error))
        return false;
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        *key = QSslKey(bytes, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key->isNull())
            return true;
    }
    *error = QStringLiteral("no unencrypted PEM private key (RSA, EC or DSA) in it");
    return false;
}
