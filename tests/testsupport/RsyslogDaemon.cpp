// SPDX-License-Identifier: GPL-3.0-or-later
#include "RsyslogDaemon.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

RsyslogDaemon::RsyslogDaemon(const QString& folder) : m_folder(folder) {
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
}

RsyslogDaemon::~RsyslogDaemon() {
    stop();
}

QString RsyslogDaemon::program() {
    const QString found = QStandardPaths::findExecutable(QStringLiteral("rsyslogd"));
    return found.isEmpty()
               ? QStandardPaths::findExecutable(QStringLiteral("rsyslogd"), {QStringLiteral("/usr/sbin")})
               : found;
}

QString RsyslogDaemon::missing(bool* skip) {
    *skip = false;
    if (!program().isEmpty())
        return QString();
    const bool syslogNg =
        !QStandardPaths::findExecutable(QStringLiteral("syslog-ng")).isEmpty() ||
        !QStandardPaths::findExecutable(QStringLiteral("syslog-ng"), {QStringLiteral("/usr/sbin")}).isEmpty();
    *skip = syslogNg;
    return syslogNg
               ? QStringLiteral("syslog-ng is this machine's logger and rsyslog cannot be installed beside "
                                "it: these tests run against rsyslog")
               : QStringLiteral("rsyslogd not found: scripts/deps.sh test installs rsyslog");
}

quint16 RsyslogDaemon::freePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

bool RsyslogDaemon::start(const QByteArray& input, quint16 port) {
    m_input = input;
    m_port = port != 0 ? port : freePort();
    if (m_port == 0) {
        m_error = QStringLiteral("no free port");
        return false;
    }
    const QByteArray dir = m_folder.toUtf8();
    QByteArray config =
        "global(workDirectory=\"" + dir +
        "\" maxMessageSize=\"128k\" parser.escapeControlCharactersOnReceive=\"off\")\n" +
        QByteArray(input).replace("@PORT@", QByteArray::number(m_port)).replace("@DIR@", dir) +
        "\ntemplate(name=\"raw\" type=\"string\" string=\"%rawmsg%\\n\")\n"
        "*.* action(type=\"omfile\" file=\"" +
        dir + "/received.log\" template=\"raw\")\n";
    QFile file(m_folder + QStringLiteral("/daemon.conf"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(config) != config.size()) {
        m_error = QStringLiteral("cannot write the configuration");
        return false;
    }
    file.close();
    return launch();
}

bool RsyslogDaemon::restart(bool waitUntilListening) {
    stop();
    return launch(waitUntilListening);
}

bool RsyslogDaemon::launch(bool waitUntilListening) {
    const QString rsyslogd = program();
    if (rsyslogd.isEmpty()) {
        m_error = QStringLiteral("rsyslogd not found (scripts/deps.sh test installs it)");
        return false;
    }
    m_process.start(rsyslogd,
                    {QStringLiteral("-n"), QStringLiteral("-f"), m_folder + QStringLiteral("/daemon.conf"),
                     QStringLiteral("-i"), m_folder + QStringLiteral("/daemon.pid")});
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("rsyslogd did not start");
        return false;
    }
    if (!waitUntilListening)
        return true;
    // Ready once it accepts a connection on its port.
    const QDeadlineTimer until(20000);
    while (!until.hasExpired() && m_process.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(1000)) {
            probe.abort();
            return true;
        }
        QThread::msleep(50);
    }
    m_error = QStringLiteral("rsyslogd did not listen on port %1").arg(m_port);
    return false;
}

void RsyslogDaemon::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(15000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void RsyslogDaemon::kill() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

QList<QByteArray> RsyslogDaemon::received() const {
    QFile file(m_folder + QStringLiteral("/received.log"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray all = file.readAll();
    if (all.endsWith('\n'))
        all.chop(1);
    return all.isEmpty() ? QList<QByteArray>() : all.split('\n');
}

QList<QByteArray> RsyslogDaemon::waitForMessages(int count, int timeoutMs) const {
    QElapsedTimer clock;
    clock.start();
    QList<QByteArray> messages = received();
    while (messages.size() < count && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(50);
        messages = received();
    }
    return messages;
}
