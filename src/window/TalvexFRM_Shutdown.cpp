// SPDX-License-Identifier: GPL-3.0-or-later
// The ends of a copy (Quit, the window's close, the final teardown), the banner toggle and the
// companion receiver program.
#include "window/TalvexFRM.h"

#include "engine/GenerationRun.h"
#include "i18n/StringTable.h"
#include "settings/NumberText.h"
#include "settings/SettingKeys.h"
#include "settings/Settings.h"
#include "settings/SlotRules.h"
#include "window/CompanionStart.h"
#include "window/MessageBox.h"
#include "window/Twips.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>

#include <cmath>

void TalvexFRM::CMD_Quitter_Click() {
    m_run->requestQuit();
    // Memory goes to "0" now, but the slot stays this copy's until the teardown: the unload still
    // writes the position into its section, and a copy that claimed the slot in between would
    // find its own section overwritten.
    m_slots.markFree();
    close(); // runs the unload
}

void TalvexFRM::closeEvent(QCloseEvent* event) {
    TalvexFRM_Unload();
    event->accept(); // the unload is never cancelled
}

void TalvexFRM::TalvexFRM_Unload() {
    // A run in progress produces nothing more, and its output file is closed now, so every line
    // produced is on disk however the program ends from here.
    m_run->requestQuit();

    // A copy without a slot has no section of its own: writing a position anywhere would land in
    // a section that belongs to another copy, or to none.
    if (m_instanceSlot <= 0)
        return;
    if (isMinimized() || Combo_SRC1->currentText() == lookup(Str::Choose))
        return;
    const QRect frame = frameGeometry();
    Settings::write(m_slotSection, SettingKeys::PositionX, NumberToText(frame.x() * Twips::PerPixel));
    Settings::write(m_slotSection, SettingKeys::PositionY, NumberToText(frame.y() * Twips::PerPixel));
}

void TalvexFRM::TalvexFRM_Terminate() {
    if (m_terminated)
        return;
    m_terminated = true;
    if (m_run)
        m_run->requestQuit();
    // After Quit this is the second "0", which changes nothing; the slot is still held until here,
    // so no other copy can have claimed it meanwhile.
    m_slots.release();
}

void TalvexFRM::CMD_Quenby_Click() {
    // One more instance per click, nothing waits for it. Without Quenby.exe on the program
    // search path, Talvex's own companion receiver listens where the slot sends.
    const double port = TextToNumber(TXT_Port1->text());
    const CompanionStart::Choice choice = CompanionStart::choose(
        TXT_HoteIP1->text(),
        SlotRules::PortRange.accepts(port) ? int(std::nearbyint(port)) : SlotRules::DefaultPort);
    if (!m_startProgram(choice.program, choice.arguments))
        MessageBox::show(this, MessageBox::Icon::Information, QStringLiteral("Quenby"),
                         StringTable::message(choice.receiverWindow
                                                  ? StringTable::Message::CompanionWindowFailed
                                                  : StringTable::Message::CompanionFailed,
                                              m_languageOffset),
                         MessageBox::Buttons::Ok);
}

int TalvexFRM::outerHeightTwips() const {
    return frameGeometry().height() * Twips::PerPixel;
}

void TalvexFRM::setOuterHeightTwips(int twips) {
    // The title bar and borders belong to the outer height; the client area takes the rest.
    const int decoration = frameGeometry().height() - height();
    setFixedHeight(Twips::toPixels(twips) - decoration);
}

void TalvexFRM::Picture1_Click() {
    clearEcho(); // lines still waiting in the echo batch go too
    setOuterHeightTwips(outerHeightTwips() == CompactHeightTwips ? FullHeightTwips : CompactHeightTwips);
}
