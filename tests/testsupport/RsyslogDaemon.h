// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>

// A private rsyslog for end-to-end tests of the stream transports: started in the foreground
// with its own configuration and state folder, listening on a free 127.0.0.1 port with the input
// the test gives, writing each message it receives as it arrived ("%rawmsg%") on a line of its
// own. Never the machine's own logging set-up.
class RsyslogDaemon {
public:
    // `folder` holds the configuration, state and received.log; it must outlive the daemon.
    explicit RsyslogDaemon(const QString& folder);
    ~RsyslogDaemon();
    RsyslogDaemon(const RsyslogDaemon&) = delete;
    RsyslogDaemon& operator=(const RsyslogDaemon&) = delete;

    static QString program(); // empty when rsyslogd is not installed
    // Why the tests cannot run here, or empty: rsyslogd is missing, and so is syslog-ng (a machine
    // with syslog-ng as its logger cannot have rsyslog beside it, and skips them).
    static QString missing(bool* skip);
    // A loopback TCP port nobody listens on now.
    static quint16 freePort();

    // Starts rsyslogd with `input` (configuration text in which "@PORT@" stands for the port) and
    // waits until it accepts connections. False, with the reason in error(), when it does not.
    bool start(const QByteArray& input, quint16 port = 0);
    // SIGTERM (lets it finish what it took) or SIGKILL, then waits for it to go.
    void stop();
    void kill();
    // Starts it again on the same port with the same input; with `waitUntilListening` false it
    // returns at once, so a sender in this thread can meet it while it comes up.
    bool restart(bool waitUntilListening = true);

    quint16 port() const { return m_port; }
    QString error() const { return m_error; }
    // The messages received so far, one per line of received.log.
    QList<QByteArray> received() const;
    // Waits (the event loop turning) until at least `count` messages arrived or `timeoutMs`.
    QList<QByteArray> waitForMessages(int count, int timeoutMs = 20000) const;

private:
    bool launch(bool waitUntilListening = true);

    QString m_folder;
    QByteArray m_input;
    quint16 m_port = 0;
    QProcess m_process;
    QString m_error;
};

// In a test function (QtTest included): skips where rsyslog cannot be had beside the machine's own logger,
// and fails where it is only not installed yet.
#define TALVEX_REQUIRE_RSYSLOG()                                                                             \
    do {                                                                                                     \
        bool skip_ = false;                                                                                  \
        if (const QString why_ = RsyslogDaemon::missing(&skip_); !why_.isEmpty()) {                          \
            if (skip_)                                                                                       \
                QSKIP(qPrintable(why_));                                                                     \
            QFAIL(qPrintable(why_));                                                                         \
        }                                                                                                    \
    } while (false)
