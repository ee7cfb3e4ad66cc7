// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestKit.h"
#include "FakeRunHost.h"
#include "UdpReceiver.h"
#include "engine/GenerationRun.h"
#include "engine/UdpSink.h"

#include <QtTest>

using namespace EngineTestKit;

namespace {
const QString Source = QStringLiteral("web");
const QString SourcePath = QStringLiteral("Logs Source/web.txt");
const QString Delay = QStringLiteral("0.005");
} // namespace

// Runs with UDP output: the datagrams a receiver on 127.0.0.1 gets, byte for byte.
class TestRunUdp : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void everyLineExactlyAsRead();
    void lineSentBeforeItIsShown();
    void waitCountsFromTheSend();
    void nobodyListeningDoesNotStopTheRun();
    void stopClosesSocketNextRunSendsToSameDestination();
    void datagramSizeLimit();
    void unusableHost();

private:
    void aimAt(const QString& host, quint16 port);

    std::unique_ptr<WorkDir> m_dir;
    std::unique_ptr<FakeRunHost> m_host;
    std::unique_ptr<UdpSink> m_udp;
    std::unique_ptr<GenerationRun> m_run;
};

void TestRunUdp::init() {
    m_dir = std::make_unique<WorkDir>();
    QVERIFY(m_dir->isValid());
    m_host = std::make_unique<FakeRunHost>();
    m_udp = std::make_unique<UdpSink>();
    m_udp->setObjectName(QStringLiteral("Winsock1"));
    m_run = std::make_unique<GenerationRun>(m_host.get(), m_udp.get());
    m_run->setOutput(Output::Syslog);
}

void TestRunUdp::cleanup() {
    m_run.reset();
    m_udp.reset();
    m_host.reset();
    m_dir.reset();
}

void TestRunUdp::aimAt(const QString& host, quint16 port) {
    // What the window's initialisation does with Winsock1.
    m_udp->close();
    m_udp->setRemoteHost(host);
    m_udp->setRemotePort(port);
    m_udp->bind(0);
}

void TestRunUdp::everyLineExactlyAsRead() {
    const QByteArray syslog("<34>Oct 11 22:14:15 mymachine su: hi!");
    QCOMPARE(syslog.size(), 37);
    const QByteArray binary("\x80\x9f\xa0\xff\xc3\x28\xe9");
    const QList<QByteArray> expected{syslog, binary, "one\ntwo", "", "last without end"};
    QVERIFY(writeFile(SourcePath, syslog + "\r\n" + binary + "\r\none\ntwo\r\n\r\nlast without end"));
    UdpReceiver receiver;
    QVERIFY(receiver.isValid());
    aimAt(QStringLiteral("127.0.0.1"), receiver.port());

    QVERIFY(playAndWait(*m_run, Source, Delay));
    QCOMPARE(receiver.receive(expected.size()), expected);
    QVERIFY(receiver.receive(1, 100).isEmpty()); // nothing else, no terminator datagram
    QCOMPARE(m_host->echo, expected);
    QCOMPARE(m_host->lineCountCaption, QStringLiteral("Lignes: 5"));
    QCOMPARE(m_host->boxesOfKind(QStringLiteral("information")).size(), 1);
    QCOMPARE(m_host->errorCount, 0);
    // UDP output touches no output file.
    QVERIFY(!QFileInfo::exists(GenerationRun::outputPath(Source)));
}

void TestRunUdp::lineSentBeforeItIsShown() {
    // The window's work on a line must not hold up the line itself.
    QVERIFY(writeFile(SourcePath, "first\r\nsecond\r\n"));
    UdpReceiver receiver;
    QVERIFY(receiver.isValid());
    aimAt(QStringLiteral("127.0.0.1"), receiver.port());
    QList<QByteArray> arrivedBeforeEcho;
    m_host->onEcho = [&] { arrivedBeforeEcho += receiver.receive(1, 500); };
    QVERIFY(playAndWait(*m_run, Source, Delay));
    QCOMPARE(arrivedBeforeEcho, (QList<QByteArray>{"first", "second"}));
    QCOMPARE(m_host->echo, (QList<QByteArray>{"first", "second"}));
}

