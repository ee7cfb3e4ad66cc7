// SPDX-License-Identifier: GPL-3.0-or-later
#include "receive/MessageOutput.h"

#include "platform/File.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {
// Gathered bytes past this are written out at once, so a long batch holds no more.
constexpr qsizetype FlushAt = 1024 * 1024;

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

MessageOutput::~MessageOutput() {
    flush();
    if (m_fileFd >= 0)
        ::close(m_fileFd);
}

bool MessageOutput::openFile(const QString& path, bool append) {
    platform::File file = platform::File::openForWriting(QFile::encodeName(path), append);
    if (!file.isOpen()) {
        m_error = file.status() == platform::File::Status::WrongKind
                      ? QStringLiteral("cannot write to %1: not a regular file").arg(path)
                      : QStringLiteral("cannot write to %1: %2").arg(path, reason(file.error()));
        return false;
    }
    m_fileFd = file.descriptor();
    file.release();
    m_filePath = path;
    return true;
}

void MessageOutput::write(QByteArrayView message) {
    if (!m_echo && m_fileFd < 0)
        return;
    if (message.indexOf(m_lineEnd) >= 0)
        ++m_ambiguous;
    m_pending.append(message);
    m_pending.append(m_lineEnd);
    if (m_pending.size() >= FlushAt)
        flush();
}

bool MessageOutput::writeAll(int fd, const QString& name) {
    const char* data = m_pending.constData();
    qsizetype left = m_pending.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_error = QStringLiteral("cannot write to %1: %2").arg(name, reason(errno));
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

bool MessageOutput::flush() {
    if (failed())
        return false;
    if (m_pending.isEmpty())
        return true;
    // The file first: it is the record kept; a reader of standard output may go away.
    const bool ok = (m_fileFd < 0 || writeAll(m_fileFd, m_filePath)) &&
                    (!m_echo || writeAll(STDOUT_FILENO, QStringLiteral("standard output")));
    m_pending.clear();
    return ok;
}
