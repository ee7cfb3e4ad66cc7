// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/RandomFraction.h"

#include <random>

namespace {
std::mt19937_64& generator() {
    static std::mt19937_64 engine(RandomFraction::DefaultSeed);
    return engine;
}
} // namespace

double RandomFraction::next() {
    return static_cast<double>(generator()() >> 11) * 0x1.0p-53;
}

qint64 RandomFraction::below(qint64 n) {
    if (n <= 1)
        return 0;
    const qint64 k = static_cast<qint64>(static_cast<double>(n) * next());
    // n * r can round up to n for n beyond 2^53; keep the draw inside the range.
    return k < n ? k : n - 1;
}

void RandomFraction::setSeed(quint64 seed) {
    generator().seed(seed);
}
