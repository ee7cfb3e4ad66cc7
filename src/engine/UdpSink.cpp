// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/UdpSink.h"

#include <QHostInfo>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace {
constexpr int MaxPayloadIPv4 = 65507; // 65535 - 20 (IP header) - 8 (UDP header)
constexpr int MaxPayloadIPv6 = 65527; // 65535 - 8 (UDP header); the IPv6 header is not counted

bool isDigitsAndDots(const QString& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c != QLatin1Char('.') && !c.isDigit())
            return false;
    }
    return true;
}

// Names under .invalid never exist (RFC 6761); asking a name server would only wait on it.
bool isUnderInvalid(QString host) {
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    return host.compare(QLatin1String("invalid"), Qt::CaseInsensitive) == 0 ||
           host.endsWith(QLatin1String(".invalid"), Qt::CaseInsensitive);
}

QHostAddress resolve(const QString& text) {
    const QString host = text.trimmed();
    QHostAddress address;
    if (address.setAddress(host))
        return address;
    if (isDigitsAndDots(host)) {
        // Numeric but not a plain dotted quad ("10.5", "256.1.1.1"): the classic inet_aton forms
        // or nothing. Never asked of the name service: no real name is all digits.
        in_addr parsed{};
        const QByteArray ascii = host.toLatin1();
        if (::inet_aton(ascii.constData(), &parsed) != 0)
            return QHostAddress(ntohl(parsed.s_addr));
        return {};
    }
    if (host.isEmpty() || isUnderInvalid(host))
        return {};
    const QHostInfo info = QHostInfo::fromName(host);
    if (info.error() != QHostInfo::NoError)
        return {};
    // Most syslog receivers listen on IPv4: prefer it when the name has both.
    const QList<QHostAddress> addresses = info.addresses();
    for (const QHostAddress& candidate : addresses) {
        if (candidate.protocol() == QAbstractSocket::IPv4Protocol)
            return candidate;
    }
    return addresses.isEmpty() ? QHostAddress() : addresses.first();
}
} // namespace

UdpSink::UdpSink(QObject* parent) : QObject(parent), m_socket(new QUdpSocket(this)) {}

UdpSink::~UdpSink() = default;

bool UdpSink::open(const QString& host, qint32 port) {
    close();
    setRemoteHost(host);
    setRemotePort(port);
    return bind(0);
}

void UdpSink::close() {
    flush();
    m_socket->abort();
}

void UdpSink::setRemoteHost(const QString& host) {
    m_host = host;
    m_address = resolve(host);
    // An IPv4 address written the IPv6 way (::ffff:a.b.c.d) is that IPv4 address: the socket
    // bound for it would be an IPv6 one the system will not send from to an IPv4 host.
    bool mapped = false;
    const quint32 v4 = m_address.toIPv4Address(&mapped);
    if (mapped && m_address.protocol() == QAbstractSocket::IPv6Protocol)
        m_address = QHostAddress(v4);
}

void UdpSink::setRemotePort(qint32 port) {
    m_port = port;
}

bool UdpSink::bind(quint16 localPort) {
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    const bool v6 = m_address.protocol() == QAbstractSocket::IPv6Protocol;
    return m_socket->bind(v6 ? QHostAddress(QHostAddress::AnyIPv6) : QHostAddress(QHostAddress::AnyIPv4),
                          localPort);
}

RunError UdpSink::destinationError() const {
    if (m_address.isNull()) {
        return RunError::make(
            RunError::DestinationUnusable,
            QStringLiteral("Destination unusable: \"%1\" is not an address and does not resolve")
                .arg(m_host));
    }
    if (m_port < 1 || m_port > 65535) {
        return RunError::make(RunError::DestinationUnusable,
                              QStringLiteral("Destination unusable: port %1 is out of range").arg(m_port));
    }
    return RunError::none();
}

RunError UdpSink::tooLong(const QByteArray& payload) const {
    return RunError::make(
        RunError::DatagramTooLong,
        QStringLiteral("Datagram too long: a line of %1 bytes, at most %2 fit in one datagram")
            .arg(payload.size())
            .arg(maxPayload()));
}

bool UdpSink::ensureBound() {
    // After close(), or when the destination's family changed, bind again to the same destination.
    const bool v6 = m_address.protocol() == QAbstractSocket::IPv6Protocol;
    const bool boundV6 = m_socket->localAddress().protocol() == QAbstractSocket::IPv6Protocol;
    if (m_socket->state() != QAbstractSocket::BoundState || v6 != boundV6)
        return bind(0);
    return true;
}

