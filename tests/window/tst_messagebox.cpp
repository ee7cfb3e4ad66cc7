// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestWorkDir.h"
#include "WindowTestKit.h"
#include "engine/GenerationRun.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/TalvexFRM.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <functional>
#include <memory>

// The one entry point for message boxes: scripted answers and records for tests, a real modal
// QMessageBox otherwise, whose Yes/No follow the interface language.
// What the operator does to a box before pressing one of its buttons.
using BoxGesture = void (*)(QMessageBox*);
Q_DECLARE_METATYPE(BoxGesture)

class TestMessageBox : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void recordsEveryBox();
    void scriptedAnswers_data();
    void scriptedAnswers();
    void recordsAreBounded();
    void realBoxFollowsTheLanguage();
    void realBoxAnswers_data();
    void realBoxAnswers();
    void realBoxShowsTextAsPlainText();
    void addOrReplaceWaitsForAnAnswer();

private:
    // Runs `act` on the next modal message box to appear, from inside its own event loop.
    void onNextBox(std::function<void(QMessageBox*)> act);

    std::unique_ptr<TestWorkDir> m_dir;
    QTimer m_poll;
    bool m_boxSeen = false;
};

void TestMessageBox::init() {
    m_dir = std::make_unique<TestWorkDir>();
    QVERIFY(m_dir->isValid());
    MessageBox::setScripted(true);
    MessageBox::clearQueue();
    MessageBox::clearShown();
    m_boxSeen = false;
}

void TestMessageBox::cleanup() {
    m_poll.stop();
    m_poll.disconnect();
    MessageBox::setScripted(true);
    m_dir.reset();
}

void TestMessageBox::onNextBox(std::function<void(QMessageBox*)> act) {
    m_poll.disconnect();
    m_poll.setInterval(10);
    connect(&m_poll, &QTimer::timeout, this, [this, act] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        m_poll.stop();
        m_boxSeen = true;
        act(box);
    });
    m_poll.start();
}

void TestMessageBox::recordsEveryBox() {
    QCOMPARE(MessageBox::show(nullptr, MessageBox::Icon::Information, QStringLiteral("Information"),
                              QStringLiteral("first"), MessageBox::Buttons::Ok),
             MessageBox::Answer::Ok);
    QCOMPARE(MessageBox::show(nullptr, MessageBox::Icon::Warning, QStringLiteral("Fichier"),
                              QStringLiteral("second"), MessageBox::Buttons::YesNo),
             MessageBox::Answer::Yes);
    const auto shown = MessageBox::shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown.at(0).title, QStringLiteral("Information"));
    QCOMPARE(shown.at(0).text, QStringLiteral("first"));
    QCOMPARE(shown.at(0).icon, MessageBox::Icon::Information);
    QCOMPARE(shown.at(0).buttons, MessageBox::Buttons::Ok);
    QCOMPARE(shown.at(1).title, QStringLiteral("Fichier"));
    QCOMPARE(shown.at(1).text, QStringLiteral("second"));
    QCOMPARE(shown.at(1).icon, MessageBox::Icon::Warning);
    QCOMPARE(shown.at(1).buttons, MessageBox::Buttons::YesNo);
    MessageBox::clearShown();
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestMessageBox::scriptedAnswers_data() {
    // A sequence of boxes ("ok" or "yn") against a queue of answers ("Y", "N", "O").
    QTest::addColumn<QString>("queue");
    QTest::addColumn<QString>("boxes");
    QTest::addColumn<QString>("answers");
    QTest::newRow("empty queue: Yes") << ""
                                      << "yn yn"
                                      << "Y Y";
    QTest::newRow("empty queue: Ok") << ""
                                     << "ok"
                                     << "O";
    QTest::newRow("No then Yes") << "N Y"
                                 << "yn yn yn"
                                 << "N Y Y";
    QTest::newRow("OK boxes leave the queue alone") << "N"
                                                    << "ok ok yn yn"
                                                    << "O O N Y";
    QTest::newRow("Ok queued for a question") << "O N"
                                              << "yn yn"
                                              << "Y N";
}

