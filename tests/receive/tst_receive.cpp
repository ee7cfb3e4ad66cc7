// SPDX-License-Identifier: GPL-3.0-or-later
#include "OddBytesSource.h"
#include "TestCertificates.h"
#include "TestWorkDir.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

#include <csignal>

#include <unistd.h>

namespace {
QByteArray joined(const QList<QByteArray>& lines, const QByteArray& lineEnd) {
    QByteArray out;
    for (const QByteArray& line : lines)
        out += line + lineEnd;
    return out;
}

// The messages of an output that holds none of its line ends inside a message.
QList<QByteArray> splitAfterEach(const QByteArray& bytes, const QByteArray& lineEnd) {
    QList<QByteArray> out;
    for (qsizetype pos = 0; pos < bytes.size();) {
        const qsizetype end = bytes.indexOf(lineEnd, pos);
        if (end < 0)
            return out << "(no line end after) " + bytes.mid(pos);
        out << bytes.mid(pos, end - pos);
        pos = end + lineEnd.size();
    }
    return out;
}

QByteArray octetFrame(const QByteArray& message) {
    return QByteArray::number(message.size()) + ' ' + message;
}
} // namespace

// talvex-receive as scripts use it: a child process on a port the system chose, fed by the real
// talvex-send or by plain sockets; what it wrote, its summary and its status checked.
class TestReceive : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void bytesUnchangedFromTalvexSend_data();
    void bytesUnchangedFromTalvexSend();
    void bothTcpFramingsOnOneListener();
    void endings_data();
    void endings();
    void expectedLines_data();
    void expectedLines();
    void privilegedPort_data();
    void privilegedPort();
    void sigtermGivesTheSummary();
    void tlsFromTalvexSend_data();
    void tlsFromTalvexSend();
    void tlsRefusesClientsWithoutCertificate();
    void tlsUsageErrors_data();
    void tlsUsageErrors();

private:
    // Starts talvex-receive listening on `urls` (port 0) with `args`; the ports bound, in order.
    QList<quint16> start(const QStringList& urls, const QStringList& args);
    // Waits for its end: the status (-1 if it did not end or crashed) and its standard error.
    int finish(QByteArray* err, int timeoutMs = 30000);
    // talvex-send of `source` to `destination` ("127.0.0.1:PORT" or a URL) with `args`: its status.
    int sendFile(const QString& source, const QString& destination, const QStringList& args = {});
    void sendDatagrams(const QList<QByteArray>& datagrams, quint16 port);

    QTemporaryDir m_certFolder;
    TestCertificates m_certs;
    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<QProcess> m_receiver;
    QByteArray m_err;
};

void TestReceive::initTestCase() {
    QVERIFY(m_certFolder.isValid());
    QVERIFY2(m_certs.make(m_certFolder.path()), qPrintable(m_certs.error()));
}

void TestReceive::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
}

void TestReceive::cleanup() {
    if (m_receiver && m_receiver->state() != QProcess::NotRunning) {
        m_receiver->kill();
        m_receiver->waitForFinished();
    }
    m_receiver.reset();
    m_err.clear();
    m_dir.reset();
}

QList<quint16> TestReceive::start(const QStringList& urls, const QStringList& args) {
    m_receiver = std::make_unique<QProcess>();
    m_receiver->setWorkingDirectory(m_dir->path());
    m_receiver->setReadChannel(QProcess::StandardError); // where "listening on" comes
    QStringList all;
    for (const QString& url : urls)
        all << QStringLiteral("-l") << url;
    m_receiver->start(QStringLiteral(TALVEX_RECEIVE), all + args);
    QList<quint16> ports;
    static const QRegularExpression listening(QStringLiteral("listening on \\w+://[^ ]+:(\\d+)\n"));
    while (ports.size() < urls.size() && m_receiver->waitForReadyRead(10000)) {
        m_err += m_receiver->readAllStandardError();
        ports.clear();
        for (auto it = listening.globalMatch(QString::fromLocal8Bit(m_err)); it.hasNext();)
            ports << it.next().captured(1).toUShort();
    }
    return ports;
}

