// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/FileLock.h"

#include <QFile>

#include <chrono>
#include <thread>

FileLock::FileLock(const QString& path, int timeoutMs) {
    m_file = platform::File::openRecord(QFile::encodeName(path), true);
    if (!m_file.isOpen()) {
        m_state = m_file.status() == platform::File::Status::WrongKind ? State::NotAFile : State::NoLockFile;
        return;
    }

    // Non-blocking attempts with short sleeps rather than a blocking lock: the wait stays
    // bounded, and a holder that hangs cannot freeze this process for good.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        const platform::File::Lock lock = m_file.tryLock();
        if (lock == platform::File::Lock::Locked) {
            m_state = State::Locked;
            return;
        }
        if (lock == platform::File::Lock::Refused)
            break;
        if (Clock::now() >= deadline) {
            m_file.close();
            m_state = State::TimedOut;
            return;
        }
        std::this_thread::sleep_for(pause);
        if (pause < std::chrono::milliseconds(8))
            pause *= 2;
    }
    // Locking itself is refused (e.g. a file system without locks): treat like no lock file.
    m_file.close();
    m_state = State::NoLockFile;
}

FileLock::~FileLock() = default;
