// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/TalvexFRM.h"

#include "desktop/InstalledData.h"
#include "engine/GenerationRun.h"
#include "i18n/StringTable.h"
#include "settings/SettingKeys.h"
#include "settings/SettingValues.h"
#include "settings/Settings.h"
#include "window/Artwork.h"
#include "window/CaptionFit.h"
#include "window/EchoPane.h"
#include "window/FileListBox.h"
#include "window/LogView.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/PictureBox.h"
#include "window/Twips.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>
#include <QToolButton>
#include <QUrl>
#include <QWindow>

#include <algorithm>

namespace {

// Creates a control with its design name and places it from twips, relative to its container.
template <class W> W* make(QWidget* container, const char* name, int left, int top, int width, int height) {
    auto* w = new W(container);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(Twips::toPixels(left), Twips::toPixels(top), Twips::toPixels(width),
                   Twips::toPixels(height));
    return w;
}

QLabel* makeLabel(QWidget* container, const char* name, int left, int top, int width, int height,
                  const QString& text) {
    auto* label = make<QLabel>(container, name, left, top, width, height);
    label->setText(text);
    // Captions are plain text and sit at the top left, like the labels they were drawn as.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

} // namespace

TalvexFRM::TalvexFRM(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TalvexFRM"));
    m_qtFrenchLoaded =
        m_qtFrench.load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));

    createControls();
    m_echo = new EchoPane(TXT_OutPut, LBL_LineCount, this);
    fitFontToCaptions();
    fitFieldFonts();
    chainTabOrder();

    connect(PICT_FR, &PictureBox::clicked, this, &TalvexFRM::PICT_FR_Click);
    connect(PICT_UK, &PictureBox::clicked, this, &TalvexFRM::PICT_UK_Click);
    setupRun();
    setupStartup();
    connect(CMD_Quitter, &QPushButton::clicked, this, &TalvexFRM::CMD_Quitter_Click);
    connect(CMD_Quenby, &QPushButton::clicked, this, &TalvexFRM::CMD_Quenby_Click);
    connect(Picture1, &PictureBox::clicked, this, &TalvexFRM::Picture1_Click);

    // The design state is French, so Qt's own texts (Yes/No of the message boxes) are too.
    installQtFrench(true);

    connect(Settings::notifier(), &SettingsWriteNotifier::writeFailed, this, &TalvexFRM::settingsWriteFailed);

    // Loading here rather than at first show: every caller, the program and the tests alike,
    // gets a window that is complete as soon as it exists.
    TalvexFRM_Load();
}

TalvexFRM::~TalvexFRM() {
    // The teardown's own writes need no notice: the copy is going away.
    disconnect(Settings::notifier(), nullptr, this, nullptr);
    TalvexFRM_Terminate();
    // Remove the translator while the window is whole; removal notifies every window.
    installQtFrench(false);
}

