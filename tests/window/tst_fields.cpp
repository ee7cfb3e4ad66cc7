// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTestKit.h"
#include "engine/GenerationRun.h"
#include "settings/Settings.h"
#include "window/MessageBox.h"
#include "window/TalvexFRM.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <memory>

using namespace WindowTestKit;

// The parameter fields of an initialised window: checks, replacements and what each writes.
// What the operator does to a focused option: a click or a key.
using OptionPress = void (*)(QWidget*);
Q_DECLARE_METATYPE(OptionPress)

class TestFields : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void delay_data();
    void delay();
    void port_data();
    void port();
    void backspaceEmptiesTheField_data();
    void backspaceEmptiesTheField();
    void typingKeyByKey();
    void hostIsStoredAsTyped();
    void steps_data();
    void steps();
    void lineOrder();
    void kindOfOutput();
    void optionPairs_data();
    void optionPairs();
    void tabReachesEachPairOnce();
    void englishMessages();

private:
    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<TalvexFRM> m_window;
};

namespace {
const QString DelayMessage = QStringLiteral(
    "La valeur du d\u00e9lai d'\u00e9criture doit \u00eatre comprise entre 1 et 7200 secondes.");
const QString PortMessage = QStringLiteral("La valeur du port UDP doit \u00eatre comprise entre 1 et 65534.");
} // namespace

void TestFields::initTestCase() {
    MessageBox::setScripted(true);
}

void TestFields::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("Logs Source")));
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), "a\r\n"));
    QVERIFY(
        m_dir->write(QStringLiteral("Talvex.ini"),
                     "[Source 1]\r\nDelay=10\r\nSyslogFile=1\r\nUDP_Port_Syslog=514\r\nSourceFile=web\r\n"));
    m_window = std::make_unique<TalvexFRM>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTest::mouseClick(m_window->CMD_SRC1, Qt::LeftButton);
    QCOMPARE(m_window->instanceSlot(), 1);
    QVERIFY(m_window->TXT_delay1->isEnabled());
    QVERIFY(m_window->TXT_Port1->isEnabled());
    MessageBox::clearShown();
}

void TestFields::cleanup() {
    m_window.reset();
    m_dir.reset();
}

void TestFields::delay_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("written");
    QTest::newRow("0") << "0"
                       << "10"
                       << "10";
    QTest::newRow("0.5") << "0.5"
                         << "0.5"
                         << "0.5";
    QTest::newRow("7200") << "7200"
                          << "7200"
                          << "7200";
    QTest::newRow("7200.5") << "7200.5"
                            << "7200.5"
                            << "7200.5";
    QTest::newRow("7201") << "7201"
                          << "10"
                          << "10";
    QTest::newRow("5s") << "5s"
                        << "5s"
                        << "5";
    QTest::newRow("514abc") << "514abc"
                            << "514abc"
                            << "514";
    QTest::newRow("empty") << ""
                           << "10"
                           << "10";
    QTest::newRow("negative") << "-1"
                              << "10"
                              << "10";
    QTest::newRow("leading blank") << " 12"
                                   << " 12"
                                   << "12";
    QTest::newRow("exponent") << "1e3"
                              << "1e3"
                              << "1000";
    QTest::newRow("huge exponent") << "1e999"
                                   << "10"
                                   << "10";
    QTest::newRow("text") << "abc"
                          << "10"
                          << "10";
}

void TestFields::delay() {
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(QString, written);
    m_window->TXT_delay1->setText(QStringLiteral("33")); // a known value first
    MessageBox::clearShown();
    m_window->TXT_delay1->setText(text);
    QCOMPARE(m_window->TXT_delay1->text(), field);
    QCOMPARE(key("Delay"), written);
    const bool rejected = field != text;
    QCOMPARE(MessageBox::shown().size(), rejected ? 1 : 0);
    if (rejected) {
        QCOMPARE(MessageBox::shown().at(0).text, DelayMessage);
        QCOMPARE(MessageBox::shown().at(0).title, QStringLiteral("Information"));
        QCOMPARE(MessageBox::shown().at(0).icon, MessageBox::Icon::Information);
    }
}