int TestReceive::finish(QByteArray* err, int timeoutMs) {
    const bool ended = m_receiver->waitForFinished(timeoutMs);
    *err = m_err + m_receiver->readAllStandardError();
    if (!ended || m_receiver->exitStatus() != QProcess::NormalExit)
        return -1;
    return m_receiver->exitCode();
}

int TestReceive::sendFile(const QString& source, const QString& destination, const QStringList& args) {
    QProcess send;
    send.setWorkingDirectory(m_dir->path());
    send.start(QStringLiteral(TALVEX_SEND),
               QStringList{QStringLiteral("-d"), QStringLiteral("0"), QStringLiteral("-q"),
                           QStringLiteral("--line-ends"), QStringLiteral("cr"), QStringLiteral("-t"),
                           destination} +
                   args + QStringList{source});
    return send.waitForFinished(30000) ? send.exitCode() : -1;
}

void TestReceive::sendDatagrams(const QList<QByteArray>& datagrams, quint16 port) {
    QUdpSocket socket;
    for (const QByteArray& d : datagrams)
        QCOMPARE(socket.writeDatagram(d, QHostAddress::LocalHost, port), qint64(d.size()));
}

void TestReceive::bytesUnchangedFromTalvexSend_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::addColumn<QByteArray>("ambiguous");
    const QByteArray odd = OddBytesSource::file() + "\r" + QByteArray("a\0b", 3);
    const QList<QByteArray> oddLines = OddBytesSource::lines() + QList<QByteArray>{QByteArray("a\0b", 3)};
    QTest::newRow("odd bytes, NUL, empty line") << odd << oddLines << QByteArray("\r\n") << QByteArray();
    // "first half\nsecond half" reads as two lines in such a file.
    QTest::newRow("odd bytes, LF after each")
        << odd << oddLines << QByteArray("\n") << QByteArray("1 message holds");
    const QByteArray largest(65507, '\xab');
    QTest::newRow("largest UDP datagram")
        << QByteArray("small\r" + largest + "\r\nafter") << QList<QByteArray>{"small", largest, "after"}
        << QByteArray("\r\n") << QByteArray();
}

void TestReceive::bytesUnchangedFromTalvexSend() {
    QFETCH(QByteArray, source);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(QByteArray, lineEnd);
    QFETCH(QByteArray, ambiguous);
    QVERIFY(m_dir->write(QStringLiteral("src.txt"), source));
    const QList<quint16> ports = start(
        {QStringLiteral("udp://127.0.0.1:0")},
        {QStringLiteral("-n"), QString::number(lines.size()), QStringLiteral("--timeout"),
         QStringLiteral("20"), QStringLiteral("-o"), QStringLiteral("out.txt"), QStringLiteral("--echo"),
         QStringLiteral("--line-end"), QLatin1String(lineEnd == "\n" ? "lf" : "crlf")});
    QCOMPARE(ports.size(), 1);
    QCOMPARE(sendFile(QStringLiteral("src.txt"), QStringLiteral("127.0.0.1:%1").arg(ports[0])), 0);
    QByteArray err;
    QCOMPARE(finish(&err), 0);
    QCOMPARE(m_dir->read(QStringLiteral("out.txt")), joined(lines, lineEnd));
    QCOMPARE(m_receiver->readAllStandardOutput(), joined(lines, lineEnd));
    QVERIFY2(err.contains("count reached"), err.constData());
    QCOMPARE(err.contains("ambiguous"), !ambiguous.isEmpty());
    QVERIFY(err.contains(ambiguous));
}