void TalvexFRM::createControls() {
    // The standard dialog font at 8.25 pt for every control, unless a control says otherwise.
    QFont base = QApplication::font();
    base.setPointSizeF(8.25);
    setFont(base);

    setWindowTitle(QStringLiteral(" Talvex"));
    setWindowIcon(Artwork::windowIcon());
    // Fixed single border: closable and minimisable, neither resizable nor maximisable.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(Twips::toPixels(8520), Twips::toPixels(5250));

    // Top strip.
    Picture1 = make<PictureBox>(this, "Picture1", 0, 0, 2940, 495);
    Picture1->setPixmap(Artwork::logoBanner());
    Picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture1->setToolTip(QStringLiteral(" Talvex 1.2 : trafic syslog de test / syslog test traffic "));

    LBL_Titre = makeLabel(this, "LBL_Titre", 3240, 120, 2655, 495, QStringLiteral("Talvex"));
    QFont titleFont = base;
    titleFont.setPointSizeF(18);
    titleFont.setBold(true);
    LBL_Titre->setFont(titleFont);

    COMBO_ListDir = make<FileListBox>(this, "COMBO_ListDir", 5400, 120, 2055, 2040);
    COMBO_ListDir->setVisible(false);

    CMD_SRC1 = make<QPushButton>(this, "CMD_SRC1", 6360, 120, 2055, 495);
    CMD_SRC1->setText(QStringLiteral("&Logs Source"));
    CMD_SRC1->setToolTip(QStringLiteral(" Choix des fichiers sources "));

    FRM_Source1 = make<QGroupBox>(this, "FRM_Source1", 120, 600, 8295, 1815);
    FRM_Source1->setTitle(QStringLiteral("Source"));
    // Frames are opaque: where FRM_Syslog overlaps the edge of FRM_Lecture, it hides it.
    FRM_Source1->setAutoFillBackground(true);

    Frame2 = make<QGroupBox>(this, "Frame2", 120, 2400, 8295, 2775);
    Frame2->setAutoFillBackground(true);
    Frame2->setTitle(QString());

    // CMD_SRC1 reaches one pixel into FRM_Source1; the button stays whole on top of it.
    CMD_SRC1->raise();

    // Inside FRM_Source1.
    Combo_SRC1 = make<QComboBox>(FRM_Source1, "Combo_SRC1", 240, 240, 2535, 315);
    Combo_SRC1->setEditable(true);
    // Typing a name and pressing Enter must not grow the list; only the initialisation fills it.
    Combo_SRC1->setInsertPolicy(QComboBox::NoInsert);
    Combo_SRC1->setEditText(QStringLiteral("Votre choix..."));
    Combo_SRC1->setToolTip(QStringLiteral(" Liste de choix d'un fichier source "));
    Combo_SRC1->setEnabled(false);

    PICT_FR = make<PictureBox>(FRM_Source1, "PICT_FR", 120, 960, 345, 285);
    PICT_FR->setPixmap(Artwork::frenchFlag());
    PICT_FR->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    PICT_UK = make<PictureBox>(FRM_Source1, "PICT_UK", 120, 1320, 315, 225);
    PICT_UK->setPixmap(Artwork::unitedKingdomFlag());
    PICT_UK->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    MMControl1 = make<MediaButtonBar>(FRM_Source1, "MMControl1", 960, 720, 1170, 300);
    MMControl1->setToolTip(QStringLiteral(" Ex\u00e9cution / Pause / Arr\u00eat "));

    CMD_Quitter = make<QPushButton>(FRM_Source1, "CMD_Quitter", 840, 1320, 1455, 375);
    CMD_Quitter->setText(QStringLiteral("&Quitter"));

    FRM_Lecture = make<QGroupBox>(FRM_Source1, "FRM_Lecture", 2760, 120, 3375, 1575);
    FRM_Lecture->setAutoFillBackground(true);
    FRM_Lecture->setTitle(QStringLiteral("Ecriture"));

    FRM_Syslog = make<QGroupBox>(FRM_Source1, "FRM_Syslog", 6000, 120, 2295, 1575);
    FRM_Syslog->setAutoFillBackground(true);
    FRM_Syslog->setTitle(QStringLiteral("Syslog"));
    FRM_Syslog->setEnabled(false);

    // Inside FRM_Lecture.
    OPT_Sequentiel = make<QRadioButton>(FRM_Lecture, "OPT_Sequentiel", 120, 240, 1215, 255);
    OPT_Sequentiel->setText(QStringLiteral("S\u00e9quentielle"));
    OPT_Sequentiel->setEnabled(false);

    OPT_Aleatoire = make<QRadioButton>(FRM_Lecture, "OPT_Aleatoire", 120, 600, 975, 255);
    OPT_Aleatoire->setText(QStringLiteral("Al\u00e9atoire"));
    OPT_Aleatoire->setEnabled(false);

    CHK_Boucle = make<QCheckBox>(FRM_Lecture, "CHK_Boucle", 1080, 480, 735, 255);
    CHK_Boucle->setText(QStringLiteral("Infinie"));
    CHK_Boucle->setEnabled(false);

    LBL_Delai =
        makeLabel(FRM_Lecture, "LBL_Delai", 120, 840, 975, 255, QStringLiteral("Delai \u00e9criture"));

    TXT_delay1 = make<QLineEdit>(FRM_Lecture, "TXT_delay1", 120, 1080, 735, 285);
    TXT_delay1->setText(QStringLiteral("10"));
    TXT_delay1->setToolTip(QStringLiteral(" valeur entre 1 et 7200 s "));
    TXT_delay1->setEnabled(false);

    LBLtps = makeLabel(FRM_Lecture, "LBLtps", 960, 1080, 375, 255, QStringLiteral("Sec."));

    CMD_Plus = make<QPushButton>(FRM_Lecture, "CMD_Plus", 1320, 960, 375, 195);
    CMD_Plus->setText(QStringLiteral("+"));
    CMD_Plus->setEnabled(false);

    CMD_Moins = make<QPushButton>(FRM_Lecture, "CMD_Moins", 1320, 1200, 375, 195);
    CMD_Moins->setText(QStringLiteral("-"));
    CMD_Moins->setEnabled(false);

    FRM_Fichier = make<QGroupBox>(FRM_Lecture, "FRM_Fichier", 1920, 240, 1215, 855);
    FRM_Fichier->setAutoFillBackground(true);
    FRM_Fichier->setTitle(QStringLiteral("Sortie"));

    CMD_LectureSRC1 = make<QPushButton>(FRM_Lecture, "CMD_LectureSRC1", 1920, 1080, 1245, 315);
    CMD_LectureSRC1->setText(QStringLiteral("Lecture Source"));
    CMD_LectureSRC1->setToolTip(QStringLiteral(" V\u00e9rification du fichier source "));
    CMD_LectureSRC1->setEnabled(false);

    // Inside FRM_Fichier.
    OPT_Fichier = make<QRadioButton>(FRM_Fichier, "OPT_Fichier", 240, 240, 855, 255);
    OPT_Fichier->setText(QStringLiteral("Fichier"));
    OPT_Fichier->setEnabled(false);

    OPT_Syslog = make<QRadioButton>(FRM_Fichier, "OPT_Syslog", 240, 600, 855, 195);
    OPT_Syslog->setText(QStringLiteral("Syslog"));
    OPT_Syslog->setEnabled(false);

    // Two pairs, each with exactly one selected. Left to Qt's automatic exclusivity, the order pair
    // would see the output pair through the nested frame: one exclusive group per pair.
    auto* orderGroup = new QButtonGroup(this);
    orderGroup->setObjectName(QStringLiteral("orderGroup"));
    orderGroup->addButton(OPT_Sequentiel);
    orderGroup->addButton(OPT_Aleatoire);
    auto* outputGroup = new QButtonGroup(this);
    outputGroup->setObjectName(QStringLiteral("outputGroup"));
    outputGroup->addButton(OPT_Fichier);
    outputGroup->addButton(OPT_Syslog);
    for (QButtonGroup* group : {orderGroup, outputGroup}) {
        // Tab stops once in a pair, at its selected option, whoever selected it; the arrows
        // move within the pair.
        connect(group, &QButtonGroup::buttonToggled, this, [group](QAbstractButton* selected, bool on) {
            if (!on)
                return;
            for (QAbstractButton* b : group->buttons()) {
                const Qt::FocusPolicy policy = b->focusPolicy();
                b->setFocusPolicy(b == selected ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                                : Qt::FocusPolicy(policy & ~Qt::TabFocus));
            }
        });
    }

    // Inside FRM_Syslog.
    LBL_Port = makeLabel(FRM_Syslog, "LBL_Port", 120, 240, 735, 255, QStringLiteral("Port UDP :"));

    TXT_Port1 = make<QLineEdit>(FRM_Syslog, "TXT_Port1", 1680, 240, 495, 285);
    TXT_Port1->setToolTip(QStringLiteral(" Port UDP utilis\u00e9 "));
    TXT_Port1->setEnabled(false);

    LBL_Hote = makeLabel(FRM_Syslog, "LBL_Hote", 120, 600, 735, 255, QStringLiteral("Dest IP :"));

    TXT_HoteIP1 = make<QLineEdit>(FRM_Syslog, "TXT_HoteIP1", 840, 600, 1335, 285);
    TXT_HoteIP1->setToolTip(QStringLiteral(" Adresse IP de destination "));
    TXT_HoteIP1->setEnabled(false);

    CMD_Quenby = make<QPushButton>(FRM_Syslog, "CMD_Quenby", 600, 1080, 1410, 315);
    CMD_Quenby->setText(QStringLiteral("&Quenby"));
    CMD_Quenby->setToolTip(QStringLiteral(" Ex\u00e9cuter Quenby "));
    CMD_Quenby->setEnabled(false);

    // Inside Frame2.
    LBL_LineCount = makeLabel(Frame2, "LBL_LineCount", 120, 240, 1620, 300, QStringLiteral("Lignes :"));
    LBL_LineCount->setToolTip(QStringLiteral(" Nombre de lignes lues / g\u00e9n\u00e9r\u00e9es "));

    LBL_Err = makeLabel(Frame2, "LBL_Err", 1440, 240, 5655, 255, QStringLiteral("Texte Erreur"));
    QFont boldFont = base;
    boldFont.setBold(true);
    LBL_Err->setFont(boldFont);
    LBL_Err->setVisible(false);

    Label3 = makeLabel(Frame2, "Label3", 7200, 240, 945, 270, QStringLiteral("F1: Aide"));
    Label3->setFont(boldFont);
    QPalette bluePalette = Label3->palette();
    bluePalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label3->setPalette(bluePalette);

    // A read-only view of the last lines, one row per line, scrolled sideways when needed.
    TXT_OutPut = make<LogView>(Frame2, "TXT_OutPut", 120, 480, 8055, 2175);
    // Its scroll bar moves with every frame of the echo: painting its own background spares
    // repainting the frame behind it, and every control in that frame, each time.
    TXT_OutPut->setAutoFillBackground(true);
    // Log lines are Latin text in the main: kerning and ligatures add nothing to them, but shaping
    // them is most of what a line costs the pane, as Qt shapes a line again each time it paints it.
    // Text that needs shaping (Arabic, Indic scripts) is still shaped.
    QFont paneFont = base;
    paneFont.setStyleStrategy(QFont::PreferNoShaping);
    TXT_OutPut->setFont(paneFont);
    // The echo (EchoPane) caps the pane's lines.

    // Winsock1, the UDP socket, is a non-visual child made with the run (TalvexFRM_Run.cpp).
}

