// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTestKit.h"
#include "engine/GenerationRun.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/TalvexFRM.h"

#include <QAbstractButton>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUdpSocket>
#include <QtTest>

// End to end against the real syslog daemon of the machine, rsyslog or syslog-ng (Debian ships one
// or the other as the system logger): the test starts it in the foreground with a configuration and
// state folder of its own, receiving on a loopback port and writing what it parsed of each message
// to a file, one "program|host|text" line each.
class TestRsyslog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void everyMessageReceivedAndParsed_data();
    void everyMessageReceivedAndParsed();

private:
    QByteArray parsedLog() const;
    bool writeRsyslogConfig();
    bool writeSyslogNgConfig(const QString& program);

    std::unique_ptr<TestWorkDir> m_dir;
    QProcess m_daemon;
    quint16 m_port = 0;
    QMap<QString, QString> m_daemons; // name -> program
};

namespace {
QString findDaemon(const QString& name) {
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty() ? QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin")}) : found;
}
} // namespace

QByteArray TestRsyslog::parsedLog() const {
    QFile f(m_dir->filePath(QStringLiteral("received.log")));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    // rsyslog keeps the blank that follows "program:" in an RFC 3164 message, syslog-ng drops it.
    QByteArray log;
    for (QByteArray line : f.readAll().split('\n')) {
        const int text = line.indexOf('|', line.indexOf('|') + 1) + 1;
        if (text > 0 && line.mid(text, 1) == " ")
            line.remove(text, 1);
        log += line + '\n';
    }
    log.chop(1);
    return log;
}

bool TestRsyslog::writeRsyslogConfig() {
    const QByteArray dir = m_dir->path().toUtf8();
    return m_dir->write(QStringLiteral("daemon.conf"),
                        "global(workDirectory=\"" + dir +
                            "\")\n"
                            "module(load=\"imudp\")\n"
                            "input(type=\"imudp\" address=\"127.0.0.1\" port=\"" +
                            QByteArray::number(m_port) +
                            "\")\n"
                            "template(name=\"fields\" type=\"list\") {\n"
                            "  property(name=\"programname\") constant(value=\"|\")\n"
                            "  property(name=\"hostname\") constant(value=\"|\")\n"
                            "  property(name=\"msg\" droplastlf=\"on\") constant(value=\"\\n\")\n"
                            "}\n"
                            "*.* action(type=\"omfile\" file=\"" +
                            dir + "/received.log\" template=\"fields\")\n");
}

bool TestRsyslog::writeSyslogNgConfig(const QString& program) {
    // The configuration must name the syntax version of the daemon at hand.
    QProcess query;
    query.start(program, {QStringLiteral("--version")});
    if (!query.waitForFinished(10000))
        return false;
    const QRegularExpressionMatch version = QRegularExpression(QStringLiteral("Config version: ([0-9.]+)"))
                                                .match(QString::fromUtf8(query.readAllStandardOutput()));
    if (!version.hasMatch())
        return false;
    // One port takes both message formats: the source keeps each message whole and the log path
    // picks the parser by the "1" version field that opens an RFC 5424 header.
    const QByteArray dir = m_dir->path().toUtf8();
    return m_dir->write(
        QStringLiteral("daemon.conf"),
        "@version: " + version.captured(1).toUtf8() +
            "\n"
            "options { keep-hostname(yes); chain-hostnames(no); use-dns(no); dns-cache(no); stats-freq(0); "
            "};\n"
            "source s_talvex { network(ip(\"127.0.0.1\") port(" +
            QByteArray::number(m_port) +
            ") transport(\"udp\")"
            " flags(no-parse)); };\n"
            "filter f_rfc5424 { message(\"^<[0-9]{1,3}>1 \"); };\n"
            "destination d_fields { file(\"" +
            dir +
            "/received.log\" template(\"${PROGRAM}|${HOST}|${MESSAGE}\\n\")); };\n"
            "log {\n"
            "  source(s_talvex);\n"
            "  if (filter(f_rfc5424)) { parser { syslog-parser(flags(syslog-protocol)); }; }\n"
            "  else { parser { syslog-parser(); }; };\n"
            "  destination(d_fields);\n"
            "};\n");
}

void TestRsyslog::initTestCase() {
    MessageBox::setScripted(true);
    for (const QString& name : {QStringLiteral("rsyslogd"), QStringLiteral("syslog-ng")}) {
        const QString program = findDaemon(name);
        if (!program.isEmpty())
            m_daemons.insert(name, program);
    }
    QVERIFY2(!m_daemons.isEmpty(),
             "neither rsyslogd nor syslog-ng found: the test command installs Debian's rsyslog "
             "when there is no system logger");
}

