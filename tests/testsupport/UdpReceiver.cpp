// SPDX-License-Identifier: GPL-3.0-or-later
#include "UdpReceiver.h"

#include <climits>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int boundLoopbackSocket(quint16* port, quint16 wanted = 0) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(wanted);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(address.sin_port);
    return fd;
}
} // namespace

UdpReceiver::UdpReceiver(quint16 highestPort) {
    if (highestPort == 0) {
        m_fd = boundLoopbackSocket(&m_port);
    } else {
        // Spread over the range by process id, so parallel tests rarely try the same ports.
        for (int port = 20000 + int(::getpid() % 5000); m_fd < 0 && port <= highestPort; port += 7)
            m_fd = boundLoopbackSocket(&m_port, quint16(port));
    }
    if (m_fd >= 0) {
        int size = 8 * 1024 * 1024;
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
}

UdpReceiver::~UdpReceiver() {
    if (m_fd >= 0)
        ::close(m_fd);
}

QList<QByteArray> UdpReceiver::receive(int count, int quietMs) {
    QList<QByteArray> datagrams;
    QByteArray buffer(70000, '\0');
    while (datagrams.size() < count) {
        pollfd wait{m_fd, POLLIN, 0};
        if (::poll(&wait, 1, quietMs) <= 0)
            break;
        const ssize_t got = ::recv(m_fd, buffer.data(), static_cast<size_t>(buffer.size()), 0);
        if (got < 0)
            break;
        datagrams << buffer.left(got);
    }
    return datagrams;
}

QList<QByteArray> UdpReceiver::take() {
    m_taken << receive(INT_MAX, 0);
    return m_taken;
}

quint16 UdpReceiver::deadPort() {
    quint16 port = 0;
    const int fd = boundLoopbackSocket(&port);
    if (fd >= 0)
        ::close(fd);
    return port;
}
