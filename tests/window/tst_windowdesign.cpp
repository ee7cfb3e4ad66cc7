// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestWorkDir.h"
#include "WindowTestKit.h"
#include "window/CaptionFit.h"
#include "window/EchoPane.h"
#include "window/LogView.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/TalvexFRM.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

// The window as it stands right after creation: every control of the design tables with its
// kind, container, place, texts and states, the tab order and the window's own properties.
class TestWindowDesign : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void control_data();
    void control();
    void controlCount();
    void nothingSelectedAtStart();
    void usableAtStart();
    void tabOrder();
    void windowProperties();
    void fonts();
    void captionsFit_data();
    void captionsFit();
    void fieldsShowWholeValues_data();
    void fieldsShowWholeValues();
    void mediaButtonBar();
    void pictures();
    void windowIconIsTheMenuIcon_data();
    void windowIconIsTheMenuIcon();
    void optionsExclusivePerContainer();
    void outputPane();

private:
    template <class T = QWidget> T* find(const char* name) const {
        return m_window->findChild<T*>(QLatin1String(name));
    }

    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<TalvexFRM> m_window;
};

namespace {

QRect fromTwips(int left, int top, int width, int height) {
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

// The controls that an operator can act on, each by its design name (the bar by its buttons).
const QStringList InteractiveControls = {
    QStringLiteral("Picture1"),        QStringLiteral("CMD_SRC1"),      QStringLiteral("Combo_SRC1"),
    QStringLiteral("PICT_FR"),         QStringLiteral("PICT_UK"),       QStringLiteral("Play"),
    QStringLiteral("Pause"),           QStringLiteral("Stop"),          QStringLiteral("CMD_Quitter"),
    QStringLiteral("OPT_Sequentiel"),  QStringLiteral("OPT_Aleatoire"), QStringLiteral("CHK_Boucle"),
    QStringLiteral("TXT_delay1"),      QStringLiteral("CMD_Plus"),      QStringLiteral("CMD_Moins"),
    QStringLiteral("CMD_LectureSRC1"), QStringLiteral("OPT_Fichier"),   QStringLiteral("OPT_Syslog"),
    QStringLiteral("TXT_Port1"),       QStringLiteral("TXT_HoteIP1"),   QStringLiteral("CMD_Quenby"),
    QStringLiteral("TXT_OutPut"),
};

} // namespace

void TestWindowDesign::initTestCase() {
    MessageBox::setScripted(true);
}

void TestWindowDesign::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
    m_window = std::make_unique<TalvexFRM>();
}

void TestWindowDesign::cleanup() {
    m_window.reset();
    m_dir.reset();
}