void TalvexFRM::chainTabOrder() {
    // Focusable controls in their design tab order, each with its design tab index; labels, frames, pictures
    // and the hidden file list take no focus.
    const QList<QWidget*> chain = {
        CMD_SRC1,                 // 3
        CMD_LectureSRC1,          // 8
        TXT_delay1,               // 9
        CMD_Plus,                 // 10
        CMD_Moins,                // 11
        CHK_Boucle,               // 13
        TXT_Port1,                // 17
        TXT_HoteIP1,              // 18
        CMD_Quenby,               // 19
        Combo_SRC1,               // 22
        OPT_Syslog,               // 23
        OPT_Aleatoire,            // 24
        OPT_Fichier,              // 25
        OPT_Sequentiel,           // 26
        MMControl1->playButton(), // 27, the bar's three buttons left to right
        MMControl1->pauseButton(),
        MMControl1->stopButton(),
        CMD_Quitter, // 28
        TXT_OutPut,  // 30
    };
    for (int i = 0; i + 1 < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i), chain.at(i + 1));
}

void TalvexFRM::TalvexFRM_Load() {
    // The caption with the version, until a source names the window.
    setWindowTitle(QStringLiteral("Talvex") + QStringLiteral(" 1.2"));

    // Help on F1, wherever the focus is in the window.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    help->setContext(Qt::WindowShortcut);
    connect(help, &QShortcut::activated, this, &TalvexFRM::TalvexFRM_Help);

    // Snapshot of the sources; a missing folder simply lists nothing.
    COMBO_ListDir->setFolder(QStringLiteral("Logs Source"));

    // Middle of the screen; the first show centres the frame once the window system knows it.
    centreOnScreen();

    // The language of the last switch, in any copy.
    if (SettingValues::english(Settings::read(SettingKeys::SettingsSection, SettingKeys::Language)))
        PICT_UK_Click();

    // No source yet, no slot yet.
    MMControl1->setPlayEnabled(false);
    m_instanceSlot = 0;
}

