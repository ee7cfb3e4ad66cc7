// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RunHost.h"
#include "settings/InstanceSlots.h"
#include "window/CompanionStart.h"

#include <QStringList>
#include <QTimer>
#include <QTranslator>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class LogView;
class QPushButton;
class QRadioButton;
class FileListBox;
class EchoPane;
class GenerationRun;
class MediaButtonBar;
class PictureBox;
class UdpSink;

// The one window of the program. The controls keep their design names, as members and as object
// names, so every handler and every test finds them by the same name.
//
// The constructor builds the design state and then runs the load (TalvexFRM_Load), so a window
// is titled, localised and placed as soon as it exists and before it is first shown. The current
// directory at construction is the one whose Talvex.ini and "Logs Source" are used.
class TalvexFRM : public QWidget, public RunHost {
    Q_OBJECT
public:
    explicit TalvexFRM(QWidget* parent = nullptr);
    ~TalvexFRM() override;

    // The slot this copy holds, 0 before the initialisation or when it had none.
    int instanceSlot() const { return m_instanceSlot; }
    int languageOffset() const override { return m_languageOffset; }

    // The run holds the window-wide run state: generation order, output choice, loop, pause, stop
    // and quit flags, LastLineIndex and the line counter.
    GenerationRun* run() const { return m_run; }

    // Controls, by their design names.
    PictureBox* Picture1 = nullptr;
    QLabel* LBL_Titre = nullptr;
    FileListBox* COMBO_ListDir = nullptr;
    QPushButton* CMD_SRC1 = nullptr;
    QGroupBox* FRM_Source1 = nullptr;
    QGroupBox* Frame2 = nullptr;

    QComboBox* Combo_SRC1 = nullptr;
    PictureBox* PICT_FR = nullptr;
    PictureBox* PICT_UK = nullptr;
    MediaButtonBar* MMControl1 = nullptr;
    QPushButton* CMD_Quitter = nullptr;
    QGroupBox* FRM_Lecture = nullptr;
    QGroupBox* FRM_Syslog = nullptr;

    QRadioButton* OPT_Sequentiel = nullptr;
    QRadioButton* OPT_Aleatoire = nullptr;
    QCheckBox* CHK_Boucle = nullptr;
    QLabel* LBL_Delai = nullptr;
    QLineEdit* TXT_delay1 = nullptr;
    QLabel* LBLtps = nullptr;
    QPushButton* CMD_Plus = nullptr;
    QPushButton* CMD_Moins = nullptr;
    QGroupBox* FRM_Fichier = nullptr;
    QPushButton* CMD_LectureSRC1 = nullptr;

    QRadioButton* OPT_Fichier = nullptr;
    QRadioButton* OPT_Syslog = nullptr;

    QLabel* LBL_Port = nullptr;
    QLineEdit* TXT_Port1 = nullptr;
    QLabel* LBL_Hote = nullptr;
    QLineEdit* TXT_HoteIP1 = nullptr;
    QPushButton* CMD_Quenby = nullptr;

    QLabel* LBL_LineCount = nullptr;
    QLabel* LBL_Err = nullptr;
    QLabel* Label3 = nullptr;
    LogView* TXT_OutPut = nullptr;

    // The UDP socket, without visible form.
    UdpSink* Winsock1 = nullptr;

private:
    // Tests reach the window through its controls; what they cannot click or read there, they
    // reach through this one accessor (tests/testsupport).
    friend class TalvexFRMTestAccess;

    QString slotSection() const { return m_slotSection; }

    // Text of string number n (odd, 1..63) in the current language.
    QString lookup(int n) const;

    // Which help message F1 gives when no help could be opened.
    enum class HelpProblem { NoHelp, HelpFileNotOpened, ManualNotOpened };
    static QString helpMessage(HelpProblem problem, int languageOffset);
    // Said when CMD_SRC1 cannot have a slot for another reason than the twenty-copies limit.
    static QString slotsUnavailableMessage(InstanceSlots::Refusal refusal, int languageOffset);

    // Language switch: L 0 French, 1 English. Relabels the 17 translated captions and stores the
    // choice as Language in section Settings.
    void switchLanguage(int L);
    void PICT_FR_Click();
    void PICT_UK_Click();

    // F1: opens Talvex.chm of the current directory, else the installed manual in the interface
    // language, or says that there is no help.
    void TalvexFRM_Help();

    // Puts the window's frame in the middle of its screen (the load, the first show, and the
    // initialisation without a usable stored position).
    void centreOnScreen();
    // True when a frame whose top-left corner is at framePos would show its title bar, at least
    // in part, on one of the screens.
    bool titleBarOnAScreen(const QPoint& framePos) const;

    // RunHost: what the generation run asks of the window.
    void setRunButtons(bool playEnabled, bool pauseEnabled, bool stopEnabled) override;
    void setControlsEnabled(int controls, bool enabled) override;
    void clearEcho() override;
    void echoLine(const QByteArray& line) override;
    void setLineCountCaption(const QString& caption) override;
    void showProducedLine(const QString& countCaption, const QByteArray& line) override;
    void showError(const QString& errorCaption, const QString& titleCaption) override;
    bool askYesNo(const QString& title, const QString& text) override;
    void showInformation(const QString& title, const QString& text) override;
    void restoreNormalWindow() override;