void TestWindowDesign::control_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("visible");

    const QString window = QStringLiteral("TalvexFRM");
    const QString none;
    // clang-format off
    // Top strip.
    QTest::newRow("Picture1") << "PictureBox" << window << fromTwips(0, 0, 2940, 495) << none
        << " Talvex 1.2 : trafic syslog de test / syslog test traffic " << true << true;
    QTest::newRow("LBL_Titre") << "QLabel" << window << fromTwips(3240, 120, 2655, 495) << "Talvex"
        << none << true << true;
    QTest::newRow("COMBO_ListDir") << "FileListBox" << window << fromTwips(5400, 120, 2055, 2040) << none
        << none << true << false;
    QTest::newRow("CMD_SRC1") << "QPushButton" << window << fromTwips(6360, 120, 2055, 495) << "&Logs Source"
        << " Choix des fichiers sources " << true << true;
    QTest::newRow("FRM_Source1") << "QGroupBox" << window << fromTwips(120, 600, 8295, 1815) << "Source"
        << none << true << true;
    QTest::newRow("Frame2") << "QGroupBox" << window << fromTwips(120, 2400, 8295, 2775) << none
        << none << true << true;
    // Inside FRM_Source1.
    const QString source = QStringLiteral("FRM_Source1");
    QTest::newRow("Combo_SRC1") << "QComboBox" << source << fromTwips(240, 240, 2535, 315) << "Votre choix..."
        << " Liste de choix d'un fichier source " << false << true;
    QTest::newRow("PICT_FR") << "PictureBox" << source << fromTwips(120, 960, 345, 285) << none
        << none << true << true;
    QTest::newRow("PICT_UK") << "PictureBox" << source << fromTwips(120, 1320, 315, 225) << none
        << none << true << true;
    QTest::newRow("MMControl1") << "MediaButtonBar" << source << fromTwips(960, 720, 1170, 300) << none
        << " Ex\u00e9cution / Pause / Arr\u00eat " << true << true;
    QTest::newRow("CMD_Quitter") << "QPushButton" << source << fromTwips(840, 1320, 1455, 375) << "&Quitter"
        << none << true << true;
    QTest::newRow("FRM_Lecture") << "QGroupBox" << source << fromTwips(2760, 120, 3375, 1575) << "Ecriture"
        << none << true << true;
    QTest::newRow("FRM_Syslog") << "QGroupBox" << source << fromTwips(6000, 120, 2295, 1575) << "Syslog"
        << none << false << true;
    // Inside FRM_Lecture.
    const QString lecture = QStringLiteral("FRM_Lecture");
    QTest::newRow("OPT_Sequentiel") << "QRadioButton" << lecture << fromTwips(120, 240, 1215, 255)
        << "S\u00e9quentielle" << none << false << true;
    QTest::newRow("OPT_Aleatoire") << "QRadioButton" << lecture << fromTwips(120, 600, 975, 255)
        << "Al\u00e9atoire" << none << false << true;
    QTest::newRow("CHK_Boucle") << "QCheckBox" << lecture << fromTwips(1080, 480, 735, 255) << "Infinie"
        << none << false << true;
    QTest::newRow("LBL_Delai") << "QLabel" << lecture << fromTwips(120, 840, 975, 255)
        << "Delai \u00e9criture" << none << true << true;
    QTest::newRow("TXT_delay1") << "QLineEdit" << lecture << fromTwips(120, 1080, 735, 285) << "10"
        << " valeur entre 1 et 7200 s " << false << true;
    QTest::newRow("LBLtps") << "QLabel" << lecture << fromTwips(960, 1080, 375, 255) << "Sec."
        << none << true << true;
    QTest::newRow("CMD_Plus") << "QPushButton" << lecture << fromTwips(1320, 960, 375, 195) << "+"
        << none << false << true;
    QTest::newRow("CMD_Moins") << "QPushButton" << lecture << fromTwips(1320, 1200, 375, 195) << "-"
        << none << false << true;
    QTest::newRow("FRM_Fichier") << "QGroupBox" << lecture << fromTwips(1920, 240, 1215, 855) << "Sortie"
        << none << true << true;
    QTest::newRow("CMD_LectureSRC1") << "QPushButton" << lecture << fromTwips(1920, 1080, 1245, 315)
        << "Lecture Source" << " V\u00e9rification du fichier source " << false << true;
    // Inside FRM_Fichier.
    const QString fichier = QStringLiteral("FRM_Fichier");
    QTest::newRow("OPT_Fichier") << "QRadioButton" << fichier << fromTwips(240, 240, 855, 255) << "Fichier"
        << none << false << true;
    QTest::newRow("OPT_Syslog") << "QRadioButton" << fichier << fromTwips(240, 600, 855, 195) << "Syslog"
        << none << false << true;
    // Inside FRM_Syslog.
    const QString syslog = QStringLiteral("FRM_Syslog");
    QTest::newRow("LBL_Port") << "QLabel" << syslog << fromTwips(120, 240, 735, 255) << "Port UDP :"
        << none << true << true;
    QTest::newRow("TXT_Port1") << "QLineEdit" << syslog << fromTwips(1680, 240, 495, 285) << none
        << " Port UDP utilis\u00e9 " << false << true;
    QTest::newRow("LBL_Hote") << "QLabel" << syslog << fromTwips(120, 600, 735, 255) << "Dest IP :"
        << none << true << true;
    QTest::newRow("TXT_HoteIP1") << "QLineEdit" << syslog << fromTwips(840, 600, 1335, 285) << none
        << " Adresse IP de destination " << false << true;
    QTest::newRow("CMD_Quenby") << "QPushButton" << syslog << fromTwips(600, 1080, 1410, 315) << "&Quenby"
        << " Ex\u00e9cuter Quenby " << false << true;
    // Inside Frame2.
    const QString frame2 = QStringLiteral("Frame2");
    QTest::newRow("LBL_LineCount") << "QLabel" << frame2 << fromTwips(120, 240, 1620, 300) << "Lignes :"
        << " Nombre de lignes lues / g\u00e9n\u00e9r\u00e9es " << true << true;
    QTest::newRow("LBL_Err") << "QLabel" << frame2 << fromTwips(1440, 240, 5655, 255) << "Texte Erreur"
        << none << true << false;
    QTest::newRow("Label3") << "QLabel" << frame2 << fromTwips(7200, 240, 945, 270) << "F1: Aide"
        << none << true << true;
    QTest::newRow("TXT_OutPut") << "LogView" << frame2 << fromTwips(120, 480, 8055, 2175) << none
        << none << true << true;
    // clang-format on
}

