// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/FileSink.h"

#include "engine/FileErrors.h"
#include "i18n/StringTable.h"

#include <QFile>

#include <cerrno>

FileSink::~FileSink() {
    close();
}

RunError FileSink::open(const QString& path, Mode mode, const platform::File* source, int languageOffset) {
    close();
    m_path = path;
    // Cut short at the NUL, the name would create or empty another file.
    if (path.contains(QChar(0)))
        return FileErrors::badFileName(path);
    // Opened by hand so the system's reason for a refusal reaches the operator unchanged.
    platform::File file =
        platform::File::openForWriting(QFile::encodeName(path), mode == Mode::Append, source);
    if (file.status() == platform::File::Status::Failed) {
        const int err = file.error();
        if (err == ENOENT || err == ENOTDIR)
            return FileErrors::pathNotFound(path);
        return FileErrors::fromErrno(err, path);
    }
    // Writing into the source would empty it, or feed an append run its own lines for ever.
    if (file.status() == platform::File::Status::SameFile)
        return RunError::make(
            RunError::PathFileAccess,
            StringTable::message(StringTable::Message::OutputIsSource, languageOffset).arg(path));
    // A file or a device such as /dev/null; a FIFO or socket could stall every line.
    if (!file.isOpen())
        return FileErrors::notAFile(path);
    m_file = std::move(file);
    return RunError::none();
}

RunError FileSink::write(const QByteArray& line) {
    if (!m_file.isOpen())
        return RunError::make(RunError::BadFileNumber,
                              QStringLiteral("Output file not open: %1").arg(m_path));
    m_record.resize(0);
    m_record.append(line);
    m_record.append("\r\n", 2);
    const qint64 written = m_file.write(m_record.constData(), m_record.size());
    if (written == m_record.size())
        return RunError::none();
    const int err = errno;
    // Take back the part of the line that made it, so the next run that appends starts on a line
    // of its own.
    if (written > 0) {
        const qint64 size = m_file.size();
        if (size >= written)
            m_file.resize(size - written);
    }
    return FileErrors::writeFailed(err, m_path);
}

void FileSink::close() {
    m_file.close();
}
