// SPDX-License-Identifier: GPL-3.0-or-later
// Test helper: one copy of the program as far as slots go. Claims a slot in the current
// directory, prints its number, waits for a "release" line or the end of its stdin, then
// releases the slot, prints "released" and exits.
//
// With the arguments "hold <lock file>" it claims nothing: it takes that lock (say the one slot
// scans run under), prints "held", and keeps it the same way (a copy hung in the middle of a scan).
#include "settings/FileLock.h"
#include "settings/InstanceSlots.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

void waitForRelease() {
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        if (std::strncmp(line, "release", 7) == 0)
            break;
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 2 && std::strcmp(argv[1], "hold") == 0) {
        auto lock = std::make_unique<FileLock>(QString::fromLocal8Bit(argv[2]));
        std::printf("%s\n", lock->isLocked() ? "held" : "not held");
        std::fflush(stdout);
        waitForRelease();
        lock.reset();
        std::printf("released\n");
        std::fflush(stdout);
        return 0;
    }
    InstanceSlots instance;
    std::printf("%d\n", instance.claim());
    std::fflush(stdout);
    waitForRelease();
    instance.release();
    std::printf("released\n");
    std::fflush(stdout);
    return 0;
}
