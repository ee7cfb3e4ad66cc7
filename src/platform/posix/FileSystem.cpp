// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::FileSystem {

int renameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    const int err = errno;
    // File systems without the flag: check, then rename. The gap between the two is the best
    // they allow.
    if (err != EINVAL && err != ENOSYS)
        return err;
    if (!nameIsFree(to))
        return EEXIST;
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

int makeFolder(const QByteArray& name) {
    return ::mkdir(name.constData(), 0777) == 0 ? 0 : errno;
}

bool nameIsFree(const QByteArray& name) {
    struct stat st {};
    return ::lstat(name.constData(), &st) != 0 && errno == ENOENT;
}

int removeName(const QByteArray& name) {
    return ::unlink(name.constData()) == 0 ? 0 : errno;
}

} // namespace platform::FileSystem
