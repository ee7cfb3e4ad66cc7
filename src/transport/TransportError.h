// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The run errors of the stream transports, numbered like the socket errors the run already
// reports (10040, 10049, 10065), so a user can quote them the same way.
namespace TransportError {
enum Number : int {
    Interrupted = 10004,       // a stop request or the run's end cut a wait on the receiver short
    TlsRefused = 10013,        // the TLS set-up or the check of the receiver failed
    LineNotFramable = 10022,   // a line holding a line feed, under line-feed framing
    ConnectionBroken = 10054,  // broken, and not made again within the retry time
    TimedOut = 10060,          // the receiver did not answer in time
    ConnectionRefused = 10061, // nothing listens there
    RelpFailed = 10071,        // the RELP session failed for another reason
};
} // namespace TransportError
