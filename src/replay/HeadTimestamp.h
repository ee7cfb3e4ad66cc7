// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "replay/WallTime.h"

#include <QByteArray>

// The timestamp at the head of a syslog line: where it is, what moment it names, and how to write
// another moment in its place in exactly the same form. It is found
//   - after "<PRI>VERSION " (RFC 5424): an RFC 3339 time;
//   - after "<PRI>": "Mmm dd hh:mm:ss" (RFC 3164), or an RFC 3339 time as some relays write;
//   - at the start of a line without PRI: an ISO 8601 time or "Mmm dd hh:mm:ss".
// An ISO 8601 time here is "yyyy-mm-dd" and "hh:mm:ss" joined by "T" or a space, an optional
// fraction after "." or ",", and a zone "Z", "+hh:mm", "+hhmm" (or "-") or none (local time).
// The timestamp must end the line or be followed by a byte that cannot belong to a time (a
// space, say), so a longer or broken time is never half-read.
class HeadTimestamp {
public:
    enum class Form {
        None,
        Bsd, // "Mmm dd hh:mm:ss": no year, local time, the day padded by a space or a zero
        Iso  // "yyyy-mm-ddThh:mm:ss[.fff][zone]"
    };
    enum class Zone { Local, Utc, Offset };

    // The timestamp at the head of `line`, or an invalid one when there is none.
    static HeadTimestamp find(const QByteArray& line);

    bool isValid() const { return m_form != Form::None; }
    Form form() const { return m_form; }
    Zone zone() const { return m_zone; }
    int offsetSeconds() const { return m_offsetSeconds; } // east of UTC, for Zone::Offset
    int fractionDigits() const { return m_fractionDigits; }
    bool hasYear() const { return m_form == Form::Iso; }
    // Its bytes in the line it was found in.
    qsizetype position() const { return m_position; }
    qsizetype size() const { return m_size; }

    // The moment it names; one without a year is placed in `year`. False when there is none:
    // 29 February in a common year, or a year that the local clock cannot place. A local time
    // the clock skipped at a change to summer time lands just after the change.
    bool toWallTime(int year, WallTime* time) const;
    // The year that `time` has on this timestamp's clock (local, UTC or its offset).
    int yearOf(const WallTime& time) const;
    // Writes `time` over the timestamp in `line`, the line it was found in: its fields only, on
    // its clock, cut to its precision (a fraction of the same number of digits); separators,
    // padding and zone stay as they are. False, with `line` untouched, when the moment has no
    // place in this form (a year beyond 9999) or `line` is too short to be that line.
    bool writeInto(QByteArray* line, const WallTime& time) const;

private:
    // East of UTC, in seconds, on this timestamp's clock at `time`.
    int offsetAt(const WallTime& time) const;
    static bool readBsd(const char* at, const char* end, HeadTimestamp* stamp);
    static bool readIso(const char* at, const char* end, HeadTimestamp* stamp);

    Form m_form = Form::None;
    Zone m_zone = Zone::Local;
    qsizetype m_position = 0;
    qsizetype m_size = 0;
    int m_offsetSeconds = 0;
    int m_fractionDigits = 0;
    char m_dayPad = ' ';
    int m_year = 0;
    int m_month = 0;
    int m_day = 0;
    int m_hour = 0;
    int m_minute = 0;
    int m_second = 0; // 60 for a leap second
    qint32 m_nanoseconds = 0;
};
