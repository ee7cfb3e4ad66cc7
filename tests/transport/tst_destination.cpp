// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport/Destination.h"

#include <QtTest>

class TestDestination : public QObject {
    Q_OBJECT

private slots:
    void parses_data();
    void parses();
    void refuses_data();
    void refuses();
};

Q_DECLARE_METATYPE(Destination::Transport)

void TestDestination::parses_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<Destination::Transport>("transport");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    using T = Destination::Transport;
    QTest::newRow("bare host and port is UDP") << "127.0.0.1:5140" << T::Udp << "127.0.0.1" << 5140;
    QTest::newRow("bare host") << "localhost" << T::Udp << "localhost" << 514;
    QTest::newRow("bare IPv6") << "[::1]:6000" << T::Udp << "::1" << 6000;
    QTest::newRow("udp") << "udp://logs.example:515" << T::Udp << "logs.example" << 515;
    QTest::newRow("tcp") << "tcp://127.0.0.1:601" << T::Tcp << "127.0.0.1" << 601;
    QTest::newRow("tcp without port") << "tcp://127.0.0.1" << T::Tcp << "127.0.0.1" << 514;
    QTest::newRow("tls without port") << "tls://collector" << T::Tls << "collector" << 6514;
    QTest::newRow("tls IPv6 without port") << "tls://[::1]" << T::Tls << "::1" << 6514;
    QTest::newRow("tls with port") << "tls://collector:7514" << T::Tls << "collector" << 7514;
    QTest::newRow("relp") << "relp://127.0.0.1:2514" << T::Relp << "127.0.0.1" << 2514;
    QTest::newRow("scheme in capitals") << "TCP://[::1]:514" << T::Tcp << "::1" << 514;
}

void TestDestination::parses() {
    QFETCH(QString, text);
    QFETCH(Destination::Transport, transport);
    QFETCH(QString, host);
    QFETCH(int, port);
    Destination d;
    QString error;
    QVERIFY2(Destination::parse(text, &d, &error), qPrintable(error));
    QCOMPARE(d.transport, transport);
    QCOMPARE(d.host, host);
    QCOMPARE(d.port, port);
    // What is shown reads back to the same destination.
    Destination back;
    QVERIFY(Destination::parse(d.toString(), &back, &error));
    QCOMPARE(back.transport, d.transport);
    QCOMPARE(back.host, d.host);
    QCOMPARE(back.port, d.port);
}

void TestDestination::refuses_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("says");
    QTest::newRow("unknown scheme") << "http://127.0.0.1:80"
                                    << "unknown scheme \"http\"";
    QTest::newRow("empty scheme") << "://127.0.0.1:80"
                                  << "unknown scheme \"\"";
    QTest::newRow("no host") << "tcp://:514"
                             << "no host";
    QTest::newRow("nothing after scheme") << "tls://"
                                          << "no host";
    QTest::newRow("port zero") << "tcp://h:0"
                               << "from 1 to 65535";
    QTest::newRow("port too high") << "relp://h:65536"
                                   << "from 1 to 65535";
    QTest::newRow("port not a number") << "tcp://h:syslog"
                                       << "from 1 to 65535";
    QTest::newRow("empty port") << "tcp://h:"
                                << "no port";
    QTest::newRow("IPv6 without brackets") << "tcp://::1:514"
                                           << "in brackets";
    QTest::newRow("unclosed bracket") << "tls://[::1:514"
                                      << "missing ']'";
    QTest::newRow("junk after bracket") << "tcp://[::1]514"
                                        << "expected \":PORT\"";
    QTest::newRow("a path") << "tcp://h:514/x"
                            << "without a path";
    QTest::newRow("stray bracket") << "tcp://a]:1"
                                   << "stray bracket";
}

void TestDestination::refuses() {
    QFETCH(QString, text);
    QFETCH(QString, says);
    Destination d;
    d.port = 1;
    QString error;
    QVERIFY(!Destination::parse(text, &d, &error));
    QVERIFY2(error.contains(says), qPrintable(error));
    QCOMPARE(d.port, 1); // untouched
}

QTEST_APPLESS_MAIN(TestDestination)
#include "tst_destination.moc"
