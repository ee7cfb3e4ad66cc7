// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/InstanceSlots.h"

#include "platform/File.h"
#include "platform/FileSystem.h"
#include "settings/FileLock.h"
#include "settings/SettingKeys.h"
#include "settings/SettingValues.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

// Empty when the working directory has been removed: then no lock or record file is made
// anywhere (and no settings can be written either).
QString settingsFolder() {
    return QDir::currentPath();
}

QString slotsLockPath(const QString& folder) {
    if (folder.isEmpty())
        return {};
    return folder + QLatin1Char('/') + QLatin1String(Settings::FileName) + QStringLiteral(".slots.lock");
}

QString recordPath(const QString& folder, int slot) {
    if (folder.isEmpty())
        return {};
    return folder + QStringLiteral("/Talvex.slot%1.lock").arg(slot);
}

enum class Outcome { Taken, Unusable, ClaimedWithRecord, ClaimedWithoutRecord };

// Decides one slot, holding its record locked in *record when it can be claimed. A record name
// taken by something else than a regular file (a link planted in a shared folder, say) is never
// opened through, let alone written: the slot is unusable. A record unlinked (released) between
// our open and our lock must not be mistaken for a free one: the name must still lead to it.
Outcome trySlot(const QByteArray& path, bool marked, platform::File* record) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        platform::File f = platform::File::openRecord(path, !marked);
        if (f.status() == platform::File::Status::WrongKind)
            return Outcome::Unusable;
        if (!f.isOpen()) {
            // Free mark and no record can be made here (read-only folder): nobody else can hold
            // one either, so the mark alone decides. A set mark without a record is respected.
            if (!marked && platform::FileSystem::nameIsFree(path))
                return Outcome::ClaimedWithoutRecord;
            return Outcome::Taken;
        }
        if (f.tryLock() != platform::File::Lock::Locked)
            return Outcome::Taken; // a live copy holds it
        if (f.isNamedBy(path)) {
            *record = std::move(f);
            return Outcome::ClaimedWithRecord;
        }
        f.close();
        if (marked)
            return Outcome::Taken; // the record was released meanwhile; its mark is no longer ours to judge
    }
    return Outcome::Taken;
}

void writeOwner(platform::File* record) {
    // The record is informative only; the lock is what counts, so a short write is harmless.
    record->replaceContents(QByteArray::number(QCoreApplication::applicationPid()) + '\n');
}

} // namespace

struct InstanceSlots::Private {
    int lockTimeoutMs = 0;
    Refusal refusal = Refusal::None;
    int slot = 0;
    platform::File record;
    QByteArray recordPath;
};

InstanceSlots::InstanceSlots(int lockTimeoutMs) : d(std::make_unique<Private>()) {
    d->lockTimeoutMs = lockTimeoutMs;
}

// The record file stays: with the lock gone it marks the slot as left behind, so the next copy
// can claim it even though Memory still says "1".
InstanceSlots::~InstanceSlots() = default;

int InstanceSlots::claim() {
    if (d->slot > 0)
        return d->slot;

    const QString folder = settingsFolder();
    // Serialises whole scans between copies. Without a lock file (read-only folder) nothing can
    // be written there by anyone, so an unlocked scan cannot let two copies spoil a section.
    const FileLock lock(slotsLockPath(folder), d->lockTimeoutMs);
    if (lock.state() == FileLock::State::TimedOut) {
        d->refusal = Refusal::Busy;
        return 0;
    }
    if (lock.state() == FileLock::State::NotAFile) {
        d->refusal = Refusal::Unusable;
        return 0;
    }

    bool anyUnusable = false;
    for (int n = 1; n <= Capacity; ++n) {
        const QString name = sectionName(n);
        const bool marked = SettingValues::flag(Settings::read(name, SettingKeys::Memory));
        const QByteArray path = QFile::encodeName(recordPath(folder, n));
        platform::File record;
        const Outcome outcome = trySlot(path, marked, &record);
        if (outcome == Outcome::Unusable)
            anyUnusable = true;
        if (outcome == Outcome::Taken || outcome == Outcome::Unusable)
            continue;
        if (record.isOpen())
            writeOwner(&record);
        d->slot = n;
        d->record = std::move(record);
        d->recordPath = outcome == Outcome::ClaimedWithRecord ? path : QByteArray();
        // Not checked: if Talvex.ini cannot be written, the locked record still keeps the slot
        // ours in every other copy's eyes.
        Settings::write(name, SettingKeys::Memory, SettingValues::flagText(true));
        d->refusal = Refusal::None;
        return n;
    }
    // Twenty copies is the limit only when twenty copies are there.
    d->refusal = anyUnusable ? Refusal::Unusable : Refusal::AllTaken;
    return 0;
}

void InstanceSlots::markFree() {
    if (d->slot > 0)
        Settings::write(sectionName(d->slot), SettingKeys::Memory, SettingValues::flagText(false));
}

void InstanceSlots::release() {
    if (d->slot <= 0)
        return;
    // Under the scan lock, so no scan sees the record vanish halfway. Even when the lock cannot
    // be had the release goes on: a scan checks a record's identity after locking it.
    const FileLock lock(slotsLockPath(settingsFolder()), d->lockTimeoutMs);
    Settings::write(sectionName(d->slot), SettingKeys::Memory, SettingValues::flagText(false));
    if (d->record.isOpen() && d->record.isNamedBy(d->recordPath))
        platform::FileSystem::removeName(d->recordPath);
    d->record.close();
    d->recordPath.clear();
    d->slot = 0;
}

InstanceSlots::Refusal InstanceSlots::refusal() const {
    return d->refusal;
}

int InstanceSlots::slot() const {
    return d->slot;
}

QString InstanceSlots::section() const {
    return d->slot > 0 ? sectionName(d->slot) : QString();
}

QString InstanceSlots::sectionName(int slot) {
    return SettingKeys::slotSection(slot);
}