void TestWindowDesign::control() {
    QFETCH(QString, kind);
    QFETCH(QString, container);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(QString, toolTip);
    QFETCH(bool, enabled);
    QFETCH(bool, visible);

    const QString name = QString::fromLatin1(QTest::currentDataTag());
    const auto matches = m_window->findChildren<QWidget*>(name);
    QCOMPARE(matches.size(), 1);
    QWidget* w = matches.first();
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), kind);
    QVERIFY(w->parentWidget());
    QCOMPARE(w->parentWidget()->objectName(), container);
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(WindowTestKit::shownText(w), text);
    QCOMPARE(w->toolTip(), toolTip);
    // The control's own state, whatever its container's.
    QCOMPARE(w->isEnabledTo(w->parentWidget()), enabled);
    QCOMPARE(!w->isHidden(), visible);
}

void TestWindowDesign::controlCount() {
    // 34 widgets of the design tables, plus Winsock1, the UDP socket, which has no visible form.
    QStringList names;
    for (QWidget* w : m_window->findChildren<QWidget*>()) {
        if (w->objectName().contains(QLatin1Char('_')) && !w->objectName().startsWith(QLatin1String("qt_")))
            names << w->objectName();
    }
    const QStringList withoutUnderscore = {QStringLiteral("Frame2"), QStringLiteral("Label3"),
                                           QStringLiteral("LBLtps"), QStringLiteral("Picture1"),
                                           QStringLiteral("MMControl1")};
    for (const QString& n : withoutUnderscore) {
        QVERIFY2(find(n.toLatin1().constData()), qPrintable(n));
        names << n;
    }
    names.removeDuplicates();
    QCOMPARE(names.size(), 34);

    const auto sockets = m_window->findChildren<QObject*>(QStringLiteral("Winsock1"));
    QCOMPARE(sockets.size(), 1);
    QVERIFY(!sockets.first()->isWidgetType());
    QCOMPARE(sockets.first()->parent(), m_window.get());
    QCOMPARE(names.size() + sockets.size(), 35);
}

void TestWindowDesign::nothingSelectedAtStart() {
    for (const char* name : {"OPT_Sequentiel", "OPT_Aleatoire", "OPT_Fichier", "OPT_Syslog", "CHK_Boucle"})
        QVERIFY2(!find<QAbstractButton>(name)->isChecked(), name);
    QCOMPARE(find<QComboBox>("Combo_SRC1")->count(), 0);
    QVERIFY(find<QComboBox>("Combo_SRC1")->isEditable());
}

