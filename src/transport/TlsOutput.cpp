// SPDX-License-Identifier: GPL-3.0-or-later
#include "transport/TlsOutput.h"

#include "transport/HostLookup.h"
#include "transport/TcpConnect.h"
#include "transport/TlsFiles.h"
#include "transport/TransportError.h"

#include <QSslSocket>

#include <poll.h>
#include <unistd.h>

namespace {
// Qt's socket waits cannot watch the stop descriptor: the end of a connection waits in slices
// this long between looks at it.
constexpr int WaitSliceMs = 50;
constexpr int ClosingWaitMs = 2000;
constexpr int SettleWaitMs = 500;

RunError fileError(const QString& option, const QString& path, const QString& what) {
    return RunError::make(TransportError::TlsRefused, QStringLiteral("%1 %2: %3").arg(option, path, what));
}
} // namespace

TlsOutput::TlsOutput(const Destination& destination, Framing framing, const TlsOptions& options)
    : StreamOutput(destination, framing), m_options(options) {}

TlsOutput::~TlsOutput() {
    abortConnection();
}

QString TlsOutput::checkedName() const {
    return m_options.serverName.isEmpty() ? destination().host : m_options.serverName;
}

RunError TlsOutput::prepare() {
    if (!QSslSocket::supportsSsl())
        return RunError::make(TransportError::TlsRefused,
                              QStringLiteral("TLS is not available: Qt found no TLS library (%1)")
                                  .arg(QSslSocket::sslLibraryVersionString()));
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setProtocol(QSsl::TlsV1_2OrLater);
    QString error;
    if (!m_options.caFile.isEmpty()) {
        QList<QSslCertificate> authorities;
        if (!TlsFiles::readCertificates(m_options.caFile, &authorities, &error))
            return fileError(QStringLiteral("--ca"), m_options.caFile, error);
        configuration.setCaCertificates(authorities);
    }
    if (m_options.certFile.isEmpty() != m_options.keyFile.isEmpty())
        return RunError::make(TransportError::TlsRefused,
                              QStringLiteral("a client certificate needs both --cert and --key"));
    if (!m_options.certFile.isEmpty()) {
        QList<QSslCertificate> chain;
        if (!TlsFiles::readCertificates(m_options.certFile, &chain, &error))
            return fileError(QStringLiteral("--cert"), m_options.certFile, error);
        QSslKey key;
        if (!TlsFiles::readPrivateKey(m_options.keyFile, &key, &error))
            return fileError(QStringLiteral("--key"), m_options.keyFile, error);
        configuration.setLocalCertificateChain(chain);
        configuration.setPrivateKey(key);
    }
    configuration.setPeerVerifyMode(m_options.insecure ? QSslSocket::VerifyNone : QSslSocket::VerifyPeer);
    m_configuration = configuration;
    return RunError::none();
}

RunError TlsOutput::connectOnce(QDeadlineTimer timeout) {
    abortConnection();
    if (m_addresses.isEmpty()) {
        QString error;
        m_addresses = HostLookup::addresses(destination().host, &error);
        if (m_addresses.isEmpty())
            return RunError::make(RunError::DestinationUnusable, error);
    }
    // The TCP connection is ours, so its wait watches the stop descriptor; the socket takes it
    // over for the handshake.
    int fd = -1;
    const RunError connected =
        TcpConnect::open(m_addresses, quint16(destination().port), peer(), limits(), timeout, &fd);
    if (connected.isError())
        return connected;
    m_socket = std::make_unique<QSslSocket>();
    if (!m_socket->setSocketDescriptor(fd)) {
        ::close(fd);
        const RunError error =
            RunError::make(TransportError::TlsRefused,
                           QStringLiteral("TLS with %1 failed: %2").arg(peer(), m_socket->errorString()));
        m_socket.reset();
        return error;
    }
    m_socket->setSslConfiguration(m_configuration);
    m_socket->setPeerVerifyName(checkedName());
    m_socket->startClientEncryption();
    if (failed()) {
        // Nothing was exchanged yet: our own set-up failed, most often a key that is not the
        // certificate's.
        const RunError error = RunError::make(
            TransportError::TlsRefused,
            m_options.certFile.isEmpty()
                ? QStringLiteral("TLS could not be set up: %1").arg(m_socket->errorString())
                : QStringLiteral("the client certificate %1 and key %2 cannot be used together: %3")
                      .arg(m_options.certFile, m_options.keyFile, m_socket->errorString()));
        abortConnection();
        return error;
    }
    for (;;) {
        m_socket->flush();
        if (m_socket->isEncrypted())
            return settle();
        if (m_socket->state() != QAbstractSocket::ConnectedState || failed()) {
            const RunError error = connectError();
            abortConnection();
            return error;
        }
        const WaitLimits::Outcome outcome =
            limits().waitFor(int(m_socket->socketDescriptor()), POLLIN, timeout);
        if (outcome == WaitLimits::Outcome::Cut) {
            abortConnection();
            return interrupted();
        }
        if (outcome == WaitLimits::Outcome::TimedOut) {
            abortConnection();
            return RunError::make(
                TransportError::TimedOut,
                QStringLiteral("%1 did not complete the TLS handshake in time").arg(peer()));
        }
        // Takes what arrived and moves the handshake on.
        m_socket->waitForEncrypted(0);
    }
}

