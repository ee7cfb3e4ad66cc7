// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

namespace platform {

// Name operations that Qt does not offer with these guarantees. Each returns 0 or the system's
// reason as an errno value.
namespace FileSystem {

// Renames from to to, never replacing what to names (even a dangling link). Where the file system
// cannot do that in one step, renames only when to names nothing at that moment.
int renameNoReplace(const QByteArray& from, const QByteArray& to);
// Creates one folder, failing when the name exists.
int makeFolder(const QByteArray& name);
// Whether nothing at all is there under the name, not even a dangling link.
bool nameIsFree(const QByteArray& name);
// Removes the name (never what a link points to).
int removeName(const QByteArray& name);

} // namespace FileSystem
} // namespace platform