QList<TalvexFRM::TranslatedCaption> TalvexFRM::translatedCaptions() const {
    // In the order the switch relabels them.
    return {
        {CMD_SRC1, Str::SourceButton},      {FRM_Source1, Str::SourceFrame},
        {FRM_Lecture, Str::WritingFrame},   {FRM_Syslog, Str::SyslogFrame},
        {LBL_LineCount, Str::Lines},        {OPT_Sequentiel, Str::Sequential},
        {OPT_Aleatoire, Str::Random},       {CHK_Boucle, Str::Loop},
        {LBL_Delai, Str::DelayLabel},       {OPT_Fichier, Str::FileOption},
        {LBL_Port, Str::PortLabel},         {LBL_Hote, Str::HostLabel},
        {CMD_Quitter, Str::QuitButton},     {CMD_LectureSRC1, Str::ReadSourceButton},
        {CMD_Quenby, Str::CompanionButton}, {Label3, Str::HelpHint},
        {FRM_Fichier, Str::OutputFrame},
    };
}

QString TalvexFRM::caption(const QWidget* control) {
    if (auto* box = qobject_cast<const QGroupBox*>(control))
        return box->title();
    if (auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    return QString();
}

void TalvexFRM::setCaption(QWidget* control, const QString& text) {
    if (auto* box = qobject_cast<QGroupBox*>(control))
        box->setTitle(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(control))
        button->setText(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
}

QList<QWidget*> TalvexFRM::captionedControls() const {
    return {LBL_Titre,      CMD_SRC1,      FRM_Source1,     CMD_Quitter, FRM_Lecture, FRM_Syslog,
            OPT_Sequentiel, OPT_Aleatoire, CHK_Boucle,      LBL_Delai,   LBLtps,      CMD_Plus,
            CMD_Moins,      FRM_Fichier,   CMD_LectureSRC1, OPT_Fichier, OPT_Syslog,  LBL_Port,
            LBL_Hote,       CMD_Quenby,    LBL_LineCount,   LBL_Err,     Label3};
}

void TalvexFRM::fitFontToCaptions() {
    // Every caption of both languages must fit its control.
    QHash<const QWidget*, int> translated;
    for (const TranslatedCaption& c : translatedCaptions())
        translated.insert(c.control, c.n);
    QList<CaptionFit::Captions> captions;
    for (const QWidget* control : captionedControls()) {
        QStringList texts{caption(control)};
        if (translated.contains(control))
            texts << StringTable::lookup(translated.value(control), 0)
                  << StringTable::lookup(translated.value(control), 1);
        captions.append({control, texts});
    }
    CaptionFit::condenseWindow(this, {LBL_Titre, LBL_Err, Label3}, captions);

    // The title label also shows the unexpected-error caption of either language; at 18 pt that
    // may take a narrower setting of its own.
    CaptionFit::condenseControl(LBL_Titre, {caption(LBL_Titre), StringTable::lookup(Str::UnknownError, 0),
                                            StringTable::lookup(Str::UnknownError, 1)});
}

void TalvexFRM::fitFieldFonts() {
    // As the captions, the fields were laid out for a narrower font than many desktops have: a
    // field whose realistic widest value would be cut takes a condensed font until it fits.
    CaptionFit::condenseField(TXT_delay1, QStringLiteral("7200.5"));
    CaptionFit::condenseField(TXT_Port1, QStringLiteral("65534"));
    CaptionFit::condenseField(TXT_HoteIP1, QStringLiteral("255.255.255.255"));
    CaptionFit::condenseField(Combo_SRC1, QStringLiteral("MAIL_SERVER_DMZ_2024"));
}

QString TalvexFRM::lookup(int n) const {
    return StringTable::lookup(n, m_languageOffset);
}

QString TalvexFRM::helpMessage(HelpProblem problem, int languageOffset) {
    switch (problem) {
    case HelpProblem::NoHelp:
        return StringTable::message(StringTable::Message::HelpMissing, languageOffset);
    case HelpProblem::HelpFileNotOpened:
        return StringTable::message(StringTable::Message::HelpFileNotOpened, languageOffset);
    case HelpProblem::ManualNotOpened:
        break;
    }
    return StringTable::message(StringTable::Message::ManualNotOpened, languageOffset);
}

QString TalvexFRM::slotsUnavailableMessage(InstanceSlots::Refusal refusal, int languageOffset) {
    return StringTable::message(refusal == InstanceSlots::Refusal::Busy
                                    ? StringTable::Message::SettingsBusy
                                    : StringTable::Message::FolderUnusable,
                                languageOffset);
}

void TalvexFRM::settingsWriteFailed() {
    // Once per copy, and not while it closes: the values still apply in memory, the operator only
    // needs to know that they will not come back at the next start.
    if (m_settingsNoticeGiven || m_terminated || !m_run || m_run->quitRequested())
        return;
    m_settingsNoticeGiven = true;
    // From the event loop: the failed write may be the slot claim's, which holds the lock that
    // other copies scan under and must not wait on the operator.
    QTimer::singleShot(0, this, [this] {
        MessageBox::show(this, MessageBox::Icon::Warning,
                         StringTable::message(StringTable::Message::WarningTitle, m_languageOffset),
                         StringTable::message(StringTable::Message::SettingsNotWritable, m_languageOffset),
                         MessageBox::Buttons::Ok);
    });
}

void TalvexFRM::switchLanguage(int L) {
    // A count still waiting to be shown must not overwrite the new caption afterwards.
    flushEcho();
    m_languageOffset = L;

    for (const TranslatedCaption& caption : translatedCaptions())
        setCaption(caption.control, lookup(caption.n));

    // Yes/No of the message boxes follow the interface language.
    installQtFrench(L == 0);

    Settings::write(SettingKeys::SettingsSection, SettingKeys::Language, SettingValues::languageText(L != 0));
}

void TalvexFRM::PICT_FR_Click() {
    switchLanguage(0);
}

void TalvexFRM::PICT_UK_Click() {
    switchLanguage(1);
}

void TalvexFRM::installQtFrench(bool french) {
    if (french && m_qtFrenchLoaded && !m_qtFrenchInstalled) {
        m_qtFrenchInstalled = QCoreApplication::installTranslator(&m_qtFrench);
    } else if (!french && m_qtFrenchInstalled) {
        QCoreApplication::removeTranslator(&m_qtFrench);
        m_qtFrenchInstalled = false;
    }
}

void TalvexFRM::TalvexFRM_Help() {
    // A help file of the working folder comes first: it may be written for the sources kept there.
    const QString path = QDir::current().absoluteFilePath(QStringLiteral("Talvex.chm"));
    const bool present = QFileInfo(path).isFile();
    if (present && QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return;
    const QString manual = InstalledData::manualFile(m_languageOffset);
    if (!manual.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(manual)))
        return;
    const HelpProblem problem = present            ? HelpProblem::HelpFileNotOpened
                                : manual.isEmpty() ? HelpProblem::NoHelp
                                                   : HelpProblem::ManualNotOpened;
    MessageBox::show(this, MessageBox::Icon::Information, lookup(Str::Information),
                     helpMessage(problem, m_languageOffset), MessageBox::Buttons::Ok);
}

void TalvexFRM::centreOnScreen() {
    centreFrame(false);
}

QMargins TalvexFRM::decorationMargins(bool guessWhenUnknown) const {
    const QWindow* handle = windowHandle();
    QMargins margins = handle ? handle->frameMargins() : QMargins();
    if (margins.isNull() && guessWhenUnknown) {
        // Until the window manager has framed the window its decoration is unknown; a title bar
        // of the style's height and thin borders is the common case.
        const int border = 1;
        margins = QMargins(border, style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this) + border,
                           border, border);
    }
    return margins;
}

void TalvexFRM::centreFrame(bool guessWhenUnknown) {
    QScreen* s = screen();
    if (!s)
        s = QGuiApplication::primaryScreen();
    if (!s)
        return;
    const QRect area = s->geometry();
    const QMargins margins = decorationMargins(guessWhenUnknown);
    const QSize outer = size().grownBy(margins);
    const QPoint frame(area.x() + (area.width() - outer.width()) / 2,
                       area.y() + (area.height() - outer.height()) / 2);
    // Placed by its client area: until the window system reports the frame, move() would take
    // the frame's corner for the client's.
    setGeometry(QRect(frame + QPoint(margins.left(), margins.top()), size()));
    m_centredAt = geometry().topLeft();
    m_centred = true;
}

bool TalvexFRM::titleBarOnAScreen(const QPoint& framePos) const {
    const QMargins margins = decorationMargins(true);
    const QRect titleBar(framePos, QSize(width() + margins.left() + margins.right(), qMax(1, margins.top())));
    const QList<QScreen*> screens = QGuiApplication::screens();
    return std::any_of(screens.cbegin(), screens.cend(),
                       [&](const QScreen* s) { return s->geometry().intersects(titleBar); });
}

void TalvexFRM::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shownOnce || event->spontaneous())
        return;
    m_shownOnce = true;
    // The load centred the client area, the frame being unknown then. Centring it again here,
    // before the window appears, keeps the initialisation from moving it later.
    if (!m_centred || geometry().topLeft() != m_centredAt)
        return;
    centreFrame(true);
    // Where the frame is only known once the window manager has framed the window, the first
    // expose corrects what the guess got wrong.
    if (QWindow* handle = windowHandle())
        handle->installEventFilter(this);
}

