// SPDX-License-Identifier: GPL-3.0-or-later
// The run's parameters: the delay with its step buttons, the destination port and host, the
// line order and the kind of output. Every change is written into the slot's section at once.
#include "window/TalvexFRM.h"

#include "engine/GenerationRun.h"
#include "i18n/StringTable.h"
#include "settings/NumberText.h"
#include "settings/SettingKeys.h"
#include "settings/SettingValues.h"
#include "settings/Settings.h"
#include "settings/SlotRules.h"
#include "window/MessageBox.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

// Only a copy that holds a slot has a section of its own to write into.
void writeSlotKey(const QString& section, const QString& key, const QString& value) {
    if (!section.isEmpty())
        Settings::write(section, key, value);
}

} // namespace

void TalvexFRM::setupFields() {
    connect(TXT_delay1, &QLineEdit::textChanged, this, &TalvexFRM::TXT_delay1_Change);
    connect(TXT_Port1, &QLineEdit::textChanged, this, &TalvexFRM::TXT_Port1_Change);
    connect(TXT_HoteIP1, &QLineEdit::textChanged, this, &TalvexFRM::TXT_HoteIP1_Change);
    connect(CMD_Plus, &QPushButton::clicked, this, &TalvexFRM::CMD_Plus_Click);
    connect(CMD_Moins, &QPushButton::clicked, this, &TalvexFRM::CMD_Moins_Click);
    // toggled, not clicked: selecting an option from code must run its handler too.
    connect(OPT_Sequentiel, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            OPT_Sequentiel_Click();
    });
    connect(OPT_Aleatoire, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            OPT_Aleatoire_Click();
    });
    connect(OPT_Fichier, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            OPT_Fichier_Click();
    });
    connect(OPT_Syslog, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            OPT_Syslog_Click();
    });
}

void TalvexFRM::TXT_delay1_Change() {
    if (!SlotRules::DelayRange.accepts(TextToNumber(TXT_delay1->text()))) {
        MessageBox::show(this, MessageBox::Icon::Information, lookup(Str::Information),
                         lookup(Str::DelayRange), MessageBox::Buttons::Ok);
        TXT_delay1->setText(
            SlotRules::DelayRange.replacementText()); // runs this handler again, which stores it
    }
    // Read again: after a rejection the field holds the replacement.
    writeSlotKey(m_slotSection, SettingKeys::Delay, NumberToText(TextToNumber(TXT_delay1->text())));
}

void TalvexFRM::TXT_Port1_Change() {
    if (!SlotRules::PortRange.accepts(TextToNumber(TXT_Port1->text()))) {
        MessageBox::show(this, MessageBox::Icon::Information, lookup(Str::Information),
                         lookup(Str::PortRange), MessageBox::Buttons::Ok);
        TXT_Port1->setText(SlotRules::PortRange.replacementText());
    }
    writeSlotKey(m_slotSection, SettingKeys::Port, NumberToText(TextToNumber(TXT_Port1->text())));
}

void TalvexFRM::TXT_HoteIP1_Change() {
    // As typed: the socket takes the host only at the next initialisation, which checks it.
    writeSlotKey(m_slotSection, SettingKeys::Host, TXT_HoteIP1->text());
}

// The steps start from the number the field begins with, so "5s" steps to "6"; the field's own
// check then applies, so stepping out of range gives the replacement, not the bound.
void TalvexFRM::CMD_Plus_Click() {
    setFieldText(TXT_delay1, SlotRules::steppedDelay(TXT_delay1->text(), 1));
}

void TalvexFRM::CMD_Moins_Click() {
    setFieldText(TXT_delay1, SlotRules::steppedDelay(TXT_delay1->text(), -1));
}

void TalvexFRM::OPT_Sequentiel_Click() {
    writeSlotKey(m_slotSection, SettingKeys::GenerationType,
                 SettingValues::text(GenerationOrder::Sequential));
    m_run->setGenerationOrder(GenerationOrder::Sequential);
    // The loop only makes sense in file order; its value is kept while it is hidden.
    CHK_Boucle->setVisible(true);
}

void TalvexFRM::OPT_Aleatoire_Click() {
    writeSlotKey(m_slotSection, SettingKeys::GenerationType, SettingValues::text(GenerationOrder::Random));
    m_run->setGenerationOrder(GenerationOrder::Random);
    CHK_Boucle->setVisible(false);
}

void TalvexFRM::OPT_Fichier_Click() {
    FRM_Syslog->setEnabled(false);
    TXT_Port1->setEnabled(false);
    TXT_HoteIP1->setEnabled(false);
    CMD_Quenby->setEnabled(false);
    writeSlotKey(m_slotSection, SettingKeys::SyslogFile, SettingValues::text(Output::File));
    m_run->setOutput(Output::File);
}

void TalvexFRM::OPT_Syslog_Click() {
    FRM_Syslog->setEnabled(true);
    TXT_Port1->setEnabled(true);
    TXT_HoteIP1->setEnabled(true);
    CMD_Quenby->setEnabled(true);
    writeSlotKey(m_slotSection, SettingKeys::SyslogFile, SettingValues::text(Output::Syslog));
    m_run->setOutput(Output::Syslog);
}