void TestMessageBox::scriptedAnswers() {
    QFETCH(QString, queue);
    QFETCH(QString, boxes);
    QFETCH(QString, answers);
    for (const QString& a : queue.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        MessageBox::queueAnswer(a == QLatin1String("Y")   ? MessageBox::Answer::Yes
                                : a == QLatin1String("N") ? MessageBox::Answer::No
                                                          : MessageBox::Answer::Ok);
    QStringList got;
    for (const QString& b : boxes.split(QLatin1Char(' '))) {
        const auto buttons = b == QLatin1String("yn") ? MessageBox::Buttons::YesNo : MessageBox::Buttons::Ok;
        const auto answer = MessageBox::show(nullptr, MessageBox::Icon::Information, QStringLiteral("t"),
                                             QStringLiteral("x"), buttons);
        got << (answer == MessageBox::Answer::Yes  ? QStringLiteral("Y")
                : answer == MessageBox::Answer::No ? QStringLiteral("N")
                                                   : QStringLiteral("O"));
    }
    QCOMPARE(got.join(QLatin1Char(' ')), answers);
}

void TestMessageBox::recordsAreBounded() {
    for (int i = 0; i < MessageBox::MaxRecords + 10; ++i)
        MessageBox::show(nullptr, MessageBox::Icon::Information, QStringLiteral("t"), QString::number(i),
                         MessageBox::Buttons::Ok);
    const auto shown = MessageBox::shown();
    QCOMPARE(shown.size(), MessageBox::MaxRecords);
    // The most recent ones are kept.
    QCOMPARE(shown.first().text, QStringLiteral("10"));
    QCOMPARE(shown.last().text, QString::number(MessageBox::MaxRecords + 9));
}

void TestMessageBox::realBoxFollowsTheLanguage() {
    const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(translations + QStringLiteral("/qtbase_fr.qm")))
        QSKIP("Qt's French translation is not installed (Debian package qt6-translations-l10n)");

    TalvexFRM window;
    MessageBox::setScripted(false);
    auto yesNoTexts = [&] {
        QStringList texts;
        onNextBox([&texts](QMessageBox* box) {
            for (auto which : {QMessageBox::Yes, QMessageBox::No}) {
                QString text = box->button(which) ? box->button(which)->text() : QStringLiteral("?");
                texts << text.remove(QLatin1Char('&'));
            }
            box->button(QMessageBox::No)->click();
        });
        const auto answer =
            MessageBox::show(&window, MessageBox::Icon::Information, QStringLiteral("Fichier"),
                             QStringLiteral("Question"), MessageBox::Buttons::YesNo);
        if (answer != MessageBox::Answer::No)
            texts << QStringLiteral("wrong answer");
        return texts;
    };

    // French at creation.
    QCOMPARE(yesNoTexts(), (QStringList{QStringLiteral("Oui"), QStringLiteral("Non")}));
    QVERIFY(m_boxSeen);
    WindowTestKit::chooseLanguage(window, 1);
    QCOMPARE(yesNoTexts(), (QStringList{QStringLiteral("Yes"), QStringLiteral("No")}));
    WindowTestKit::chooseLanguage(window, 0);
    QCOMPARE(yesNoTexts(), (QStringList{QStringLiteral("Oui"), QStringLiteral("Non")}));
}

void TestMessageBox::realBoxAnswers_data() {
    // What the operator does first (nothing, Escape or the title bar's close box), then the button.
    QTest::addColumn<BoxGesture>("first");
    QTest::addColumn<int>("press"); // a QMessageBox::StandardButton
    QTest::addColumn<int>("expected");
    const BoxGesture nothing = [](QMessageBox*) {};
    const BoxGesture escape = [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); };
    const BoxGesture closeBox = [](QMessageBox* box) { box->close(); };
    QTest::newRow("Yes") << nothing << int(QMessageBox::Yes) << int(MessageBox::Answer::Yes);
    QTest::newRow("No") << nothing << int(QMessageBox::No) << int(MessageBox::Answer::No);
    QTest::newRow("Escape, then Yes") << escape << int(QMessageBox::Yes) << int(MessageBox::Answer::Yes);
    QTest::newRow("close box, then No") << closeBox << int(QMessageBox::No) << int(MessageBox::Answer::No);
}

