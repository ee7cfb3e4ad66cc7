// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestWorkDir.h"
#include "engine/GenerationRun.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/TalvexFRM.h"

#include <QAbstractButton>
#include <QByteArray>
#include <QComboBox>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QList>
#include <QPushButton>
#include <QString>

#include <memory>

#include <sys/stat.h>

// What the window tests share: their work folder, the settings they read back, and the ways they
// drive the real window through its controls.
namespace WindowTestKit {

// A fresh current folder holding "Logs Source" and "Logs Générés", with no message box shown or
// queued; null when it cannot be made.
std::unique_ptr<TestWorkDir> freshRunFolder();
// Forgets the message boxes shown and the answers queued by an earlier test.
void resetMessageBoxes();

// A value of slot `slot` in Talvex.ini, as the window stored it.
QString key(const char* name, int slot = 1);
// The texts of the message boxes shown so far, oldest first.
QStringList boxTexts();
// A box as one line (icon, buttons, title, text), and every box shown so far as such lines,
// oldest first: compared whole, a difference in any part shows in the failure message.
QString boxSummary(const MessageBox::Record& box);
QStringList boxSummaries();

// Clicks the button that takes a slot, as a user starts a session.
void initialise(TalvexFRM& w);
// Shows the window, initialises it and presses Play.
void showAndPlay(TalvexFRM& w);
// Shows the window and waits until it is the active one, so key presses reach it.
void activate(TalvexFRM& w);
// Clicks the French flag (languageOffset 0) or the English one (1).
void chooseLanguage(TalvexFRM& w, int languageOffset);

// What a control shows as its text: a frame's title, a button's or label's caption, a field's
// or the source box's text, the echo pane's lines; null for any other widget.
QString shownText(const QWidget* w);

// Counts the paint events a widget receives while it lives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count() const { return m_count; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++m_count;
        return QObject::eventFilter(watched, event);
    }

private:
    int m_count = 0;
};

inline QAbstractButton* mediaButton(const TalvexFRM& w, const char* name) {
    return w.MMControl1->findChild<QAbstractButton*>(QString::fromLatin1(name));
}

inline bool lockedForRun(const TalvexFRM& w) {
    return !w.FRM_Lecture->isEnabled() && !w.FRM_Syslog->isEnabled() && !w.Combo_SRC1->isEnabled() &&
           !w.CMD_SRC1->isEnabled();
}

// Play disabled, Pause and Stop enabled, the run's inputs locked, and no run going on.
inline bool halted(const TalvexFRM& w) {
    return !w.run()->isRunning() && !mediaButton(w, "Play")->isEnabled() &&
           mediaButton(w, "Pause")->isEnabled() && mediaButton(w, "Stop")->isEnabled() && lockedForRun(w);
}

// What Stop leaves: Play alone enabled, every lock released.
inline bool idleAfterStop(const TalvexFRM& w) {
    return !w.run()->isRunning() && mediaButton(w, "Play")->isEnabled() &&
           !mediaButton(w, "Pause")->isEnabled() && !mediaButton(w, "Stop")->isEnabled() &&
           w.FRM_Lecture->isEnabled() && w.Combo_SRC1->isEnabled() && w.CMD_SRC1->isEnabled();
}

// The lines of a source as the run splits them: a CR or CR LF ends a line, a lone LF does not.
inline QList<QByteArray> sourceLines(const QByteArray& file) {
    QList<QByteArray> lines;
    QByteArray current;
    for (qsizetype i = 0; i < file.size(); ++i) {
        if (file.at(i) == '\r') {
            lines << current;
            current.clear();
            if (i + 1 < file.size() && file.at(i + 1) == '\n')
                ++i;
        } else {
            current += file.at(i);
        }
    }
    if (!current.isEmpty())
        lines << current;
    return lines;
}

// Sets a file's or folder's mode for the life of the object and gives the old one back, so the
// throwaway directory can always be removed, however the test ends.
class ModeGuard {
public:
    ModeGuard(const QString& path, mode_t mode) : m_path(QFile::encodeName(path)) {
        struct stat st {};
        if (::stat(m_path.constData(), &st) == 0) {
            m_oldMode = st.st_mode & 07777;
            m_applied = ::chmod(m_path.constData(), mode) == 0;
        }
    }
    ~ModeGuard() { restore(); }
    ModeGuard(const ModeGuard&) = delete;
    ModeGuard& operator=(const ModeGuard&) = delete;

    bool applied() const { return m_applied; }
    void restore() {
        if (m_applied)
            ::chmod(m_path.constData(), m_oldMode);
        m_applied = false;
    }

private:
    QByteArray m_path;
    mode_t m_oldMode = 0;
    bool m_applied = false;
};

} // namespace WindowTestKit
