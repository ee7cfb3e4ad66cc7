// SPDX-License-Identifier: GPL-3.0-or-later
#include "RsyslogDaemon.h"
#include "TestWorkDir.h"
#include "TransportTestKit.h"
#include "transport/TcpOutput.h"
#include "transport/TransportError.h"

#include <QtTest>

#include <memory>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace TransportTestKit;

// TCP output end to end against rsyslog's imtcp on 127.0.0.1, and against listeners that
// misbehave on purpose.
class TestTcpOutput : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void everyLineArrivesInOrder_data();
    void everyLineArrivesInOrder();
    void lineWithLineFeedRefusedUnderLf();
    void receiverRestartedMidRun();
    void retryTimeRunsOut();
    void receiverThatNeverAnswers();
    void receiverThatNeverReads_data();
    void receiverThatNeverReads();

private:
    static QByteArray imtcp() {
        return "module(load=\"imtcp\")\ninput(type=\"imtcp\" address=\"127.0.0.1\" port=\"@PORT@\")\n";
    }
    Destination destination(quint16 port) const {
        Destination d;
        d.transport = Destination::Transport::Tcp;
        d.port = port;
        return d;
    }

    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<RsyslogDaemon> m_daemon;
};

namespace {
// A loopback listener that takes connections into its queue and never reads. With `backlog`
// filled by connections of its own, a further one is never answered at all.
class SilentListener {
public:
    explicit SilentListener(bool fillBacklog) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), size);
        ::listen(m_fd, 0);
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        for (int i = 0; fillBacklog && i < 4; ++i) {
            const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(c, reinterpret_cast<sockaddr*>(&address), size);
            m_fillers << c;
        }
        QThread::msleep(100);
    }
    ~SilentListener() {
        for (int c : std::as_const(m_fillers))
            ::close(c);
        ::close(m_fd);
    }
    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
    QList<int> m_fillers;
};

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/statm"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    return status.readAll().split(' ').value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}
} // namespace

void TestTcpOutput::initTestCase() {
    TALVEX_REQUIRE_RSYSLOG();
}

void TestTcpOutput::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
    m_daemon = std::make_unique<RsyslogDaemon>(m_dir->path());
}

void TestTcpOutput::cleanup() {
    m_daemon.reset();
    m_dir.reset();
}

void TestTcpOutput::everyLineArrivesInOrder_data() {
    QTest::addColumn<Framing>("framing");
    QTest::newRow("octet counting") << Framing::OctetCounting;
    QTest::newRow("line feed") << Framing::LineFeed;
}

void TestTcpOutput::everyLineArrivesInOrder() {
    QFETCH(Framing, framing);
    QVERIFY2(m_daemon->start(imtcp()), qPrintable(m_daemon->error()));
    QList<QByteArray> sent = lines(0, 20000);
    sent.insert(100, "<13>a long line " + QByteArray(100000, 'L')); // spans buffers and segments
    TcpOutput output(destination(m_daemon->port()), framing);
    QCOMPARE(output.open().number, 0);
    for (int i = 0; i < sent.size(); ++i) {
        QCOMPARE(output.write(sent.at(i)).number, 0);
        if (i % 5000 == 0)
            QCOMPARE(output.flush().number, 0); // a flush in the middle changes nothing
    }
    QCOMPARE(output.flush().number, 0);
    output.close();
    QCOMPARE(m_daemon->waitForMessages(sent.size()), sent);
    QCOMPARE(output.counts().written, sent.size());
    QCOMPARE(output.counts().atRisk, 0);
    QCOMPARE(output.counts().unsent, 0);
}

void TestTcpOutput::lineWithLineFeedRefusedUnderLf() {
    QVERIFY2(m_daemon->start(imtcp()), qPrintable(m_daemon->error()));
    TcpOutput output(destination(m_daemon->port()), Framing::LineFeed);
    QCOMPARE(output.open().number, 0);
    QCOMPARE(output.write(line(1)).number, 0);
    QCOMPARE(output.write(line(2)).number, 0);
    const RunError refused = output.write("<13>first half\nsecond half");
    QCOMPARE(refused.number, int(TransportError::LineNotFramable));
    QVERIFY2(refused.description.contains(QLatin1String("line feed")), qPrintable(refused.description));
    output.close();
    // The lines before it arrive; no half of it does.
    QCOMPARE(m_daemon->waitForMessages(2), QList<QByteArray>({line(1), line(2)}));
    QTest::qWait(500);
    QCOMPARE(m_daemon->received().size(), 2);
}

