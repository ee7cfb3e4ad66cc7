// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Profile (INI) file access with the observable behaviour of the Windows profile functions
// (see the profile-format notes in the repository docs): case-insensitive names, trimming,
// quote stripping, first section / key wins, every other byte kept on write.
//
// Text is handled as bytes: the file is 8-bit text and names/values are stored as given.
class ProfileFile {
public:
    // Pure text functions: what a read of `content` gives, and the file text after a write.
    // `capacity` is the size of the receiving area: at most capacity - 1 bytes come back.
    static QByteArray readFromText(const QByteArray& content, const QByteArray& section,
                                   const QByteArray& key, int capacity = 100);
    static QByteArray writeToText(const QByteArray& content, const QByteArray& section, const QByteArray& key,
                                  const QByteArray& value);

    // File functions. A file that cannot be read reads as empty. A write is atomic
    // (temporary file + rename in the same folder), serialised between processes by a lock
    // held while the current file is re-read and rewritten; it returns false and changes
    // nothing when it cannot be done (missing folder, read-only file or folder, ...).
    static QByteArray read(const QString& path, const QByteArray& section, const QByteArray& key,
                           int capacity = 100);
    static bool write(const QString& path, const QByteArray& section, const QByteArray& key,
                      const QByteArray& value);
};
