#include "InstanceSlots.h"

#include "FileLock.h"
#include "NumberText.h"
#include "Settings.h"

#include <QDir>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString MemoryKey = QStringLiteral("Memory");

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

// Whether the path still names the file that fd has open: a record unlinked (released) between
// our open() and our flock() must not be mistaken for a free one.
bool stillNamed(int fd, const QByteArray& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

int openRecord(const QByteArray& path, bool create) {
    // O_CLOEXEC: a program started by this copy must not inherit the record and keep the slot
    // looking alive after this copy has gone.
    int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0 && errno == EACCES)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC); // flock() works on any open file
    return fd;
}

enum class Outcome { Taken, ClaimedWithRecord, ClaimedWithoutRecord };

// Decides one slot, holding its record locked in *fd when it can be claimed.
Outcome trySlot(const QByteArray& path, double mark, int* fd) {
    *fd = -1;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int f = openRecord(path, mark == 0);
        if (f < 0) {
            // Free mark and no record can be made here (read-only folder): nobody else can hold
            // one either, so the mark alone decides. A set mark without a record is respected.
            struct stat st {};
            if (mark == 0 && ::stat(path.constData(), &st) != 0 && errno == ENOENT)
                return Outcome::ClaimedWithoutRecord;
            return Outcome::Taken;
        }
        if (::flock(f, LOCK_EX | LOCK_NB) != 0) {
            ::close(f); // a live copy holds it
            return Outcome::Taken;
        }
        if (stillNamed(f, path)) {
            *fd = f;
            return Outcome::ClaimedWithRecord;
        }
        ::close(f);
        if (mark != 0)
            return Outcome::Taken; // the record was released meanwhile; its mark is no longer ours to judge
    }
    return Outcome::Taken;
}

void writeOwner(int fd) {
    const QByteArray pid = QByteArray::number(static_cast<qlonglong>(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0) {
        // The record is informative only; the lock is what counts, so a short write is harmless.
        const ssize_t written = ::pwrite(fd, pid.constData(), static_cast<size_t>(pid.size()), 0);
        (void)written;
    }
}

} // namespace

struct InstanceSlots::Private {
    int slot = 0;
    int recordFd = -1;
    QByteArray recordPath;
};

InstanceSlots::InstanceSlots() : d(std::make_unique<Private>()) {}

InstanceSlots::~InstanceSlots() {
    // The record file stays: with the lock gone it marks the slot as left behind, so the next
    // copy can claim it even though Memory still says "1".
    if (d->recordFd >= 0)
        ::close(d->recordFd);
}

int InstanceSlots::claim() {
    if (d->slot > 0)
        return d->slot;

    const QString folder = settingsFolder();
    // Serialises whole scans between copies. Without a lock file (read-only folder) nothing can
    // be written there by anyone, so an unlocked scan cannot let two copies spoil a section.
    const FileLock lock(slotsLockPath(folder));
    if (lock.state() == FileLock::State::TimedOut)
        return 0;

    for (int n = 1; n <= Capacity; ++n) {
        const QString name = sectionName(n);
        const double mark = TextToNumber(Settings::read(name, MemoryKey));
        const QByteArray path = QFile::encodeName(recordPath(folder, n));
        int fd = -1;
        const Outcome outcome = trySlot(path, mark, &fd);
        if (outcome == Outcome::Taken)
            continue;
        if (fd >= 0)
            writeOwner(fd);
        d->slot = n;
        d->recordFd = fd;
        d->recordPath = outcome == Outcome::ClaimedWithRecord ? path : QByteArray();
        // Not checked: if Talvex.ini cannot be written, the locked record still keeps the slot
        // ours in every other copy's eyes.
        Settings::write(name, MemoryKey, QStringLiteral("1"));
        return n;
    }
    return 0;
}

void InstanceSlots::release() {
    if (d->slot <= 0)
        return;
    // Under the scan lock, so no scan sees the record vanish halfway. Even when the lock cannot
    // be had the release goes on: a scan checks a record's identity after locking it.
    const FileLock lock(slotsLockPath(settingsFolder()));
    Settings::write(sectionName(d->slot), MemoryKey, QStringLiteral("0"));
    if (d->recordFd >= 0) {
        if (stillNamed(d->recordFd, d->recordPath))
            ::unlink(d->recordPath.constData());
        ::close(d->recordFd);
    }
    d->recordFd = -1;
    d->recordPath.clear();
    d->slot = 0;
}

int InstanceSlots::slot() const {
    return d->slot;
}

QString InstanceSlots::section() const {
    return d->slot > 0 ? sectionName(d->slot) : QString();
}

QString InstanceSlots::sectionName(int slot) {
    return QStringLiteral("Source ") + QString::number(slot);
}
