// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/RunError.h"

#include <QString>

// Turns a system error (errno) met while opening, reading or writing a run's file into the run's
// error model, naming the file so the operator knows which one failed.
namespace FileErrors {
RunError fromErrno(int errorNumber, const QString& path);
// A write that failed or stopped short: disk full when the system says so (or says nothing),
// a device error otherwise.
RunError writeFailed(int errorNumber, const QString& path);
// A read that failed part-way through the file.
RunError readFailed(int errorNumber, const QString& path);
// The source or output could not be used because a folder on its path is missing.
RunError pathNotFound(const QString& path);
// The file does not exist (passed over by the run's error trap).
RunError fileNotFound(const QString& path);
// A reader that should hold the source open does not.
RunError sourceNotOpen(const QString& path);
// An index points past the end of the file (it shrank since it was indexed).
RunError inputPastEnd(const QString& path);
// The path exists but is a folder or something else that cannot hold lines.
RunError notAFile(const QString& path);
// A name no file can have: it holds a NUL character, at which the system would cut it short.
RunError badFileName(const QString& path);
} // namespace FileErrors
