// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the command line read before the window's application exists: the input is a
// list of arguments separated by NUL bytes. Setting Qt's options aside must keep the program name
// and Talvex's own arguments in order, and the option parser must take whatever is left.
#include "desktop/QtOptions.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_options: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QStringList arguments{QStringLiteral("talvex")};
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QByteArray& arg : bytes.split('\0'))
        arguments << QString::fromUtf8(arg);

    const QStringList own = QtOptions::withoutQtOptions(arguments);
    if (own.isEmpty() || own.constFirst() != arguments.constFirst())
        fail("the program name was not kept first");
    // What is kept is a subsequence of the arguments.
    qsizetype at = 0;
    for (const QString& arg : own) {
        while (at < arguments.size() && arguments.at(at) != arg)
            ++at;
        if (at == arguments.size())
            fail("an argument was made up or reordered");
        ++at;
    }
    // Anything that is not an option is Talvex's own and stays, unless it was a Qt option's value.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& prev = arguments.at(i - 1);
        const bool qtValue = i > 1 && QtOptions::withoutQtOptions({QString(), prev}).size() == 1 &&
                             prev.startsWith(QLatin1Char('-')) && !prev.contains(QLatin1Char('='));
        if (!arguments.at(i).startsWith(QLatin1Char('-')) && !qtValue && !own.contains(arguments.at(i)))
            fail("a positional argument was dropped");
    }

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(QCommandLineOption({QStringLiteral("C"), QStringLiteral("folder")},
                                        QStringLiteral("dir"), QStringLiteral("DIR")));
    parser.addOption(QCommandLineOption(QStringLiteral("user-folder"), QStringLiteral("user folder")));
    if (parser.parse(own))
        (void)parser.positionalArguments();
    else if (parser.errorText().isEmpty())
        fail("a refused command line gave no reason");
    return 0;
}
