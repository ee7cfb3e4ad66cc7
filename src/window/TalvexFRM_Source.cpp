// SPDX-License-Identifier: GPL-3.0-or-later
// Choosing the source in Combo_SRC1, and its preview in the output pane.
#include "window/TalvexFRM.h"
#include "window/WaitCursor.h"

#include "engine/FileErrors.h"
#include "engine/GenerationRun.h"
#include "i18n/StringTable.h"
#include "settings/SettingKeys.h"
#include "settings/Settings.h"
#include "window/EchoPane.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/SourcePreview.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <functional>

namespace {

// Turns the source box's focus changes into its GotFocus / LostFocus handlers. Opening its
// drop-down list, or switching to another application, is not the box losing the focus.
class FocusWatcher : public QObject {
public:
    FocusWatcher(QObject* parent, std::function<void()> gotFocus, std::function<void()> lostFocus)
        : QObject(parent), m_gotFocus(std::move(gotFocus)), m_lostFocus(std::move(lostFocus)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
                !focusInOwnList(watched)) {
                if (event->type() == QEvent::FocusIn)
                    m_gotFocus();
                else
                    m_lostFocus();
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    // The open list may take the focus into its own window; the box still has it for the operator.
    static bool focusInOwnList(QObject* watched) {
        const auto* box = qobject_cast<QComboBox*>(watched);
        const QWidget* next = QApplication::focusWidget();
        return box && next && box->view() && next->window() == box->view()->window() &&
               next->window() != box->window();
    }

    std::function<void()> m_gotFocus;
    std::function<void()> m_lostFocus;
};

} // namespace

void TalvexFRM::setupSource() {
    // activated: a pick from the list, by mouse or arrow keys; never a change made from code.
    connect(Combo_SRC1, &QComboBox::activated, this, [this](int) { Combo_SRC1_Click(); });
    // A typed name is the operator's, byte for byte: no completion while typing, and leaving the
    // box or pressing Enter must not turn a name that matches an entry into a pick of it (the
    // combo box would then emit activated and retitle the window). Only the list picks.
    Combo_SRC1->setCompleter(nullptr);
    QLineEdit* edit = Combo_SRC1->lineEdit();
    disconnect(edit, &QLineEdit::editingFinished, Combo_SRC1, nullptr);
    disconnect(edit, &QLineEdit::returnPressed, Combo_SRC1, nullptr);
    Combo_SRC1->installEventFilter(new FocusWatcher(
        this, [this] { Combo_SRC1_GotFocus(); }, [this] { Combo_SRC1_LostFocus(); }));
    connect(CMD_LectureSRC1, &QPushButton::clicked, this, &TalvexFRM::CMD_LectureSRC1_Click);
}

QList<QWidget*> TalvexFRM::parameterControls() const {
    return {OPT_Sequentiel,  OPT_Aleatoire, OPT_Fichier, OPT_Syslog, CHK_Boucle,
            CMD_LectureSRC1, CMD_Plus,      CMD_Moins,   TXT_delay1};
}

void TalvexFRM::Combo_SRC1_Click() {
    const QString name = Combo_SRC1->currentText();
    CMD_SRC1->setText(name);
    setWindowTitle(name);
    if (!m_slotSection.isEmpty())
        Settings::write(m_slotSection, SettingKeys::SourceFile, name);
}

void TalvexFRM::Combo_SRC1_GotFocus() {
    MMControl1->setPlayEnabled(true);
    for (QWidget* control : parameterControls())
        control->setEnabled(true);
    CMD_SRC1->setText(Combo_SRC1->currentText());
}

void TalvexFRM::Combo_SRC1_LostFocus() {
    // A typed name is stored as it stands; nothing checks the file until it is read.
    const QString name = Combo_SRC1->currentText();
    if (!m_slotSection.isEmpty())
        Settings::write(m_slotSection, SettingKeys::SourceFile, name);
    CMD_SRC1->setText(name);
    QFont bold = CMD_SRC1->font();
    bold.setBold(true);
    CMD_SRC1->setFont(bold);
}

void TalvexFRM::CMD_LectureSRC1_Click() {
    const QString name = Combo_SRC1->currentText();
    const QString path = GenerationRun::sourcePath(name);
    SourcePreview preview;
    RunError error;
    {
        const WaitCursor wait;
        clearEcho();
        // An empty name would read the hidden file ".txt", which is no source of the list.
        error = name.isEmpty() ? FileErrors::fileNotFound(path) : preview.read(path);
        if (!error.isError()) {
            if (preview.lastShown() > 0)
                LBL_LineCount->setText(QStringLiteral("Lines : ") + QString::number(preview.lastShown()));
            // One edit for the whole pane, however many lines the file has.
            m_echo->showLines(preview.lines());
        }
    }
    if (error.isError()) {
        MessageBox::show(
            this, MessageBox::Icon::Information, lookup(Str::Information),
            previewFailedMessage(path, name.isEmpty() ? RunError::None : error.number, m_languageOffset),
            MessageBox::Buttons::Ok);
    }
}

QString TalvexFRM::previewFailedMessage(const QString& path, int errorNumber, int languageOffset) {
    using StringTable::Message;
    Message reason = Message::SourceReadError;
    switch (errorNumber) {
    case RunError::None:
        reason = Message::NoSourceChosen;
        break;
    case RunError::FileNotFound:
        reason = Message::SourceFileMissing;
        break;
    case RunError::PathNotFound:
        reason = Message::SourceFolderMissing;
        break;
    case RunError::PathFileAccess:
        reason = Message::SourceNotAFile;
        break;
    case RunError::BadFileNumber:
        reason = Message::SourceBadName;
        break;
    case RunError::PermissionDenied:
        reason = Message::SourceAccessDenied;
        break;
    default:
        break;
    }
    // A NUL in the name is shown, not let cut the message short.
    QString shown = path;
    shown.replace(QChar(0), QStringLiteral("\\0"));
    return StringTable::message(Message::SourceUnreadable, languageOffset)
        .arg(shown, StringTable::message(reason, languageOffset));
}
