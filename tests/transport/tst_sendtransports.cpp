// SPDX-License-Identifier: GPL-3.0-or-later
#include "RsyslogDaemon.h"
#include "TestCertificates.h"
#include "TestWorkDir.h"
#include "TransportTestKit.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <csignal>
#include <memory>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace TransportTestKit;

// talvex-send as scripts run it, over TCP, TLS and RELP to a private rsyslog on 127.0.0.1: the
// same options do the same on every transport, and its statuses and summary say what happened.
class TestSendTransports : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void playsLikeEveryOutput_data();
    void playsLikeEveryOutput();
    void lineFeedUnderLfFramingNamesItsLine();
    void receiverRestartedMidRun();
    void refusedReceiverBeforeAnyLine_data();
    void refusedReceiverBeforeAnyLine();
    void interruptedWhileTheReceiverNeverReads();
    void insecureSaidOnce();

private:
    QByteArray input(const QString& transport, bool mutual = false,
                     const QString& cert = QStringLiteral("server"));
    QStringList tlsArguments(bool mutual) const;
    int run(const QStringList& args, QByteArray* out, QByteArray* err, int timeoutMs = 60000);

    QTemporaryDir m_certDir;
    TestCertificates m_certs;
    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<RsyslogDaemon> m_daemon;
};

void TestSendTransports::initTestCase() {
    TALVEX_REQUIRE_RSYSLOG();
    QVERIFY(m_certDir.isValid());
    QVERIFY2(m_certs.make(m_certDir.path()), qPrintable(m_certs.error()));
}

void TestSendTransports::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
    m_daemon = std::make_unique<RsyslogDaemon>(m_dir->path());
    QByteArray source;
    for (const QByteArray& l : lines(0, 1000))
        source += l + "\r\n";
    QVERIFY(m_dir->write(QStringLiteral("s.txt"), source));
}

void TestSendTransports::cleanup() {
    m_daemon.reset();
    m_dir.reset();
}

QByteArray TestSendTransports::input(const QString& transport, bool mutual, const QString& cert) {
    if (transport == QLatin1String("relp"))
        return "module(load=\"imrelp\")\ninput(type=\"imrelp\" address=\"127.0.0.1\" port=\"@PORT@\")\n";
    QByteArray tls;
    if (transport == QLatin1String("tls"))
        tls = "global(DefaultNetstreamDriver=\"gtls\" DefaultNetstreamDriverCAFile=\"" +
              m_certs.ca().toUtf8() + "\" DefaultNetstreamDriverCertFile=\"" +
              m_certs.path(cert + QStringLiteral(".pem")).toUtf8() + "\" DefaultNetstreamDriverKeyFile=\"" +
              m_certs.path(cert + QStringLiteral(".key")).toUtf8() + "\")\n";
    const QByteArray driver =
        transport == QLatin1String("tls")
            ? " StreamDriver.Name=\"gtls\" StreamDriver.Mode=\"1\" StreamDriver.AuthMode=\"" +
                  QByteArray(mutual ? "x509/certvalid" : "anon") + "\""
            : QByteArray();
    return tls + "module(load=\"imtcp\"" + driver +
           ")\ninput(type=\"imtcp\" address=\"127.0.0.1\" port=\"@PORT@\")\n";
}

QStringList TestSendTransports::tlsArguments(bool mutual) const {
    QStringList args{QStringLiteral("--ca"), m_certs.ca()};
    if (mutual)
        args << QStringLiteral("--cert") << m_certs.clientCert() << QStringLiteral("--key")
             << m_certs.clientKey();
    return args;
}

