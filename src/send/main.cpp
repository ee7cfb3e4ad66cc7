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

void print(FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}
} // namespace

int main(int argc, char* argv[]) {
    // First of all: the application opens descriptors of its own, which must not take the number
    // of a closed standard stream.
    const bool outputClosed = platform::Console::guardStandardStreams();
    // Qt's own event loop rather than GLib's: a paced line costs about a sixth less of the
    // processor, and nothing here needs GLib. The environment may still say otherwise.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("talvex-send"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TALVEX_VERSION));
    // A reader of --echo that goes away is seen as a failed write, not a sudden death.
    platform::Console::ignoreBrokenPipe();

    SendOptions options;
    QString text;
    switch (SendOptions::parse(QCoreApplication::arguments(), &options, &text)) {
    case SendOptions::Action::Help:
    case SendOptions::Action::Version:
        print(stdout, text);
        return SendCommand::Success;
    case SendOptions::Action::Error:
        print(stderr,
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
        print(stderr, QStringLiteral("talvex-send: cannot watch for SIGINT and SIGTERM\n"));
        return SendCommand::BadUsage;
    }
    return command.run();
}