bool TalvexFRM::eventFilter(QObject* watched, QEvent* event) {
    if (watched == windowHandle() && event->type() == QEvent::Expose) {
        watched->removeEventFilter(this);
        const QMargins known = decorationMargins(false);
        if (!known.isNull() && m_centred && geometry().topLeft() == m_centredAt)
            centreFrame(false);
    }
    return QWidget::eventFilter(watched, event);
}

// RunHost

void TalvexFRM::setRunButtons(bool playEnabled, bool pauseEnabled, bool stopEnabled) {
    // A run that pauses or ends shows every line it produced.
    flushEcho();
    MMControl1->setPlayEnabled(playEnabled);
    MMControl1->setPauseEnabled(pauseEnabled);
    MMControl1->setStopEnabled(stopEnabled);
}

void TalvexFRM::setControlsEnabled(int controls, bool enabled) {
    flushEcho();
    if (controls & FrmLecture)
        FRM_Lecture->setEnabled(enabled);
    if (controls & FrmSyslog)
        FRM_Syslog->setEnabled(enabled);
    if (controls & ComboSrc)
        Combo_SRC1->setEnabled(enabled);
    if (controls & CmdSrc)
        CMD_SRC1->setEnabled(enabled);
}

void TalvexFRM::clearEcho() {
    m_echo->clear();
}