int TestSendTransports::run(const QStringList& args, QByteArray* out, QByteArray* err, int timeoutMs) {
    QProcess process;
    process.setWorkingDirectory(m_dir->path());
    process.start(QStringLiteral(TALVEX_SEND), args);
    if (!process.waitForStarted() || !process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    *out = process.readAllStandardOutput();
    *err = process.readAllStandardError();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

void TestSendTransports::playsLikeEveryOutput_data() {
    QTest::addColumn<QString>("transport");
    QTest::addColumn<bool>("mutual");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("framing"); // for the network run only
    const QStringList loop{QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-l"),
                           QStringLiteral("-n"), QStringLiteral("2500")};
    const QStringList random{QStringLiteral("-d"),     QStringLiteral("0"), QStringLiteral("-r"),
                             QStringLiteral("--seed"), QStringLiteral("7"), QStringLiteral("-n"),
                             QStringLiteral("1500")};
    const QStringList paced{QStringLiteral("--rate"), QStringLiteral("2000"), QStringLiteral("-n"),
                            QStringLiteral("600"), QStringLiteral("--echo")};
    const QStringList lf{QStringLiteral("--framing"), QStringLiteral("lf")};
    QTest::newRow("tcp, octet counting, loop") << "tcp" << false << loop << QStringList();
    QTest::newRow("tcp, line feeds, random") << "tcp" << false << random << lf;
    QTest::newRow("tls, paced, echo") << "tls" << false << paced << QStringList();
    QTest::newRow("tls, mutual, loop") << "tls" << true << loop << QStringList();
    QTest::newRow("relp, loop") << "relp" << false << loop << QStringList();
    QTest::newRow("relp, random") << "relp" << false << random << QStringList();
}

void TestSendTransports::playsLikeEveryOutput() {
    QFETCH(QString, transport);
    QFETCH(bool, mutual);
    QFETCH(QStringList, options);
    QFETCH(QStringList, framing);
    QVERIFY2(m_daemon->start(input(transport, mutual)), qPrintable(m_daemon->error()));
    // What the same run writes into a file is what the receiver must get.
    QByteArray out;
    QByteArray err;
    QCOMPARE(run(QStringList{QStringLiteral("-q"), QStringLiteral("-o"), QStringLiteral("expected.txt")} +
                     options + QStringList{QStringLiteral("s.txt")},
                 &out, &err),
             0);
    QList<QByteArray> expected = m_dir->read(QStringLiteral("expected.txt")).split('\n');
    expected.removeLast();
    for (QByteArray& l : expected)
        l.chop(1); // the file's CR

    QStringList args{QStringLiteral("-q"), QStringLiteral("--summary"), QStringLiteral("json"),
                     QStringLiteral("-t"),
                     QStringLiteral("%1://127.0.0.1:%2").arg(transport).arg(m_daemon->port())};
    if (transport == QLatin1String("tls"))
        args += tlsArguments(mutual);
    QCOMPARE(run(args + framing + options + QStringList{QStringLiteral("s.txt")}, &out, &err), 0);
    QCOMPARE(m_daemon->waitForMessages(expected.size()), expected);
    if (options.contains(QStringLiteral("--echo")))
        QCOMPARE(out.count('\n'), expected.size());

    const QJsonObject summary = QJsonDocument::fromJson(err.trimmed().split('\n').last()).object();
    QCOMPARE(summary.value(QStringLiteral("transport")).toString(), transport);
    QCOMPARE(summary.value(QStringLiteral("lines")).toInteger(), expected.size());
    QCOMPARE(summary.value(QStringLiteral("written")).toInteger(), expected.size());
    if (transport == QLatin1String("relp")) {
        QCOMPARE(summary.value(QStringLiteral("acknowledged")).toInteger(), expected.size());
        QVERIFY(summary.value(QStringLiteral("acknowledged_exact")).toBool());
    } else {
        QCOMPARE(summary.value(QStringLiteral("at_risk")).toInteger(), 0);
    }
}

void TestSendTransports::lineFeedUnderLfFramingNamesItsLine() {
    QVERIFY2(m_daemon->start(input(QStringLiteral("tcp"))), qPrintable(m_daemon->error()));
    QVERIFY(m_dir->write(QStringLiteral("lf.txt"), "<13>one\r\n<13>two\nhalves\r\n<13>three\r\n"));
    QByteArray out;
    QByteArray err;
    const int status =
        run({QStringLiteral("-q"), QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("--line-ends"),
             QStringLiteral("cr"), QStringLiteral("--framing"), QStringLiteral("lf"), QStringLiteral("-t"),
             QStringLiteral("tcp://127.0.0.1:%1").arg(m_daemon->port()), QStringLiteral("lf.txt")},
            &out, &err);
    QCOMPARE(status, 1);
    QVERIFY2(err.contains("Err: 10022") && err.contains("line 2 of the source"), err.constData());
    QCOMPARE(m_daemon->waitForMessages(1), QList<QByteArray>{"<13>one"});
    QTest::qWait(300);
    QCOMPARE(m_daemon->received().size(), 1); // never half of it
}

void TestSendTransports::receiverRestartedMidRun() {
    QVERIFY2(m_daemon->start(input(QStringLiteral("tcp"))), qPrintable(m_daemon->error()));
    QProcess send;
    send.setWorkingDirectory(m_dir->path());
    send.start(QStringLiteral(TALVEX_SEND),
               {QStringLiteral("-q"), QStringLiteral("--rate"), QStringLiteral("500"), QStringLiteral("-n"),
                QStringLiteral("1000"), QStringLiteral("-t"),
                QStringLiteral("tcp://127.0.0.1:%1").arg(m_daemon->port()), QStringLiteral("s.txt")});
    QVERIFY(send.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(m_daemon->received().size() >= 300, 10000);
    m_daemon->kill();
    QVERIFY(m_daemon->restart());
    QVERIFY(send.waitForFinished(30000));
    const QByteArray err = send.readAllStandardError();
    QCOMPARE(send.exitCode(), 0);
    QVERIFY2(err.contains("count reached") && err.contains("1000 lines written") &&
                 err.contains("1 reconnection"),
             err.constData());
    // The run went on: the last line reached the new receiver, and what is missing was at risk.
    const QList<QByteArray> sent = lines(0, 1000);
    QTRY_VERIFY_WITH_TIMEOUT(m_daemon->received().contains(sent.last()), 10000);
    QVERIFY(inOrderSubset(m_daemon->received(), sent));
}

void TestSendTransports::refusedReceiverBeforeAnyLine_data() {
    QTest::addColumn<QString>("serverCert");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("said");
    QTest::newRow("wrong CA") << "server" << QStringList{QStringLiteral("--ca"), m_certs.otherCa()}
                              << QByteArray("failed the check");
    QTest::newRow("expired") << "expired" << QStringList{QStringLiteral("--ca"), m_certs.ca()}
                             << QByteArray("expired");
    QTest::newRow("another name, --server-name")
        << "server"
        << QStringList{QStringLiteral("--ca"), m_certs.ca(), QStringLiteral("--server-name"),
                       QStringLiteral("elsewhere.invalid")}
        << QByteArray("elsewhere.invalid");
}

void TestSendTransports::refusedReceiverBeforeAnyLine() {
    QFETCH(QString, serverCert);
    QFETCH(QStringList, options);
    QFETCH(QByteArray, said);
    QVERIFY2(m_daemon->start(input(QStringLiteral("tls"), false, serverCert)), qPrintable(m_daemon->error()));
    QByteArray out;
    QByteArray err;
    const int status =
        run(QStringList{QStringLiteral("-q"), QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-t"),
                        QStringLiteral("tls://127.0.0.1:%1").arg(m_daemon->port())} +
                options + QStringList{QStringLiteral("s.txt")},
            &out, &err);
    QCOMPARE(status, 2);
    QVERIFY2(err.contains("Err: 10013") && err.contains(said), err.constData());
    QTest::qWait(300);
    QVERIFY(m_daemon->received().isEmpty());
}

void TestSendTransports::interruptedWhileTheReceiverNeverReads() {
    // A listener that takes the connection into its queue and never reads a byte.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    QCOMPARE(::bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    QCOMPARE(::listen(listener, 1), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size);

    QProcess send;
    send.setWorkingDirectory(m_dir->path());
    send.start(QStringLiteral(TALVEX_SEND),
               {QStringLiteral("-q"), QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-l"),
                QStringLiteral("-t"), QStringLiteral("tcp://127.0.0.1:%1").arg(ntohs(address.sin_port)),
                QStringLiteral("s.txt")});
    QVERIFY(send.waitForStarted());
    QTest::qWait(1500); // long enough to fill every buffer on the way
    ::kill(pid_t(send.processId()), SIGINT);
    QVERIFY2(send.waitForFinished(10000), "a stop request must end a run held by its receiver");
    ::close(listener);
    const QByteArray err = send.readAllStandardError();
    QCOMPARE(send.exitCode(), 0);
    QVERIFY2(err.contains("interrupted") && err.contains("0 errors"), err.constData());
}

void TestSendTransports::insecureSaidOnce() {
    QVERIFY2(m_daemon->start(input(QStringLiteral("tls"), false, QStringLiteral("othername"))),
             qPrintable(m_daemon->error()));
    QByteArray out;
    QByteArray err;
    QCOMPARE(run({QStringLiteral("-q"), QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-n"),
                  QStringLiteral("5"), QStringLiteral("--insecure"), QStringLiteral("-t"),
                  QStringLiteral("tls://127.0.0.1:%1").arg(m_daemon->port()), QStringLiteral("s.txt")},
                 &out, &err),
             0);
    QCOMPARE(err.count("--insecure: the certificate of"), 1);
    QCOMPARE(m_daemon->waitForMessages(5), lines(0, 5));
}

QTEST_GUILESS_MAIN(TestSendTransports)
#include "tst_sendtransports.moc"
