// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive/ReceiveOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

// A number of seconds above 0: digits with an optional fraction, finite.
bool parsePositiveSeconds(const QString& text, double* seconds) {
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || !(value > 0) || value > 1e9)
        return false;
    *seconds = value;
    return true;
}

} // namespace

ReceiveOptions::Action ReceiveOptions::parse(const QStringList& arguments, ReceiveOptions* options,
                                             QString* text) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Receives syslog messages over UDP, TCP and TLS, writes each one unchanged, counts them, and\n"
        "can prove that the lines of a file all arrived: the receiving end of talvex-send."));
    const QCommandLineOption listen(
        {QStringLiteral("l"), QStringLiteral("listen")},
        QStringLiteral("Listen on URL: udp://HOST:PORT, tcp://HOST:PORT or tls://HOST[:PORT] (port 6514 "
                       "by default), HOST an IP address of this machine (IPv6 in brackets, as "
                       "udp://[::1]:5514; port 0 lets the system choose). Repeat for more. TCP and TLS "
                       "take both framings of RFC 6587 (octet counting, or a line feed after each "
                       "message), chosen by each connection's first byte."),
        QStringLiteral("URL"));
    const QCommandLineOption cert(QStringLiteral("cert"),
                                  QStringLiteral("With tls://: the receiver's certificate (PEM; required)."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption key(
        QStringLiteral("key"), QStringLiteral("With tls://: its private key (PEM, not encrypted; required)."),
        QStringLiteral("FILE"));
    const QCommandLineOption ca(QStringLiteral("ca"),
                                QStringLiteral("With tls://: require a client certificate signed by a CA of "
                                               "FILE (PEM); a client without one is refused."),
                                QStringLiteral("FILE"));
    const QCommandLineOption echo(QStringLiteral("echo"),
                                  QStringLiteral("Write each message to standard output."));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Write each message to FILE."), QStringLiteral("FILE"));
    const QCommandLineOption append(QStringLiteral("append"),
                                    QStringLiteral("Add to FILE instead of starting it anew."));
    const QCommandLineOption lineEnd(QStringLiteral("line-end"),
                                     QStringLiteral("What follows each message written: crlf (the default, "
                                                    "as Talvex's files) or lf."),
                                     QStringLiteral("crlf|lf"));
    const QCommandLineOption count({QStringLiteral("n"), QStringLiteral("count")},
                                   QStringLiteral("End after N messages."), QStringLiteral("N"));
    const QCommandLineOption timeout(
        QStringLiteral("timeout"),
        QStringLiteral("With --count: end after SECONDS, with status 1 if fewer than N arrived."),
        QStringLiteral("SECONDS"));
    const QCommandLineOption idle(QStringLiteral("idle"),
                                  QStringLiteral("End once no message has come for SECONDS."),
                                  QStringLiteral("SECONDS"));
    const QCommandLineOption duration(QStringLiteral("duration"), QStringLiteral("End after SECONDS."),
                                      QStringLiteral("SECONDS"));
    const QCommandLineOption expect(
        QStringLiteral("expect"),
        QStringLiteral("Compare what arrived with the lines of FILE: how many arrived, are missing, are "
                       "extra, are duplicated. Status 1 when a line is missing."),
        QStringLiteral("FILE"));
    const QCommandLineOption lineEnds(
        QStringLiteral("line-ends"),
        QStringLiteral(
            "Where a line of the --expect file ends, as for talvex-send: \"any\" (CR, LF or CR LF; "
            "the default) or \"cr\" (CR or CR LF, a lone LF stays in the line: the window's rule)."),
        QStringLiteral("any|cr"));
    const QCommandLineOption inOrder(QStringLiteral("in-order"),
                                     QStringLiteral("With --expect: also report the first line that "
                                                    "arrived out of order."));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("No progress line (the summary stays)."));
    const QCommandLineOption summary(QStringLiteral("summary"),
                                     QStringLiteral("The summary on standard error as text (the default) "
                                                    "or as one JSON object."),
                                     QStringLiteral("text|json"));
    parser.addOptions({listen, cert, key, ca, echo, output, append, lineEnd, count, timeout, idle, duration,
                       expect, lineEnds, inOrder, quiet, summary});
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
                QStringLiteral(
                    "\nExit status: 0 when the count was reached, or the idle time, the duration or an\n"
                    "interruption (SIGINT, SIGTERM) ended the reception; 1 when fewer than --count arrived\n"
                    "before --timeout, when a line of --expect is missing, or when the output could not be\n"
                    "written; 2 for bad usage, or when an address cannot be listened on (a port below\n"
                    "1024 needs privileges).\n");
        return Action::Help;
    }
    if (parser.isSet(version)) {
        *text = QCoreApplication::applicationName() + QLatin1Char(' ') +
                QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return Action::Version;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(
            QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().constFirst()));

    ReceiveOptions o;
    for (const QString& url : parser.values(listen)) {
        ListenAddress address;
        QString error;
        if (!ListenAddress::parse(url, &address, &error))
            return fail(QStringLiteral("--listen: ") + error);
        o.listen << address;
    }
    if (o.listen.isEmpty())
        return fail(QStringLiteral("say where to listen, as in --listen udp://127.0.0.1:5514"));
    o.tls = {parser.value(cert), parser.value(key), parser.value(ca)};
    const bool tlsListened = std::any_of(o.listen.cbegin(), o.listen.cend(), [](const ListenAddress& a) {
        return a.transport == ListenAddress::Transport::Tls;
    });
    if (tlsListened && (o.tls.certFile.isEmpty() || o.tls.keyFile.isEmpty()))
        return fail(QStringLiteral("a tls:// address needs --cert FILE and --key FILE: the receiver's "
                                   "certificate and its private key"));
    for (const QCommandLineOption* option : {&cert, &key, &ca}) {
        if (!tlsListened && parser.isSet(*option))
            return fail(QStringLiteral("--%1 goes with a tls:// address").arg(option->names().constFirst()));
    }

    o.echo = parser.isSet(echo);
    if (parser.isSet(output)) {
        o.outputPath = parser.value(output);
        if (o.outputPath.isEmpty())
            return fail(QStringLiteral("--output needs a file name"));
    }
    o.append = parser.isSet(append);
    if (o.append && o.outputPath.isEmpty())
        return fail(QStringLiteral("--append only applies to --output FILE"));
    if (parser.isSet(lineEnd)) {
        const QString v = parser.value(lineEnd).toLower();
        if (v == QLatin1String("crlf"))
            o.lineEnd = QByteArrayLiteral("\r\n");
        else if (v == QLatin1String("lf"))
            o.lineEnd = QByteArrayLiteral("\n");
        else
            return fail(
                QStringLiteral("--line-end takes crlf or lf (got \"%1\")").arg(parser.value(lineEnd)));
    }
    if (parser.isSet(count)) {
        bool ok = false;
        o.count = parser.value(count).toLongLong(&ok, 10);
        if (!ok || o.count < 1)
            return fail(QStringLiteral("--count takes a whole number of messages, 1 or more (got \"%1\")")
                            .arg(parser.value(count)));
    }
    const struct {
        const QCommandLineOption& option;
        double* value;
    } seconds[] = {{timeout, &o.timeout}, {idle, &o.idle}, {duration, &o.duration}};
    for (const auto& s : seconds) {
        if (parser.isSet(s.option) && !parsePositiveSeconds(parser.value(s.option), s.value))
            return fail(QStringLiteral("--%1 takes a number of seconds above 0 (got \"%2\")")
                            .arg(s.option.names().constLast(), parser.value(s.option)));
    }
    if (o.timeout > 0 && o.count == 0)
        return fail(QStringLiteral("--timeout goes with --count: the number of messages to wait for"));

    if (parser.isSet(expect)) {
        o.expectPath = parser.value(expect);
        if (o.expectPath.isEmpty())
            return fail(QStringLiteral("--expect needs a file name"));
        if (!o.outputPath.isEmpty() &&
            QFileInfo(o.outputPath).absoluteFilePath() == QFileInfo(o.expectPath).absoluteFilePath())
            return fail(QStringLiteral("the output file is the --expect file itself"));
    }
    if (parser.isSet(lineEnds)) {
        const QString v = parser.value(lineEnds).toLower();
        if (v == QLatin1String("any"))
            o.lineEnds = LineEnds::Any;
        else if (v == QLatin1String("cr"))
            o.lineEnds = LineEnds::CarriageReturn;
        else
            return fail(
                QStringLiteral("--line-ends takes any or cr (got \"%1\")").arg(parser.value(lineEnds)));
        if (o.expectPath.isEmpty())
            return fail(QStringLiteral("--line-ends goes with --expect FILE"));
    }
    o.inOrder = parser.isSet(inOrder);
    if (o.inOrder && o.expectPath.isEmpty())
        return fail(QStringLiteral("--in-order goes with --expect FILE"));
    o.quiet = parser.isSet(quiet);
    if (parser.isSet(summary)) {
        const QString v = parser.value(summary).toLower();
        if (v == QLatin1String("json"))
            o.summary = Summary::Json;
        else if (v != QLatin1String("text"))
            return fail(
                QStringLiteral("--summary takes text or json (got \"%1\")").arg(parser.value(summary)));
    }
    *options = o;
    return Action::Run;
}
