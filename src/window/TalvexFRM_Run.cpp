// SPDX-License-Identifier: GPL-3.0-or-later
// Play, Pause, Stop and the loop check box: the window side of the generation run.
#include "window/TalvexFRM.h"

#include "engine/GenerationRun.h"
#include "engine/UdpSink.h"
#include "settings/SettingKeys.h"
#include "settings/SettingValues.h"
#include "settings/Settings.h"
#include "window/MediaButtonBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

void TalvexFRM::setupRun() {
    Winsock1 = new UdpSink(this);
    Winsock1->setObjectName(QStringLiteral("Winsock1"));
    m_run = new GenerationRun(this, Winsock1, this);

    connect(MMControl1, &MediaButtonBar::playClicked, this, &TalvexFRM::MMControl1_PlayClick);
    connect(MMControl1, &MediaButtonBar::pauseClicked, this, &TalvexFRM::MMControl1_PauseClick);
    connect(MMControl1, &MediaButtonBar::stopClicked, this, &TalvexFRM::MMControl1_StopClick);
    // toggled, not clicked: the initialisation sets the box from code and relies on the same
    // handler to store the value and set the flag.
    connect(CHK_Boucle, &QCheckBox::toggled, this, &TalvexFRM::CHK_Boucle_Click);
    // Whatever way a run ends, no echoed line stays waiting in the batch.
    connect(m_run, &GenerationRun::runEnded, this, &TalvexFRM::flushEcho);
}

void TalvexFRM::MMControl1_PlayClick() {
    // The button is disabled while a run is armed; this guards a click queued before that.
    if (m_run->isRunning())
        return;
    m_run->play(Combo_SRC1->currentText(), TXT_delay1->text());
}

void TalvexFRM::MMControl1_PauseClick() {
    m_run->pause();
    flushEcho();
}

void TalvexFRM::MMControl1_StopClick() {
    m_run->stop();
    flushEcho();
}

void TalvexFRM::CHK_Boucle_Click() {
    const bool loop = CHK_Boucle->isChecked();
    // Only a copy that holds a slot has a section to write into.
    if (!m_slotSection.isEmpty())
        Settings::write(m_slotSection, SettingKeys::Loop, SettingValues::flagText(loop));
    m_run->setLoop(loop);
}
