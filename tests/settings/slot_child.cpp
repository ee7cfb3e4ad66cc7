// Test helper: one copy of the program as far as slots go. Claims a slot in the current
// directory, prints its number, waits for a "release" line or the end of its stdin, then
// releases the slot, prints "released" and exits.
#include "InstanceSlots.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    InstanceSlots instance;
    std::printf("%d\n", instance.claim());
    std::fflush(stdout);
    char line[64];
    while (std::fgets(line, sizeof line, stdin)) {
        if (std::strncmp(line, "release", 7) == 0)
            break;
    }
    instance.release();
    std::printf("released\n");
    std::fflush(stdout);
    return 0;
}
