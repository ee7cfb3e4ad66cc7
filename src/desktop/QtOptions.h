// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// Qt's own options of a window's application, as QGuiApplication and QApplication document them
// (-platform xcb, -style Fusion, --reverse, …). The application takes them off the command line
// once it exists; a command line read before that sets them aside.
class QtOptions {
public:
    // The arguments without Qt's options and their values; the first (the program) is kept.
    static QStringList withoutQtOptions(const QStringList& arguments);
};
