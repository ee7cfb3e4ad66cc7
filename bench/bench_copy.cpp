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
// painted, which shows what a line costs the window process apart from its frames. With "bare",
// no Talvex at all: the floor of any Qt program that waits and sends as a copy does (see playBare).
#include "engine/GenerationRun.h"
#include "engine/RunHost.h"
#include "settings/ProfileFile.h"
#include "settings/SettingKeys.h"
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
#include <QUdpSocket>
#include <QWidget>

#include <TalvexFRMTestAccess.h>

#include <cstdio>
#include <ctime>
#include <sys/timerfd.h>
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

// The same source, pace and receiver as slot 1 of Talvex.ini, played by the plainest Qt program
// that does it the way a copy does: an empty window, minimised; a kernel timer on the monotonic
// clock watched by the event loop, armed for each line's place on the schedule; and a
// QUdpSocket. What it costs a line is what Qt and the machine cost before Talvex does anything.
int playBare(QApplication& app) {
    const QString ini = QStringLiteral("Talvex.ini");
    const QByteArray section = SettingKeys::slotSection(1).toLatin1();
    const auto value = [&](QLatin1String key) {
        return ProfileFile::read(ini, section, QByteArray(key.data()));
    };
    const qint64 delayNs = qRound64(value(SettingKeys::Delay).toDouble() * 1e9);
    const quint16 port = value(SettingKeys::Port).toUShort();
    QFile source(QStringLiteral("Logs Source/") + QString::fromLatin1(value(SettingKeys::SourceFile)) +
                 QStringLiteral(".txt"));
    if (delayNs <= 0 || port == 0 || !source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "talvex_bench_copy bare: no delay, port or source in slot 1\n");
        return 2;
    }
    QList<QByteArray> lines = source.readAll().split('\n');
    for (QByteArray& line : lines)
        line.chop(line.endsWith('\r') ? 1 : 0);
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();

    QWidget window;
    window.show();
    window.showMinimized();
    QUdpSocket socket;
    const QHostAddress receiver(QHostAddress::LocalHost);
    const int timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    QSocketNotifier expired(timer, QSocketNotifier::Read);
    timespec next{};
    ::clock_gettime(CLOCK_MONOTONIC, &next);
    const auto arm = [&] {
        const qint64 ns = next.tv_nsec + delayNs;
        next.tv_sec += time_t(ns / 1000000000);
        next.tv_nsec = long(ns % 1000000000);
        const itimerspec at{{0, 0}, next};
        ::timerfd_settime(timer, TFD_TIMER_ABSTIME, &at, nullptr);
    };
    const double cpuStart = seconds(CLOCK_PROCESS_CPUTIME_ID);
    const double wallStart = seconds(CLOCK_MONOTONIC);
    qsizetype sent = 0;
    QObject::connect(&expired, &QSocketNotifier::activated, &app, [&] {
        quint64 expirations = 0;
        if (::read(timer, &expirations, sizeof expirations) != sizeof expirations)
            return;
        socket.writeDatagram(lines[sent], receiver, port);
        if (++sent < lines.size()) {
            arm();
            return;
        }
        expired.setEnabled(false);
        say("done " + QByteArray::number(sent) + ' ' +
            QByteArray::number(seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart, 'f', 6) + ' ' +
            QByteArray::number(seconds(CLOCK_MONOTONIC) - wallStart, 'f', 6) + ' ' + peakRssKiB());
        app.quit();
    });
    if (lines.isEmpty()) {
        say("done 0 0 0 " + peakRssKiB());
        return 0;
    }
    arm();
    const int code = app.exec();
    ::close(timer);
    return code;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2 || !QDir::setCurrent(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "usage: talvex_bench_copy <working directory> [capped|minimised|bare]\n");
        return 2;
    }
    if (argc > 2 && qstrcmp(argv[2], "bare") == 0)
        return playBare(app);
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
