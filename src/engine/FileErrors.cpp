// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/FileErrors.h"

#include <cerrno>
#include <cstring>

namespace FileErrors {

RunError pathNotFound(const QString& path) {
    return RunError::make(RunError::PathNotFound, QStringLiteral("Path not found: %1").arg(path));
}

RunError fileNotFound(const QString& path) {
    return RunError::make(RunError::FileNotFound, QStringLiteral("File not found: %1").arg(path));
}

RunError sourceNotOpen(const QString& path) {
    return RunError::make(RunError::BadFileNumber, QStringLiteral("Source file not open: %1").arg(path));
}

RunError inputPastEnd(const QString& path) {
    return RunError::make(RunError::InputPastEnd, QStringLiteral("Input past end of file: %1").arg(path));
}

RunError notAFile(const QString& path) {
    return RunError::make(RunError::PathFileAccess,
                          QStringLiteral("Path/File access error (not a file): %1").arg(path));
}

RunError badFileName(const QString& path) {
    QString shown = path;
    shown.replace(QChar(0), QStringLiteral("\\0"));
    return RunError::make(RunError::BadFileNumber,
                          QStringLiteral("Bad file name (it holds a NUL character): ") + shown);
}

RunError writeFailed(int errorNumber, const QString& path) {
    if (errorNumber == 0 || errorNumber == ENOSPC || errorNumber == EDQUOT || errorNumber == EFBIG)
        return RunError::make(RunError::DiskFull, QStringLiteral("Disk full: %1").arg(path));
    return RunError::make(RunError::DeviceIo,
                          QStringLiteral("Device I/O error while writing %1 (%2)")
                              .arg(path, QString::fromLocal8Bit(std::strerror(errorNumber))));
}

RunError readFailed(int errorNumber, const QString& path) {
    return RunError::make(RunError::DeviceIo,
                          QStringLiteral("Device I/O error while reading %1 (%2)")
                              .arg(path, QString::fromLocal8Bit(std::strerror(errorNumber))));
}

RunError fromErrno(int errorNumber, const QString& path) {
    switch (errorNumber) {
    case 0:
        return RunError::none();
    case ENOENT:
        return fileNotFound(path);
    case ENOTDIR:
        return pathNotFound(path);
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return RunError::make(RunError::PermissionDenied, QStringLiteral("Permission denied: %1").arg(path));
    case EISDIR:
        return notAFile(path);
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return RunError::make(RunError::DiskFull, QStringLiteral("Disk full: %1").arg(path));
    case EIO:
        return RunError::make(RunError::DeviceIo, QStringLiteral("Device I/O error: %1").arg(path));
    default:
        break;
    }
    // Anything else still needs a name the operator can act on; keep the system's own wording.
    return RunError::make(RunError::PathFileAccess,
                          QStringLiteral("Path/File access error: %1 (%2)")
                              .arg(path, QString::fromLocal8Bit(std::strerror(errorNumber))));
}

} // namespace FileErrors
