// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/FileLock.h"

#include <QString>

#include <memory>

// The 20 numbered slots of Talvex.ini ("Source 1" .. "Source 20", key Memory "1"/"0").
//
// Scan and claim run under an exclusive lock between processes, so two copies never take the
// same slot. While a copy holds a slot it also holds an ownership record beside the settings
// file (a lock file per slot, locked for the copy's whole life and holding its process id):
// a slot marked taken whose record exists but is no longer locked by a live process belongs to
// a copy that died, and is claimed again. A mark without a record is respected as taken.
class InstanceSlots {
public:
    static constexpr int Capacity = 20;

    // Why the last claim gave no slot.
    enum class Refusal {
        None,
        AllTaken, // the twenty slots are held
        Busy,     // another copy held the scan lock for the whole waiting time (hung, say)
        Unusable, // a lock or record file of this folder is not a regular file (a planted link)
    };

    // The waiting time for the scan lock; shorter in tests only.
    explicit InstanceSlots(int lockTimeoutMs = FileLock::DefaultTimeoutMs);
    ~InstanceSlots(); // keeps the ownership record to the end; does NOT write Memory

    // Scan for the first free slot and claim it (writes Memory = "1"). If this object already
    // holds a slot, keeps it and returns it without a new scan. Returns 0 when no slot could be
    // had; refusal() says why.
    int claim();
    Refusal refusal() const;
    // Writes Memory = "0" into the held slot but keeps holding it: the ownership record stays
    // locked, so no other copy claims the slot while this one still writes its last keys there.
    // release() finishes the job.
    void markFree();
    // Writes Memory = "0" into the held slot and drops the ownership record. No-op when none held.
    void release();

    int slot() const;        // 0 when none is held
    QString section() const; // "Source N", or "" when none is held

    static QString sectionName(int slot); // "Source " + N

private:
    struct Private;
    std::unique_ptr<Private> d;
};
