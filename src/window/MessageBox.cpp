#include "MessageBox.h"

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

MessageBox::Answer realBox(QWidget* parent, MessageBox::Icon icon, const QString& title, const QString& text,
                           MessageBox::Buttons buttons) {
    const QMessageBox::Icon qtIcon =
        icon == MessageBox::Icon::Warning ? QMessageBox::Warning : QMessageBox::Information;
    const QMessageBox::StandardButtons qtButtons =
        buttons == MessageBox::Buttons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok;
    // Plain text: a file or host name from the operator must not be read as markup.
    QMessageBox box(qtIcon, title, text, qtButtons, parent);
    box.setTextFormat(Qt::PlainText);
    if (buttons == MessageBox::Buttons::YesNo) {
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    }
    const int result = box.exec();
    if (buttons == MessageBox::Buttons::Ok)
        return MessageBox::Answer::Ok;
    // Closing the box any other way than with Yes counts as No.
    return result == QMessageBox::Yes ? MessageBox::Answer::Yes : MessageBox::Answer::No;
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
