// SPDX-License-Identifier: GPL-3.0-or-later
// One copy of Talvex for the benchmarks that run copies as processes of their own: the real
// window in the folder given as argument, shown on whatever platform QT_QPA_PLATFORM names,
// initialised with CMD_SRC1 and played with the Play button, as an operator would. Reports on
// standard output:
//
//   slot N
//   done <lines> <cpu seconds> <wall seconds> <peak resident KiB>
//
// The processor and wall times run from the press of Play to the end of the run. It quits when
// the run ends or a line "quit" (or the end of its input) arrives.
//
// With "capped" after the folder, the first produced line is followed by as many echoed lines as
// the pane keeps, so the run goes on past the pane's cap; the times and the line count then run
// from there. With "minimised", the window is minimised from the start: nothing of the run is
// painted, which shows what a line costs the window process apart from its frames.
#include "engine/GenerationRun.h"
#include "engine/RunHost.h"
#include "window/EchoPane.h"
#include "window/MediaButtonBar.h"
#include "window/MessageBox.h"
#include "window/TalvexFRM.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>

#include <TalvexFRMTestAccess.h>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

void say(const QByteArray& line) {
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

double seconds(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

QByteArray peakRssKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return "-1";
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first();
    }
    return "-1";
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2 || !QDir::setCurrent(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "usage: talvex_bench_copy <working directory> [capped|minimised]\n");
        return 2;
    }
    const bool capped = argc > 2 && qstrcmp(argv[2], "capped") == 0;
    const bool minimised = argc > 2 && qstrcmp(argv[2], "minimised") == 0;
    MessageBox::setScripted(true); // the completion message must not wait for a click

    auto* window = new TalvexFRM;
    window->show();
    double cpuStart = 0;
    double wallStart = 0;
    qint64 lines = 0;
    qint64 firstCounted = 0;
    QObject::connect(window->run(), &GenerationRun::lineProduced, window, [&](qint64 count) {
        lines = count - firstCounted;
        if (!capped || firstCounted != 0)
            return;
        // Fills the pane through the window's own echo, as a long run would have.
        RunHost& host = *window;
        for (int i = 0; i < EchoPane::MaxLines; ++i)
            host.echoLine("<134>Dec  7 12:00:00 bench-host filler[42]: line " + QByteArray::number(i));
        TalvexFRMTestAccess::flushEcho(*window);
        QCoreApplication::processEvents();
        firstCounted = count;
        lines = 0;
        cpuStart = seconds(CLOCK_PROCESS_CPUTIME_ID);
        wallStart = seconds(CLOCK_MONOTONIC);
    });
    QObject::connect(window->run(), &GenerationRun::runEnded, window, [&] {
        say("done " + QByteArray::number(lines) + ' ' +
            QByteArray::number(seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart, 'f', 6) + ' ' +
            QByteArray::number(seconds(CLOCK_MONOTONIC) - wallStart, 'f', 6) + ' ' + peakRssKiB());
        QTimer::singleShot(0, window, [window] {
            window->CMD_Quitter->click();
            QCoreApplication::quit();
        });
    });

    // Once the window is up, as the operator would: the initialisation, then Play.
    QTimer::singleShot(200, window, [&] {
        window->CMD_SRC1->click();
        say("slot " + QByteArray::number(window->instanceSlot()));
        auto* play = window->MMControl1->findChild<QAbstractButton*>(QStringLiteral("Play"));
        cpuStart = seconds(CLOCK_PROCESS_CPUTIME_ID);
        wallStart = seconds(CLOCK_MONOTONIC);
        if (minimised)
            window->showMinimized(); // as an operator would, once the run is set going
        if (play && play->isEnabled())
            play->click();
        else {
            say("done 0 0 0 " + peakRssKiB());
            QCoreApplication::quit();
        }
    });

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0 || QByteArray(buffer, qsizetype(got)).contains("quit")) {
            input.setEnabled(false);
            window->run()->stop();
        }
    });
    const int code = app.exec();
    delete window;
    return code;
}
