// SPDX-License-Identifier: GPL-3.0-or-later
// The initialisation that CMD_SRC1 runs: claim a slot, load its settings into the controls,
// prepare the socket and fill the source list.
#include "window/TalvexFRM.h"
#include "window/WaitCursor.h"

#include "engine/GenerationRun.h"
#include "engine/SourceReader.h"
#include "engine/UdpSink.h"
#include "i18n/StringTable.h"
#include "settings/NumberText.h"
#include "settings/SettingKeys.h"
#include "settings/SettingValues.h"
#include "settings/Settings.h"
#include "settings/SlotRules.h"
#include "window/FileListBox.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cmath>

namespace {

// A stored position in twips as pixels. Far-out values are clamped so the conversion stays
// defined; the window manager decides what to make of them.
int twipsToPixels(double twips) {
    const double pixels = std::trunc(twips / Twips::PerPixel);
    return static_cast<int>(std::clamp(pixels, -1.0e6, 1.0e6));
}

// The entry of the source list for a file name: every piece but the one after the last dot.
QString sourceEntry(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.left(dot);
}

// The lines of a source, split as the run splits them.
RunError countLines(const QString& path, qint64* lines) {
    *lines = 0;
    return SourceReader::forEachLine(path, [lines](const QByteArray&) { ++*lines; });
}

} // namespace

void TalvexFRM::setupStartup() {
    connect(CMD_SRC1, &QPushButton::clicked, this, &TalvexFRM::CMD_SRC1_Click);
    setupFields();
    setupSource();
}

void TalvexFRM::CMD_SRC1_Click() {
    // The slot before anything else: a copy that cannot have one now (the settings file busy)
    // keeps its window as it was, and another press tries again. A copy that already holds one
    // keeps it: scanning again would leave that slot marked with nobody to release it.
    const int slot = m_slots.claim();
    if (slot == 0) {
        if (m_slots.refusal() == InstanceSlots::Refusal::AllTaken)
            limitOutcome();
        else
            slotsUnavailable(m_slots.refusal());
        return;
    }

    // Start afresh: no pause, an empty pane and source list, the socket closed.
    m_run->setPaused(false);
    clearEcho();
    m_run->setLastLineIndex(0);
    Winsock1->close();
    Combo_SRC1->clear();
    Combo_SRC1->clearEditText();

    m_instanceSlot = slot;
    m_slotSection = m_slots.section();

    // The window position, stored in twips as the frame's top-left corner.
    const double positionX = TextToNumber(Settings::read(m_slotSection, SettingKeys::PositionX));
    const double positionY = TextToNumber(Settings::read(m_slotSection, SettingKeys::PositionY));
    const QPoint stored(twipsToPixels(positionX), twipsToPixels(positionY));
    // A position from a screen set-up that has changed may lie where no screen shows the window;
    // it is then centred as if none were stored, and the stored one is left as it is.
    if ((positionX <= 0 && positionY <= 0) || !titleBarOnAScreen(stored))
        centreOnScreen();
    else
        move(stored);

    // The delay: the field's handler checks it and writes it back.
    setFieldText(TXT_delay1, Settings::read(m_slotSection, SettingKeys::Delay));

    // The loop.
    if (!SettingValues::flag(Settings::read(m_slotSection, SettingKeys::Loop))) {
        m_run->setLoop(false);
        Settings::write(m_slotSection, SettingKeys::Loop, SettingValues::flagText(false));
        setLoopBox(false);
    } else {
        m_run->setLoop(true);
        FRM_Lecture->setTitle(lookup(Str::LoopCaption));
        setLoopBox(true);
    }

    // Line order.
    if (SettingValues::generationOrder(Settings::read(m_slotSection, SettingKeys::GenerationType)) ==
        GenerationOrder::Sequential) {
        m_run->setGenerationOrder(GenerationOrder::Sequential);
        Settings::write(m_slotSection, SettingKeys::GenerationType,
                        SettingValues::text(GenerationOrder::Sequential));
        selectOption(OPT_Sequentiel, &TalvexFRM::OPT_Sequentiel_Click);
        CHK_Boucle->setVisible(true);
    } else {
        m_run->setGenerationOrder(GenerationOrder::Random);
        selectOption(OPT_Aleatoire, &TalvexFRM::OPT_Aleatoire_Click);
        CHK_Boucle->setVisible(false);
    }

    // Kind of output.
    if (SettingValues::output(Settings::read(m_slotSection, SettingKeys::SyslogFile)) == Output::File) {
        m_run->setOutput(Output::File);
        Settings::write(m_slotSection, SettingKeys::SyslogFile, SettingValues::text(Output::File));
        selectOption(OPT_Fichier, &TalvexFRM::OPT_Fichier_Click);
    } else {
        selectOption(OPT_Syslog, &TalvexFRM::OPT_Syslog_Click);
        m_run->setOutput(Output::Syslog);
    }

    // The port. Stored ports above 32000 are not taken back, whatever the field itself accepts.
    double port = TextToNumber(Settings::read(m_slotSection, SettingKeys::Port));
    if (!SlotRules::storedPortUsable(port)) {
        port = SlotRules::DefaultPort;
        Settings::write(m_slotSection, SettingKeys::Port, SlotRules::PortRange.replacementText());
    }
    setFieldText(TXT_Port1, NumberToText(port));

    // The host. Anything that does not begin with a positive number (a name, 0.0.0.0) is
    // replaced by the local host.
    QString host = SlotRules::hostWithoutTrailingBlanks(Settings::read(m_slotSection, SettingKeys::Host));
    if (!SlotRules::hostUsable(host)) {
        host = SlotRules::defaultHost();
        Settings::write(m_slotSection, SettingKeys::Host, host);
    }
    setFieldText(TXT_HoteIP1, host);

    // The stored source, if any, unlocks the parameters and Play.
    const QString source = Settings::read(m_slotSection, SettingKeys::SourceFile);
    if (source.isEmpty()) {
        Combo_SRC1->setEditText(lookup(Str::Choose));
        CMD_SRC1->setText(lookup(Str::SourceButton));
    } else {
        Combo_SRC1->setEditText(source);
        CMD_SRC1->setText(source);
        setWindowTitle(source);
        MMControl1->setPlayEnabled(true);
        for (QWidget* control : parameterControls())
            control->setEnabled(true);
        QFont bold = CMD_SRC1->font();
        bold.setBold(true);
        CMD_SRC1->setFont(bold);
        CMD_SRC1->setEnabled(false);
    }

    // Random order draws among the source's lines. A source that has gone or cannot be read
    // does not stop here: the list below still lets the operator choose another one.
    if (m_run->generationOrder() == GenerationOrder::Random) {
        qint64 lines = 0;
        const RunError error = countLines(GenerationRun::sourcePath(Combo_SRC1->currentText()), &lines);
        if (!error.isError())
            m_run->setLastLineIndex(lines - 1);
        else if (!error.isPassedOver())
            LBL_Titre->setText(lookup(Str::UnknownError));
    }

    // The socket's destination. A host name is resolved here, which may take a while.
    {
        const WaitCursor wait;
        if (!Winsock1->open(host, static_cast<qint32>(std::nearbyint(port)))) {
            LBL_Titre->setText(lookup(Str::UnknownError));
            return;
        }
    }

    // The source list, from the snapshot taken at load. Filling it must not replace the text
    // set above with the first entry.
    const QString text = Combo_SRC1->currentText();
    for (int i = 0; i < COMBO_ListDir->count(); ++i)
        Combo_SRC1->addItem(sourceEntry(COMBO_ListDir->fileName(i)));
    Combo_SRC1->setCurrentIndex(-1);
    Combo_SRC1->setEditText(text);

    Combo_SRC1->setEnabled(true);
}