RunError UdpSink::write(const QByteArray& line) {
    if (!m_batching)
        return send(line);
    if (const RunError unusable = destinationError(); unusable.isError())
        return unusable;
    if (line.size() > maxPayload())
        return tooLong(line);
    m_pendingBytes.append(line);
    m_pendingEnds.push_back(m_pendingBytes.size());
    if (m_pendingEnds.size() >= BatchSize)
        return flush();
    return RunError::none();
}

RunError UdpSink::flush() {
    if (m_pendingEnds.empty())
        return RunError::none();
    size_t done = m_pendingEnds.size() > 1 ? sendBatch() : 0;
    RunError error;
    // What the batch did not take goes one by one, with the single send's handling of errors.
    for (; done < m_pendingEnds.size() && !error.isError(); ++done) {
        const qsizetype start = done == 0 ? 0 : m_pendingEnds[done - 1];
        error =
            send(QByteArray::fromRawData(m_pendingBytes.constData() + start, m_pendingEnds[done] - start));
    }
    m_pendingBytes.resize(0);
    m_pendingEnds.clear();
    return error;
}

size_t UdpSink::sendBatch() {
    if (destinationError().isError() || !ensureBound())
        return 0;
    sockaddr_storage to{};
    socklen_t toLength = 0;
    if (m_address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&to);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(static_cast<quint16>(m_port));
        const Q_IPV6ADDR bytes = m_address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
        in6->sin6_scope_id = m_address.scopeId().toUInt();
        toLength = sizeof(sockaddr_in6);
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&to);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(static_cast<quint16>(m_port));
        in4->sin_addr.s_addr = htonl(m_address.toIPv4Address());
        toLength = sizeof(sockaddr_in);
    }
    mmsghdr messages[BatchSize];
    iovec parts[BatchSize];
    const size_t count = std::min<size_t>(m_pendingEnds.size(), BatchSize);
    for (size_t i = 0; i < count; ++i) {
        const qsizetype start = i == 0 ? 0 : m_pendingEnds[i - 1];
        parts[i].iov_base = m_pendingBytes.data() + start;
        parts[i].iov_len = static_cast<size_t>(m_pendingEnds[i] - start);
        messages[i] = mmsghdr{};
        messages[i].msg_hdr.msg_name = &to;
        messages[i].msg_hdr.msg_namelen = toLength;
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
    }
    const int fd = static_cast<int>(m_socket->socketDescriptor());
    int sent;
    do {
        sent = ::sendmmsg(fd, messages, static_cast<unsigned>(count), 0);
    } while (sent < 0 && errno == EINTR);
    return sent > 0 ? static_cast<size_t>(sent) : 0;
}

RunError UdpSink::send(const QByteArray& payload) {
    if (const RunError unusable = destinationError(); unusable.isError())
        return unusable;
    if (payload.size() > maxPayload())
        return tooLong(payload);
    if (!ensureBound()) {
        return RunError::make(
            RunError::SendFailed,
            QStringLiteral("Send failed: no local socket (%1)").arg(m_socket->errorString()));
    }
    const quint16 port = static_cast<quint16>(m_port);
    errno = 0;
    qint64 sent = m_socket->writeDatagram(payload, m_address, port);
    if (sent < 0 && (errno == ECONNREFUSED || m_socket->error() == QAbstractSocket::ConnectionRefusedError)) {
        // A refusal reported now belongs to an earlier datagram (an ICMP answer, which the
        // system hands to the next call); this one was not refused, so give it its own attempt.
        sent = m_socket->writeDatagram(payload, m_address, port);
    }
    if (sent == payload.size())
        return RunError::none();
    if (m_socket->error() == QAbstractSocket::DatagramTooLargeError) {
        return RunError::make(RunError::DatagramTooLong,
                              QStringLiteral("Datagram too long: a line of %1 bytes").arg(payload.size()));
    }
    return RunError::make(RunError::SendFailed,
                          QStringLiteral("Send failed to %1 port %2: %3")
                              .arg(m_address.toString(), QString::number(m_port), m_socket->errorString()));
}

QString UdpSink::remoteHost() const {
    return m_host;
}

qint32 UdpSink::remotePort() const {
    return m_port;
}

QHostAddress UdpSink::remoteAddress() const {
    return m_address;
}

quint16 UdpSink::localPort() const {
    return m_socket->state() == QAbstractSocket::BoundState ? m_socket->localPort() : 0;
}

bool UdpSink::isOpen() const {
    return m_socket->state() == QAbstractSocket::BoundState;
}

int UdpSink::maxPayload() const {
    return m_address.protocol() == QAbstractSocket::IPv6Protocol ? MaxPayloadIPv6 : MaxPayloadIPv4;
}
