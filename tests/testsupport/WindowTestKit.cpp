// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTestKit.h"
#include "window/LogView.h"

#include "settings/Settings.h"
#include "window/MessageBox.h"
#include "window/PictureBox.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace WindowTestKit {

std::unique_ptr<TestWorkDir> freshRunFolder() {
    auto dir = std::make_unique<TestWorkDir>();
    if (!dir->isValid() || !QDir(dir->path()).mkpath(QStringLiteral("Logs Source")) ||
        !QDir(dir->path()).mkpath(QStringLiteral("Logs Générés")))
        return nullptr;
    resetMessageBoxes();
    return dir;
}

void resetMessageBoxes() {
    MessageBox::clearShown();
    MessageBox::clearQueue();
}

QString key(const char* name, int slot) {
    return Settings::read(QStringLiteral("Source %1").arg(slot), QLatin1String(name));
}

QStringList boxTexts() {
    QStringList texts;
    for (const MessageBox::Record& r : MessageBox::shown())
        texts << r.text;
    return texts;
}

QString boxSummary(const MessageBox::Record& box) {
    return QStringLiteral("icon %1, buttons %2: %3: %4")
        .arg(int(box.icon))
        .arg(int(box.buttons))
        .arg(box.title, box.text);
}

QStringList boxSummaries() {
    QStringList summaries;
    for (const MessageBox::Record& r : MessageBox::shown())
        summaries << boxSummary(r);
    return summaries;
}

void initialise(TalvexFRM& w) {
    QTest::mouseClick(w.CMD_SRC1, Qt::LeftButton);
}

void showAndPlay(TalvexFRM& w) {
    w.show();
    initialise(w);
    mediaButton(w, "Play")->click();
}

void activate(TalvexFRM& w) {
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

void chooseLanguage(TalvexFRM& w, int languageOffset) {
    QTest::mouseClick(languageOffset == 1 ? w.PICT_UK : w.PICT_FR, Qt::LeftButton);
}

QString shownText(const QWidget* w) {
    if (auto* box = qobject_cast<const QGroupBox*>(w))
        return box->title();
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(w))
        return label->text();
    if (auto* edit = qobject_cast<const QLineEdit*>(w))
        return edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(w))
        return combo->currentText();
    if (auto* pane = qobject_cast<const LogView*>(w))
        return pane->toPlainText();
    return QString();
}

} // namespace WindowTestKit