void TestFields::port_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("written");
    QTest::newRow("0") << "0"
                       << "514"
                       << "514";
    QTest::newRow("1") << "1"
                       << "1"
                       << "1";
    QTest::newRow("65534") << "65534"
                           << "65534"
                           << "65534";
    QTest::newRow("65535") << "65535"
                           << "514"
                           << "514";
    QTest::newRow("above 32000") << "32001"
                                 << "32001"
                                 << "32001";
    QTest::newRow("514abc") << "514abc"
                            << "514abc"
                            << "514";
    QTest::newRow("empty") << ""
                           << "514"
                           << "514";
    QTest::newRow("0.5") << "0.5"
                         << "0.5"
                         << "0.5";
    QTest::newRow("7200.5") << "7200.5"
                            << "7200.5"
                            << "7200.5";
    QTest::newRow("7201") << "7201"
                          << "7201"
                          << "7201";
}

void TestFields::port() {
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(QString, written);
    m_window->TXT_Port1->setText(QStringLiteral("999"));
    MessageBox::clearShown();
    m_window->TXT_Port1->setText(text);
    QCOMPARE(m_window->TXT_Port1->text(), field);
    QCOMPARE(key("UDP_Port_Syslog"), written);
    const bool rejected = field != text;
    QCOMPARE(MessageBox::shown().size(), rejected ? 1 : 0);
    if (rejected)
        QCOMPARE(MessageBox::shown().at(0).text, PortMessage);
    // The delay is not touched by the port.
    QCOMPARE(key("Delay"), QStringLiteral("10"));
}

void TestFields::backspaceEmptiesTheField_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("message");
    QTest::newRow("delay") << "TXT_delay1"
                           << "10" << DelayMessage;
    QTest::newRow("port") << "TXT_Port1"
                          << "514" << PortMessage;
}

void TestFields::backspaceEmptiesTheField() {
    QFETCH(QString, name);
    QFETCH(QString, replacement);
    QFETCH(QString, message);
    auto* field = m_window->findChild<QLineEdit*>(name);
    QVERIFY(field);
    field->setText(QStringLiteral("7"));
    MessageBox::clearShown();
    field->setFocus();
    field->end(false);
    QTest::keyClick(field, Qt::Key_Backspace);
    QCOMPARE(field->text(), replacement);
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().at(0).text, message);
    QCOMPARE(key(name == QStringLiteral("TXT_delay1") ? "Delay" : "UDP_Port_Syslog"), replacement);
}

void TestFields::typingKeyByKey() {
    QLineEdit* field = m_window->TXT_delay1;
    field->setFocus();
    field->selectAll();
    const QList<QPair<char, QString>> keys = {{'7', "7"}, {'2', "72"}, {'0', "720"}, {'1', "10"}};
    for (const auto& [c, stored] : keys) {
        QTest::keyClicks(field, QString(QLatin1Char(c)));
        QCOMPARE(key("Delay"), stored);
    }
    QCOMPARE(field->text(), QStringLiteral("10"));
    QCOMPARE(MessageBox::shown().size(), 1);
}

void TestFields::hostIsStoredAsTyped() {
    QLineEdit* field = m_window->TXT_HoteIP1;
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    // An emptied host is stored empty, not replaced.
    QVERIFY(m_dir->read(QStringLiteral("Talvex.ini")).contains("\r\nHostIP=\r\n"));
    QTest::keyClick(field, 'h');
    QCOMPARE(key("HostIP"), QStringLiteral("h"));
    QTest::keyClicks(field, QStringLiteral("ost  "));
    QVERIFY(m_dir->read(QStringLiteral("Talvex.ini")).contains("\r\nHostIP=host  \r\n"));
    QCOMPARE(field->text(), QStringLiteral("host  "));
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestFields::steps_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("plus");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("boxes");
    QTest::newRow("1 - 1") << "1" << false << "10" << 1;
    QTest::newRow("7200 + 1") << "7200" << true << "10" << 1;
    QTest::newRow("5s + 1") << "5s" << true << "6" << 0;
    QTest::newRow("2 - 1") << "2" << false << "1" << 0;
    QTest::newRow("7199 + 1") << "7199" << true << "7200" << 0;
    QTest::newRow("0.5 + 1") << "0.5" << true << "1.5" << 0;
    QTest::newRow("1.5 - 1") << "1.5" << false << "0.5" << 0;
    QTest::newRow("7200.5 + 1") << "7200.5" << true << "10" << 1;
    // The decimal sum, not the binary one.
    QTest::newRow("2.3 - 1") << "2.3" << false << "1.3" << 0;
    QTest::newRow("1.1 - 1") << "1.1" << false << "0.1" << 0;
    QTest::newRow("0.1 + 1") << "0.1" << true << "1.1" << 0;
    QTest::newRow("4.35 + 1") << "4.35" << true << "5.35" << 0;
    QTest::newRow("1.15 - 1") << "1.15" << false << "0.15" << 0;
    QTest::newRow("7199.9 + 1") << "7199.9" << true << "7200.9" << 0;
    QTest::newRow("7200.3 - 1") << "7200.3" << false << "7199.3" << 0;
    QTest::newRow("0.7 - 1") << "0.7" << false << "10" << 1;
    QTest::newRow("7200.01 + 1") << "7200.01" << true << "10" << 1;
}

