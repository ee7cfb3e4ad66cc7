#include "GenerationRun.h"
#include "MediaButtonBar.h"
#include "MessageBox.h"
#include "TalvexFRM.h"
#include "TestWorkDir.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QProcess>
#include <QStandardPaths>
#include <QUdpSocket>
#include <QtTest>

// End to end against a real syslog daemon: rsyslog, in the foreground with a configuration of
// our own, receives on a loopback port and writes what it parsed of each message to a file.
class TestRsyslog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyMessageReceivedAndParsed();

private:
    QByteArray parsedLog() const;

    TestWorkDir m_dir;
    QProcess m_daemon;
    quint16 m_port = 0;
};

QByteArray TestRsyslog::parsedLog() const {
    QFile f(m_dir.filePath(QStringLiteral("received.log")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void TestRsyslog::initTestCase() {
    MessageBox::setScripted(true);
    QVERIFY(m_dir.isValid());
    QString rsyslogd = QStandardPaths::findExecutable(QStringLiteral("rsyslogd"));
    if (rsyslogd.isEmpty())
        rsyslogd = QStandardPaths::findExecutable(QStringLiteral("rsyslogd"), {QStringLiteral("/usr/sbin")});
    QVERIFY2(!rsyslogd.isEmpty(), "rsyslogd not found: the test command installs Debian's rsyslog");

    // A free port below 32000 (the initialisation replaces higher ones by 514).
    {
        QUdpSocket probe;
        for (quint16 p = 21000 + quint16(QCoreApplication::applicationPid() % 4000); p < 32000; p += 11) {
            if (probe.bind(QHostAddress(QHostAddress::LocalHost), p)) {
                m_port = p;
                break;
            }
        }
    }
    QVERIFY(m_port != 0);

    const QByteArray dir = m_dir.path().toUtf8();
    const QByteArray conf =
        "global(workDirectory=\"" + dir + "\")\n"
        "module(load=\"imudp\")\n"
        "input(type=\"imudp\" address=\"127.0.0.1\" port=\"" + QByteArray::number(m_port) + "\")\n"
        "template(name=\"fields\" type=\"list\") {\n"
        "  property(name=\"programname\") constant(value=\"|\")\n"
        "  property(name=\"hostname\") constant(value=\"|\")\n"
        "  property(name=\"msg\" droplastlf=\"on\") constant(value=\"\\n\")\n"
        "}\n"
        "*.* action(type=\"omfile\" file=\"" + dir + "/received.log\" template=\"fields\")\n";
    QVERIFY(m_dir.write(QStringLiteral("rsyslog.conf"), conf));

    m_daemon.setProcessChannelMode(QProcess::ForwardedChannels);
    m_daemon.start(rsyslogd, {QStringLiteral("-n"), QStringLiteral("-f"), m_dir.filePath(QStringLiteral("rsyslog.conf")),
                              QStringLiteral("-i"), m_dir.filePath(QStringLiteral("rsyslogd.pid"))});
    QVERIFY2(m_daemon.waitForStarted(10000), "rsyslogd did not start");

    // Ready once a probe message makes it to the file.
    QUdpSocket probe;
    bool ready = false;
    for (int attempt = 0; attempt < 100 && !ready; ++attempt) {
        probe.writeDatagram("<13>Dec  7 00:00:00 probe ready: yes", QHostAddress(QHostAddress::LocalHost), m_port);
        QTest::qWait(100);
        ready = parsedLog().contains("ready|probe|");
    }
    QVERIFY2(ready, "rsyslogd did not receive the probe message");
}

void TestRsyslog::cleanupTestCase() {
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(10000))
            m_daemon.kill();
    }
}

void TestRsyslog::everyMessageReceivedAndParsed() {
    struct Message {
        QByteArray line, program, host, text;
    };
    const QList<Message> messages{
        {"<38>Dec  7 08:14:02 bastion sshd[4121]: Accepted publickey for alice from 127.0.0.21 port 50432 ssh2",
         "sshd", "bastion", " Accepted publickey for alice from 127.0.0.21 port 50432 ssh2"},
        {"<37>Dec  7 08:15:47 bastion sshd[4188]: Failed password for invalid user admin from 127.0.0.66",
         "sshd", "bastion", " Failed password for invalid user admin from 127.0.0.66"},
        {"<132>Dec  7 08:01:12 edge-fw kernel: [UFW BLOCK] IN=eth0 SRC=127.0.0.66 DST=127.0.0.1 PROTO=TCP DPT=23",
         "kernel", "edge-fw", " [UFW BLOCK] IN=eth0 SRC=127.0.0.66 DST=127.0.0.1 PROTO=TCP DPT=23"},
        {"<190>1 2026-12-07T08:30:01.120Z www01 nginx 2231 access - GET /index.html 200 5120",
         "nginx", "www01", "GET /index.html 200 5120"},
        {"<187>1 2026-12-07T08:30:02.740Z www01 nginx 2231 error [meta sequenceId=\"41\"] upstream timed out",
         "nginx", "www01", "upstream timed out"},
        {"<189>1 2026-12-07T08:30:05.000Z db02 postgres 77 - - checkpoint complete", "postgres", "db02",
         "checkpoint complete"},
    };
    QByteArray source;
    for (const Message& m : messages)
        source += m.line + "\r\n";
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("Logs Source")));
    QVERIFY(m_dir.write(QStringLiteral("Logs Source/mixed.txt"), source));
    QVERIFY(m_dir.write(QStringLiteral("Talvex.ini"),
                        "[Source 1]\r\nDelay=0.02\r\nSyslogFile=1\r\nHostIP=127.0.0.1\r\nUDP_Port_Syslog=" +
                            QByteArray::number(m_port) + "\r\nSourceFile=mixed\r\n"));

    TalvexFRM window;
    window.show();
    QTest::mouseClick(window.CMD_SRC1, Qt::LeftButton);
    window.MMControl1->findChild<QAbstractButton*>(QStringLiteral("Play"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);

    QByteArray expected;
    for (const Message& m : messages)
        expected += m.program + '|' + m.host + '|' + m.text + '\n';
    QTRY_VERIFY_WITH_TIMEOUT(parsedLog().endsWith(expected), 10000);
    // Nothing but the probe before them: no message was lost, doubled or merged.
    QCOMPARE(parsedLog().count('\n') - parsedLog().count("ready|probe|"), messages.size());
}

QTEST_MAIN(TestRsyslog)
#include "tst_rsyslog.moc"
