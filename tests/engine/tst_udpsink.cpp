// SPDX-License-Identifier: GPL-3.0-or-later
#include "UdpReceiver.h"
#include "engine/UdpSink.h"

#include <QUdpSocket>
#include <QtTest>

// The UDP output: one datagram per line holding exactly the line's bytes, to a destination set
// once, surviving close() and ICMP refusals from loopback ports where nobody listens.
class TestUdpSink : public QObject {
    Q_OBJECT

private slots:
    void exactBytes_data();
    void exactBytes();
    void tooLongForOneDatagram();
    void hostResolution_data();
    void hostResolution();
    void unusableDestination_data();
    void unusableDestination();
    void deadPortDoesNotFail();
    void closeThenSendGoesToSameDestination();
    void openMovesToTheNewDestination();
    void ipv6Destination();
};

void TestUdpSink::exactBytes_data() {
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("syslog line of 37") << QByteArray("<34>Oct 11 22:14:15 mymachine su: ok!");
    QTest::newRow("bytes 0x80-0xFF, not UTF-8") << QByteArray("\x80\x81\xfe\xff \xc3\x28 \xe9t\xe9");
    QTest::newRow("lone LF inside") << QByteArray("first\nsecond");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("NUL bytes") << QByteArray("a\0b", 3);
    QTest::newRow("largest IPv4 payload") << QByteArray(65507, 'z');
}

void TestUdpSink::exactBytes() {
    QFETCH(QByteArray, payload);
    UdpReceiver receiver;
    QVERIFY(receiver.isValid());
    UdpSink sink;
    sink.setRemoteHost(QStringLiteral("127.0.0.1"));
    sink.setRemotePort(receiver.port());
    QVERIFY(sink.bind());
    QVERIFY(sink.isOpen());
    QVERIFY(sink.localPort() != 0);

    const RunError error = sink.send(payload);
    QVERIFY2(!error.isError(), qPrintable(error.description));
    const QList<QByteArray> got = receiver.receive(1);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got.first(), payload);
}

void TestUdpSink::tooLongForOneDatagram() {
    UdpReceiver receiver;
    UdpSink sink;
    sink.setRemoteHost(QStringLiteral("127.0.0.1"));
    sink.setRemotePort(receiver.port());
    sink.bind();
    QCOMPARE(sink.maxPayload(), 65507);
    const RunError error = sink.send(QByteArray(65508, 'x'));
    QCOMPARE(error.number, int(RunError::DatagramTooLong));
    QVERIFY(error.description.contains(QStringLiteral("65508")));
    QVERIFY(receiver.receive(1, 200).isEmpty()); // not truncated and sent anyway
    // The sink is still usable afterwards.
    QVERIFY(!sink.send("next").isError());
    QCOMPARE(receiver.receive(1), QList<QByteArray>{"next"});
}

void TestUdpSink::hostResolution_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("address"); // empty: unusable
    QTest::newRow("IPv4 literal") << QStringLiteral("127.0.0.1") << QStringLiteral("127.0.0.1");
    QTest::newRow("private literal, not contacted")
        << QStringLiteral("10.0.0.5") << QStringLiteral("10.0.0.5");
    QTest::newRow("IPv6 literal") << QStringLiteral("::1") << QStringLiteral("::1");
    QTest::newRow("short numeric form") << QStringLiteral("127.1") << QStringLiteral("127.0.0.1");
    QTest::newRow("surrounding blanks") << QStringLiteral(" 127.0.0.1 ") << QStringLiteral("127.0.0.1");
    QTest::newRow("octet above 255") << QStringLiteral("256.1.1.1") << QString();
    QTest::newRow("dots only") << QStringLiteral("...") << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("name under .invalid, never asked")
        << QStringLiteral("relay.example.INVALID.") << QString();
    QTest::newRow("localhost by name") << QStringLiteral("localhost") << QStringLiteral("127.0.0.1");
}

void TestUdpSink::hostResolution() {
    QFETCH(QString, host);
    QFETCH(QString, address);
    UdpSink sink;
    sink.setRemoteHost(host);
    QCOMPARE(sink.remoteHost(), host); // kept as given
    if (address.isEmpty())
        QVERIFY(sink.remoteAddress().isNull());
    else
        QCOMPARE(sink.remoteAddress(), QHostAddress(address));
}