void TestFields::steps() {
    QFETCH(QString, start);
    QFETCH(bool, plus);
    QFETCH(QString, field);
    QFETCH(int, boxes);
    m_window->TXT_delay1->setText(start);
    MessageBox::clearShown();
    QTest::mouseClick(plus ? m_window->CMD_Plus : m_window->CMD_Moins, Qt::LeftButton);
    QCOMPARE(m_window->TXT_delay1->text(), field);
    QCOMPARE(key("Delay"), field);
    QCOMPARE(MessageBox::shown().size(), boxes);
}

void TestFields::lineOrder() {
    TalvexFRM& w = *m_window;
    QTest::mouseClick(w.CHK_Boucle, Qt::LeftButton);
    QVERIFY(w.CHK_Boucle->isChecked());
    QCOMPARE(key("Loop"), QStringLiteral("1"));

    QTest::mouseClick(w.OPT_Aleatoire, Qt::LeftButton);
    QVERIFY(w.OPT_Aleatoire->isChecked());
    QCOMPARE(key("GenerationType"), QStringLiteral("-1"));
    QCOMPARE(w.run()->generationOrder(), GenerationOrder::Random);
    QVERIFY(w.CHK_Boucle->isHidden());
    QVERIFY(w.CHK_Boucle->isChecked());
    QCOMPARE(key("Loop"), QStringLiteral("1"));

    QTest::mouseClick(w.OPT_Sequentiel, Qt::LeftButton);
    QCOMPARE(key("GenerationType"), QStringLiteral("0"));
    QCOMPARE(w.run()->generationOrder(), GenerationOrder::Sequential);
    QVERIFY(!w.CHK_Boucle->isHidden());
    QVERIFY(w.CHK_Boucle->isChecked());
    QCOMPARE(w.run()->loops(), true);
}

void TestFields::kindOfOutput() {
    TalvexFRM& w = *m_window;
    const QList<QWidget*> destination = {w.FRM_Syslog, w.TXT_Port1, w.TXT_HoteIP1, w.CMD_Quenby};
    QTest::mouseClick(w.OPT_Fichier, Qt::LeftButton);
    QVERIFY(w.OPT_Fichier->isChecked());
    QCOMPARE(key("SyslogFile"), QStringLiteral("0"));
    QCOMPARE(w.run()->output(), Output::File);
    for (QWidget* c : destination)
        QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));

    QTest::mouseClick(w.OPT_Syslog, Qt::LeftButton);
    QCOMPARE(key("SyslogFile"), QStringLiteral("1"));
    QCOMPARE(w.run()->output(), Output::Syslog);
    for (QWidget* c : destination)
        QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
}

