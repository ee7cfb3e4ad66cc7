// SPDX-License-Identifier: GPL-3.0-or-later
#include "RsyslogDaemon.h"
#include "TestCertificates.h"
#include "TestWorkDir.h"
#include "TransportTestKit.h"
#include "transport/TlsOutput.h"
#include "transport/TransportError.h"

#include <QtTest>

#include <memory>

using namespace TransportTestKit;

// TLS output end to end against rsyslog's imtcp with its GnuTLS driver on 127.0.0.1, with
// throwaway certificates: server-only and mutual TLS, and every way the check can fail.
class TestTlsOutput : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void everyLineArrivesInOrder_data();
    void everyLineArrivesInOrder();
    void refusedBeforeAnyLine_data();
    void refusedBeforeAnyLine();
    void insecureSkipsTheCheck();
    void receiverRestartedMidRun();

private:
    // A receiver showing `cert` and `key`; with `mutual` it asks for a client certificate from ca.pem.
    QByteArray gtlsInput(const QString& cert, const QString& key, bool mutual) const {
        return "global(DefaultNetstreamDriver=\"gtls\" DefaultNetstreamDriverCAFile=\"" +
               m_certs.ca().toUtf8() + "\" DefaultNetstreamDriverCertFile=\"" + cert.toUtf8() +
               "\" DefaultNetstreamDriverKeyFile=\"" + key.toUtf8() +
               "\")\n"
               "module(load=\"imtcp\" StreamDriver.Name=\"gtls\" StreamDriver.Mode=\"1\" "
               "StreamDriver.AuthMode=\"" +
               (mutual ? "x509/certvalid" : "anon") +
               "\")\n"
               "input(type=\"imtcp\" address=\"127.0.0.1\" port=\"@PORT@\")\n";
    }
    Destination destination(const QString& host, quint16 port) const {
        Destination d;
        d.transport = Destination::Transport::Tls;
        d.host = host;
        d.port = port;
        return d;
    }

    QTemporaryDir m_certDir;
    TestCertificates m_certs;
    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<RsyslogDaemon> m_daemon;
};

void TestTlsOutput::initTestCase() {
    TALVEX_REQUIRE_RSYSLOG();
    QVERIFY(m_certDir.isValid());
    QVERIFY2(m_certs.make(m_certDir.path()), qPrintable(m_certs.error()));
}

void TestTlsOutput::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
    m_daemon = std::make_unique<RsyslogDaemon>(m_dir->path());
}

void TestTlsOutput::cleanup() {
    m_daemon.reset();
    m_dir.reset();
}

void TestTlsOutput::everyLineArrivesInOrder_data() {
    QTest::addColumn<bool>("mutual");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("serverName");
    QTest::newRow("server only, --server-name") << false << "127.0.0.1"
                                                << "localhost";
    QTest::newRow("mutual, checked by name") << true << "localhost"
                                             << "";
}

void TestTlsOutput::everyLineArrivesInOrder() {
    QFETCH(bool, mutual);
    QFETCH(QString, host);
    QFETCH(QString, serverName);
    QVERIFY2(m_daemon->start(gtlsInput(m_certs.serverCert(), m_certs.serverKey(), mutual)),
             qPrintable(m_daemon->error()));
    TlsOptions options;
    options.caFile = m_certs.ca();
    options.serverName = serverName;
    if (mutual) {
        options.certFile = m_certs.clientCert();
        options.keyFile = m_certs.clientKey();
    }
    TlsOutput output(destination(host, m_daemon->port()), Framing::OctetCounting, options);
    QCOMPARE(output.prepare().number, 0);
    const RunError opened = output.open();
    QVERIFY2(!opened.isError(), qPrintable(opened.description));
    const QList<QByteArray> sent = lines(0, 10000);
    for (const QByteArray& l : sent)
        QCOMPARE(output.write(l).number, 0);
    QCOMPARE(output.flush().number, 0);
    output.close();
    QCOMPARE(m_daemon->waitForMessages(sent.size()), sent);
    QCOMPARE(output.counts().written, sent.size());
    QCOMPARE(output.counts().atRisk, 0);
}

