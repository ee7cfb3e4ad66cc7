// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What a slot's values may be: the checks the parameter fields make as the operator types, and
// the rules that turn a stored value into one the run can use. The window and talvex-send both
// apply them from here.
namespace SlotRules {

// A parameter field's range: the field takes a number strictly between the two bounds and
// replaces anything else by the replacement.
struct FieldRange {
    double above;
    double below;
    double replacement;

    constexpr bool accepts(double value) const { return value > above && value < below; }
    // The text the field takes in place of a rejected value.
    QString replacementText() const;
};

// The delay field takes any number of seconds above 0 and below 7201, fractions included; anything
// else is replaced by 10.
inline constexpr FieldRange DelayRange{0, 7201, 10};

// The step of the plus and minus buttons. The sum is the decimal one, so 2.3 steps down to 1.3,
// and it has no bounds of its own: the field's check decides about the result.
inline constexpr double DelayStep = 1;
// The delay text one step up (direction 1) or down (direction -1) from the number the text
// begins with.
QString steppedDelay(const QString& text, int direction);

// The port field takes 1 to 65534; anything else is replaced by 514.
inline constexpr int DefaultPort = 514;
inline constexpr FieldRange PortRange{0, 65535, DefaultPort};

// A stored port above 32000, or 0 or less, is not taken back: the slot starts with 514.
inline constexpr double MaxStoredPort = 32000;
bool storedPortUsable(double port);

// A stored host is used without its trailing blanks, and only when it begins with a positive
// number: a name or 0.0.0.0 gives the local host instead.
QString hostWithoutTrailingBlanks(QString host);
bool hostUsable(const QString& host);
QString defaultHost(); // "127.0.0.1"

} // namespace SlotRules
