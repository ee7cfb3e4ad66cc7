// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport/TcpOutput.h"

#include "transport/HostLookup.h"
#include "transport/TcpConnect.h"
#include "transport/TransportError.h"

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// How long the end of a run waits for the receiver to close its side after ours.
constexpr int ClosingWaitMs = 2000;

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

TcpOutput::TcpOutput(const Destination& destination, Framing framing) : StreamOutput(destination, framing) {}

TcpOutput::~TcpOutput() {
    abortConnection();
}

RunError TcpOutput::connectOnce(QDeadlineTimer timeout) {
    abortConnection();
    if (m_addresses.isEmpty()) {
        QString error;
        m_addresses = HostLookup::addresses(destination().host, &error);
        if (m_addresses.isEmpty())
            return RunError::make(RunError::DestinationUnusable, error);
    }
    return TcpConnect::open(m_addresses, quint16(destination().port), peer(), limits(), timeout, &m_fd);
}

qint64 TcpOutput::writeSome(const char* data, qint64 size) {
    for (;;) {
        const ssize_t n = ::send(m_fd, data, size_t(size), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        m_error = systemError(errno);
        return -1;
    }
}

WaitLimits::Outcome TcpOutput::waitWritable() {
    return limits().waitFor(m_fd, POLLOUT, QDeadlineTimer(QDeadlineTimer::Forever));
}

bool TcpOutput::receiverHasClosed() {
    // A syslog receiver sends nothing back: anything readable is the end of the stream, a reset,
    // or bytes to drop.
    char scratch[4096];
    for (int reads = 0; reads < 16; ++reads) {
        const ssize_t n = ::recv(m_fd, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n > 0)
            continue;
        if (n == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return false;
        m_error = systemError(errno);
        return true;
    }
    return false;
}

bool TcpOutput::disconnectInOrder() {
    if (m_fd < 0)
        return true;
    ::shutdown(m_fd, SHUT_WR);
    // The receiver closes its side once it has read everything; a reset instead means lines may
    // not have been taken.
    bool inOrder = true;
    const QDeadlineTimer until(ClosingWaitMs);
    char scratch[4096];
    for (;;) {
        if (limits().waitFor(m_fd, POLLIN, until) != WaitLimits::Outcome::Ready)
            break;
        const ssize_t n = ::recv(m_fd, scratch, sizeof scratch, MSG_DONTWAIT);
        if (n == 0)
            break;
        if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
            inOrder = false;
            break;
        }
    }
    abortConnection();
    return inOrder;
}

void TcpOutput::abortConnection() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