void TestWindowDesign::usableAtStart() {
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    const QStringList expected = {QStringLiteral("Picture1"),    QStringLiteral("CMD_SRC1"),
                                  QStringLiteral("PICT_FR"),     QStringLiteral("PICT_UK"),
                                  QStringLiteral("CMD_Quitter"), QStringLiteral("TXT_OutPut")};
    QStringList usable;
    for (const QString& name : InteractiveControls) {
        QWidget* w = m_window->findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        if (w->isEnabled() && w->isVisible())
            usable << name;
    }
    QCOMPARE(usable, expected);
}

void TestWindowDesign::tabOrder() {
    // Walk the focus chain from CMD_SRC1 and note, in order, each control that can take focus by
    // Tab; parts of a control (the combo box's line edit) count as the control.
    const QStringList expected = {
        QStringLiteral("CMD_SRC1"),    QStringLiteral("CMD_LectureSRC1"),
        QStringLiteral("TXT_delay1"),  QStringLiteral("CMD_Plus"),
        QStringLiteral("CMD_Moins"),   QStringLiteral("CHK_Boucle"),
        QStringLiteral("TXT_Port1"),   QStringLiteral("TXT_HoteIP1"),
        QStringLiteral("CMD_Quenby"),  QStringLiteral("Combo_SRC1"),
        QStringLiteral("OPT_Syslog"),  QStringLiteral("OPT_Aleatoire"),
        QStringLiteral("OPT_Fichier"), QStringLiteral("OPT_Sequentiel"),
        QStringLiteral("Play"),        QStringLiteral("Pause"),
        QStringLiteral("Stop"),        QStringLiteral("CMD_Quitter"),
        QStringLiteral("TXT_OutPut"),
    };
    auto controlOf = [&](QWidget* w) -> QString {
        for (QWidget* p = w; p && p != m_window.get(); p = p->parentWidget()) {
            if (expected.contains(p->objectName()) || InteractiveControls.contains(p->objectName()))
                return p->objectName();
        }
        return QString();
    };

    QWidget* start = find("CMD_SRC1");
    QStringList seen;
    QWidget* w = start;
    for (int steps = 0; steps < 1000; ++steps) {
        w = w->nextInFocusChain();
        if (w == start)
            break;
        if ((w->focusPolicy() & Qt::TabFocus) != Qt::TabFocus || w->focusProxy())
            continue;
        const QString name = controlOf(w);
        QVERIFY2(!name.isEmpty(), qPrintable(QStringLiteral("unexpected focus stop: ") + w->objectName() +
                                             QLatin1Char(' ') + w->metaObject()->className()));
        if (seen.isEmpty() || seen.last() != name)
            seen << name;
    }
    QCOMPARE(w, start);
    QCOMPARE(QStringList{QStringLiteral("CMD_SRC1")} + seen, expected);

    // Labels, frames, pictures and the hidden list never take focus.
    for (const char* name : {"Picture1", "LBL_Titre", "COMBO_ListDir", "FRM_Source1", "Frame2", "PICT_FR",
                             "PICT_UK", "FRM_Lecture", "FRM_Syslog", "LBL_Delai", "LBLtps", "FRM_Fichier",
                             "LBL_Port", "LBL_Hote", "LBL_LineCount", "LBL_Err", "Label3"})
        QCOMPARE(find(name)->focusPolicy(), Qt::NoFocus);
}

void TestWindowDesign::windowProperties() {
    QCOMPARE(m_window->objectName(), QStringLiteral("TalvexFRM"));
    QVERIFY(m_window->isWindow());
    QCOMPARE(m_window->size(), QSize(568, 350));
    QCOMPARE(m_window->minimumSize(), QSize(568, 350));
    QCOMPARE(m_window->maximumSize(), QSize(568, 350));
    const Qt::WindowFlags flags = m_window->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(!m_window->windowIcon().isNull());
    // The load has replaced the design caption.
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Talvex 1.2"));
}

