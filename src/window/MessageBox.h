// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

class QWidget;

// Every message box of the program goes through here, so tests can script the answers and read
// back what would have been shown instead of racing a modal dialog.
class MessageBox {
public:
    enum class Icon { Information, Warning };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    struct Record {
        QString title;
        QString text;
        Icon icon = Icon::Information;
        Buttons buttons = Buttons::Ok;
    };

    // Shows a modal box and returns the operator's answer. A Yes/No box is answered only by its
    // buttons: Escape and the title bar's close box leave it up. Scripted: shows nothing and answers
    // at once. An OK box always answers Ok and leaves the queued answers alone; a Yes/No box takes
    // the next queued answer (Yes when the queue is empty; Ok counts as Yes).
    static Answer show(QWidget* parent, Icon icon, const QString& title, const QString& text,
                       Buttons buttons);

    // Test hooks.
    static void setScripted(bool scripted);
    static bool isScripted();
    static void queueAnswer(Answer answer);
    static void clearQueue();
    // Every box shown, scripted or not, oldest first; only the most recent MaxRecords are kept.
    static QList<Record> shown();
    static void clearShown();

    static constexpr int MaxRecords = 1000;
};
