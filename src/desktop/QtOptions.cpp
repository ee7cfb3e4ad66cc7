// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/QtOptions.h"

namespace {

const QStringList ValueOptions = {
    QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"),    QStringLiteral("session"),
    QStringLiteral("display"),         QStringLiteral("geometry"),
    QStringLiteral("style"),           QStringLiteral("stylesheet"),
};
const QStringList FlagOptions = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                 QStringLiteral("nograb"), QStringLiteral("dograb"), QStringLiteral("sync")};

} // namespace

QStringList QtOptions::withoutQtOptions(const QStringList& arguments) {
    QStringList own;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (i == 0 || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("--")) {
            own << arg;
            continue;
        }
        // Qt reads "--style" as "-style", and a value may follow an "=".
        QString name = arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
        const bool valueAttached = name.contains(QLatin1Char('='));
        name = name.section(QLatin1Char('='), 0, 0);
        if (ValueOptions.contains(name)) {
            if (!valueAttached)
                ++i; // its value
        } else if (!FlagOptions.contains(name) && name != QLatin1String("qmljsdebugger")) {
            own << arg;
        }
    }
    return own;
}
