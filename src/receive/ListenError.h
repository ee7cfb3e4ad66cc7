// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Why a listening address could not be taken: the window offers another port for the first
// two kinds; the text says it to a person.
struct ListenError {
    enum class Kind { None, Privileged, InUse, Other };

    Kind kind = Kind::None;
    QString text;   // the whole message, in English, for the command line; empty when all went well
    QString reason; // the system's reason alone, for a message in another language

    bool isError() const { return kind != Kind::None; }
};
