// SPDX-License-Identifier: GPL-3.0-or-later
#include "send/SendOptions.h"

#include "engine/GenerationRun.h"
#include "engine/RandomFraction.h"
#include "settings/InstanceSlots.h"
#include "settings/Settings.h"
#include "settings/SlotRules.h"
#include "settings/SlotSettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <cmath>

namespace {

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

bool SendOptions::parseDestination(const QString& text, QString* host, int* port, QString* error) {
    QString h = text;
    QString p;
    if (text.startsWith(QLatin1Char('['))) {
        const qsizetype close = text.indexOf(QLatin1Char(']'));
        if (close < 0) {
            *error = QStringLiteral("missing ']' in \"%1\"").arg(text);
            return false;
        }
        h = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':'))) {
                *error = QStringLiteral("expected \":PORT\" after \"]\" in \"%1\"").arg(text);
                return false;
            }
            p = rest.mid(1);
            if (p.isEmpty()) {
                *error = QStringLiteral("no port after ':' in \"%1\"").arg(text);
                return false;
            }
        }
    } else {
        const qsizetype colons = text.count(QLatin1Char(':'));
        if (colons > 1) {
            *error =
                QStringLiteral("write an IPv6 address in brackets, as in [::1]:514 (got \"%1\")").arg(text);
            return false;
        }
        if (colons == 1) {
            const qsizetype colon = text.indexOf(QLatin1Char(':'));
            h = text.left(colon);
            p = text.mid(colon + 1);
            if (p.isEmpty()) {
                *error = QStringLiteral("no port after ':' in \"%1\"").arg(text);
                return false;
            }
        }
    }
    if (h.trimmed().isEmpty()) {
        *error = QStringLiteral("no host in \"%1\"").arg(text);
        return false;
    }
    int value = SlotRules::DefaultPort;
    if (!p.isEmpty()) {
        bool ok = false;
        value = p.toInt(&ok, 10);
        if (!ok || value < 1 || value > 65535) {
            *error = QStringLiteral("port \"%1\" is not a number from 1 to 65535").arg(p);
            return false;
        }
    }
    *host = h;
    *port = value;
    return true;
}

SendOptions::Action SendOptions::parse(const QStringList& arguments, SendOptions* options, QString* text) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends the lines of a text file of log lines, each unchanged, as UDP datagrams (or into a\n"
        "file), one after another or at random, with a fixed delay before each: the run of the\n"
        "Talvex window, from the command line."));
    parser.addPositionalArgument(QStringLiteral("SOURCE"),
                                 QStringLiteral("A text file of log lines (\"-\" reads standard input)."),
                                 QStringLiteral("SOURCE"));
    const QCommandLineOption to({QStringLiteral("t"), QStringLiteral("to")},
                                QStringLiteral("Send each line as one UDP datagram to HOST:PORT (default "
                                               "127.0.0.1:514; IPv6 as [::1]:514)."),
                                QStringLiteral("HOST:PORT"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Write the lines to FILE instead, CRLF after each."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption append(QStringLiteral("append"),
                                    QStringLiteral("Add to FILE instead of starting it anew."));
    const QCommandLineOption delay({QStringLiteral("d"), QStringLiteral("delay")},
                                   QStringLiteral("Wait SECONDS before each line (default 1; fractions "
                                                  "allowed; 0 = no wait)."),
                                   QStringLiteral("SECONDS"));
    const QCommandLineOption random({QStringLiteral("r"), QStringLiteral("random")},
                                    QStringLiteral("Draw lines at random (uniform over all lines; the same "
                                                   "sequence as the window unless --seed)."));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("The random sequence to use (a whole number, decimal or 0x "
                                                 "hexadecimal; the window's is %1).")
                                      .arg(RandomFraction::DefaultSeed),
                                  QStringLiteral("N"));
    const QCommandLineOption loop({QStringLiteral("l"), QStringLiteral("loop")},
                                  QStringLiteral("Start again at the end of the source."));
    const QCommandLineOption count({QStringLiteral("n"), QStringLiteral("count")},
                                   QStringLiteral("Stop after N lines."), QStringLiteral("N"));
    const QCommandLineOption duration(QStringLiteral("duration"), QStringLiteral("Stop after SECONDS."),
                                      QStringLiteral("SECONDS"));
    const QCommandLineOption slot(
        {QStringLiteral("s"), QStringLiteral("slot")},
        QStringLiteral("Take source, delay, order, loop, output, host and port from slot N (1 to 20) of "
                       "./Talvex.ini; read only: the slot is not claimed and nothing is written. "
                       "Options given here win over the slot's values."),
        QStringLiteral("N"));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("No progress line (the summary line stays)."));
    const QCommandLineOption echo(QStringLiteral("echo"),
                                  QStringLiteral("Write each line to standard output."));
    parser.addOptions({to, output, append, delay, random, seed, loop, count, duration, slot, quiet, echo});
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();

    auto fail = [text](const QString& message) {
        *text = message;
        return Action::Error;
    };

    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(help)) {
        *text = parser.helpText() +
                QStringLiteral("\nExit status: 0 when the source was played to its end, or the count or "
                               "duration was reached, or\nthe run was interrupted (SIGINT, SIGTERM); 1 "
                               "for a failure during the run; 2 for bad usage\nor an unreadable source, "
                               "before anything is sent.\n");
        return Action::Help;
    }
    if (parser.isSet(version)) {
        *text = QCoreApplication::applicationName() + QLatin1Char(' ') +
                QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return Action::Version;
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
        o.host = stored.host;
        o.port = stored.port;
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
        if (!parseDestination(parser.value(to), &o.host, &o.port, &error))
            return fail(QStringLiteral("--to: ") + error);
        o.outputPath.clear();
    }
    if (parser.isSet(output)) {
        o.outputPath = parser.value(output);
        if (o.outputPath.isEmpty())
            return fail(QStringLiteral("--output needs a file name"));
    }
    o.append = parser.isSet(append);
    if (o.append && !o.toFile())
        return fail(QStringLiteral("--append only applies to file output (--output FILE)"));
    if (o.toFile() && o.source != QLatin1String("-") &&
        QFileInfo(o.outputPath).absoluteFilePath() == QFileInfo(o.source).absoluteFilePath())
        return fail(QStringLiteral("the output file is the source itself"));

    if (parser.isSet(delay) && !parseSeconds(parser.value(delay), &o.delay))
        return fail(QStringLiteral("--delay takes a number of seconds, 0 or more (got \"%1\")")
                        .arg(parser.value(delay)));
    if (parser.isSet(random))
        o.random = true;
    if (parser.isSet(seed) && !parseSeed(parser.value(seed), &o.seed))
        return fail(QStringLiteral("--seed takes a whole number from 0 to 18446744073709551615 (got \"%1\")")
                        .arg(parser.value(seed)));
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
    o.quiet = parser.isSet(quiet);
    o.echo = parser.isSet(echo);
    *options = o;
    return Action::Run;
}