void TestWindowDesign::fonts() {
    const QFont base = find("CMD_SRC1")->font();
    QCOMPARE(base.pointSizeF(), 8.25);
    QVERIFY(!base.bold());
    for (const char* name : {"OPT_Sequentiel", "LBL_Delai", "TXT_delay1", "LBL_LineCount", "TXT_OutPut",
                             "Combo_SRC1", "FRM_Lecture"}) {
        QCOMPARE(find(name)->font().pointSizeF(), 8.25);
        QVERIFY2(!find(name)->font().bold(), name);
    }
    const QFont title = find("LBL_Titre")->font();
    QCOMPARE(title.pointSizeF(), 18.0);
    QVERIFY(title.bold());
    for (const char* name : {"LBL_Err", "Label3"}) {
        QCOMPARE(find(name)->font().pointSizeF(), 8.25);
        QVERIFY2(find(name)->font().bold(), name);
    }
    QCOMPARE(find("Label3")->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QVERIFY(find("LBL_Delai")->palette().color(QPalette::WindowText) != QColor(0, 0, 255));
}

void TestWindowDesign::fieldsShowWholeValues_data() {
    // Realistic values that the operator must see whole at the designed size, in both languages.
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    for (int language : {0, 1}) {
        const char* lang = language == 0 ? "French" : "English";
        QTest::addRow("%s, port 30863", lang) << language << "TXT_Port1"
                                              << "30863";
        QTest::addRow("%s, port 65534", lang) << language << "TXT_Port1"
                                              << "65534";
        QTest::addRow("%s, address of 15", lang) << language << "TXT_HoteIP1"
                                                 << "255.255.255.255";
        QTest::addRow("%s, address 192.168.100.200", lang) << language << "TXT_HoteIP1"
                                                           << "192.168.100.200";
        QTest::addRow("%s, delay 7200.5", lang) << language << "TXT_delay1"
                                                << "7200.5";
        QTest::addRow("%s, source name of 20", lang) << language << "Combo_SRC1"
                                                     << "firewall_cluster_web";
        QTest::addRow("%s, source name in capitals", lang) << language << "Combo_SRC1"
                                                           << "MAIL_SERVER_DMZ_2024";
        QTest::addRow("%s, placeholder", lang)
            << language << "Combo_SRC1" << (language == 0 ? "Votre Choix..." : "Your Choice...");
    }
}

void TestWindowDesign::fieldsShowWholeValues() {
    QFETCH(int, language);
    QFETCH(QString, field);
    QFETCH(QString, value);
    WindowTestKit::chooseLanguage(*m_window, language);
    QWidget* control = m_window->findChild<QWidget*>(field);
    QVERIFY(control);
    auto* combo = qobject_cast<QComboBox*>(control);
    QLineEdit* edit = combo ? combo->lineEdit() : qobject_cast<QLineEdit*>(control);
    QVERIFY(edit);
    // The room the window fits fields to; the value must take no more.
    const int room = CaptionFit::fieldTextRoom(edit);
    const int needed = edit->fontMetrics().horizontalAdvance(value);
    QVERIFY2(needed <= room,
             qPrintable(QStringLiteral("%1 needs %2 px, has %3").arg(value).arg(needed).arg(room)));
    // And as drawn: a line edit scrolls a value it cannot show whole to keep the cursor's end in
    // view, so its pixels would then depend on where the cursor stands.
    const QSignalBlocker quiet(edit);
    edit->setText(value);
    edit->setCursorPosition(int(value.size()));
    const QImage cursorAtEnd = control->grab().toImage();
    edit->setCursorPosition(0);
    QVERIFY2(control->grab().toImage() == cursorAtEnd, qPrintable(value + QStringLiteral(" is scrolled")));
}

void TestWindowDesign::windowIconIsTheMenuIcon_data() {
    QTest::addColumn<int>("side");
    for (int side : {16, 32, 48, 256})
        QTest::addRow("%d", side) << side;
}

void TestWindowDesign::windowIconIsTheMenuIcon() {
    QFETCH(int, side);
    const QString menuIcon = QFINDTESTDATA(QStringLiteral("../../packaging/icons/talvex-%1.png").arg(side));
    QVERIFY(!menuIcon.isEmpty());
    const QImage expected = QImage(menuIcon).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage shown = m_window->windowIcon()
                             .pixmap(QSize(side, side), 1.0)
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(shown.size(), expected.size());
    QCOMPARE(shown, expected);
}

void TestWindowDesign::captionsFit_data() {
    QTest::addColumn<int>("language"); // -1 design texts, 0 French switch, 1 English switch
    QTest::newRow("design") << -1;
    QTest::newRow("French") << 0;
    QTest::newRow("English") << 1;
}

void TestWindowDesign::captionsFit() {
    QFETCH(int, language);
    if (language >= 0)
        WindowTestKit::chooseLanguage(*m_window, language);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));

    // Measured through each widget's own size hint, independently of how the window chose its font.
    auto textWidth = [](const QWidget* w, QString text) {
        text.remove(QLatin1Char('&'));
        return w->fontMetrics().horizontalAdvance(text);
    };
    for (QLabel* label : m_window->findChildren<QLabel*>()) {
        if (label->objectName() == QLatin1String("Picture1") || label->pixmap().isNull() == false)
            continue;
        QVERIFY2(textWidth(label, label->text()) <= label->contentsRect().width(),
                 qPrintable(label->objectName() + QLatin1String(": ") + label->text()));
    }
    for (QAbstractButton* button : m_window->findChildren<QAbstractButton*>()) {
        if (qobject_cast<QToolButton*>(button))
            continue;
        const QString what = button->objectName() + QLatin1String(": ") + button->text();
        if (qobject_cast<QPushButton*>(button))
            QVERIFY2(textWidth(button, button->text()) <= button->width() - 4, qPrintable(what));
        else {
            // Option buttons and check boxes draw their caption in the style's contents rectangle.
            QStyleOptionButton option;
            option.initFrom(button);
            const auto element = qobject_cast<QRadioButton*>(button) ? QStyle::SE_RadioButtonContents
                                                                     : QStyle::SE_CheckBoxContents;
            const int room = button->style()->subElementRect(element, &option, button).width();
            QVERIFY2(textWidth(button, button->text()) <= room, qPrintable(what));
        }
    }
    // The title label also shows the unexpected-error caption.
    auto* title = find<QLabel>("LBL_Titre");
    for (const QString& text : {QStringLiteral("Erreur Inconnue"), QStringLiteral("Unknown Error")})
        QVERIFY2(textWidth(title, text) <= title->contentsRect().width(), qPrintable(text));
    for (QGroupBox* box : m_window->findChildren<QGroupBox*>())
        QVERIFY2(textWidth(box, box->title()) + 16 <= box->width(), qPrintable(box->objectName()));
}