void TestTcpOutput::receiverRestartedMidRun() {
    QVERIFY2(m_daemon->start(imtcp()), qPrintable(m_daemon->error()));
    TcpOutput output(destination(m_daemon->port()), Framing::OctetCounting);
    QCOMPARE(output.open().number, 0);
    const int batches = 40;
    const int perBatch = 100;
    const QList<QByteArray> sent = lines(0, batches * perBatch);
    int restartedAt = -1;
    for (int b = 0; b < batches; ++b) {
        for (int i = 0; i < perBatch; ++i)
            QCOMPARE(output.write(sent.at(b * perBatch + i)).number, 0);
        QCOMPARE(output.flush().number, 0);
        QTest::qWait(5);
        if (b == 10) {
            // Killed outright: what it had not read yet is gone. It comes back while we write.
            m_daemon->kill();
            QVERIFY(m_daemon->restart(false));
            restartedAt = (b + 1) * perBatch;
        }
    }
    output.close();
    const DeliveryCounts counts = output.counts();
    QCOMPARE(counts.reconnects, 1);
    QCOMPARE(counts.written, sent.size());
    QVERIFY(counts.atRisk >= restartedAt); // every line of the first connection
    QCOMPARE(counts.unsent, 0);

    const QList<QByteArray> last = sent.mid(sent.size() - perBatch);
    QTRY_VERIFY_WITH_TIMEOUT(endsWith(m_daemon->received(), last), 20000);
    const QList<QByteArray> received = m_daemon->received();
    QVERIFY(inOrderSubset(received, sent));
    // Only lines at risk may be missing.
    QVERIFY2(
        sent.size() - received.size() <= counts.atRisk,
        qPrintable(
            QStringLiteral("%1 missing, %2 at risk").arg(sent.size() - received.size()).arg(counts.atRisk)));
}

void TestTcpOutput::retryTimeRunsOut() {
    QVERIFY2(m_daemon->start(imtcp()), qPrintable(m_daemon->error()));
    TcpOutput output(destination(m_daemon->port()), Framing::OctetCounting);
    output.setRetryMs(800);
    QCOMPARE(output.open().number, 0);
    QCOMPARE(output.write(line(1)).number, 0);
    QCOMPARE(output.flush().number, 0);
    m_daemon->stop();
    QCOMPARE(output.write(line(2)).number, 0);
    const RunError error = output.flush();
    QCOMPARE(error.number, int(TransportError::ConnectionBroken));
    QVERIFY2(error.description.contains(QLatin1String("within 0.8 s")), qPrintable(error.description));
    // Done for: later lines get the same error, and the line it could not send is counted.
    QCOMPARE(output.write(line(3)).number, int(TransportError::ConnectionBroken));
    output.close();
    QCOMPARE(output.counts().unsent, 1);
}

void TestTcpOutput::receiverThatNeverAnswers() {
    SilentListener full(true);
    TcpOutput output(destination(full.port()), Framing::OctetCounting);
    output.setConnectTimeoutMs(700);
    const RunError error = output.open();
    QCOMPARE(error.number, int(TransportError::TimedOut));
    QVERIFY2(error.description.contains(QLatin1String("did not answer")), qPrintable(error.description));
}

void TestTcpOutput::receiverThatNeverReads_data() {
    QTest::addColumn<bool>("byStopRequest");
    QTest::newRow("run's deadline") << false;
    QTest::newRow("stop request") << true;
}

void TestTcpOutput::receiverThatNeverReads() {
    QFETCH(bool, byStopRequest);
    SilentListener silent(false);
    TcpOutput output(destination(silent.port()), Framing::OctetCounting);
    int stop[2] = {-1, -1};
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stop), 0);
    WaitLimits limits;
    std::thread requester;
    if (byStopRequest) {
        limits.setStopDescriptor(stop[0]);
        requester = std::thread([&stop] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            const char byte = 1;
            [[maybe_unused]] const ssize_t n = ::write(stop[1], &byte, 1);
        });
    } else {
        limits.setDeadline(QDeadlineTimer(1500));
    }
    output.setWaitLimits(limits);
    QCOMPARE(output.open().number, 0);

    // Far more than the socket's buffers can hold: the writer must wait, not gather.
    const long before = residentKiB();
    const QByteArray text = line(1);
    RunError error;
    qint64 taken = 0;
    while (!error.isError() && taken < 10000000) {
        error = output.write(text);
        taken += error.isError() ? 0 : 1;
    }
    const long grown = residentKiB() - before;
    if (requester.joinable())
        requester.join();
    QCOMPARE(error.number, int(TransportError::Interrupted));
    QVERIFY2(grown < 64 * 1024, qPrintable(QStringLiteral("grew by %1 KiB").arg(grown)));
    QVERIFY(taken * text.size() < qint64(64) * 1024 * 1024);
    output.close();
    // Every line taken is accounted for: written, or said not to be.
    QCOMPARE(output.counts().written + output.counts().unsent, taken);
    ::close(stop[0]);
    ::close(stop[1]);
}

QTEST_GUILESS_MAIN(TestTcpOutput)
#include "tst_tcpoutput.moc"