void TestFields::optionPairs_data() {
    // Stored: GenerationType 0 (none stored) and SyslogFile 1, so Séquentielle and Syslog are on.
    // `press` acts on the focused option `start`; clicking it or Space keeps it selected.
    QTest::addColumn<QString>("start");
    QTest::addColumn<OptionPress>("press");
    QTest::addColumn<bool>("keepsSelection");
    const OptionPress click = [](QWidget* option) { QTest::mouseClick(option, Qt::LeftButton); };
    const OptionPress space = [](QWidget* option) { QTest::keyClick(option, Qt::Key_Space); };
    QTest::newRow("click on Séquentielle") << "OPT_Sequentiel" << click << true;
    QTest::newRow("Space on Séquentielle") << "OPT_Sequentiel" << space << true;
    QTest::newRow("click on Syslog") << "OPT_Syslog" << click << true;
    QTest::newRow("Space on Syslog") << "OPT_Syslog" << space << true;
    const QList<QPair<const char*, OptionPress>> arrows = {
        {"Right", [](QWidget* option) { QTest::keyClick(option, Qt::Key_Right); }},
        {"Down", [](QWidget* option) { QTest::keyClick(option, Qt::Key_Down); }},
        {"Left", [](QWidget* option) { QTest::keyClick(option, Qt::Key_Left); }},
        {"Up", [](QWidget* option) { QTest::keyClick(option, Qt::Key_Up); }}};
    for (const auto& [key, press] : arrows) {
        QTest::addRow("%s from Séquentielle", key) << "OPT_Sequentiel" << press << false;
        QTest::addRow("%s from Syslog", key) << "OPT_Syslog" << press << false;
    }
}

void TestFields::optionPairs() {
    QFETCH(QString, start);
    QFETCH(OptionPress, press);
    QFETCH(bool, keepsSelection);
    TalvexFRM& w = *m_window;
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QVERIFY(w.OPT_Sequentiel->isChecked() && w.OPT_Syslog->isChecked());
    const QList<QRadioButton*> order = {w.OPT_Sequentiel, w.OPT_Aleatoire};
    const QList<QRadioButton*> output = {w.OPT_Fichier, w.OPT_Syslog};
    const bool inOrder = start == QLatin1String("OPT_Sequentiel");
    auto* option = w.findChild<QRadioButton*>(start);
    QVERIFY(option);
    option->setFocus(Qt::OtherFocusReason);
    press(option);

    // Arrows move within the pair only.
    if (keepsSelection)
        QVERIFY(option->isChecked());
    auto* focused = qobject_cast<QRadioButton*>(QApplication::focusWidget());
    QVERIFY(focused);
    QVERIFY((inOrder ? order : output).contains(focused));
    QVERIFY(w.OPT_Sequentiel->isChecked() != w.OPT_Aleatoire->isChecked());
    QVERIFY(w.OPT_Fichier->isChecked() != w.OPT_Syslog->isChecked());
    // The other pair and its key are untouched; the pair's key follows its selection.
    QCOMPARE(inOrder ? w.OPT_Syslog->isChecked() : w.OPT_Sequentiel->isChecked(), true);
    QCOMPARE(key("SyslogFile"), w.OPT_Syslog->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    QCOMPARE(key("GenerationType"),
             w.OPT_Aleatoire->isChecked() ? QStringLiteral("-1") : QStringLiteral("0"));
}

void TestFields::tabReachesEachPairOnce() {
    TalvexFRM& w = *m_window;
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.Combo_SRC1->setFocus(Qt::TabFocusReason);
    QMap<QWidget*, int> visits;
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ++visits[QApplication::focusWidget()];
    }
    // Forty presses go round the window's chain at least twice; each pair is one stop, its
    // selected option, as often as any other single control.
    const int rounds = visits.value(w.CMD_Quitter);
    QVERIFY(rounds >= 2);
    QCOMPARE(visits.value(w.OPT_Sequentiel), rounds);
    QCOMPARE(visits.value(w.OPT_Aleatoire), 0);
    QCOMPARE(visits.value(w.OPT_Syslog), rounds);
    QCOMPARE(visits.value(w.OPT_Fichier), 0);
}

void TestFields::englishMessages() {
    WindowTestKit::chooseLanguage(*m_window, 1);
    m_window->TXT_delay1->setText(QStringLiteral("0"));
    m_window->TXT_Port1->setText(QStringLiteral("0"));
    QCOMPARE(MessageBox::shown().size(), 2);
    QCOMPARE(MessageBox::shown().at(0).text,
             QStringLiteral("Writing delay value must be between 1 and 7200 seconds."));
    QCOMPARE(MessageBox::shown().at(1).text, QStringLiteral("UDP Port value must be between 1 and 65534."));
    QCOMPARE(MessageBox::shown().at(1).title, QStringLiteral("Information"));
}

QTEST_MAIN(TestFields)
#include "tst_fields.moc"
