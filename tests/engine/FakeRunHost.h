// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RunHost.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Stands in for the window: keeps the state a window would show and records every call, in
// order, so a test can check both the end state and what happened on the way.
class FakeRunHost : public RunHost {
public:
    struct Box {
        QString kind; // "question" or "information"
        QString title;
        QString text;
    };

    int language = 0;
    bool answerYes = true;

    // What the window would show. The design state: buttons idle, every run control usable.
    bool playEnabled = true;
    bool pauseEnabled = false;
    bool stopEnabled = false;
    int enabledControls = AllLocked;
    QList<QByteArray> echo;
    QString lineCountCaption;
    QStringList lineCountCaptions;
    QString errorCaption;
    QString titleCaption;
    int errorCount = 0;
    QList<Box> boxes;
    int restoreCount = 0;
    int clearCount = 0;
    QStringList calls;

    // Optional hooks run inside the call (as a modal box would let nothing else run).
    std::function<void()> onEcho;
    std::function<void()> onInformation;

    int languageOffset() const override { return language; }
    void setRunButtons(bool play, bool pause, bool stop) override;
    void setControlsEnabled(int controls, bool enabled) override;
    void clearEcho() override;
    void echoLine(const QByteArray& line) override;
    void setLineCountCaption(const QString& caption) override;
    void showError(const QString& errorCaption, const QString& titleCaption) override;
    bool askYesNo(const QString& title, const QString& text) override;
    void showInformation(const QString& title, const QString& text) override;
    void restoreNormalWindow() override;

    bool controlEnabled(Control c) const { return (enabledControls & c) != 0; }
    // The buttons as "play pause stop" flags, e.g. "100" for idle, "011" for running.
    QString buttons() const;
    QList<Box> boxesOfKind(const QString& kind) const;
};
