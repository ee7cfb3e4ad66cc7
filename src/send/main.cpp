// SPDX-License-Identifier: GPL-3.0-or-later
// talvex-send: the Talvex run from the command line, for scripts and CI pipelines.
#include "send/SendCommand.h"
#include "send/SendOptions.h"

#include "platform/Console.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
// Ctrl+C or `kill` ends the run as Stop does: the output file keeps every line, the summary is
// printed, and the status says the run went well.
bool interruptOnTerminationSignals(SendCommand& command) {
    auto* watcher = new platform::TerminationSignals(&command);
    QObject::connect(watcher, &platform::TerminationSignals::received, &command, &SendCommand::interrupt);
    // A hang-up or a quit must not leave the copy of standard input behind, nor lose the summary.
    if (!watcher->watch(platform::TerminationSignals::Terminate | platform::TerminationSignals::Interrupt |
                        platform::TerminationSignals::HangUp | platform::TerminationSignals::Quit))
        return false;
    // A receiver that stops reading holds the run outside the event loop; its waits watch these.
    command.setStopSignals(watcher->pendingDescriptor(), platform::TerminationSignals::arrivedFlag());
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    // First of all: the application opens descriptors of its own, which must not take the number
    // of a closed standard stream. (Qt's own event loop makes a paced line about a sixth cheaper.)
    const bool outputClosed = platform::Console::prepareCommandLineProgram();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("talvex-send"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVEX_VERSION));

    SendOptions options;
    QString text;
    switch (SendOptions::parse(QCoreApplication::arguments(), &options, &text)) {
    case SendOptions::Action::Help:
    case SendOptions::Action::Version:
        platform::Console::print(stdout, text);
        return SendCommand::Success;
    case SendOptions::Action::Error:
        platform::Console::print(
            stderr,
            QStringLiteral("talvex-send: %1\nTry 'talvex-send --help' for more information.\n").arg(text));
        return SendCommand::BadUsage;
    case SendOptions::Action::Run:
        break;
    }

    SendCommand command(options);
    if (outputClosed)
        command.setOutputClosed();
    // Before the signals are watched: opening a FIFO waits for its writer, and Ctrl+C must end that.
    if (const SendCommand::Status status = command.prepare(); status != SendCommand::Success)
        return status;
    if (!interruptOnTerminationSignals(command)) {
        platform::Console::print(stderr,
                                 QStringLiteral("talvex-send: cannot watch for SIGINT and SIGTERM\n"));
        return SendCommand::BadUsage;
    }
    return command.run();
}