void TestRunUdp::waitCountsFromTheSend() {
    // A window slower than the delay adds nothing to it: the next line leaves one delay after
    // the last one, not one delay after the window is done. Counted from the end of the
    // window's work, the second line could not leave before 700 ms.
    QVERIFY(writeFile(SourcePath, "first\r\nsecond\r\n"));
    UdpReceiver receiver;
    QVERIFY(receiver.isValid());
    aimAt(QStringLiteral("127.0.0.1"), receiver.port());
    QElapsedTimer clock;
    QList<qint64> shownAtMs;
    m_host->onEcho = [&] {
        shownAtMs << clock.elapsed();
        QThread::msleep(400);
    };
    clock.start();
    QVERIFY(playAndWait(*m_run, Source, QStringLiteral("0.3")));
    QCOMPARE(receiver.receive(2), (QList<QByteArray>{"first", "second"}));
    QCOMPARE(shownAtMs.size(), 2);
    QVERIFY2(shownAtMs[1] - shownAtMs[0] < 650, qPrintable(QString::number(shownAtMs[1] - shownAtMs[0])));
}

void TestRunUdp::nobodyListeningDoesNotStopTheRun() {
    QVERIFY(writeFile(SourcePath, "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n"));
    aimAt(QStringLiteral("127.0.0.1"), UdpReceiver::deadPort());
    QVERIFY(playAndWait(*m_run, Source, Delay));
    QCOMPARE(m_host->errorCount, 0);
    QCOMPARE(m_host->echo.size(), 6);
    QCOMPARE(m_host->lineCountCaption, QStringLiteral("Lignes: 6"));
    QCOMPARE(m_host->boxesOfKind(QStringLiteral("information")).size(), 1);
}

void TestRunUdp::stopClosesSocketNextRunSendsToSameDestination() {
    QVERIFY(writeFile(SourcePath, "a\r\nb\r\n"));
    UdpReceiver receiver;
    aimAt(QStringLiteral("127.0.0.1"), receiver.port());
    GenerationRun& run = *m_run;
    auto once = std::make_shared<QMetaObject::Connection>();
    *once = connect(&run, &GenerationRun::lineProduced, this, [&run, once] {
        disconnect(*once);
        QTimer::singleShot(0, &run, [&run] { run.stop(); });
    });
    QVERIFY(playAndWait(run, Source, QStringLiteral("0.05")));
    QCOMPARE(receiver.receive(1), QList<QByteArray>{"a"});
    QVERIFY(!m_udp->isOpen()); // Stop closed Winsock1

    QVERIFY(playAndWait(run, Source, Delay));
    QCOMPARE(receiver.receive(2), (QList<QByteArray>{"a", "b"}));
    QVERIFY(m_udp->isOpen());
}

void TestRunUdp::datagramSizeLimit() {
    const QByteArray fits(65507, 'A');
    const QByteArray tooLong(65508, 'B');
    QVERIFY(writeFile(SourcePath, fits + "\r\n" + tooLong + "\r\nC\r\n"));
    UdpReceiver receiver;
    aimAt(QStringLiteral("127.0.0.1"), receiver.port());

    m_run->play(Source, Delay);
    QVERIFY(waitForEnd(*m_run));
    const QList<QByteArray> got = receiver.receive(2, 300);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got.first(), fits);
    QVERIFY2(m_host->errorCaption.startsWith(QStringLiteral("Err: 10040 : ")),
             qPrintable(m_host->errorCaption));
    QCOMPARE(m_host->titleCaption, QStringLiteral("Erreur Inconnue"));
    // The failing line was counted and echoed first; then the run is halted.
    QCOMPARE(m_host->echo.size(), 2);
    QCOMPARE(m_host->echo.last(), tooLong);
    QCOMPARE(m_host->lineCountCaption, QStringLiteral("Lignes: 2"));
    QCOMPARE(m_host->buttons(), QStringLiteral("011"));
    QCOMPARE(m_host->enabledControls, 0);
    QVERIFY(!m_run->isRunning());
    QVERIFY(m_host->boxes.isEmpty());

    m_run->stop();
    QCOMPARE(m_host->buttons(), QStringLiteral("100"));
}

void TestRunUdp::unusableHost() {
    QVERIFY(writeFile(SourcePath, "a\r\n"));
    aimAt(QStringLiteral("256.1.1.1"), 514);
    m_run->play(Source, Delay);
    QVERIFY(waitForEnd(*m_run));
    QVERIFY2(m_host->errorCaption.startsWith(QStringLiteral("Err: 10049 : ")),
             qPrintable(m_host->errorCaption));
    QVERIFY(m_host->errorCaption.contains(QStringLiteral("256.1.1.1")));
    QCOMPARE(m_host->echo.size(), 1);
    QCOMPARE(m_host->buttons(), QStringLiteral("011"));
}

QTEST_GUILESS_MAIN(TestRunUdp)
#include "tst_runudp.moc"
