// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RunHost.h"

#include <QByteArray>
#include <QString>

#include <functional>

// The run's host on a terminal: no buttons, no boxes. The add-or-replace question is answered
// by --append, the completion message marks the end of the source, the error display is kept
// for standard error, and the echo goes to standard output when asked for.
class ConsoleHost : public RunHost {
public:
    explicit ConsoleHost(bool append, bool echo, bool flushEachLine)
        : m_append(append), m_echo(echo), m_flushEachLine(flushEachLine) {}

    int languageOffset() const override { return 1; } // English, as the command line speaks
    void setRunButtons(bool, bool, bool) override {}
    void setControlsEnabled(int, bool) override {}
    void clearEcho() override {}
    void echoLine(const QByteArray& line) override;
    void setLineCountCaption(const QString&) override {}
    bool showsLineCount() const override { return false; }
    void showError(const QString& errorCaption, const QString& titleCaption) override;
    bool askYesNo(const QString&, const QString&) override { return m_append; }
    void showInformation(const QString&, const QString&) override { m_completed = true; }
    void restoreNormalWindow() override {}

    bool completed() const { return m_completed; }
    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; } // "Err: <number> : <description>"
    // Standard output could not take the echo (closed, a reader gone, a full disk): why.
    bool echoFailed() const { return !m_echoError.isEmpty(); }
    QString echoError() const { return m_echoError; }
    void flushEcho();
    // Standard output was closed when the program started: the echo has nowhere to go.
    void setOutputClosed() { m_echoError = QStringLiteral("standard output is closed"); }
    // Called before the first echoed bytes go out, so a progress line on the same terminal can
    // make way for them.
    void setBeforeEcho(std::function<void()> beforeEcho) { m_beforeEcho = std::move(beforeEcho); }

private:
    void echoFailedNow();

    bool m_append = false;
    bool m_echo = false;
    bool m_flushEachLine = false;
    bool m_completed = false;
    QString m_echoError;
    QString m_error;
    std::function<void()> m_beforeEcho;
};
