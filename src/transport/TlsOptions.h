// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// How talvex-send meets a TLS receiver.
struct TlsOptions {
    QString caFile;        // trust only the CA certificates in this file; empty: the system's store
    QString certFile;      // a client certificate, for receivers that ask for one (mutual TLS)
    QString keyFile;       // its private key (PEM, not encrypted)
    QString serverName;    // sent as SNI and checked against the certificate; empty: the host
    bool insecure = false; // no check of the receiver's certificate at all
};
