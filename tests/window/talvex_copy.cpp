// SPDX-License-Identifier: GPL-3.0-or-later
// One copy of the program for the slot tests: builds the window in the folder given as its
// argument, presses CMD_SRC1 with the message boxes scripted, and reports on standard output:
//
//   slot N
//   delay <TXT_delay1>   port <TXT_Port1>   host <TXT_HoteIP1>   source <Combo_SRC1>  (one per line)
//   box <Warning|Information>\t<title>\t<text>                   (one per box shown)
//   closed | ready
//
// After "ready" it stays alive until a line "quit" (or the end of its input) arrives, then quits
// through CMD_Quitter. After "closed" (the window refused to start) it ends at once.
#include "window/MessageBox.h"
#include "window/TalvexFRM.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSocketNotifier>

#include <cstdio>

#include <unistd.h>

namespace {

void say(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2 || !QDir::setCurrent(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "usage: talvex_copy <working directory>\n");
        return 2;
    }
    MessageBox::setScripted(true);

    auto* window = new TalvexFRM;
    window->show();
    window->CMD_SRC1->click();

    say(QStringLiteral("slot %1").arg(window->instanceSlot()));
    say(QStringLiteral("delay ") + window->TXT_delay1->text());
    say(QStringLiteral("port ") + window->TXT_Port1->text());
    say(QStringLiteral("host ") + window->TXT_HoteIP1->text());
    say(QStringLiteral("source ") + window->Combo_SRC1->currentText());
    for (const MessageBox::Record& box : MessageBox::shown()) {
        const QString icon =
            box.icon == MessageBox::Icon::Warning ? QStringLiteral("Warning") : QStringLiteral("Information");
        say(QStringLiteral("box ") + icon + QLatin1Char('\t') + box.title + QLatin1Char('\t') + box.text);
    }
    if (!window->isVisible()) {
        say(QStringLiteral("closed"));
        delete window;
        return 0;
    }
    say(QStringLiteral("ready"));

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got > 0)
            pending.append(buffer, static_cast<qsizetype>(got));
        if (got <= 0 || pending.contains("quit\n")) {
            input.setEnabled(false);
            window->CMD_Quitter->click();
            app.quit();
        }
    });
    const int code = app.exec();
    delete window;
    return code;
}
