// SPDX-License-Identifier: GPL-3.0-or-later
#include "receiverwindow/ReceiverWindow.h"
#include "window/Artwork.h"
#include "window/TalvexFRM.h"

#include "desktop/InstalledData.h"
#include "desktop/QtOptions.h"
#include "desktop/WorkingFolder.h"

#include "platform/TerminationSignals.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>

namespace {
// A logout, `kill` or Ctrl+C closes the window the normal way, so the output file is closed,
// the window position saved and the slot released, as with the Quit button.
void closeOnTerminationSignals(QWidget& window) {
    auto* watcher = new platform::TerminationSignals(&window);
    QObject::connect(watcher, &platform::TerminationSignals::received, &window, &QWidget::close);
    watcher->watch(platform::TerminationSignals::Terminate | platform::TerminationSignals::Interrupt |
                   platform::TerminationSignals::HangUp);
}

// Status of a command line that cannot be followed, as usual for command-line programs.
constexpr int UsageError = 2;

int usageError(const QString& message) {
    std::fprintf(stderr, "talvex: %s\n", qPrintable(message));
    std::fprintf(stderr, "Try 'talvex --help' for more information.\n");
    return UsageError;
}

// The companion receiver's window, when the command line asks for it, instead of Talvex's own.
struct ReceiverRequest {
    bool wanted = false;
    ListenAddress address;
};

// Where the companion receiver listens unless told: a port anyone may use, on this machine only.
const QString DefaultReceiverListen = QStringLiteral("udp://127.0.0.1:5514");

void describeOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "Plays the lines of a sample log file as syslog datagrams, or into a file, at a fixed pace.\n"
        "Works in the current directory unless told otherwise."));
    parser.addHelpOption();
    parser.addVersionOption();
}

// Answers the command line and enters the working folder it asks for; without options that is the
// current directory, as always. Needs no display. Returns 0 to go on, or the exit status when
// Talvex must not start; `helpAll` tells that Qt's options are to be listed, which only the
// window's application knows.
int enterWorkingFolder(const QCoreApplication& app, bool* helpAll, ReceiverRequest* receiver) {
    QCommandLineParser parser;
    describeOptions(parser);
    const QCommandLineOption folder({QStringLiteral("C"), QStringLiteral("folder")},
                                    QStringLiteral("Work in DIR, as if Talvex had been started there."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption userFolder(
        QStringLiteral("user-folder"),
        QStringLiteral("Work in the folder Talvex of your documents folder, created with the sample sources "
                       "on first use."));
    const QCommandLineOption receiverWindow(
        QStringLiteral("receiver"),
        QStringLiteral("Open the companion receiver's window instead: it shows the messages that arrive."));
    const QCommandLineOption listen(QStringLiteral("listen"),
                                    QStringLiteral("With --receiver: listen on URL, udp://HOST:PORT or "
                                                   "tcp://HOST:PORT (default %1).")
                                        .arg(DefaultReceiverListen),
                                    QStringLiteral("URL"));
    parser.addOption(folder);
    parser.addOption(userFolder);
    parser.addOption(receiverWindow);
    parser.addOption(listen);

    if (!parser.parse(QtOptions::withoutQtOptions(app.arguments())))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    *helpAll = parser.isSet(QStringLiteral("help-all"));
    if (*helpAll)
        return 0;
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().constFirst()));
    if (parser.isSet(folder) && parser.isSet(userFolder))
        return usageError(QStringLiteral("--folder and --user-folder cannot be used together"));
    if (parser.isSet(listen) && !parser.isSet(receiverWindow))
        return usageError(QStringLiteral("--listen goes with --receiver"));
    receiver->wanted = parser.isSet(receiverWindow);
    QString listenError;
    if (receiver->wanted &&
        !ListenAddress::parse(parser.isSet(listen) ? parser.value(listen) : DefaultReceiverListen,
                              &receiver->address, &listenError))
        return usageError(QStringLiteral("--listen: ") + listenError);
    // The window has no certificate to show its clients: TLS is talvex-receive's.
    if (receiver->wanted && receiver->address.transport == ListenAddress::Transport::Tls)
        return usageError(QStringLiteral("--listen: the receiver window listens on udp:// or tcp://; for "
                                         "tls:// use talvex-receive with --cert and --key"));

    QString dir;
    QString error;
    if (parser.isSet(folder)) {
        dir = parser.value(folder);
    } else if (parser.isSet(userFolder)) {
        dir = WorkingFolder::userFolder();
        if (!WorkingFolder::prepare(dir, InstalledData::examplesFolder(), &error))
            return usageError(error);
    }
    if (!dir.isEmpty() && !WorkingFolder::enter(dir, &error))
        return usageError(error);
    return 0;
}

// Status of a window that cannot be shown.
constexpr int NoDisplay = 1;

QtMessageHandler qtMessages = nullptr;

// Qt ends the process when no platform can show a window (no X server, DISPLAY unset): said here
// as Talvex's own message, with an ordinary failure status instead of an abort. Qt's warnings
// before it, which name the reason, go out as usual.
void noDisplay(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (qtMessages)
            qtMessages(type, context, message);
        else
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
        return;
    }
    std::fprintf(stderr, "talvex: no display to show the window on (DISPLAY or WAYLAND_DISPLAY is not set, "
                         "or cannot be reached)\n");
    std::fflush(stderr);
    std::_Exit(NoDisplay);
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("Talvex"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.2"));
    // The command line is answered before the window's application exists, display or not.
    bool helpAll = false;
    ReceiverRequest receiver;
    {
        const QCoreApplication commandLine(argc, argv);
        if (const int status = enterWorkingFolder(commandLine, &helpAll, &receiver))
            return status;
    }

    qtMessages = qInstallMessageHandler(noDisplay);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtMessages);
    QApplication::setDesktopFileName(QStringLiteral("talvex"));
    if (helpAll) {
        QCommandLineParser parser;
        describeOptions(parser);
        parser.process(app); // lists Qt's options too, and exits
    }
    if (receiver.wanted) {
        QApplication::setDesktopFileName(QStringLiteral("talvex-receiver"));
        ReceiverWindow window;
        window.setWindowIcon(Artwork::windowIcon());
        closeOnTerminationSignals(window);
        window.show();
        window.listen(receiver.address); // a failure is shown in the window, with another port offered
        return QApplication::exec();
    }

    TalvexFRM window;
    closeOnTerminationSignals(window);
    window.show();
    return QApplication::exec();
}
