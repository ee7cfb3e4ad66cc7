// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "settings/SettingValues.h"
#include "settings/SlotRules.h"

#include <QList>
#include <QString>

// The run settings kept in one slot's section of Talvex.ini, read with the rules the window's
// initialisation applies to them (a missing or unusable value gives its default), without
// claiming the slot and without writing anything back.
struct SlotSettings {
    double delay = SlotRules::DelayRange.replacement; // seconds, above 0 and below 7201
    bool loop = false;                                // start again at the end of the source
    GenerationOrder order = GenerationOrder::Sequential;
    Output output = Output::File;
    int port = SlotRules::DefaultPort;
    QString host = SlotRules::defaultHost();
    QString sourceFile; // source name without ".txt"; empty when none was chosen

    // A stored value the rules would not take, and what is used in its place.
    struct Replacement {
        QString key;
        QString stored;
        QString used;
    };
    QList<Replacement> replacements; // in key order: delay, port, host

    // Slot 1 to 20 of the settings file in the current directory.
    static SlotSettings read(int slot);
    static QString section(int slot); // "Source <slot>"
};