void TalvexFRM::echoLine(const QByteArray& line) {
    m_echo->append(line);
}

void TalvexFRM::flushEcho() {
    m_echo->flush();
}

QString TalvexFRM::echoText() {
    return m_echo->text();
}

void TalvexFRM::setLineCountCaption(const QString& caption) {
    // At high rates repainting the count for every line costs more than producing the line, so
    // the count is painted with the echo's frames: never more than one and a half frames
    // (EchoPane::FrameMs) behind.
    m_echo->setCount(caption);
}

void TalvexFRM::showProducedLine(const QString& countCaption, const QByteArray& line) {
    m_echo->append(line, countCaption);
}

void TalvexFRM::showError(const QString& errorCaption, const QString& titleCaption) {
    flushEcho();
    LBL_Err->setText(errorCaption);
    LBL_Err->setVisible(true);
    LBL_Titre->setText(titleCaption);
}

bool TalvexFRM::askYesNo(const QString& title, const QString& text) {
    flushEcho();
    return MessageBox::show(this, MessageBox::Icon::Information, title, text, MessageBox::Buttons::YesNo) ==
           MessageBox::Answer::Yes;
}

void TalvexFRM::showInformation(const QString& title, const QString& text) {
    flushEcho();
    MessageBox::show(this, MessageBox::Icon::Information, title, text, MessageBox::Buttons::Ok);
}

void TalvexFRM::restoreNormalWindow() {
    if (isVisible())
        showNormal();
    else
        setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}