void TestMessageBox::realBoxAnswers() {
    QFETCH(BoxGesture, first);
    QFETCH(int, press);
    QFETCH(int, expected);
    MessageBox::setScripted(false);
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool stillUp = true;
    onNextBox([&](QMessageBox* box) {
        title = box->windowTitle();
        icon = box->icon();
        first(box);
        QCoreApplication::processEvents();
        stillUp = box->isVisible() && QApplication::activeModalWidget() == box;
        box->button(QMessageBox::StandardButton(press))->click();
    });
    const auto answer = MessageBox::show(nullptr, MessageBox::Icon::Warning, QStringLiteral("Seuil Maximum"),
                                         QStringLiteral("x"), MessageBox::Buttons::YesNo);
    QVERIFY(m_boxSeen);
    QVERIFY(stillUp);
    QCOMPARE(int(answer), expected);
    QCOMPARE(title, QStringLiteral("Seuil Maximum"));
    QCOMPARE(icon, QMessageBox::Warning);
    // Real boxes are recorded too.
    QCOMPARE(MessageBox::shown().size(), 1);
}

void TestMessageBox::addOrReplaceWaitsForAnAnswer() {
    // File output onto an existing file: Escape must not empty it.
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("Logs Source")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("Logs G\u00e9n\u00e9r\u00e9s")));
    QVERIFY(m_dir->write(QStringLiteral("Logs Source/web.txt"), "new\r\n"));
    const QString output = QStringLiteral("Logs G\u00e9n\u00e9r\u00e9s/web.txt");
    const QByteArray old = "old line\r\n\xe9t\xe9\r\n";
    QVERIFY(m_dir->write(output, old));
    QVERIFY(m_dir->write(QStringLiteral("Talvex.ini"),
                         "[Source 1]\r\nDelay=0.01\r\nSyslogFile=0\r\nSourceFile=web\r\n"));
    TalvexFRM window;
    window.show();
    QTest::mouseClick(window.CMD_SRC1, Qt::LeftButton);

    MessageBox::setScripted(false);
    QByteArray afterEscape;
    bool stillUp = false;
    onNextBox([&](QMessageBox* box) {
        QTest::keyClick(box, Qt::Key_Escape);
        QCoreApplication::processEvents();
        afterEscape = m_dir->read(output);
        stillUp = box->isVisible() && QApplication::activeModalWidget() == box;
        // The completion message at the end needs no one to close it.
        MessageBox::setScripted(true);
        box->button(QMessageBox::Yes)->click();
    });
    window.MMControl1->playButton()->click();
    QVERIFY(m_boxSeen);
    QVERIFY(stillUp);
    QCOMPARE(afterEscape, old);
    QTRY_VERIFY_WITH_TIMEOUT(!window.run()->isRunning(), 10000);
    QCOMPARE(m_dir->read(output), old + "new\r\n");
}

void TestMessageBox::realBoxShowsTextAsPlainText() {
    MessageBox::setScripted(false);
    Qt::TextFormat format = Qt::RichText;
    QString text;
    int buttons = 0;
    onNextBox([&](QMessageBox* box) {
        format = box->textFormat();
        text = box->text();
        buttons = box->buttons().size();
        box->button(QMessageBox::Ok)->click();
    });
    const QString shown = QStringLiteral("Le fichier <b>web</b>.txt existe.");
    QCOMPARE(MessageBox::show(nullptr, MessageBox::Icon::Information, QStringLiteral("Information"), shown,
                              MessageBox::Buttons::Ok),
             MessageBox::Answer::Ok);
    QVERIFY(m_boxSeen);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(text, shown);
    QCOMPARE(buttons, 1);
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
