// SPDX-License-Identifier: GPL-3.0-or-later
#include "send/SendOptions.h"

#include "engine/GenerationRun.h"
#include "engine/RandomFraction.h"
#include "replay/RecordedPacing.h"
#include "settings/InstanceSlots.h"
#include "settings/Settings.h"
#include "settings/SlotRules.h"
#include "settings/SlotSettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cmath>

namespace {

// A cap of about three centuries still fits the schedule's nanoseconds.
constexpr double MaxGapLimitSeconds = 1e10;

// A number of seconds: digits with an optional fraction, finite, not negative.
bool parseSeconds(const QString& text, double* seconds) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0)
        return false;
    *seconds = value;
    return true;
}

bool parseSeed(const QString& text, quint64* seed) {
    bool ok = false;
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        *seed = t.mid(2).toULongLong(&ok, 16);
    else
        *seed = t.toULongLong(&ok, 10);
    return ok;
}

} // namespace

QString SendOptions::statusTable() {
    return QStringLiteral(
        "Exit status:\n"
        "  0  the source was played to its end, or the count or the duration was reached, or the\n"
        "     run was interrupted (SIGINT, SIGTERM, SIGHUP, SIGQUIT); also an empty source\n"
        "  1  a failure during the run (a send or a write refused, a connection lost for longer than\n"
        "     --retry, a line that --framing lf cannot carry, standard output gone): the error and\n"
        "     its number on standard error; every line before it was produced\n"
        "  2  bad usage, or a failure found before the first line: an unreadable source, an output\n"
        "     file that cannot be written or is the source itself, an unusable host, a receiver\n"
        "     that cannot be reached or fails the TLS check, a TLS file that cannot be used, no\n"
        "     room for standard input in the temporary folder\n");
}