void TestTlsOutput::refusedBeforeAnyLine_data() {
    QTest::addColumn<QString>("serverCert"); // empty: no receiver needed to find the fault
    QTest::addColumn<bool>("mutual");
    QTest::addColumn<QString>("ca");
    QTest::addColumn<QString>("cert");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("says");
    const QString server = QStringLiteral("server");
    QTest::newRow("wrong CA") << server << false << "other-ca.pem"
                              << ""
                              << ""
                              << "failed the check";
    QTest::newRow("another name") << "othername" << false << "ca.pem"
                                  << ""
                                  << ""
                                  << "failed the check";
    QTest::newRow("expired") << "expired" << false << "ca.pem"
                             << ""
                             << ""
                             << "expired";
    QTest::newRow("no client certificate for a mutual receiver") << server << true << "ca.pem"
                                                                 << ""
                                                                 << ""
                                                                 << "client certificate";
    QTest::newRow("key not of the certificate") << server << true << "ca.pem"
                                                << "client.pem"
                                                << "server.key"
                                                << "cannot be used together";
    QTest::newRow("missing CA file") << "" << false << "missing.pem"
                                     << ""
                                     << ""
                                     << "--ca";
    QTest::newRow("CA file without a certificate") << "" << false << "ca.key"
                                                   << ""
                                                   << ""
                                                   << "no PEM certificate";
    QTest::newRow("key file missing") << "" << false << "ca.pem"
                                      << "client.pem"
                                      << "missing.key"
                                      << "--key";
    QTest::newRow("certificate without key") << "" << false << "ca.pem"
                                             << "client.pem"
                                             << ""
                                             << "both --cert and --key";
}

void TestTlsOutput::refusedBeforeAnyLine() {
    QFETCH(QString, serverCert);
    QFETCH(bool, mutual);
    QFETCH(QString, ca);
    QFETCH(QString, cert);
    QFETCH(QString, key);
    QFETCH(QString, says);
    quint16 port = RsyslogDaemon::freePort();
    if (!serverCert.isEmpty()) {
        QVERIFY2(m_daemon->start(gtlsInput(m_certs.path(serverCert + QStringLiteral(".pem")),
                                           m_certs.path(serverCert + QStringLiteral(".key")), mutual)),
                 qPrintable(m_daemon->error()));
        port = m_daemon->port();
    }
    TlsOptions options;
    options.caFile = m_certs.path(ca);
    options.certFile = cert.isEmpty() ? QString() : m_certs.path(cert);
    options.keyFile = key.isEmpty() ? QString() : m_certs.path(key);
    TlsOutput output(destination(QStringLiteral("localhost"), port), Framing::OctetCounting, options);
    RunError error = output.prepare();
    if (!error.isError())
        error = output.open();
    QCOMPARE(error.number, int(TransportError::TlsRefused));
    QVERIFY2(error.description.contains(says), qPrintable(error.description));
    if (!serverCert.isEmpty()) {
        QTest::qWait(300);
        QVERIFY(m_daemon->received().isEmpty());
    }
}

void TestTlsOutput::insecureSkipsTheCheck() {
    QVERIFY2(m_daemon->start(gtlsInput(m_certs.expiredCert(), m_certs.expiredKey(), false)),
             qPrintable(m_daemon->error()));
    TlsOptions options;
    options.caFile = m_certs.otherCa();
    options.insecure = true;
    TlsOutput output(destination(QStringLiteral("127.0.0.1"), m_daemon->port()), Framing::OctetCounting,
                     options);
    QCOMPARE(output.prepare().number, 0);
    QCOMPARE(output.open().number, 0);
    QCOMPARE(output.write(line(7)).number, 0);
    output.close();
    QCOMPARE(m_daemon->waitForMessages(1), QList<QByteArray>{line(7)});
}

void TestTlsOutput::receiverRestartedMidRun() {
    QVERIFY2(m_daemon->start(gtlsInput(m_certs.serverCert(), m_certs.serverKey(), false)),
             qPrintable(m_daemon->error()));
    TlsOptions options;
    options.caFile = m_certs.ca();
    TlsOutput output(destination(QStringLiteral("127.0.0.1"), m_daemon->port()), Framing::OctetCounting,
                     options);
    QCOMPARE(output.prepare().number, 0);
    QCOMPARE(output.open().number, 0);
    const int batches = 30;
    const int perBatch = 100;
    const QList<QByteArray> sent = lines(0, batches * perBatch);
    for (int b = 0; b < batches; ++b) {
        for (int i = 0; i < perBatch; ++i)
            QCOMPARE(output.write(sent.at(b * perBatch + i)).number, 0);
        QCOMPARE(output.flush().number, 0);
        QTest::qWait(5);
        if (b == 10) {
            m_daemon->kill();
            QVERIFY(m_daemon->restart(false));
        }
    }
    output.close();
    const DeliveryCounts counts = output.counts();
    QCOMPARE(counts.reconnects, 1);
    QVERIFY(counts.atRisk > 0);
    const QList<QByteArray> last = sent.mid(sent.size() - perBatch);
    QTRY_VERIFY_WITH_TIMEOUT(endsWith(m_daemon->received(), last), 20000);
    const QList<QByteArray> received = m_daemon->received();
    QVERIFY(inOrderSubset(received, sent));
    QVERIFY(sent.size() - received.size() <= counts.atRisk);
}

QTEST_GUILESS_MAIN(TestTlsOutput)
#include "tst_tlsoutput.moc"