void TestReceive::bothTcpFramingsOnOneListener() {
    // Two connections at once, each choosing its framing, both written a byte at a time,
    // interleaved, so every cut of a frame is crossed.
    const QList<QByteArray> counted{"<13>with\nline feed", QByteArray("nul\0inside", 10), QByteArray(),
                                    "12 digits first"};
    const QList<QByteArray> lined{"<14>plain one", "caf\xe9 \x80", "last without line feed"};
    const QList<quint16> ports =
        start({QStringLiteral("tcp://127.0.0.1:0")},
              {QStringLiteral("-n"), QStringLiteral("7"), QStringLiteral("--timeout"), QStringLiteral("20"),
               QStringLiteral("-o"), QStringLiteral("out.txt")});
    QCOMPARE(ports.size(), 1);
    QByteArray octetStream;
    for (const QByteArray& m : counted)
        octetStream += octetFrame(m);
    QByteArray lfStream = lined.join('\n');
    // A third connection breaks its framing (a length with a leading zero): it alone is closed.
    QTcpSocket broken;
    broken.connectToHost(QHostAddress::LocalHost, ports[0]);
    QVERIFY(broken.waitForConnected(5000));
    broken.write("05 hello");
    QVERIFY(broken.waitForDisconnected(5000));
    QTcpSocket a;
    QTcpSocket b;
    a.connectToHost(QHostAddress::LocalHost, ports[0]);
    b.connectToHost(QHostAddress::LocalHost, ports[0]);
    QVERIFY(a.waitForConnected(5000) && b.waitForConnected(5000));
    for (qsizetype i = 0; i < std::max(octetStream.size(), lfStream.size()); ++i) {
        for (auto [socket, stream] : {std::pair{&a, &octetStream}, std::pair{&b, &lfStream}}) {
            if (i < stream->size()) {
                socket->write(stream->mid(i, 1));
                QVERIFY(socket->waitForBytesWritten(5000));
            }
        }
    }
    a.disconnectFromHost();
    b.disconnectFromHost(); // the last message ends with its connection
    QByteArray err;
    QCOMPARE(finish(&err), 0);
    QVERIFY2(err.contains("7 messages") && err.contains("3 connections") &&
                 err.contains("1 connection closed for a broken framing"),
             err.constData());
    // Which connection's messages come first is the system's choice: compared as sets.
    QList<QByteArray> all = splitAfterEach(m_dir->read(QStringLiteral("out.txt")), "\r\n");
    QList<QByteArray> expected = counted + lined;
    std::sort(all.begin(), all.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(all, expected);
}

void TestReceive::endings_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("sent");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("summary");
    QTest::newRow("--count reached") << QStringList{QStringLiteral("-n"), QStringLiteral("3")} << 3 << 0
                                     << QByteArray("3 messages, 15 bytes in");
    QTest::newRow("--count: no message past it") << QStringList{QStringLiteral("-n"), QStringLiteral("2")}
                                                 << 4 << 0 << QByteArray("2 messages, 10 bytes in");
    QTest::newRow("--timeout before the count")
        << QStringList{QStringLiteral("-n"), QStringLiteral("5"), QStringLiteral("--timeout"),
                       QStringLiteral("1")}
        << 3 << 1 << QByteArray("3 messages, 15 bytes in");
    QTest::newRow("--idle") << QStringList{QStringLiteral("--idle"), QStringLiteral("0.5")} << 2 << 0
                            << QByteArray("2 messages, 10 bytes in");
    QTest::newRow("--duration") << QStringList{QStringLiteral("--duration"), QStringLiteral("0.5")} << 1 << 0
                                << QByteArray("1 message, 5 bytes in");
}

void TestReceive::endings() {
    QFETCH(QStringList, args);
    QFETCH(int, sent);
    QFETCH(int, status);
    QFETCH(QByteArray, summary);
    const QList<quint16> ports = start({QStringLiteral("udp://127.0.0.1:0")}, args);
    QCOMPARE(ports.size(), 1);
    QList<QByteArray> datagrams;
    for (int i = 0; i < sent; ++i)
        datagrams << "msg " + QByteArray::number(i);
    sendDatagrams(datagrams, ports[0]);
    QByteArray err;
    QCOMPARE(finish(&err), status);
    QVERIFY2(err.contains(summary), err.constData());
    QVERIFY2(err.contains("from 127.0.0.1: " + summary.left(summary.indexOf(','))), err.constData());
}

