#pragma once

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

    InstanceSlots();
    ~InstanceSlots(); // keeps the ownership record to the end; does NOT write Memory

    // Scan for the first free slot and claim it (writes Memory = "1"). If this object already
    // holds a slot, keeps it and returns it without a new scan. Returns 0 when every slot is taken.
    int claim();
    // Writes Memory = "0" into the held slot and drops the ownership record. No-op when none held.
    void release();

    int slot() const; // 0 when none is held
    QString section() const; // "Source N", or "" when none is held

    static QString sectionName(int slot); // "Source " + N

private:
    struct Private;
    std::unique_ptr<Private> d;
};
