// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The pseudo-random fractions of random order. Seeded with a constant, never from the clock:
// every start of the program draws the same sequence, shared by all random runs of that start,
// so a run can be reproduced.
class RandomFraction {
public:
    // The sequence every program start draws unless told otherwise.
    static constexpr quint64 DefaultSeed = 0x54414C5645581201ULL;

    // A fraction in [0, 1) with 53 random bits.
    static double next();
    // A whole number uniformly in [0, n), n > 0: floor(n * next()).
    static qint64 below(qint64 n);
    // Starts the sequence `seed` from its beginning (the command line's --seed).
    static void setSeed(quint64 seed);
};