void TestReceive::expectedLines_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QList<QByteArray>>("sent");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("report");
    const QByteArray abcd = "a\r\nb\r\nc\r\nd\r\n";
    const QStringList inOrder{QStringLiteral("--in-order")};
    QTest::newRow("all arrived") << abcd << QStringList() << QList<QByteArray>{"a", "b", "c", "d"} << 0
                                 << QByteArray("expected 4: 4 arrived, 0 missing, 0 extra, 0 duplicated");
    QTest::newRow("one missing") << abcd << QStringList() << QList<QByteArray>{"a", "b", "d"} << 1
                                 << QByteArray("expected 4: 3 arrived, 1 missing, 0 extra, 0 duplicated");
    QTest::newRow("one extra") << abcd << QStringList() << QList<QByteArray>{"a", "x", "b", "c", "d"} << 0
                               << QByteArray("expected 4: 4 arrived, 0 missing, 1 extra, 0 duplicated");
    QTest::newRow("one duplicated") << abcd << QStringList() << QList<QByteArray>{"a", "b", "b", "c", "d"}
                                    << 0
                                    << QByteArray("expected 4: 4 arrived, 0 missing, 0 extra, 1 duplicated");
    QTest::newRow("a line sent twice is expected twice")
        << QByteArray("a\rb\ra\r") << QStringList() << QList<QByteArray>{"a", "b", "a"} << 0
        << QByteArray("expected 3: 3 arrived, 0 missing, 0 extra, 0 duplicated");
    QTest::newRow("out of order") << abcd << inOrder << QList<QByteArray>{"a", "c", "b", "d"} << 0
                                  << QByteArray("first out of order: arrival 3 is line 2 of");
    QTest::newRow("a missing line leaves the order")
        << abcd << inOrder << QList<QByteArray>{"a", "c", "d"} << 1 << QByteArray("all in order");
    QTest::newRow("--line-ends any") << QByteArray("a\nb\r\nc\rd")
                                     << QStringList{QStringLiteral("--line-ends"), QStringLiteral("any")}
                                     << QList<QByteArray>{"a", "b", "c", "d"} << 0
                                     << QByteArray("expected 4: 4 arrived, 0 missing");
    QTest::newRow("--line-ends cr keeps a line feed")
        << QByteArray("a\nb\r\nc") << QStringList{QStringLiteral("--line-ends"), QStringLiteral("cr")}
        << QList<QByteArray>{"a\nb", "c"} << 0 << QByteArray("expected 2: 2 arrived, 0 missing");
}

void TestReceive::expectedLines() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, args);
    QFETCH(QList<QByteArray>, sent);
    QFETCH(int, status);
    QFETCH(QByteArray, report);
    QVERIFY(m_dir->write(QStringLiteral("sent.txt"), file));
    const QList<quint16> ports = start(
        {QStringLiteral("udp://127.0.0.1:0")},
        args + QStringList{QStringLiteral("--expect"), QStringLiteral("sent.txt"), QStringLiteral("-n"),
                           QString::number(sent.size()), QStringLiteral("--timeout"), QStringLiteral("20")});
    QCOMPARE(ports.size(), 1);
    sendDatagrams(sent, ports[0]);
    QByteArray err;
    QCOMPARE(finish(&err), status);
    QVERIFY2(err.contains(report), err.constData());
}

void TestReceive::privilegedPort_data() {
    QTest::addColumn<QString>("url");
    QTest::newRow("UDP") << QStringLiteral("udp://127.0.0.1:514");
    QTest::newRow("TCP") << QStringLiteral("tcp://127.0.0.1:514");
}

void TestReceive::privilegedPort() {
    QFETCH(QString, url);
    QFile start(QStringLiteral("/proc/sys/net/ipv4/ip_unprivileged_port_start"));
    if (start.open(QIODevice::ReadOnly) && start.readAll().trimmed().toInt() <= 514)
        QSKIP("this system lets anyone bind port 514");
    // As root, without the capability that allows it, as a normal user would be.
    QProcess process;
    if (::geteuid() == 0)
        process.start(QStringLiteral("setpriv"), {QStringLiteral("--bounding-set=-net_bind_service"),
                                                  QStringLiteral("--inh-caps=-net_bind_service"),
                                                  QStringLiteral(TALVEX_RECEIVE), QStringLiteral("-l"), url});
    else
        process.start(QStringLiteral(TALVEX_RECEIVE), {QStringLiteral("-l"), url});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 2);
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.contains("cannot listen on " + url.toLatin1() + ": ports below 1024 need privileges") &&
                 err.contains("Choose a port of 1024 or more, on both sides"),
             err.constData());
}

