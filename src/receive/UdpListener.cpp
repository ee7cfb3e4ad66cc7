// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive/UdpListener.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int Batch = 64;
// The largest UDP payload over IPv6 is 65,527 bytes; one more byte shows a cut datagram.
constexpr int BufferSize = 65536;
// Asked for; the system grants up to its limit (net.core.rmem_max) unless the process may exceed it.
constexpr int WantedReceiveBuffer = 32 * 1024 * 1024;
// Batches read per wake-up before the event loop gets a turn (timers, signals, other sockets).
constexpr int BatchesPerWakeUp = 16;
constexpr std::size_t ControlSize = CMSG_SPACE(sizeof(quint32));

ListenError bindError(int error, const QHostAddress& address, quint16 port) {
    const QString reason = QString::fromLocal8Bit(std::strerror(error));
    const QString where = ListenAddress::toString(ListenAddress::Transport::Udp, address, port);
    if (error == EACCES && port < 1024)
        return {ListenError::Kind::Privileged,
                QStringLiteral("cannot listen on %1: ports below 1024 need privileges (root, or the "
                               "CAP_NET_BIND_SERVICE capability). Choose a port of 1024 or more, on both "
                               "sides: the receiver's address and the sender's destination.")
                    .arg(where),
                reason};
    if (error == EADDRINUSE)
        return {ListenError::Kind::InUse,
                QStringLiteral("cannot listen on %1: another program already uses this port").arg(where),
                reason};
    return {ListenError::Kind::Other, QStringLiteral("cannot listen on %1: %2").arg(where, reason), reason};
}

QHostAddress senderOf(const sockaddr_storage& from) {
    return QHostAddress(reinterpret_cast<const sockaddr*>(&from));
}
} // namespace

UdpListener::UdpListener(MessageHandler handler, QObject* parent)
    : QObject(parent), m_handler(std::move(handler)) {}

UdpListener::~UdpListener() {
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

ListenError UdpListener::listen(const QHostAddress& address, quint16 port) {
    const bool v6 = address.protocol() == QAbstractSocket::IPv6Protocol;
    m_fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return bindError(errno, address, port);

    // SO_RCVBUFFORCE goes past the system limit when the process may; otherwise the plain request
    // gets what the limit allows.
    int wanted = WantedReceiveBuffer;
    if (::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUFFORCE, &wanted, sizeof wanted) != 0)
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &wanted, sizeof wanted);
    socklen_t length = sizeof m_receiveBuffer;
    ::getsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &m_receiveBuffer, &length);
    const int on = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on);
    if (v6)
        ::setsockopt(m_fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);

    sockaddr_storage local{};
    socklen_t localLength = 0;
    if (v6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&local);
        a->sin6_family = AF_INET6;
        a->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&a->sin6_addr, &bytes, sizeof a->sin6_addr);
        localLength = sizeof *a;
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&local);
        a->sin_family = AF_INET;
        a->sin_port = htons(port);
        a->sin_addr.s_addr = htonl(address.toIPv4Address());
        localLength = sizeof *a;
    }
    if (::bind(m_fd, reinterpret_cast<sockaddr*>(&local), localLength) != 0) {
        const int error = errno;
        ::close(m_fd);
        m_fd = -1;
        return bindError(error, address, port);
    }
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &localLength);
    m_port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&local)->sin6_port
                      : reinterpret_cast<sockaddr_in*>(&local)->sin_port);

    m_buffers.resize(qsizetype(Batch) * BufferSize);
    m_controls.resize(qsizetype(Batch) * qsizetype(ControlSize));
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read);
    connect(m_notifier, &QSocketNotifier::activated, this, &UdpListener::readBatches);
    return {};
}

void UdpListener::readBatches() {
    mmsghdr headers[Batch];
    iovec vectors[Batch];
    sockaddr_storage senders[Batch];
    sockaddr_storage lastSender{};
    socklen_t lastSenderLength = 0;
    QHostAddress lastAddress;

    for (int round = 0; round < BatchesPerWakeUp; ++round) {
        for (int i = 0; i < Batch; ++i) {
            vectors[i].iov_base = m_buffers.data() + qsizetype(i) * BufferSize;
            vectors[i].iov_len = BufferSize;
            std::memset(&headers[i], 0, sizeof headers[i]);
            headers[i].msg_hdr.msg_iov = &vectors[i];
            headers[i].msg_hdr.msg_iovlen = 1;
            headers[i].msg_hdr.msg_name = &senders[i];
            headers[i].msg_hdr.msg_namelen = sizeof senders[i];
            headers[i].msg_hdr.msg_control = m_controls.data() + qsizetype(i) * qsizetype(ControlSize);
            headers[i].msg_hdr.msg_controllen = ControlSize;
        }
        const int got = ::recvmmsg(m_fd, headers, Batch, MSG_DONTWAIT, nullptr);
        if (got <= 0)
            break; // EAGAIN: all read; another error: the next wake-up tries again
        for (int i = 0; i < got; ++i) {
            const msghdr& h = headers[i].msg_hdr;
            for (cmsghdr* c = CMSG_FIRSTHDR(&h); c; c = CMSG_NXTHDR(const_cast<msghdr*>(&h), c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL) {
                    quint32 drops = 0;
                    std::memcpy(&drops, CMSG_DATA(c), sizeof drops);
                    m_dropped = std::max<quint64>(m_dropped, drops);
                }
            }
            // Most batches come from one sender: its address is converted once.
            if (h.msg_namelen != lastSenderLength ||
                std::memcmp(&senders[i], &lastSender, h.msg_namelen) != 0) {
                std::memcpy(&lastSender, &senders[i], h.msg_namelen);
                lastSenderLength = h.msg_namelen;
                lastAddress = senderOf(senders[i]);
            }
            m_handler(QByteArrayView(static_cast<const char*>(vectors[i].iov_base), headers[i].msg_len),
                      lastAddress);
        }
        emit batchRead();
        if (got < Batch)
            break;
    }
}
