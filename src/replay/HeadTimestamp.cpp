// SPDX-License-Identifier: GPL-3.0-or-later
#include "replay/HeadTimestamp.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cstring>
#include <limits>

namespace {

constexpr char MonthNames[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr qint64 SecondsPerDay = 86400;

// A moment broken down on some clock.
struct Civil {
    qint64 year = 0;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// `count` digits at `at` as a number, or -1.
int number(const char* at, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
        if (!isDigit(at[i]))
            return -1;
        value = value * 10 + (at[i] - '0');
    }
    return value;
}

void putNumber(char* at, qint64 value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

bool isLeapYear(qint64 year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(qint64 year, int month) {
    static constexpr int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : Days[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, and back: the civil
// calendar algorithms of H. Hinnant, exact for every year here (0 to 9999 and far beyond).
qint64 daysFromCivil(qint64 year, int month, int day) {
    year -= month <= 2;
    const qint64 era = (year >= 0 ? year : year - 399) / 400;
    const qint64 yearOfEra = year - era * 400;
    const qint64 dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

Civil civilFromSeconds(qint64 seconds) {
    qint64 days = seconds / SecondsPerDay;
    qint64 inDay = seconds % SecondsPerDay;
    if (inDay < 0) {
        --days;
        inDay += SecondsPerDay;
    }
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 dayOfEra = days - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 monthIndex = (5 * dayOfYear + 2) / 153;
    Civil c;
    c.day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    c.month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    c.year = yearOfEra + era * 400 + (c.month <= 2);
    c.hour = static_cast<int>(inDay / 3600);
    c.minute = static_cast<int>(inDay / 60 % 60);
    c.second = static_cast<int>(inDay % 60);
    return c;
}

// The local clock's offset east of UTC at `seconds`. It changes on whole minutes, so lines of the
// same minute share one look-up of the system's zone rules; a few minutes are kept, as the send
// time and a log's own times are asked in turn.
int localOffset(qint64 seconds) {
    struct Entry {
        qint64 minute = std::numeric_limits<qint64>::min();
        int offset = 0;
    };
    thread_local Entry kept[4];
    thread_local int next = 0;
    const qint64 minute = seconds / 60 - (seconds % 60 < 0 ? 1 : 0);
    for (const Entry& entry : kept) {
        if (entry.minute == minute)
            return entry.offset;
    }
    Entry& entry = kept[next];
    next = (next + 1) % 4;
    entry.minute = minute;
    entry.offset = QDateTime::fromSecsSinceEpoch(minute * 60, Qt::LocalTime).offsetFromUtc();
    return entry.offset;
}

// The moment a minute of the local clock begins. The zone's offset changes on whole minutes, so
// lines of the same minute share one look-up of the system's zone rules.
bool localMinute(int year, int month, int day, int hour, int minute, qint64 asUtc, qint64* seconds) {
    thread_local qint64 cachedAsUtc = std::numeric_limits<qint64>::min();
    thread_local qint64 cachedSeconds = 0;
    if (asUtc == cachedAsUtc) {
        *seconds = cachedSeconds;
        return true;
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return false;
    const QDateTime local(date, QTime(hour, minute), Qt::LocalTime);
    if (local.isValid()) {
        *seconds = local.toSecsSinceEpoch();
    } else {
        // A minute the clock skipped (the spring change): read with the offset in force the day
        // before, so it lands just after the change, as mktime() places it.
        const QDateTime dayBefore = QDateTime::fromSecsSinceEpoch(asUtc - SecondsPerDay, Qt::LocalTime);
        if (!dayBefore.isValid())
            return false;
        *seconds = asUtc - dayBefore.offsetFromUtc();
    }
    cachedAsUtc = asUtc;
    cachedSeconds = *seconds;
    return true;
}

// After a timestamp comes the end of the line or a byte that cannot continue a time.
bool endsTimestamp(const char* at, const char* end) {
    if (at == end)
        return true;
    const char c = *at;
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool punctuation = c == '+' || c == '-' || c == ':' || c == '.' || c == ',';
    return !isDigit(c) && !letter && !punctuation;
}

} // namespace

HeadTimestamp HeadTimestamp::find(const QByteArray& line) {
    const char* const begin = line.constData();
    const char* const end = begin + line.size();
    HeadTimestamp stamp;
    const char* at = begin;
    if (at == end)
        return stamp;
    if (*at == '<') {
        // PRI: one to three digits in angle brackets.
        const char* p = at + 1;
        while (p < end && p - at <= 3 && isDigit(*p))
            ++p;
        if (p == at + 1 || p == end || *p != '>')
            return stamp;
        at = p + 1;
        // VERSION and a space: RFC 5424, whose timestamp may only be an RFC 3339 time.
        const char* v = at;
        while (v < end && v - at < 3 && isDigit(*v))
            ++v;
        if (v > at && *at != '0' && v < end && *v == ' ') {
            if (!readIso(v + 1, end, &stamp))
                stamp = HeadTimestamp();
            stamp.m_position = stamp.isValid() ? v + 1 - begin : 0;
            return stamp;
        }
    }
    if (readBsd(at, end, &stamp) || readIso(at, end, &stamp))
        stamp.m_position = at - begin;
    else
        stamp = HeadTimestamp();
    return stamp;
}

bool HeadTimestamp::readBsd(const char* at, const char* end, HeadTimestamp* stamp) {
    // "Mmm dd hh:mm:ss"
    if (end - at < 15 || at[3] != ' ' || at[6] != ' ' || at[9] != ':' || at[12] != ':')
        return false;
    int month = 0;
    while (month < 12 && std::memcmp(at, MonthNames[month], 3) != 0)
        ++month;
    if (month == 12)
        return false;
    char pad = ' ';
    int day = -1;
    if (at[4] == ' ')
        day = at[5] >= '1' && at[5] <= '9' ? at[5] - '0' : -1;
    else {
        day = number(at + 4, 2);
        if (at[4] == '0')
            pad = '0';
    }
    const int hour = number(at + 7, 2);
    const int minute = number(at + 10, 2);
    const int second = number(at + 13, 2);
    // The year is not known: 29 February passes here, and is checked against a year later.
    if (day < 1 || day > daysInMonth(2000, month + 1) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59 || !endsTimestamp(at + 15, end))
        return false;
    stamp->m_form = Form::Bsd;
    stamp->m_zone = Zone::Local;
    stamp->m_size = 15;
    stamp->m_dayPad = pad;
    stamp->m_month = month + 1;
    stamp->m_day = day;
    stamp->m_hour = hour;
    stamp->m_minute = minute;
    stamp->m_second = second;
    return true;
}

bool HeadTimestamp::readIso(const char* at, const char* end, HeadTimestamp* stamp) {
    // "yyyy-mm-ddThh:mm:ss", then a fraction and a zone, both optional.
    if (end - at < 19 || at[4] != '-' || at[7] != '-' || (at[10] != 'T' && at[10] != 't' && at[10] != ' ') ||
        at[13] != ':' || at[16] != ':')
        return false;
    const int year = number(at, 4);
    const int month = number(at + 5, 2);
    const int day = number(at + 8, 2);
    const int hour = number(at + 11, 2);
    const int minute = number(at + 14, 2);
    const int second = number(at + 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60)
        return false;
    const char* p = at + 19;
    int fractionDigits = 0;
    qint32 nanoseconds = 0;
    if (p < end && (*p == '.' || *p == ',')) {
        ++p;
        while (p < end && isDigit(*p)) {
            // Digits past the ninth are finer than a nanosecond: kept in the text, not in the time.
            if (fractionDigits < 9)
                nanoseconds = nanoseconds * 10 + (*p - '0');
            ++fractionDigits;
            ++p;
        }
        if (fractionDigits == 0)
            return false;
        for (int i = fractionDigits; i < 9; ++i)
            nanoseconds *= 10;
    }
    Zone zone = Zone::Local;
    int offset = 0;
    if (p < end && (*p == 'Z' || *p == 'z')) {
        zone = Zone::Utc;
        ++p;
    } else if (p < end && (*p == '+' || *p == '-')) {
        const int sign = *p == '-' ? -1 : 1;
        ++p;
        const int hours = end - p >= 2 ? number(p, 2) : -1;
        const bool colon = end - p >= 3 && p[2] == ':';
        const char* m = p + (colon ? 3 : 2);
        const int minutes = end - m >= 2 ? number(m, 2) : -1;
        if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59)
            return false;
        zone = Zone::Offset;
        offset = sign * (hours * 3600 + minutes * 60);
        p = m + 2;
    }
    if (!endsTimestamp(p, end))
        return false;
    stamp->m_form = Form::Iso;
    stamp->m_zone = zone;
    stamp->m_offsetSeconds = offset;
    stamp->m_size = p - at;
    stamp->m_fractionDigits = fractionDigits;
    stamp->m_year = year;
    stamp->m_month = month;
    stamp->m_day = day;
    stamp->m_hour = hour;
    stamp->m_minute = minute;
    stamp->m_second = second;
    stamp->m_nanoseconds = nanoseconds;
    return true;
}

bool HeadTimestamp::toWallTime(int year, WallTime* time) const {
    if (!isValid())
        return false;
    const int y = hasYear() ? m_year : year;
    if (m_day > daysInMonth(y, m_month))
        return false;
    const qint64 minuteAsUtc =
        daysFromCivil(y, m_month, m_day) * SecondsPerDay + m_hour * 3600 + m_minute * 60;
    qint64 minute = minuteAsUtc - m_offsetSeconds;
    if (m_zone == Zone::Local && !localMinute(y, m_month, m_day, m_hour, m_minute, minuteAsUtc, &minute))
        return false;
    // A leap second (60) is the first second of the next minute, as the clocks of computers count.
    time->seconds = minute + m_second;
    time->nanoseconds = m_nanoseconds;
    return true;
}

int HeadTimestamp::offsetAt(const WallTime& time) const {
    return m_zone == Zone::Local ? localOffset(time.seconds) : m_offsetSeconds;
}

int HeadTimestamp::yearOf(const WallTime& time) const {
    const qint64 year = civilFromSeconds(time.seconds + offsetAt(time)).year;
    constexpr qint64 Lowest = std::numeric_limits<int>::min();
    constexpr qint64 Highest = std::numeric_limits<int>::max();
    return static_cast<int>(qBound(Lowest, year, Highest));
}

bool HeadTimestamp::writeInto(QByteArray* line, const WallTime& time) const {
    if (!isValid() || line->size() < m_position + m_size)
        return false;
    const Civil c = civilFromSeconds(time.seconds + offsetAt(time));
    if (hasYear() && (c.year < 0 || c.year > 9999))
        return false;
    char* at = line->data() + m_position;
    if (m_form == Form::Bsd) {
        std::memcpy(at, MonthNames[c.month - 1], 3);
        if (c.day < 10) {
            at[4] = m_dayPad;
            at[5] = static_cast<char>('0' + c.day);
        } else {
            putNumber(at + 4, c.day, 2);
        }
        at += 7;
    } else {
        putNumber(at, c.year, 4);
        putNumber(at + 5, c.month, 2);
        putNumber(at + 8, c.day, 2);
        at += 11;
    }
    putNumber(at, c.hour, 2);
    putNumber(at + 3, c.minute, 2);
    putNumber(at + 6, c.second, 2);
    if (m_fractionDigits > 0) {
        // Cut, never rounded: a rounded fraction could carry into a second not yet begun.
        const int kept = qMin(m_fractionDigits, 9);
        qint64 fraction = time.nanoseconds;
        for (int i = kept; i < 9; ++i)
            fraction /= 10;
        putNumber(at + 9, fraction, kept);
        std::memset(at + 9 + kept, '0', static_cast<size_t>(m_fractionDigits - kept));
    }
    return true;
}
