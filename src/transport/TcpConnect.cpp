// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport/TcpConnect.h"

#include "transport/TransportError.h"

#include <cerrno>
#include <cstring>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

socklen_t socketAddress(const QHostAddress& address, quint16 port, sockaddr_storage* storage) {
    *storage = {};
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
        in6->sin6_scope_id = address.scopeId().toUInt();
        return sizeof(sockaddr_in6);
    }
    auto* in4 = reinterpret_cast<sockaddr_in*>(storage);
    in4->sin_family = AF_INET;
    in4->sin_port = htons(port);
    in4->sin_addr.s_addr = htonl(address.toIPv4Address());
    return sizeof(sockaddr_in);
}

RunError connectTo(const QHostAddress& address, quint16 port, const QString& peer, const WaitLimits& limits,
                   QDeadlineTimer timeout, int* fd) {
    sockaddr_storage storage;
    const socklen_t length = socketAddress(address, port, &storage);
    const int s = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (s < 0)
        return RunError::make(TransportError::ConnectionRefused,
                              QStringLiteral("no socket for %1: %2").arg(peer, systemError(errno)));
    // A paced line leaves at once instead of waiting for the previous one's acknowledgement.
    const int on = 1;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);

    int error = 0;
    if (::connect(s, reinterpret_cast<const sockaddr*>(&storage), length) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            const WaitLimits::Outcome outcome = limits.waitFor(s, POLLOUT, timeout);
            if (outcome != WaitLimits::Outcome::Ready) {
                ::close(s);
                if (outcome == WaitLimits::Outcome::Cut)
                    return RunError::make(TransportError::Interrupted,
                                          QStringLiteral("the wait on %1 was cut short").arg(peer));
                return RunError::make(TransportError::TimedOut,
                                      QStringLiteral("%1 did not answer in time").arg(peer));
            }
            socklen_t size = sizeof error;
            if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
        }
    }
    if (error == 0) {
        *fd = s;
        return RunError::none();
    }
    ::close(s);
    if (error == ECONNREFUSED)
        return RunError::make(TransportError::ConnectionRefused,
                              QStringLiteral("nothing listens on %1 (connection refused)").arg(peer));
    if (error == ETIMEDOUT)
        return RunError::make(TransportError::TimedOut,
                              QStringLiteral("%1 did not answer in time").arg(peer));
    if (error == EHOSTUNREACH || error == ENETUNREACH)
        return RunError::make(RunError::SendFailed, QStringLiteral("%1: %2").arg(peer, systemError(error)));
    return RunError::make(TransportError::ConnectionRefused,
                          QStringLiteral("cannot connect to %1: %2").arg(peer, systemError(error)));
}

} // namespace

RunError TcpConnect::open(const QList<QHostAddress>& addresses, quint16 port, const QString& peer,
                          const WaitLimits& limits, QDeadlineTimer timeout, int* fd) {
    *fd = -1;
    RunError error =
        RunError::make(RunError::DestinationUnusable, QStringLiteral("no address for %1").arg(peer));
    for (const QHostAddress& address : addresses) {
        error = connectTo(address, port, peer, limits, timeout, fd);
        if (!error.isError() || error.number == TransportError::Interrupted || timeout.hasExpired())
            break;
    }
    return error;
}