void TestReceive::sigtermGivesTheSummary() {
    const QList<quint16> ports =
        start({QStringLiteral("udp://127.0.0.1:0"), QStringLiteral("tcp://127.0.0.1:0")},
              {QStringLiteral("-o"), QStringLiteral("out.txt"), QStringLiteral("--summary"),
               QStringLiteral("json")});
    QCOMPARE(ports.size(), 2);
    sendDatagrams({"one", "two", "three"}, ports[0]);
    QTRY_COMPARE_WITH_TIMEOUT(m_dir->read(QStringLiteral("out.txt")), QByteArray("one\r\ntwo\r\nthree\r\n"),
                              10000);
    QVERIFY(::kill(pid_t(m_receiver->processId()), SIGTERM) == 0);
    QByteArray err;
    QCOMPARE(finish(&err), 0);
    const QJsonObject summary = QJsonDocument::fromJson(err.mid(err.lastIndexOf("\n{") + 1)).object();
    QCOMPARE(summary.value(QStringLiteral("messages")).toInteger(), 3);
    QCOMPARE(summary.value(QStringLiteral("bytes")).toInteger(), 11);
    QCOMPARE(summary.value(QStringLiteral("end")).toString(), QStringLiteral("interrupted"));
    QCOMPARE(
        summary.value(QStringLiteral("senders")).toObject().value(QStringLiteral("127.0.0.1")).toInteger(),
        3);
}

void TestReceive::tlsFromTalvexSend_data() {
    QTest::addColumn<QStringList>("receiverArgs");
    QTest::addColumn<QStringList>("senderArgs");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QList<QByteArray>>("lines");
    const QStringList lf{QStringLiteral("--framing"), QStringLiteral("lf")};
    // A line feed inside a message would cut it in two under the line-feed framing.
    QList<QByteArray> noLineFeed = OddBytesSource::lines();
    noLineFeed.removeOne("first half\nsecond half");
    QTest::newRow("octet counting") << QStringList() << QStringList() << OddBytesSource::file()
                                    << OddBytesSource::lines();
    QTest::newRow("line feed") << QStringList() << lf << QByteArray(noLineFeed.join('\r')) << noLineFeed;
    QTest::newRow("client certificate required")
        << QStringList{QStringLiteral("--ca"), m_certs.ca()}
        << QStringList{QStringLiteral("--cert"), m_certs.clientCert(), QStringLiteral("--key"),
                       m_certs.clientKey()}
        << OddBytesSource::file() << OddBytesSource::lines();
}

void TestReceive::tlsFromTalvexSend() {
    QFETCH(QStringList, receiverArgs);
    QFETCH(QStringList, senderArgs);
    QFETCH(QByteArray, source);
    QFETCH(QList<QByteArray>, lines);
    QVERIFY(m_dir->write(QStringLiteral("src.txt"), source));
    const QList<quint16> ports = start(
        {QStringLiteral("tls://127.0.0.1:0")},
        receiverArgs + QStringList{QStringLiteral("--cert"), m_certs.serverCert(), QStringLiteral("--key"),
                                   m_certs.serverKey(), QStringLiteral("-n"), QString::number(lines.size()),
                                   QStringLiteral("--timeout"), QStringLiteral("20"), QStringLiteral("-o"),
                                   QStringLiteral("out.txt")});
    QCOMPARE(ports.size(), 1);
    QCOMPARE(sendFile(QStringLiteral("src.txt"), QStringLiteral("tls://127.0.0.1:%1").arg(ports[0]),
                      senderArgs + QStringList{QStringLiteral("--ca"), m_certs.ca()}),
             0);
    QByteArray err;
    QCOMPARE(finish(&err), 0);
    QCOMPARE(m_dir->read(QStringLiteral("out.txt")), joined(lines, "\r\n"));
    QVERIFY2(err.contains("1 connection, count reached"), err.constData());
}

