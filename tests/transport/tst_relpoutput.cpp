// SPDX-License-Identifier: GPL-3.0-or-later
#include "RsyslogDaemon.h"
#include "TestWorkDir.h"
#include "TransportTestKit.h"
#include "transport/RelpOutput.h"
#include "transport/TransportError.h"

#include <QtTest>

#include <memory>

using namespace TransportTestKit;

// RELP output against rsyslog's imrelp on 127.0.0.1, restarted while lines are on their way
// (talvex-send's own runs over RELP are in tst_sendtransports).
class TestRelpOutput : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void receiverRestartedMidRun();

private:
    static QByteArray imrelp() {
        return "module(load=\"imrelp\")\ninput(type=\"imrelp\" address=\"127.0.0.1\" port=\"@PORT@\")\n";
    }
    Destination destination(quint16 port) const {
        Destination d;
        d.transport = Destination::Transport::Relp;
        d.port = port;
        return d;
    }

    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<RsyslogDaemon> m_daemon;
};

void TestRelpOutput::initTestCase() {
    TALVEX_REQUIRE_RSYSLOG();
}

void TestRelpOutput::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
    m_daemon = std::make_unique<RsyslogDaemon>(m_dir->path());
}

void TestRelpOutput::cleanup() {
    m_daemon.reset();
    m_dir.reset();
}

void TestRelpOutput::receiverRestartedMidRun() {
    QVERIFY2(m_daemon->start(imrelp()), qPrintable(m_daemon->error()));
    const int batches = 30;
    const int perBatch = 100;
    const QList<QByteArray> sent = lines(0, batches * perBatch);
    RelpOutput output(destination(m_daemon->port()));
    QCOMPARE(output.open().number, 0);
    for (int b = 0; b < batches; ++b) {
        for (int i = 0; i < perBatch; ++i)
            QCOMPARE(output.write(sent.at(b * perBatch + i)).number, 0);
        QTest::qWait(5);
        if (b == 10) {
            // Restarted: what it acknowledged it keeps; the rest librelp sends again.
            m_daemon->stop();
            QVERIFY(m_daemon->restart(false));
        }
    }
    output.close();
    QCOMPARE(output.counts().reconnects, 1);
    QVERIFY(output.counts().acknowledgedExact);
    QCOMPARE(output.counts().acknowledged, sent.size());

    // Every line at least once; the first time each arrives is in order.
    QTRY_VERIFY_WITH_TIMEOUT(m_daemon->received().contains(sent.last()), 20000);
    QList<QByteArray> firsts;
    QSet<QByteArray> seen;
    for (const QByteArray& r : m_daemon->received()) {
        if (!seen.contains(r))
            firsts << r;
        seen.insert(r);
    }
    QCOMPARE(firsts, sent);
}

QTEST_GUILESS_MAIN(TestRelpOutput)
#include "tst_relpoutput.moc"
