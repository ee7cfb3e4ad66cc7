// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where a line of a source ends. The window's sources end their lines with a carriage return
// (alone or followed by a line feed), and a line feed alone stays inside the line; the command
// line plays what Unix tools write too, where a line feed alone ends a line.
enum class LineEnds {
    Any,           // CR, LF or CR LF (CR LF is one end)
    CarriageReturn // CR or CR LF; a lone LF is part of the line
};