void TestUdpSink::unusableDestination_data() {
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("256.1.1.1") << QStringLiteral("256.1.1.1") << 514;
    QTest::newRow("empty host") << QString() << 514;
    QTest::newRow("port 0") << QStringLiteral("127.0.0.1") << 0;
    QTest::newRow("port 70000") << QStringLiteral("127.0.0.1") << 70000;
}

void TestUdpSink::unusableDestination() {
    QFETCH(QString, host);
    QFETCH(int, port);
    UdpSink sink;
    sink.setRemoteHost(host);
    sink.setRemotePort(port);
    sink.bind();
    // Every send fails the same way, not only the first.
    for (int i = 0; i < 2; ++i) {
        const RunError error = sink.send("line");
        QCOMPARE(error.number, int(RunError::DestinationUnusable));
        QVERIFY(!error.description.isEmpty());
    }
}

void TestUdpSink::deadPortDoesNotFail() {
    // Each datagram to a closed loopback port earns an ICMP port-unreachable; none of them may
    // come back as a failure of a later send.
    const quint16 port = UdpReceiver::deadPort();
    QVERIFY(port != 0);
    UdpSink sink;
    sink.setRemoteHost(QStringLiteral("127.0.0.1"));
    sink.setRemotePort(port);
    QVERIFY(sink.bind());
    for (int i = 0; i < 30; ++i) {
        const RunError error = sink.send("to nobody");
        QVERIFY2(!error.isError(), qPrintable(QStringLiteral("send %1: %2").arg(i).arg(error.description)));
        QTest::qWait(2); // let the socket's notifications run between datagrams
    }
    QVERIFY(sink.isOpen());
}

void TestUdpSink::closeThenSendGoesToSameDestination() {
    UdpReceiver receiver;
    UdpSink sink;
    sink.setRemoteHost(QStringLiteral("127.0.0.1"));
    sink.setRemotePort(receiver.port());
    QVERIFY(sink.bind());
    QVERIFY(!sink.send("before").isError());
    sink.close();
    QVERIFY(!sink.isOpen());
    QCOMPARE(sink.localPort(), quint16(0));
    sink.close(); // closing a closed sink does nothing
    QVERIFY(!sink.send("after").isError());
    QVERIFY(sink.isOpen());
    QCOMPARE(receiver.receive(2), (QList<QByteArray>{"before", "after"}));
    QCOMPARE(sink.remotePort(), qint32(receiver.port()));
}

void TestUdpSink::openMovesToTheNewDestination() {
    UdpReceiver first;
    UdpReceiver second;
    UdpSink sink;
    QVERIFY(sink.open(QStringLiteral("127.0.0.1"), first.port()));
    QVERIFY(!sink.send("one").isError());
    // Opening again closes the old binding and takes the new destination whole.
    QVERIFY(sink.open(QStringLiteral("127.0.0.1"), second.port()));
    QVERIFY(sink.localPort() != 0);
    QVERIFY(!sink.send("two").isError());
    QCOMPARE(first.receive(1), QList<QByteArray>{"one"});
    QCOMPARE(second.receive(1), QList<QByteArray>{"two"});
    QCOMPARE(first.receive(1, 200), QList<QByteArray>{});

    // A host that is no address still binds; the sends are what it refuses.
    QVERIFY(sink.open(QStringLiteral("256.1.1.1"), second.port()));
    QCOMPARE(sink.destinationError().number, int(RunError::DestinationUnusable));
}

void TestUdpSink::ipv6Destination() {
    QUdpSocket receiver;
    if (!receiver.bind(QHostAddress::LocalHostIPv6, 0))
        QSKIP("no IPv6 loopback on this machine");
    UdpSink sink;
    sink.setRemoteHost(QStringLiteral("::1"));
    sink.setRemotePort(receiver.localPort());
    QVERIFY(sink.bind());
    QCOMPARE(sink.maxPayload(), 65527);
    const QByteArray largest(65527, 'v');
    QVERIFY(!sink.send(largest).isError());
    QCOMPARE(sink.send(QByteArray(65528, 'v')).number, int(RunError::DatagramTooLong));
    QVERIFY(receiver.waitForReadyRead(5000) || receiver.hasPendingDatagrams());
    QCOMPARE(receiver.pendingDatagramSize(), qint64(largest.size()));
    QByteArray got(largest.size(), '\0');
    receiver.readDatagram(got.data(), got.size());
    QCOMPARE(got, largest);
}

QTEST_GUILESS_MAIN(TestUdpSink)
#include "tst_udpsink.moc"