void TalvexFRM::limitOutcome() {
    m_instanceSlot = 0;
    m_slotSection.clear();
    MessageBox::show(this, MessageBox::Icon::Warning, lookup(Str::LimitTitle),
                     lookup(Str::Already) + QString::number(InstanceSlots::Capacity) + lookup(Str::InMemory),
                     MessageBox::Buttons::Ok);
    m_run->requestQuit();
    close();
}

void TalvexFRM::slotsUnavailable(InstanceSlots::Refusal refusal) {
    MessageBox::show(this, MessageBox::Icon::Warning,
                     StringTable::message(StringTable::Message::WarningTitle, m_languageOffset),
                     slotsUnavailableMessage(refusal, m_languageOffset), MessageBox::Buttons::Ok);
}

void TalvexFRM::setFieldText(QLineEdit* field, const QString& text) {
    if (field->text() != text) {
        field->setText(text); // textChanged runs the handler
        return;
    }
    if (field == TXT_delay1)
        TXT_delay1_Change();
    else if (field == TXT_Port1)
        TXT_Port1_Change();
    else if (field == TXT_HoteIP1)
        TXT_HoteIP1_Change();
}

void TalvexFRM::selectOption(QRadioButton* option, void (TalvexFRM::*handler)()) {
    if (option->isChecked())
        (this->*handler)();
    else
        option->setChecked(true); // toggled runs the handler
}

void TalvexFRM::setLoopBox(bool checked) {
    if (CHK_Boucle->isChecked() == checked)
        CHK_Boucle_Click();
    else
        CHK_Boucle->setChecked(checked); // toggled runs the handler
}