void TestRsyslog::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
    const QString daemon = QString::fromUtf8(QTest::currentDataTag());
    const QString program = m_daemons.value(daemon);

    // A free port below 32000 (the initialisation replaces higher ones by 514).
    m_port = 0;
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

    const auto file = [this](const char* name) { return m_dir->filePath(QString::fromLatin1(name)); };
    QStringList args;
    if (daemon == QLatin1String("rsyslogd")) {
        QVERIFY(writeRsyslogConfig());
        args = QStringList{QStringLiteral("-n"), QStringLiteral("-f"), file("daemon.conf"),
                           QStringLiteral("-i"), file("daemon.pid")};
    } else {
        QVERIFY(writeSyslogNgConfig(program));
        args = QStringList{QStringLiteral("-F"), QStringLiteral("--no-caps"), QStringLiteral("-f"),
                           file("daemon.conf"),  QStringLiteral("-R"),        file("daemon.persist"),
                           QStringLiteral("-p"), file("daemon.pid"),          QStringLiteral("-c"),
                           file("daemon.ctl")};
    }
    m_daemon.setProcessChannelMode(QProcess::ForwardedChannels);
    m_daemon.start(program, args);
    QVERIFY2(m_daemon.waitForStarted(10000), qPrintable(daemon + QStringLiteral(" did not start")));

    // Ready once a probe message makes it to the file.
    QUdpSocket probe;
    bool ready = false;
    for (int attempt = 0; attempt < 100 && !ready && m_daemon.state() == QProcess::Running; ++attempt) {
        probe.writeDatagram("<13>Dec  7 00:00:00 probe ready: yes", QHostAddress(QHostAddress::LocalHost),
                            m_port);
        QTest::qWait(100);
        ready = parsedLog().contains("ready|probe|");
    }
    QVERIFY2(ready, qPrintable(daemon + QStringLiteral(" did not receive the probe message")));
}

void TestRsyslog::cleanup() {
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(10000))
            m_daemon.kill();
    }
    m_dir.reset();
}

void TestRsyslog::everyMessageReceivedAndParsed_data() {
    QTest::addColumn<QString>("daemon");
    for (auto it = m_daemons.cbegin(); it != m_daemons.cend(); ++it)
        QTest::newRow(qPrintable(it.key())) << it.key();
}

void TestRsyslog::everyMessageReceivedAndParsed() {
    struct Message {
        QByteArray line, program, host, text;
    };
    const QList<Message> messages{
        {"<38>Dec  7 08:14:02 bastion sshd[4121]: Accepted publickey for alice from 127.0.0.21 port 50432 "
         "ssh2",
         "sshd", "bastion", "Accepted publickey for alice from 127.0.0.21 port 50432 ssh2"},
        {"<37>Dec  7 08:15:47 bastion sshd[4188]: Failed password for invalid user admin from 127.0.0.66",
         "sshd", "bastion", "Failed password for invalid user admin from 127.0.0.66"},
        {"<132>Dec  7 08:01:12 edge-fw kernel: [UFW BLOCK] IN=eth0 SRC=127.0.0.66 DST=127.0.0.1 PROTO=TCP "
         "DPT=23",
         "kernel", "edge-fw", "[UFW BLOCK] IN=eth0 SRC=127.0.0.66 DST=127.0.0.1 PROTO=TCP DPT=23"},
        {"<190>1 2026-12-07T08:30:01.120Z www01 nginx 2231 access - GET /index.html 200 5120", "nginx",
         "www01", "GET /index.html 200 5120"},
        {"<187>1 2026-12-07T08:30:02.740Z www01 nginx 2231 error [meta sequenceId=\"41\"] upstream timed out",
         "nginx", "www01", "upstream timed out"},
        {"<189>1 2026-12-07T08:30:05.000Z db02 postgres 77 - - checkpoint complete", "postgres", "db02",
         "checkpoint complete"},
    };
    QByteArray source;
    for (const Message& m : messages)
        source += m.line + "\r\n";
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("Logs Source")));
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/mixed.txt"), source));
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"),
                         "[Source 1]\r\nDelay=0.02\r\nSyslogFile=1\r\nHostIP=127.0.0.1\r\nUDP_Port_Syslog=" +
                             QByteArray::number(m_port) + "\r\nSourceFile=mixed\r\n"));

    TalvexFRM window;
    window.show();
    QTest::mouseClick(window.CMD_SRC1, Qt::LeftButton);
    WindowTestKit::mediaButton(window, "Play")->click();
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