void TestReceive::tlsRefusesClientsWithoutCertificate() {
    QVERIFY(m_dir->write(QStringLiteral("src.txt"), "one\rtwo\r"));
    const QList<quint16> ports = start(
        {QStringLiteral("tls://127.0.0.1:0")},
        {QStringLiteral("--cert"), m_certs.serverCert(), QStringLiteral("--key"), m_certs.serverKey(),
         QStringLiteral("--ca"), m_certs.ca(), QStringLiteral("-n"), QStringLiteral("2"),
         QStringLiteral("--timeout"), QStringLiteral("20"), QStringLiteral("-o"), QStringLiteral("out.txt")});
    QCOMPARE(ports.size(), 1);
    const QString url = QStringLiteral("tls://127.0.0.1:%1").arg(ports[0]);
    const QStringList trust{QStringLiteral("--ca"), m_certs.ca()};
    // No certificate, one from another CA, and plain text: each closed, none of it a message.
    QVERIFY(sendFile(QStringLiteral("src.txt"), url, trust) != 0);
    QVERIFY(sendFile(QStringLiteral("src.txt"), url,
                     trust + QStringList{QStringLiteral("--cert"), m_certs.otherCa(), QStringLiteral("--key"),
                                         m_certs.path(QStringLiteral("other-ca.key"))}) != 0);
    QTcpSocket plain;
    plain.connectToHost(QHostAddress::LocalHost, ports[0]);
    QVERIFY(plain.waitForConnected(5000));
    plain.write("<13>plain text\n");
    QVERIFY(plain.waitForDisconnected(5000));
    QCOMPARE(sendFile(QStringLiteral("src.txt"), url,
                      trust + QStringList{QStringLiteral("--cert"), m_certs.clientCert(),
                                          QStringLiteral("--key"), m_certs.clientKey()}),
             0);
    QByteArray err;
    QCOMPARE(finish(&err), 0);
    QCOMPARE(m_dir->read(QStringLiteral("out.txt")), QByteArray("one\r\ntwo\r\n"));
    QVERIFY2(err.contains("3 connections closed: the TLS handshake failed") &&
                 err.count("TLS handshake with 127.0.0.1:") == 3 &&
                 err.contains("1 connection, count reached"),
             err.constData());
}

void TestReceive::tlsUsageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("says");
    const QString tls = QStringLiteral("tls://127.0.0.1:0");
    const QString missing = m_certFolder.filePath(QStringLiteral("missing.pem"));
    QTest::newRow("no --cert") << QStringList{QStringLiteral("-l"), tls, QStringLiteral("--key"),
                                              m_certs.serverKey()}
                               << QStringLiteral("a tls:// address needs --cert FILE and --key FILE");
    QTest::newRow("--cert unreadable")
        << QStringList{QStringLiteral("-l"), tls, QStringLiteral("--cert"), missing, QStringLiteral("--key"),
                       m_certs.serverKey()}
        << QStringLiteral("--cert %1: ").arg(missing);
    QTest::newRow("--key holds no key")
        << QStringList{QStringLiteral("-l"),     tls,
                       QStringLiteral("--cert"), m_certs.serverCert(),
                       QStringLiteral("--key"),  m_certs.serverCert()}
        << QStringLiteral("--key %1: no unencrypted PEM private key").arg(m_certs.serverCert());
    QTest::newRow("key of another certificate")
        << QStringList{QStringLiteral("-l"),     tls,
                       QStringLiteral("--cert"), m_certs.serverCert(),
                       QStringLiteral("--key"),  m_certs.clientKey()}
        << QStringLiteral("--key %1 does not go with the certificate of --cert").arg(m_certs.clientKey());
    QTest::newRow("--ca without tls://")
        << QStringList{QStringLiteral("-l"), QStringLiteral("udp://127.0.0.1:0"), QStringLiteral("--ca"),
                       m_certs.ca()}
        << QStringLiteral("--ca goes with a tls:// address");
}

void TestReceive::tlsUsageErrors() {
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    QProcess process;
    process.start(QStringLiteral(TALVEX_RECEIVE), args);
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 2);
    const QByteArray err = process.readAllStandardError();
    QVERIFY2(err.contains(says.toLocal8Bit()) && !err.contains("listening on"), err.constData());
}

QTEST_GUILESS_MAIN(TestReceive)
#include "tst_receive.moc"
