// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Throwaway certificates made with the openssl command for TLS tests: a CA, a server certificate
// for "localhost" and 127.0.0.1, a client certificate, an expired server certificate, one for
// another name, and a second CA that signed none of them. EC keys, so making them is quick.
class TestCertificates {
public:
    // Makes them all in `folder`; false (see error()) when openssl fails or is missing.
    bool make(const QString& folder);
    QString error() const { return m_error; }

    QString path(const QString& name) const { return m_folder + QLatin1Char('/') + name; }
    QString ca() const { return path(QStringLiteral("ca.pem")); }
    QString otherCa() const { return path(QStringLiteral("other-ca.pem")); }
    QString serverCert() const { return path(QStringLiteral("server.pem")); }
    QString serverKey() const { return path(QStringLiteral("server.key")); }
    QString clientCert() const { return path(QStringLiteral("client.pem")); }
    QString clientKey() const { return path(QStringLiteral("client.key")); }
    QString expiredCert() const { return path(QStringLiteral("expired.pem")); }
    QString expiredKey() const { return path(QStringLiteral("expired.key")); }
    QString otherNameCert() const { return path(QStringLiteral("othername.pem")); }
    QString otherNameKey() const { return path(QStringLiteral("othername.key")); }

private:
    bool openssl(const QStringList& arguments);
    bool makeCa(const QString& name);
    bool makeSigned(const QString& name, const QString& commonName, const QString& altNames, int days);

    QString m_folder;
    QString m_error;
};