SendOptions::Action SendOptions::parse(const QStringList& arguments, SendOptions* options, QString* text) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends the lines of a text file of log lines, each unchanged, to a syslog receiver over UDP,\n"
        "TCP, TLS or RELP (or into a file), one after another or at random, with a fixed delay\n"
        "before each or at a set rate: the run of the Talvex window, from the command line. It can\n"
        "also replay a log at its own recorded pace, each line stamped with the time it is sent."));
    parser.addPositionalArgument(
        QStringLiteral("SOURCE"),
        QStringLiteral("A text file of log lines; \"-\", a pipe or a FIFO is read as "
                       "its lines arrive."),
        QStringLiteral("SOURCE"));
    const QCommandLineOption to(
        {QStringLiteral("t"), QStringLiteral("to")},
        QStringLiteral("Where the lines go: HOST:PORT or udp://HOST:PORT (one UDP datagram per line; the "
                       "default is 127.0.0.1:514), tcp://HOST:PORT, tls://HOST:PORT (6514 when no port is "
                       "given) or relp://HOST:PORT. An IPv6 address goes in brackets: tcp://[::1]:514."),
        QStringLiteral("URL"));
    const QCommandLineOption framing(
        QStringLiteral("framing"),
        QStringLiteral("How lines are told apart over tcp:// and tls://: \"octet\" (RFC 6587 octet counting, "
                       "LEN SP LINE; the default) or \"lf\" (a line feed after each line; a line that holds "
                       "one is refused)."),
        QStringLiteral("octet|lf"));
    const QCommandLineOption ca(QStringLiteral("ca"),
                                QStringLiteral("tls://: trust only the CA certificates in FILE (PEM; the "
                                               "default is the system's store)."),
                                QStringLiteral("FILE"));
    const QCommandLineOption cert(QStringLiteral("cert"),
                                  QStringLiteral("tls://: show the client certificate in FILE (PEM) to a "
                                                 "receiver that asks for one; needs --key."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption key(QStringLiteral("key"),
                                 QStringLiteral("tls://: the private key of --cert (PEM, not encrypted)."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption serverName(
        QStringLiteral("server-name"),
        QStringLiteral("tls://: the name sent to the receiver (SNI) and "
                       "checked against its certificate (default: the host)."),
        QStringLiteral("NAME"));
    const QCommandLineOption insecure(
        QStringLiteral("insecure"),
        QStringLiteral("tls://: do not check the receiver's certificate at all."));
    const QCommandLineOption retry(
        QStringLiteral("retry"),
        QStringLiteral(
            "tcp://, tls://, relp://: when the connection breaks, try again (after 0.1 s, doubling "
            "up to 5 s between tries) for up to SECONDS (default 30; 0 = never), then fail."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Write the lines to FILE instead, CRLF after each."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption append(QStringLiteral("append"),
                                    QStringLiteral("Add to FILE instead of starting it anew."));
    const QCommandLineOption delay({QStringLiteral("d"), QStringLiteral("delay")},
                                   QStringLiteral("Wait SECONDS before each line, counted from the line "
                                                  "before (default 1; fractions allowed; 0 = no wait)."),
                                   QStringLiteral("SECONDS"));
    const QCommandLineOption rate(QStringLiteral("rate"),
                                  QStringLiteral("Send N lines a second on a fixed schedule (line k leaves "
                                                 "k/N s after the start; fractions allowed). Not with -d."),
                                  QStringLiteral("N"));
    const QCommandLineOption random({QStringLiteral("r"), QStringLiteral("random")},
                                    QStringLiteral("Draw lines at random (uniform over all lines; the same "
                                                   "sequence as the window unless --seed)."));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("The random sequence to use with -r (a whole number, "
                                                 "decimal or 0x hexadecimal; the window's is %1).")
                                      .arg(RandomFraction::DefaultSeed),
                                  QStringLiteral("N"));
    const QCommandLineOption pace(
        QStringLiteral("pace"),
        QStringLiteral("\"recorded\": keep the source's own rhythm, the wait before each line being the gap "
                       "between its timestamp and the one before (an absolute schedule, in file order). "
                       "Not with -d, --rate or -r."),
        QStringLiteral("recorded"));
    const QCommandLineOption speed(QStringLiteral("speed"),
                                   QStringLiteral("With --pace recorded: divide every gap by X (2 = twice as "
                                                  "fast, 0.5 = half speed; %1 to %2, default 1).")
                                       .arg(RecordedPacing::MinimumSpeed)
                                       .arg(RecordedPacing::MaximumSpeed, 0, 'f', 0),
                                   QStringLiteral("X"));
    const QCommandLineOption maxGap(
        QStringLiteral("max-gap"),
        QStringLiteral("With --pace recorded: wait at most SECONDS for a line, "
                       "after --speed (a night of silence need not take a night)."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption retime(
        QStringLiteral("retime"),
        QStringLiteral("Replace the timestamp at the head of each line (RFC 3164, RFC 5424, ISO 8601) with "
                       "the time it is sent, in the same form; every other byte stays."));
    const QCommandLineOption loop({QStringLiteral("l"), QStringLiteral("loop")},
                                  QStringLiteral("Start again at the end of the source."));
    const QCommandLineOption count({QStringLiteral("n"), QStringLiteral("count")},
                                   QStringLiteral("Stop after N lines."), QStringLiteral("N"));
    const QCommandLineOption duration(QStringLiteral("duration"), QStringLiteral("Stop after SECONDS."),
                                      QStringLiteral("SECONDS"));
    const QCommandLineOption lineEnds(
        QStringLiteral("line-ends"),
        QStringLiteral("Where a line of the source ends: \"any\" (CR, LF or CR LF; the default) or \"cr\" "
                       "(CR or CR LF, a lone LF stays in the line: the window's rule, and --slot's)."),
        QStringLiteral("any|cr"));
    const QCommandLineOption slot(
        {QStringLiteral("s"), QStringLiteral("slot")},
        QStringLiteral("Take source, delay, order, loop, output, host and port from slot N (1 to 20) of "
                       "./Talvex.ini; read only: the slot is not claimed and nothing is written. "
                       "Options given here win over the slot's values."),
        QStringLiteral("N"));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("No progress line (the summary stays)."));
    const QCommandLineOption echo(QStringLiteral("echo"),
                                  QStringLiteral("Write each line to standard output."));
    const QCommandLineOption summary(
        QStringLiteral("summary"),
        QStringLiteral("The summary on standard error as a line of text (the default) or as one JSON "
                       "object."),
        QStringLiteral("text|json"));
    const QList<QCommandLineOption> valued{to,     output, delay,    rate,       seed, pace,    speed,
                                           maxGap, count,  duration, lineEnds,   slot, summary, framing,
                                           ca,     cert,   key,      serverName, retry};
    parser.addOptions({to,     framing, ca,       cert,     key,  serverName, insecure, retry,  output,
                       append, delay,   rate,     random,   seed, pace,       speed,    maxGap, retime,
                       loop,   count,   duration, lineEnds, slot, quiet,      echo,     summary});
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help and the exit statuses."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();

    auto fail = [text](const QString& message) {
        *text = message;
        return Action::Error;
    };

    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        *text = parser.helpText() + QLatin1Char('\n') + statusTable();
        return Action::Help;
    }
    if (parser.isSet(version)) {
        *text = QCoreApplication::applicationName() + QLatin1Char(' ') +
                QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return Action::Version;
    }
    // An option given twice would have one of its values silently dropped.
    for (const QCommandLineOption& option : valued) {
        if (parser.values(option).size() > 1)
            return fail(QStringLiteral("--%1 given more than once").arg(option.names().constLast()));
    }

    SendOptions o;
    o.seed = RandomFraction::DefaultSeed;
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return fail(QStringLiteral("one SOURCE only (got %1)").arg(positional.size()));

    if (parser.isSet(slot)) {
        bool ok = false;
        o.slot = parser.value(slot).toInt(&ok, 10);
        if (!ok || o.slot < 1 || o.slot > InstanceSlots::Capacity)
            return fail(QStringLiteral("--slot takes a number from 1 to %1 (got \"%2\")")
                            .arg(InstanceSlots::Capacity)
                            .arg(parser.value(slot)));
        if (!QFileInfo(Settings::path()).isFile())
            return fail(QStringLiteral("--slot %1: no %2 in the current directory")
                            .arg(o.slot)
                            .arg(QLatin1String(Settings::FileName)));
        const SlotSettings stored = SlotSettings::read(o.slot);
        o.delay = stored.delay;
        o.loop = stored.loop;
        o.random = stored.order == GenerationOrder::Random;
        o.destination.host = stored.host;
        o.destination.port = stored.port;
        // The window's sources end their lines with CR; a slot plays what the window would.
        o.lineEnds = LineEnds::CarriageReturn;
        for (const SlotSettings::Replacement& r : stored.replacements)
            o.notices << QStringLiteral("--slot %1: [%2] %3=%4 cannot be used; %5 instead")
                             .arg(o.slot)
                             .arg(SlotSettings::section(o.slot), r.key, r.stored, r.used);
        if (positional.isEmpty()) {
            if (stored.sourceFile.isEmpty())
                return fail(QStringLiteral("--slot %1: no source chosen in section [%2] of %3")
                                .arg(o.slot)
                                .arg(SlotSettings::section(o.slot), QLatin1String(Settings::FileName)));
            o.source = GenerationRun::sourcePath(stored.sourceFile);
        }
        // The window writes a slot's file output under the name of its source.
        if (stored.output == Output::File && !parser.isSet(to)) {
            const QString name =
                positional.isEmpty() ? stored.sourceFile : QFileInfo(positional.first()).completeBaseName();
            o.outputPath = GenerationRun::outputPath(name);
        }
    }
    if (!positional.isEmpty())
        o.source = positional.first();
    if (o.source.isEmpty())
        return fail(QStringLiteral("no SOURCE given"));

    if (parser.isSet(to) && parser.isSet(output))
        return fail(QStringLiteral("--to and --output exclude each other: a run has one output"));
    if (parser.isSet(to)) {
        QString error;
        if (!Destination::parse(parser.value(to), &o.destination, &error))
            return fail(QStringLiteral("--to: ") + error);
        o.outputPath.clear();
    }
    const Destination::Transport transport = o.destination.transport;
    const bool stream = transport == Destination::Transport::Tcp || transport == Destination::Transport::Tls;
    if (parser.isSet(framing)) {
        if (!stream)
            return fail(QStringLiteral("--framing applies to tcp:// and tls:// destinations"));
        if (!FramingName::parse(parser.value(framing), &o.framing))
            return fail(QStringLiteral("--framing takes \"octet\" or \"lf\" (got \"%1\")")
                            .arg(parser.value(framing)));
    }
    for (const QCommandLineOption& option : {ca, cert, key, serverName, insecure}) {
        if (parser.isSet(option) && transport != Destination::Transport::Tls)
            return fail(
                QStringLiteral("--%1 applies to tls:// destinations").arg(option.names().constLast()));
    }
    o.tls.caFile = parser.value(ca);
    o.tls.certFile = parser.value(cert);
    o.tls.keyFile = parser.value(key);
    o.tls.serverName = parser.value(serverName);
    o.tls.insecure = parser.isSet(insecure);
    if (parser.isSet(cert) != parser.isSet(key))
        return fail(QStringLiteral("a client certificate needs both --cert and --key"));
    for (const QCommandLineOption& option : {ca, cert, key, serverName}) {
        if (parser.isSet(option) && parser.value(option).isEmpty())
            return fail(QStringLiteral("--%1 needs a value").arg(option.names().constLast()));
    }
    if (parser.isSet(retry)) {
        if (transport == Destination::Transport::Udp)
            return fail(QStringLiteral("--retry applies to tcp://, tls:// and relp:// destinations"));
        if (!parseSeconds(parser.value(retry), &o.retry) || o.retry > 1e6)
            return fail(QStringLiteral("--retry takes a number of seconds, 0 or more (got \"%1\")")
                            .arg(parser.value(retry)));
    }
    if (parser.isSet(output)) {
        o.outputPath = parser.value(output);
        if (o.outputPath.isEmpty())
            return fail(QStringLiteral("--output needs a file name"));
    }
    o.append = parser.isSet(append);
    if (o.append && !o.toFile())
        return fail(QStringLiteral("--append only applies to file output (--output FILE)"));

    if (parser.isSet(delay) && parser.isSet(rate))
        return fail(QStringLiteral("--delay and --rate exclude each other: a wait after each line, or a "
                                   "schedule"));
    if (parser.isSet(delay) && !parseSeconds(parser.value(delay), &o.delay))
        return fail(QStringLiteral("--delay takes a number of seconds, 0 or more (got \"%1\")")
                        .arg(parser.value(delay)));
    if (parser.isSet(rate)) {
        if (!parseSeconds(parser.value(rate), &o.rate) || !(o.rate > 0) || o.rate > 1e9)
            return fail(QStringLiteral("--rate takes a number of lines per second above 0, up to 1e9 "
                                       "(got \"%1\")")
                            .arg(parser.value(rate)));
        o.delay = 0;
    }
    if (parser.isSet(random))
        o.random = true;
    if (parser.isSet(seed)) {
        if (!o.random)
            return fail(QStringLiteral("--seed picks a random sequence: it needs --random"));
        if (!parseSeed(parser.value(seed), &o.seed))
            return fail(
                QStringLiteral("--seed takes a whole number from 0 to 18446744073709551615 (got \"%1\")")
                    .arg(parser.value(seed)));
    }
    if (parser.isSet(pace)) {
        if (parser.value(pace) != QLatin1String("recorded"))
            return fail(QStringLiteral("--pace takes \"recorded\" (got \"%1\"); without it, -d or --rate "
                                       "sets the pace")
                            .arg(parser.value(pace)));
        if (parser.isSet(delay) || parser.isSet(rate))
            return fail(
                QStringLiteral("--pace recorded excludes --%1: the log's own gaps, or a pace of your own")
                    .arg(parser.isSet(delay) ? QStringLiteral("delay") : QStringLiteral("rate")));
        if (o.random)
            return fail(
                parser.isSet(random)
                    ? QStringLiteral("--pace recorded plays the lines in file order: not with --random")
                    : QStringLiteral("--pace recorded plays the lines in file order, and slot %1 draws "
                                     "them at random")
                          .arg(o.slot));
        o.recordedPace = true;
        o.delay = 0;
    }
    if (parser.isSet(speed)) {
        if (!o.recordedPace)
            return fail(QStringLiteral("--speed divides the recorded gaps: it needs --pace recorded"));
        if (!parseSeconds(parser.value(speed), &o.speed) || o.speed < RecordedPacing::MinimumSpeed ||
            o.speed > RecordedPacing::MaximumSpeed)
            return fail(QStringLiteral("--speed takes a number from %1 to %2 (got \"%3\")")
                            .arg(RecordedPacing::MinimumSpeed)
                            .arg(RecordedPacing::MaximumSpeed, 0, 'f', 0)
                            .arg(parser.value(speed)));
    }
    if (parser.isSet(maxGap)) {
        if (!o.recordedPace)
            return fail(QStringLiteral("--max-gap caps the recorded gaps: it needs --pace recorded"));
        if (!parseSeconds(parser.value(maxGap), &o.maxGapSeconds) || o.maxGapSeconds > MaxGapLimitSeconds)
            return fail(QStringLiteral("--max-gap takes a number of seconds, 0 or more (got \"%1\")")
                            .arg(parser.value(maxGap)));
    }
    o.retime = parser.isSet(retime);
    if (parser.isSet(loop))
        o.loop = true;
    if (parser.isSet(count)) {
        bool ok = false;
        o.count = parser.value(count).toLongLong(&ok, 10);
        if (!ok || o.count < 1)
            return fail(QStringLiteral("--count takes a whole number of lines, 1 or more (got \"%1\")")
                            .arg(parser.value(count)));
    }
    if (parser.isSet(duration) && (!parseSeconds(parser.value(duration), &o.duration) || !(o.duration > 0)))
        return fail(QStringLiteral("--duration takes a number of seconds above 0 (got \"%1\")")
                        .arg(parser.value(duration)));
    if (parser.isSet(lineEnds)) {
        const QString value = parser.value(lineEnds);
        if (value == QLatin1String("any"))
            o.lineEnds = LineEnds::Any;
        else if (value == QLatin1String("cr"))
            o.lineEnds = LineEnds::CarriageReturn;
        else
            return fail(QStringLiteral("--line-ends takes \"any\" or \"cr\" (got \"%1\")").arg(value));
    }
    if (parser.isSet(summary)) {
        const QString value = parser.value(summary);
        if (value != QLatin1String("text") && value != QLatin1String("json"))
            return fail(QStringLiteral("--summary takes \"text\" or \"json\" (got \"%1\")").arg(value));
        o.jsonSummary = value == QLatin1String("json");
    }
    o.quiet = parser.isSet(quiet);
    o.echo = parser.isSet(echo);
    *options = o;
    return Action::Run;
}
