// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSslConfiguration>
#include <QString>

// How a TLS listener meets its clients: its certificate and key, and optionally the authority
// whose client certificates alone are let in.
struct TlsServerOptions {
    QString certFile; // the receiver's certificate, or its chain (PEM)
    QString keyFile;  // its private key (PEM, not encrypted)
    QString caFile;   // empty: no client certificate asked for; otherwise one is required

    bool isEmpty() const { return certFile.isEmpty() && keyFile.isEmpty() && caFile.isEmpty(); }
    // The configuration of every TLS connection, TLS 1.2 or later. False with `error` naming the
    // option, the file and the reason when a file cannot be read or holds nothing usable.
    bool load(QSslConfiguration* configuration, QString* error) const;
};