void TestWindowDesign::mediaButtonBar() {
    auto* bar = find<MediaButtonBar>("MMControl1");
    auto* play = bar->findChild<QToolButton*>(QStringLiteral("Play"));
    auto* pause = bar->findChild<QToolButton*>(QStringLiteral("Pause"));
    auto* stop = bar->findChild<QToolButton*>(QStringLiteral("Stop"));
    QVERIFY(play && pause && stop);
    QCOMPARE(bar->findChildren<QToolButton*>().size(), 3);
    // The buttons are laid out once the bar has its size on screen.
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QVERIFY(bar->rect().contains(stop->geometry()));
    QVERIFY(play->width() > 10 && play->height() > 10);
    QVERIFY(play->geometry().right() < pause->geometry().left());
    QVERIFY(pause->geometry().right() < stop->geometry().left());
    for (QToolButton* b : {play, pause, stop}) {
        QVERIFY(!b->isEnabled());
        QVERIFY(!b->icon().isNull());
    }

    QSignalSpy played(bar, &MediaButtonBar::playClicked);
    QSignalSpy paused(bar, &MediaButtonBar::pauseClicked);
    QSignalSpy stopped(bar, &MediaButtonBar::stopClicked);

    // Disabled buttons do not click.
    QTest::mouseClick(play, Qt::LeftButton);
    QCOMPARE(played.size(), 0);

    // Each one is switched on its own.
    bar->setPauseEnabled(true);
    QVERIFY(bar->isPauseEnabled());
    QVERIFY(!bar->isPlayEnabled());
    QVERIFY(!bar->isStopEnabled());
    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(paused.size(), 1);
    QCOMPARE(played.size(), 0);
    QCOMPARE(stopped.size(), 0);

    bar->setPlayEnabled(true);
    bar->setStopEnabled(true);
    bar->setPauseEnabled(false);
    QTest::mouseClick(play, Qt::LeftButton);
    QTest::mouseClick(stop, Qt::LeftButton);
    QTest::mouseClick(pause, Qt::LeftButton);
    QCOMPARE(played.size(), 1);
    QCOMPARE(stopped.size(), 1);
    QCOMPARE(paused.size(), 1);
}

