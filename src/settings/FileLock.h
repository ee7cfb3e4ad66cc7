// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/File.h"

#include <QString>

// An exclusive lock on a small lock file, held for the life of the object. Used to
// serialise the read-modify-write of the settings file and the slot scan between processes.
// The kernel drops the lock when its holder dies, so a crashed copy never leaves it stuck.
// The lock file is never reached through a symbolic link and must be a regular file: in a shared
// folder a planted link would otherwise have this program create or lock someone else's file.
class FileLock {
public:
    enum class State {
        Locked,
        NoLockFile, // the lock file could not be opened or created (missing or read-only folder)
        TimedOut,   // another process held it for the whole waiting time
        NotAFile,   // the name is taken by a symbolic link, a folder, a pipe...: never used
    };

    static constexpr int DefaultTimeoutMs = 10000;

    explicit FileLock(const QString& path, int timeoutMs = DefaultTimeoutMs);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    State state() const { return m_state; }
    bool isLocked() const { return m_state == State::Locked; }

private:
    platform::File m_file;
    State m_state = State::NoLockFile;
};
