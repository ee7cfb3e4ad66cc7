// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <QtGlobal>
#include <cstdio>

namespace platform {

// The standard streams of a command-line program, below stdio: unbuffered, so a message and a
// progress line never interleave out of order.
namespace Console {

// What a command-line program does before its application object exists: the standard streams
// guarded (see guardStandardStreams, whose answer it returns), writes to a gone reader or past a
// size limit made errors, and Qt's own event loop chosen over GLib's, which costs more per wake-up
// and which none of them needs (the environment may still ask for GLib).
bool prepareCommandLineProgram();
// The whole text on the stream at once, in the system's encoding.
void print(FILE* stream, const QString& text);

// Reads up to size bytes of standard input: 0 at its end, -1 with errno set.
qint64 readStandardInput(char* data, qint64 size);
// Opens /dev/null on any of standard input, output and error that is closed, so no file the
// program opens later takes its number and receives what was meant for it. True when standard
// output was closed.
bool guardStandardStreams();
bool standardOutputIsTerminal();
// Writes to standard error at once; best effort.
void writeStandardError(const QByteArray& bytes);
bool standardErrorIsTerminal();
// A reader of standard output that goes away, or a file size limit, makes writes fail rather
// than end the program.
void ignoreBrokenPipe();

} // namespace Console
} // namespace platform
