// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// What the generation run needs of its window. The run never touches a widget; the window
// implements this, and tests drive a run with a fake.
class RunHost {
public:
    virtual ~RunHost() = default;

    // Controls that a run locks (flags may be combined).
    enum Control {
        FrmLecture = 1,
        FrmSyslog = 2,
        ComboSrc = 4,
        CmdSrc = 8,
        AllLocked = FrmLecture | FrmSyslog | ComboSrc | CmdSrc,
    };

    // 0 French, 1 English: read at every use, so a switch during a run shows at the next text.
    virtual int languageOffset() const = 0;

    virtual void setRunButtons(bool playEnabled, bool pauseEnabled, bool stopEnabled) = 0;
    virtual void setControlsEnabled(int controls, bool enabled) = 0;

    virtual void clearEcho() = 0;
    // Append the line and a line break to the echo pane (bytes as read; the window decodes them).
    virtual void echoLine(const QByteArray& line) = 0;
    // LBL_LineCount's caption, e.g. "Lignes: 12".
    virtual void setLineCountCaption(const QString& caption) = 0;
    // Whether the host shows the count of lines; one that does not is only handed each line to echo,
    // and the run spares itself the caption of every line.
    virtual bool showsLineCount() const { return true; }
    // A produced line and the count that goes with it. A window that paints them should do so
    // together, in one paint.
    virtual void showProducedLine(const QString& countCaption, const QByteArray& line) {
        setLineCountCaption(countCaption);
        echoLine(line);
    }
    // The error display: LBL_Err shown with `errorCaption`, LBL_Titre set to `titleCaption`.
    virtual void showError(const QString& errorCaption, const QString& titleCaption) = 0;

    // Modal Yes/No question with the information icon; true for Yes.
    virtual bool askYesNo(const QString& title, const QString& text) = 0;
    // Modal information box with a single OK button.
    virtual void showInformation(const QString& title, const QString& text) = 0;

    // Neither minimised nor maximised.
    virtual void restoreNormalWindow() = 0;
};
