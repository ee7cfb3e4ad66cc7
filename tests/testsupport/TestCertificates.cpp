// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestCertificates.h"

#include <QFile>
#include <QProcess>

bool TestCertificates::openssl(const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(m_folder);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1 failed: %2%3")
                      .arg(arguments.join(QLatin1Char(' ')), process.errorString(),
                           QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    return true;
}

bool TestCertificates::makeCa(const QString& name) {
    return openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                    QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                    QStringLiteral("-keyout"), name + QStringLiteral(".key"), QStringLiteral("-out"),
                    name + QStringLiteral(".pem"), QStringLiteral("-days"), QStringLiteral("2"),
                    QStringLiteral("-subj"), QStringLiteral("/CN=Throwaway test CA ") + name});
}

// Signed by ca.pem; `days` below 0 makes a certificate that has already expired.
bool TestCertificates::makeSigned(const QString& name, const QString& commonName, const QString& altNames,
                                  int days) {
    QFile extensions(path(name + QStringLiteral(".ext")));
    if (!extensions.open(QIODevice::WriteOnly))
        return false;
    extensions.write("subjectAltName=" + altNames.toLatin1() + "\n");
    extensions.close();
    return openssl({QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                    QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                    QStringLiteral("-nodes"), QStringLiteral("-keyout"), name + QStringLiteral(".key"),
                    QStringLiteral("-out"), name + QStringLiteral(".csr"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=") + commonName}) &&
           openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                    name + QStringLiteral(".csr"), QStringLiteral("-CA"), QStringLiteral("ca.pem"),
                    QStringLiteral("-CAkey"), QStringLiteral("ca.key"), QStringLiteral("-CAcreateserial"),
                    QStringLiteral("-out"), name + QStringLiteral(".pem"), QStringLiteral("-days"),
                    QString::number(days), QStringLiteral("-extfile"), name + QStringLiteral(".ext")});
}

bool TestCertificates::make(const QString& folder) {
    m_folder = folder;
    return makeCa(QStringLiteral("ca")) && makeCa(QStringLiteral("other-ca")) &&
           makeSigned(QStringLiteral("server"), QStringLiteral("localhost"),
                      QStringLiteral("DNS:localhost,IP:127.0.0.1"), 2) &&
           makeSigned(QStringLiteral("client"), QStringLiteral("talvex-send test client"),
                      QStringLiteral("DNS:client.invalid"), 2) &&
           makeSigned(QStringLiteral("expired"), QStringLiteral("localhost"),
                      QStringLiteral("DNS:localhost,IP:127.0.0.1"), -1) &&
           makeSigned(QStringLiteral("othername"), QStringLiteral("elsewhere.invalid"),
                      QStringLiteral("DNS:elsewhere.invalid"), 2);
}
