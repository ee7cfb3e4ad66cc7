// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

// Cuts the byte stream of one syslog connection into messages. Both framings of RFC 6587 are
// understood, and told apart by the first byte of the connection, as the syslog daemons do: a
// digit starts octet counting ("LEN SP MSG", LEN without leading zero; "0 " is an empty
// message), anything else messages each followed by a line feed (the line feed is not part of
// the message). A message is handed on unchanged otherwise. Holds at most one unfinished
// message, and never more than MaxMessage bytes of it.
class FrameSplitter {
public:
    enum class Framing { Unknown, OctetCounting, LineFeed };
    using Visit = std::function<void(QByteArrayView message)>;

    static constexpr qsizetype MaxMessage = 4 * 1024 * 1024;

    // Hands each message completed by `bytes` to `visit`. False once the stream breaks the
    // framing (error() says how); the connection is then of no further use.
    bool feed(QByteArrayView bytes, const Visit& visit);
    // The peer closed the stream: a last message without its line feed is still a message; an
    // octet-counted frame cut short is an error.
    bool finish(const Visit& visit);

    Framing framing() const { return m_framing; }
    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }

private:
    bool fail(const QString& error);
    bool feedOctetCounted(QByteArrayView bytes, const Visit& visit);
    bool feedLines(QByteArrayView bytes, const Visit& visit);

    Framing m_framing = Framing::Unknown;
    QByteArray m_pending;    // the unfinished message (or length field) so far
    qsizetype m_needed = -1; // octet counting: bytes the current message still lacks; -1 in the length
    QString m_error;
};
