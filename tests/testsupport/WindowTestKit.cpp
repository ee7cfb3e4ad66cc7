// SPDX-License-Identifier: GPL-3.0-or-later
#include "WindowTestKit.h"

#include "settings/Settings.h"
#include "window/MessageBox.h"
#include "window/PictureBox.h"

#include <QApplication>
#include <QDir>
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

} // namespace WindowTestKit