    // Shows any echoed lines and count still waiting for the next frame, now.
    void flushEcho();
    // The echo pane's whole text, after a flush: each line followed by "\n".
    QString echoText();

    // Run control (TalvexFRM_Run.cpp).
    void MMControl1_PlayClick();
    void MMControl1_PauseClick();
    void MMControl1_StopClick();
    void CHK_Boucle_Click();

    // The ends of a copy, the banner and the companion program (TalvexFRM_Shutdown.cpp).
    void CMD_Quitter_Click();
    void CMD_Quenby_Click();
    void Picture1_Click();
    // Unload: raises the quit request and saves the window position into the slot's section.
    void TalvexFRM_Unload();
    // Final teardown when the program ends: releases the slot.
    void TalvexFRM_Terminate();
    // Window heights of the banner toggle, outer height in twips.
    static constexpr int CompactHeightTwips = 1635;
    static constexpr int FullHeightTwips = 4485;
    int outerHeightTwips() const;

    // The initialisation on CMD_SRC1 (TalvexFRM_Startup.cpp): claims a slot and loads its settings.
    void CMD_SRC1_Click();

    // The parameter fields and options (TalvexFRM_Fields.cpp). Each validates, writes its key
    // into the slot's section at once and sets the run state that the run reads.
    void TXT_delay1_Change();
    void TXT_Port1_Change();
    void TXT_HoteIP1_Change();
    void CMD_Plus_Click();
    void CMD_Moins_Click();
    void OPT_Sequentiel_Click();
    void OPT_Aleatoire_Click();
    void OPT_Fichier_Click();
    void OPT_Syslog_Click();

    // Source selection and preview (TalvexFRM_Source.cpp).
    void Combo_SRC1_Click();
    void Combo_SRC1_GotFocus();
    void Combo_SRC1_LostFocus();
    void CMD_LectureSRC1_Click();
    // Why a source could not be previewed, naming its file.
    static QString previewFailedMessage(const QString& path, int errorNumber, int languageOffset);

    // The handlers live in one file per concern:
    //   TalvexFRM_Startup.cpp   the initialisation on CMD_SRC1
    //   TalvexFRM_Fields.cpp    the delay, port and host fields, the options
    //   TalvexFRM_Source.cpp    source selection and preview
    //   TalvexFRM_Run.cpp       Play, Pause, Stop and the loop check box
    //   TalvexFRM_Shutdown.cpp  quit, close, banner and companion launch

    // The 17 captions that follow the language, with their string numbers, in switch order.
    struct TranslatedCaption {
        QWidget* control;
        int n;
    };
    QList<TranslatedCaption> translatedCaptions() const;
    // Every control that shows a caption, translated or not.
    QList<QWidget*> captionedControls() const;
    // Caption of a label, button or frame.
    static QString caption(const QWidget* control);
    static void setCaption(QWidget* control, const QString& text);

    void createControls();
    void fitFontToCaptions();
    void fitFieldFonts();
    void chainTabOrder();
    void TalvexFRM_Load();
    void installQtFrench(bool french);
    void settingsWriteFailed();
    void setupRun();
    // Wiring of CMD_SRC1, the parameter fields and the source box, one part per handler file.
    void setupStartup();
    void setupFields();
    void setupSource();
    // Sets a field's or an option's value from code so that its handler runs, even when the
    // value is already there: the initialisation relies on the handler to store it.
    void setFieldText(QLineEdit* field, const QString& text);
    void selectOption(QRadioButton* option, void (TalvexFRM::*handler)());
    void setLoopBox(bool checked);
    void limitOutcome();
    void slotsUnavailable(InstanceSlots::Refusal refusal);
    // The controls that a chosen source unlocks, in the order they are enabled.
    QList<QWidget*> parameterControls() const;
    void setOuterHeightTwips(int twips);
    // The title bar and borders around the client area: the window system's once it has framed
    // the window, else none, or when guessing, the usual ones.
    QMargins decorationMargins(bool guessWhenUnknown) const;
    void centreFrame(bool guessWhenUnknown);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_instanceSlot = 0;
    QString m_slotSection;
    int m_languageOffset = 0;
    GenerationRun* m_run = nullptr;
    // The slot this copy holds, with its ownership record (scan, claim and release).
    InstanceSlots m_slots;
    bool m_terminated = false;
    bool m_settingsNoticeGiven = false;
    // Where centring last put the client area; the window is centred again once its frame is known, unless
    // something else has placed it since.
    QPoint m_centredAt;
    bool m_centred = false;
    bool m_shownOnce = false;

    QTranslator m_qtFrench;
    bool m_qtFrenchLoaded = false;
    bool m_qtFrenchInstalled = false;

    // The output pane and the line count, as the run and the preview write them.
    EchoPane* m_echo = nullptr;

    // How the Quenby button starts a program; a test puts its own here.
    CompanionStart::Starter m_startProgram = &CompanionStart::startDetached;
};
