// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestWorkDir.h"

#include <QByteArray>
#include <QList>
#include <QString>

class GenerationRun;

// Helpers shared by the engine tests: a throwaway working directory with the run's folders,
// file contents, whether this process still holds a file open, and waiting for a run's end.
namespace EngineTestKit {

// A fresh temporary directory made current, holding "Logs Source" and "Logs Générés".
class WorkDir : public TestWorkDir {
public:
    WorkDir();
};

bool writeFile(const QString& path, const QByteArray& content);
QByteArray readFile(const QString& path);
// Whether any descriptor of this process refers to the file.
bool isOpenInProcess(const QString& path);
// Plays and waits (event loop running) until the run ends; false on timeout.
bool playAndWait(GenerationRun& run, const QString& source, const QString& delay, int timeoutMs = 20000);
// Waits, event loop running, until the run ends; true at once if it is not running.
bool waitForEnd(GenerationRun& run, int timeoutMs = 20000);
// Lines joined with CRLF after each, as the output file holds them.
QByteArray crlfLines(const QList<QByteArray>& lines);

} // namespace EngineTestKit
