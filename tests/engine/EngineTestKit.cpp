// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineTestKit.h"

#include "engine/GenerationRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

namespace EngineTestKit {

WorkDir::WorkDir() {
    if (!isValid())
        return;
    QDir().mkdir(GenerationRun::sourceFolder());
    QDir().mkdir(GenerationRun::outputFolder());
}

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(content) == content.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

bool isOpenInProcess(const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        return false;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    const QStringList entries = fds.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        if (QFileInfo(fds.filePath(entry)).symLinkTarget() == target)
            return true;
    }
    return false;
}

bool waitForEnd(GenerationRun& run, int timeoutMs) {
    if (!run.isRunning())
        return true;
    QSignalSpy ended(&run, &GenerationRun::runEnded);
    return ended.wait(timeoutMs);
}

bool playAndWait(GenerationRun& run, const QString& source, const QString& delay, int timeoutMs) {
    run.play(source, delay);
    return waitForEnd(run, timeoutMs);
}

QByteArray crlfLines(const QList<QByteArray>& lines) {
    QByteArray all;
    for (const QByteArray& line : lines)
        all += line + "\r\n";
    return all;
}

} // namespace EngineTestKit
