// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/MessageBox.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QQueue>

namespace {

struct State {
    bool scripted = false;
    QQueue<MessageBox::Answer> answers;
    QList<MessageBox::Record> shown;
};

State& state() {
    static State s;
    return s;
}

// A question has no way out but its own buttons: QMessageBox would take No for Escape and for
// the title bar's close box, and a question such as add-or-replace would then empty a file.
class QuestionBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel)) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        // Closing after a button was pressed is the box ending itself; anything else is ignored.
        if (!clickedButton()) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
};

MessageBox::Answer realBox(QWidget* parent, MessageBox::Icon icon, const QString& title, const QString& text,
                           MessageBox::Buttons buttons) {
    const QMessageBox::Icon qtIcon =
        icon == MessageBox::Icon::Warning ? QMessageBox::Warning : QMessageBox::Information;
    if (buttons == MessageBox::Buttons::Ok) {
        QMessageBox box(qtIcon, title, text, QMessageBox::Ok, parent);
        // Plain text: a file or host name from the operator must not be read as markup.
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return MessageBox::Answer::Ok;
    }
    QuestionBox box(qtIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Yes);
    box.exec();
    // Only a press of No is No: a box that ends without an answer (the program closing under it)
    // must not be taken as the answer that throws data away.
    return box.clickedButton() == box.button(QMessageBox::No) ? MessageBox::Answer::No
                                                              : MessageBox::Answer::Yes;
}

} // namespace

MessageBox::Answer MessageBox::show(QWidget* parent, Icon icon, const QString& title, const QString& text,
                                    Buttons buttons) {
    State& s = state();
    s.shown.append(Record{title, text, icon, buttons});
    while (s.shown.size() > MaxRecords)
        s.shown.removeFirst();

    if (!s.scripted)
        return realBox(parent, icon, title, text, buttons);

    if (buttons == Buttons::Ok)
        return Answer::Ok;
    if (s.answers.isEmpty())
        return Answer::Yes;
    const Answer answer = s.answers.dequeue();
    return answer == Answer::No ? Answer::No : Answer::Yes;
}

void MessageBox::setScripted(bool scripted) {
    state().scripted = scripted;
}

bool MessageBox::isScripted() {
    return state().scripted;
}

void MessageBox::queueAnswer(Answer answer) {
    state().answers.enqueue(answer);
}

void MessageBox::clearQueue() {
    state().answers.clear();
}

QList<MessageBox::Record> MessageBox::shown() {
    return state().shown;
}

void MessageBox::clearShown() {
    state().shown.clear();
}
