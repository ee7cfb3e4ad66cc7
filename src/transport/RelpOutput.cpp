// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport/RelpOutput.h"

#include "transport/Backoff.h"
#include "transport/HostLookup.h"
#include "transport/TcpConnect.h"
#include "transport/TransportError.h"

// librelp.h declares C functions without saying so.
extern "C" {
#include <librelp.h>
}

#include <sys/socket.h>
#include <unistd.h>

namespace {
// librelp calls its debug printer unconditionally.
void noDebugOutput(char*, ...) {}

bool sessionBroke(relpRetVal code) {
    return code == RELP_RET_SESSION_BROKEN || code == RELP_RET_IO_ERR || code == RELP_RET_TIMED_OUT ||
           code == RELP_RET_SESSION_CLOSED;
}
} // namespace

RelpOutput::RelpOutput(const Destination& destination) : m_destination(destination) {}

RelpOutput::~RelpOutput() {
    close();
}

void RelpOutput::onSessionError(void* user, char* where, char* message, int code) {
    auto* self = static_cast<RelpOutput*>(user);
    if (!self)
        return;
    ++self->m_sessionErrors;
    self->m_lastSessionError = QStringLiteral("%1 (librelp %2, %3)")
                                   .arg(QString::fromLocal8Bit(message))
                                   .arg(code)
                                   .arg(QString::fromLocal8Bit(where));
}

void RelpOutput::setStopFlag(int* flag) {
    m_stopFlag = flag;
    if (m_engine)
        relpEngineSetShutdownImmdtPtr(m_engine, m_stopFlag);
}

RunError RelpOutput::sessionError(int code, const QString& what) const {
    const int number =
        code == RELP_RET_TIMED_OUT ? int(TransportError::TimedOut) : int(TransportError::RelpFailed);
    QString detail = m_lastSessionError;
    if (detail.isEmpty())
        detail = QStringLiteral("librelp error %1").arg(code);
    return RunError::make(number, QStringLiteral("%1 with %2: %3").arg(what, peer(), detail));
}

RunError RelpOutput::open() {
    QString error;
    const QList<QHostAddress> addresses = HostLookup::addresses(m_destination.host, &error);
    if (addresses.isEmpty())
        return RunError::make(RunError::DestinationUnusable, error);
    const QHostAddress& address = addresses.first();

    const int family = address.protocol() == QAbstractSocket::IPv6Protocol ? AF_INET6 : AF_INET;
    QByteArray host = address.toString().toLatin1();
    QByteArray port = QByteArray::number(m_destination.port);

    if (relpEngineConstruct(&m_engine) != RELP_RET_OK)
        return RunError::make(TransportError::RelpFailed, QStringLiteral("librelp could not start"));
    relpEngineSetDbgprint(m_engine, &noDebugOutput);
    relpEngineSetEnableCmd(m_engine, reinterpret_cast<unsigned char*>(const_cast<char*>("syslog")),
                           eRelpCmdState_Required);
    relpEngineSetOnErr(m_engine, &RelpOutput::onSessionError);
    if (m_stopFlag)
        relpEngineSetShutdownImmdtPtr(m_engine, m_stopFlag);
    if (relpEngineCltConstruct(m_engine, &m_client) != RELP_RET_OK)
        return RunError::make(TransportError::RelpFailed, QStringLiteral("librelp could not make a client"));
    relpCltSetUsrPtr(m_client, this);
    relpCltSetTimeout(m_client, unsigned(m_answerTimeoutSeconds));
    relpCltSetConnTimeout(m_client, m_connectTimeoutSeconds);
    relpCltSetWindowSize(m_client, m_window);
    const relpRetVal code = relpCltConnect(m_client, family, reinterpret_cast<unsigned char*>(port.data()),
                                           reinterpret_cast<unsigned char*>(host.data()));
    if (code != RELP_RET_OK) {
        RunError failure = sessionError(code, QStringLiteral("no RELP session"));
        // librelp says little about a receiver it cannot reach: a plain connection tells why.
        int probe = -1;
        const RunError unreachable =
            TcpConnect::open({address}, quint16(m_destination.port), peer(), m_limits,
                             QDeadlineTimer(m_connectTimeoutSeconds * 1000), &probe);
        if (unreachable.isError())
            failure = unreachable;
        else
            ::close(probe);
        relpEngineCltDestruct(m_engine, &m_client);
        m_client = nullptr;
        return failure;
    }
    return RunError::none();
}

RunError RelpOutput::write(const QByteArray& line) {
    if (m_failure.isError())
        return m_failure;
    if (!m_client)
        return RunError::make(TransportError::RelpFailed,
                              QStringLiteral("no RELP session with %1").arg(peer()));
    for (;;) {
        const relpRetVal code =
            relpCltSendSyslog(m_client, reinterpret_cast<unsigned char*>(const_cast<char*>(line.constData())),
                              size_t(line.size()));
        if (code == RELP_RET_OK) {
            ++m_counts.written;
            return RunError::none();
        }
        if (!sessionBroke(code)) {
            m_failure = sessionError(code, QStringLiteral("a line was refused"));
            return m_failure;
        }
        const RunError error = reconnect(code);
        if (error.isError())
            return error;
    }
}

RunError RelpOutput::reconnect(int code) {
    if (m_limits.reached())
        return RunError::make(TransportError::Interrupted,
                              QStringLiteral("the wait on %1 was cut short").arg(peer()));
    const QString why = sessionError(code, QStringLiteral("the session broke")).description;
    Backoff backoff(m_retryMs);
    QString last;
    for (;;) {
        const qint64 pause = backoff.nextPauseMs();
        if (pause < 0)
            break;
        if (m_limits.sleep(QDeadlineTimer(pause)) == WaitLimits::Outcome::Cut)
            return RunError::make(TransportError::Interrupted,
                                  QStringLiteral("the wait on %1 was cut short").arg(peer()));
        // Sends every line not yet acknowledged again before it returns.
        const relpRetVal again = relpCltReconnect(m_client);
        if (again == RELP_RET_OK) {
            ++m_counts.reconnects;
            return RunError::none();
        }
        last = sessionError(again, QStringLiteral("no new session")).description;
    }
    m_failure = RunError::make(TransportError::ConnectionBroken,
                               QStringLiteral("%1, and it could not be made again within %2 s: %3")
                                   .arg(why)
                                   .arg(double(m_retryMs) / 1000)
                                   .arg(last));
    return m_failure;
}

void RelpOutput::close() {
    if (m_client) {
        // The "close" command is answered after every line before it: a close without a session
        // error proves that each line was acknowledged.
        const int errorsBefore = m_sessionErrors;
        relpEngineCltDestruct(m_engine, &m_client);
        m_client = nullptr;
        if (!m_failure.isError() && m_sessionErrors == errorsBefore) {
            m_counts.acknowledged = m_counts.written;
            m_counts.acknowledgedExact = true;
        }
    }
    if (m_engine) {
        relpEngineDestruct(&m_engine);
        m_engine = nullptr;
    }
}

const DeliveryCounts& RelpOutput::counts() const {
    if (!m_counts.acknowledgedExact)
        m_counts.acknowledged = qMax<qint64>(0, m_counts.written - m_window);
    return m_counts;
}
