// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "window/TalvexFRM.h"

// What a test needs from the window beyond its controls: state a user sees only indirectly, and
// the few steps no control starts on its own. The window's one friend, so its handlers stay private.
class TalvexFRMTestAccess {
public:
    // "Source N" of the slot held, empty before the initialisation.
    static QString slotSection(const TalvexFRM& w) { return w.slotSection(); }
    // String number n in the window's current language.
    static QString lookup(const TalvexFRM& w, int n) { return w.lookup(n); }
    // Frame height in twips, as the banner toggle sets it.
    static int outerHeightTwips(const TalvexFRM& w) { return w.outerHeightTwips(); }
    // Centres the frame, as the load and the first show do.
    static void centreOnScreen(TalvexFRM& w) { w.centreOnScreen(); }
    // Shows the echoed lines and the count still waiting for the next frame, now.
    static void flushEcho(TalvexFRM& w) { w.flushEcho(); }
    // The echo pane's whole text once the waiting lines are shown: each line followed by "\n".
    static QString echoText(TalvexFRM& w) { return w.echoText(); }
    // What the Quenby button uses to start a program.
    static void setProgramStarter(TalvexFRM& w, CompanionStart::Starter starter) {
        w.m_startProgram = std::move(starter);
    }
};