bool TlsOutput::failed() const {
    const QAbstractSocket::SocketError error = m_socket->error();
    return error != QAbstractSocket::UnknownSocketError && error != QAbstractSocket::SocketTimeoutError;
}

RunError TlsOutput::settle() {
    // Under TLS 1.3 the client's handshake ends before the receiver has judged the client's
    // certificate (or its lack of one): a receiver that refuses it says so right after. Its first
    // word (a session ticket, or the refusal) is awaited briefly, so a refusal is reported here,
    // before any line, rather than as a broken connection.
    if (m_socket->sessionProtocol() != QSsl::TlsV1_3)
        return RunError::none();
    const QDeadlineTimer until(SettleWaitMs);
    while (limits().waitFor(int(m_socket->socketDescriptor()), POLLIN, until) == WaitLimits::Outcome::Ready) {
        m_socket->waitForReadyRead(0);
        m_socket->readAll();
        if (m_socket->state() != QAbstractSocket::ConnectedState || failed()) {
            const RunError error = connectError();
            abortConnection();
            return error;
        }
        if (m_socket->state() == QAbstractSocket::ConnectedState)
            break;
    }
    return RunError::none();
}

RunError TlsOutput::connectError() const {
    const QString where = peer();
    const QList<QSslError> checks = m_socket->sslHandshakeErrors();
    if (!checks.isEmpty()) {
        QStringList reasons;
        for (const QSslError& check : checks)
            reasons << check.errorString();
        reasons.removeDuplicates();
        return RunError::make(TransportError::TlsRefused,
                              QStringLiteral("the certificate of %1 failed the check for \"%2\": %3")
                                  .arg(where, checkedName(), reasons.join(QStringLiteral("; "))));
    }
    switch (m_socket->error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return RunError::make(TransportError::ConnectionRefused,
                              QStringLiteral("nothing listens on %1 (connection refused)").arg(where));
    case QAbstractSocket::HostNotFoundError:
        return RunError::make(RunError::DestinationUnusable,
                              QStringLiteral("the host \"%1\" was not found").arg(destination().host));
    case QAbstractSocket::SocketTimeoutError:
        return RunError::make(TransportError::TimedOut,
                              QStringLiteral("%1 did not answer in time").arg(where));
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
        if (m_options.certFile.isEmpty())
            return RunError::make(TransportError::TlsRefused,
                                  QStringLiteral("%1 ended the TLS handshake: %2 (does it want a client "
                                                 "certificate, --cert and --key?)")
                                      .arg(where, m_socket->errorString()));
        return RunError::make(
            TransportError::TlsRefused,
            QStringLiteral("%1 ended the TLS handshake: %2").arg(where, m_socket->errorString()));
    default:
        return RunError::make(TransportError::TlsRefused,
                              QStringLiteral("TLS with %1 failed: %2").arg(where, m_socket->errorString()));
    }
}

qint64 TlsOutput::unwritten() const {
    return m_socket->bytesToWrite() + m_socket->encryptedBytesToWrite();
}

qint64 TlsOutput::writeSome(const char* data, qint64 size) {
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState) {
        m_error = m_socket ? m_socket->errorString() : QString();
        return -1;
    }
    // One chunk at a time in the socket's own buffers: what is written counts as handed over,
    // and the rest stays here to be written again on a new connection if this one breaks.
    if (unwritten() > 0) {
        m_socket->flush();
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            m_error = m_socket->errorString();
            return -1;
        }
        if (unwritten() > 0)
            return 0;
    }
    const qint64 taken = m_socket->write(data, size);
    if (taken < 0) {
        m_error = m_socket->errorString();
        return -1;
    }
    m_socket->flush();
    return taken;
}

WaitLimits::Outcome TlsOutput::waitWritable() {
    for (;;) {
        if (m_socket->state() != QAbstractSocket::ConnectedState || unwritten() == 0)
            return WaitLimits::Outcome::Ready;
        // Ready to take more on the wire: flushing moves the socket's buffers on.
        const WaitLimits::Outcome outcome = limits().waitFor(int(m_socket->socketDescriptor()), POLLOUT,
                                                             QDeadlineTimer(QDeadlineTimer::Forever));
        if (outcome != WaitLimits::Outcome::Ready)
            return outcome;
        m_socket->flush();
    }
}

bool TlsOutput::receiverHasClosed() {
    // The socket reads in the event loop, which the run passes through between bursts and paced
    // lines: an end of the stream or an alert has already closed it by now. What the receiver
    // sent (a session ticket) is dropped, so nothing piles up.
    if (m_socket->bytesAvailable() > 0)
        m_socket->readAll();
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        m_error = m_socket->errorString();
        return true;
    }
    return false;
}

bool TlsOutput::disconnectInOrder() {
    if (!m_socket)
        return true;
    m_socket->disconnectFromHost();
    const QDeadlineTimer until(ClosingWaitMs);
    while (m_socket->state() != QAbstractSocket::UnconnectedState && !until.hasExpired() &&
           !limits().reached())
        m_socket->waitForDisconnected(WaitSliceMs);
    // Lines still in the socket's buffers when it ended never left.
    const bool inOrder = unwritten() == 0;
    abortConnection();
    return inOrder;
}

void TlsOutput::abortConnection() {
    if (m_socket) {
        m_socket->abort();
        m_socket.reset();
    }
}