void TestWindowDesign::pictures() {
    auto* banner = find<QLabel>("Picture1");
    auto* fr = find<QLabel>("PICT_FR");
    auto* uk = find<QLabel>("PICT_UK");
    QCOMPARE(banner->pixmap().size(), QSize(192, 29));
    QCOMPARE(fr->pixmap().size(), QSize(19, 15));
    QCOMPARE(uk->pixmap().size(), QSize(21, 15));

    // The French flag: blue, white and red from left to right.
    const QImage flag = fr->pixmap().toImage();
    QVERIFY(flag.pixelColor(3, 7).blue() > 100 && flag.pixelColor(3, 7).red() < 60);
    QCOMPARE(flag.pixelColor(9, 7), QColor(Qt::white));
    QVERIFY(flag.pixelColor(15, 7).red() > 180 && flag.pixelColor(15, 7).blue() < 100);
    // The union flag: the red cross of St George through the middle, blue in the corners' cantons.
    const QImage union_ = uk->pixmap().toImage();
    QVERIFY(union_.pixelColor(10, 7).red() > 150 && union_.pixelColor(10, 7).green() < 60);
    QVERIFY(union_.pixelColor(3, 4).blue() > 60 || union_.pixelColor(1, 5).blue() > 60);

    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QSignalSpy clicked(fr, SIGNAL(clicked()));
    QTest::mouseClick(fr, Qt::LeftButton);
    QCOMPARE(clicked.size(), 1);
    // Pressed on the picture but let go outside: no click.
    QTest::mousePress(fr, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(fr, Qt::LeftButton, {}, QPoint(200, 200));
    QCOMPARE(clicked.size(), 1);
    // Another button: no click.
    QTest::mouseClick(fr, Qt::RightButton);
    QCOMPARE(clicked.size(), 1);
}

void TestWindowDesign::optionsExclusivePerContainer() {
    auto* sequential = find<QRadioButton>("OPT_Sequentiel");
    auto* random = find<QRadioButton>("OPT_Aleatoire");
    auto* file = find<QRadioButton>("OPT_Fichier");
    auto* syslog = find<QRadioButton>("OPT_Syslog");
    sequential->setChecked(true);
    file->setChecked(true);
    QVERIFY(sequential->isChecked());
    random->setChecked(true);
    QVERIFY(!sequential->isChecked());
    QVERIFY(file->isChecked());
    syslog->setChecked(true);
    QVERIFY(!file->isChecked());
    QVERIFY(random->isChecked());
}

void TestWindowDesign::outputPane() {
    auto* pane = find<LogView>("TXT_OutPut");
    QCOMPARE(pane->maximumLineCount(), EchoPane::MaxLines);
    QVERIFY(pane->toPlainText().isEmpty());
}

QTEST_MAIN(TestWindowDesign)
#include "tst_windowdesign.moc"
