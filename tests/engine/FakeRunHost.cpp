// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeRunHost.h"

void FakeRunHost::setRunButtons(bool play, bool pause, bool stop) {
    playEnabled = play;
    pauseEnabled = pause;
    stopEnabled = stop;
    calls << QStringLiteral("setRunButtons(%1%2%3)").arg(int(play)).arg(int(pause)).arg(int(stop));
}

void FakeRunHost::setControlsEnabled(int controls, bool enabled) {
    if (enabled)
        enabledControls |= controls;
    else
        enabledControls &= ~controls;
    calls << QStringLiteral("setControlsEnabled(%1,%2)").arg(controls).arg(int(enabled));
}

void FakeRunHost::clearEcho() {
    echo.clear();
    ++clearCount;
    calls << QStringLiteral("clearEcho");
}

void FakeRunHost::echoLine(const QByteArray& line) {
    echo << line;
    calls << QStringLiteral("echoLine");
    if (onEcho)
        onEcho();
}

void FakeRunHost::setLineCountCaption(const QString& caption) {
    lineCountCaption = caption;
    lineCountCaptions << caption;
    calls << QStringLiteral("setLineCountCaption");
}

void FakeRunHost::showError(const QString& error, const QString& title) {
    errorCaption = error;
    titleCaption = title;
    ++errorCount;
    calls << QStringLiteral("showError");
}

bool FakeRunHost::askYesNo(const QString& title, const QString& text) {
    boxes << Box{QStringLiteral("question"), title, text};
    calls << QStringLiteral("askYesNo");
    return answerYes;
}

void FakeRunHost::showInformation(const QString& title, const QString& text) {
    boxes << Box{QStringLiteral("information"), title, text};
    calls << QStringLiteral("showInformation");
    if (onInformation)
        onInformation();
}

void FakeRunHost::restoreNormalWindow() {
    ++restoreCount;
    calls << QStringLiteral("restoreNormalWindow");
}

QString FakeRunHost::buttons() const {
    return QStringLiteral("%1%2%3").arg(int(playEnabled)).arg(int(pauseEnabled)).arg(int(stopEnabled));
}

QList<FakeRunHost::Box> FakeRunHost::boxesOfKind(const QString& kind) const {
    QList<Box> result;
    for (const Box& box : boxes) {
        if (box.kind == kind)
            result << box;
    }
    return result;
}
