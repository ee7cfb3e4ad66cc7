// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the timestamp at the head of a line: finding it, reading its moment and writing
// another moment in its place. Writing a line's own moment back gives its own bytes; writing any
// moment changes the timestamp's fields only, and reading it again gives that moment.
#include "replay/HeadTimestamp.h"
#include "replay/Retimer.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

constexpr char MonthNames[] = "JanFebMarAprMayJunJulAugSepOctNovDec";

[[noreturn]] void fail(const char* what, const QByteArray& line, const QByteArray& other = {}) {
    std::fprintf(stderr, "fuzz_timestamp: %s\n  line:  %s\n  other: %s\n", what,
                 line.toPercentEncoding(" <>:.,+-").constData(),
                 other.toPercentEncoding(" <>:.,+-").constData());
    std::abort();
}

std::uint64_t digest(const uint8_t* data, size_t size) {
    std::uint64_t h = 1469598103934665603ULL;
    for (size_t i = 0; i < size; ++i)
        h = (h ^ data[i]) * 1099511628211ULL;
    return h;
}

int digits(const char* at, int count) {
    int value = 0;
    for (int i = 0; i < count; ++i)
        value = value * 10 + (at[i] == ' ' ? 0 : at[i] - '0');
    return value;
}

// Whether the timestamp's own moment, written back, must give its own bytes: not for a leap
// second, a local time the clock skipped, or fraction digits finer than a nanosecond that are not
// all zeros.
bool representable(const HeadTimestamp& stamp, const QByteArray& line, int year) {
    const char* at = line.constData() + stamp.position();
    QDate date;
    QTime time;
    if (stamp.form() == HeadTimestamp::Form::Bsd) {
        const int month =
            static_cast<int>((std::strstr(MonthNames, QByteArray(at, 3).constData()) - MonthNames) / 3 + 1);
        date = QDate(year, month, digits(at + 4, 2));
        time = QTime(digits(at + 7, 2), digits(at + 10, 2), digits(at + 13, 2));
    } else {
        date = QDate(digits(at, 4), digits(at + 5, 2), digits(at + 8, 2));
        time = QTime(digits(at + 11, 2), digits(at + 14, 2), digits(at + 17, 2));
        for (int i = 9; i < stamp.fractionDigits(); ++i) {
            if (at[20 + i] != '0')
                return false;
        }
    }
    if (!time.isValid()) // 60 seconds
        return false;
    return stamp.zone() != HeadTimestamp::Zone::Local || QDateTime(date, time, Qt::LocalTime).isValid();
}

// `time` cut to the precision of the timestamp.
WallTime cut(const HeadTimestamp& stamp, WallTime time) {
    qint32 unit = 1000000000;
    for (int i = 0; i < stamp.fractionDigits() && unit > 1; ++i)
        unit /= 10;
    time.nanoseconds -= time.nanoseconds % unit;
    return time;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray line(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::uint64_t h = digest(data, size);
    // Any moment from 2000 to 2099, to write in the timestamp's place.
    const WallTime sent{946684800 + static_cast<qint64>(h % 3155760000ULL),
                        static_cast<qint32>((h >> 32) % 1000000000)};

    const HeadTimestamp stamp = HeadTimestamp::find(line);
    Retimer retimer([sent] { return sent; });
    QByteArray retimed = line;
    retimer.rewrite(&retimed);
    if (!stamp.isValid()) {
        if (retimed != line || retimer.unchanged() != 1)
            fail("a line without a timestamp was changed", line, retimed);
        return 0;
    }
    if (stamp.position() < 0 || stamp.size() < 15 || stamp.position() + stamp.size() > line.size() ||
        stamp.position() > 9)
        fail("the timestamp lies outside the head of the line", line);
    if (retimer.retimed() != 1)
        fail("a line with a timestamp was not retimed", line);

    // Its own moment written back gives its own bytes.
    const int year = 2024; // a leap year, so 29 February has a place
    WallTime own;
    if (!stamp.toWallTime(year, &own)) {
        if (stamp.zone() != HeadTimestamp::Zone::Local)
            fail("a timestamp with a zone names no moment", line);
    } else if (representable(stamp, line, year)) {
        QByteArray back = line;
        if (!stamp.writeInto(&back, own) || back != line)
            fail("the timestamp's own moment does not give its bytes back", line, back);
    }

    // Another moment changes the timestamp's fields only, in the same form.
    const qsizetype end = stamp.position() + stamp.size();
    if (retimed.size() != line.size() ||
        std::memcmp(retimed.constData(), line.constData(), stamp.position()) != 0 ||
        std::memcmp(retimed.constData() + end, line.constData() + end, line.size() - end) != 0)
        fail("retiming changed a byte outside the timestamp", line, retimed);
    const HeadTimestamp again = HeadTimestamp::find(retimed);
    if (!again.isValid() || again.position() != stamp.position() || again.size() != stamp.size() ||
        again.form() != stamp.form() || again.zone() != stamp.zone() ||
        again.offsetSeconds() != stamp.offsetSeconds() || again.fractionDigits() != stamp.fractionDigits())
        fail("the retimed line's timestamp is not of the same form", line, retimed);
    // ... and reads back as that moment: exactly where the zone is written, as the same local
    // fields where it is not (an hour of autumn has two moments).
    WallTime read;
    if (!again.toWallTime(again.yearOf(sent), &read))
        fail("the retimed timestamp names no moment", line, retimed);
    if (again.zone() != HeadTimestamp::Zone::Local) {
        if (read != cut(again, sent))
            fail("the retimed timestamp reads back as another moment", line, retimed);
    } else {
        QByteArray twice = retimed;
        if (!again.writeInto(&twice, read) || twice != retimed)
            fail("the retimed local time reads back as other fields", line, twice);
    }
    return 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A zone with summer time, so the skipped and the doubled hour are reached.
    setenv("TZ", "Europe/Paris", 1);
    tzset();
    return 0;
}
