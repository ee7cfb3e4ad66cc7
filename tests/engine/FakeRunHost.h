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

    // Every call, by name, in order.
    QStringList calls;

    int language = 0;
    int languageOffset() const override { return language; }

    // The buttons and the run's controls, in the design state: buttons idle, every control usable.
    bool playEnabled = true;
    bool pauseEnabled = false;
    bool stopEnabled = false;
    void setRunButtons(bool play, bool pause, bool stop) override;
    // The buttons as "play pause stop" flags, e.g. "100" for idle, "011" for running.
    QString buttons() const;
    int enabledControls = AllLocked;
    void setControlsEnabled(int controls, bool enabled) override;
    bool controlEnabled(Control c) const { return (enabledControls & c) != 0; }

    // The pane and the count above it. onEcho runs inside echoLine, as a modal box would let
    // nothing else run.
    QList<QByteArray> echo;
    int clearCount = 0;
    std::function<void()> onEcho;
    void clearEcho() override;
    void echoLine(const QByteArray& line) override;
    QString lineCountCaption;
    QStringList lineCountCaptions;
    void setLineCountCaption(const QString& caption) override;

    // The error display.
    QString errorCaption;
    QString titleCaption;
    int errorCount = 0;
    void showError(const QString& errorCaption, const QString& titleCaption) override;

    // The message boxes, oldest first; a question gets answerYes, and onInformation runs inside
    // the information box.
    bool answerYes = true;
    QList<Box> boxes;
    std::function<void()> onInformation;
    bool askYesNo(const QString& title, const QString& text) override;
    void showInformation(const QString& title, const QString& text) override;
    QList<Box> boxesOfKind(const QString& kind) const;

    int restoreCount = 0;
    void restoreNormalWindow() override;
};
