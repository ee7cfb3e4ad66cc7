// SPDX-License-Identifier: GPL-3.0-or-later
// Grabs the main window in French and in English into two PNG files, for the docs and for a
// look at whether every caption fits. Not a test: run it by hand, e.g. under xvfb-run.
//   talvex_window_screenshot <output folder>

#include "WindowTestKit.h"
#include "window/TalvexFRM.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: talvex_window_screenshot <output folder>\n";
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();

    // A throwaway working directory, so no real Talvex.ini is touched.
    QTemporaryDir work;
    if (!work.isValid() || !QDir::setCurrent(work.path()))
        return 1;

    TalvexFRM window;
    window.show();
    QApplication::processEvents();
    const bool fr = window.grab().save(out + QStringLiteral("/screenshot-fr.png"));
    WindowTestKit::chooseLanguage(window, 1);
    QApplication::processEvents();
    const bool en = window.grab().save(out + QStringLiteral("/screenshot-en.png"));
    return fr && en ? 0 : 1;
}
