// cDateTimeValue: a date and time of eight 16-bit fields, used for user-data
// timestamps, the synchronisation history and the synchronisation itself. It is
// copied and stored as its raw 16 bytes, so the fields, their order and their
// widths are fixed. A plain value: not shared between threads.
//
// Text forms:
//   colon   "2024:03:05:07:08:09:010:02"  year:month:day:hour:minute:second:ms:weekday
//   SQL     "2024-03-05 07:08:09.010"
//   US      "03/05/2024 07:08:09"        (written only)
#pragma once

#include "engine/foundation/cLStringTmpl.h"

#include <cstdint>

struct cDateTimeValue {
    std::uint16_t second = 0;
    std::uint16_t minute = 0;
    std::uint16_t hour = 0;
    std::uint16_t day = 0;
    std::uint16_t month = 0;
    std::uint16_t year = 0;
    std::uint16_t weekday = 0;  // 0 Sunday .. 6 Saturday
    std::uint16_t millisecond = 0;

    // The current UTC time to the second (milliseconds 0, a leap second stored as
    // 59); returns the weekday.
    std::uint16_t setToNowUTC();

    // Each replaces `out` with the text form.
    void formatColonSeparated(cLString8& out) const;
    void formatSQLStyle(cLString8& out) const;
    void formatUSStyle(cLString8& out) const;

    // Reads the colon form (26 characters, or 25 with two-digit milliseconds) or the
    // SQL form (23 characters, milliseconds required). Every field must be decimal
    // digits and in range (a valid date, hour < 24, minute and second < 60; a colon
    // form's weekday < 7); the SQL form's weekday is computed. Answers false and
    // leaves the value unchanged for any other text.
    bool parse(const char* text);
    bool parse(const cLString8& text) { return parse(text.chars()); }

    // Milliseconds since the calendar's origin: ((dayNumber * 24 + hour) * 60 +
    // minute) * 60 + second, times 1000, plus milliseconds.
    std::int64_t toMilliseconds() const;
    // The inverse; the weekday is recomputed and returned. Values before 1 January
    // of year 1 or past the last representable time (year 65535) are pinned to those
    // ends, so the result is always a valid date.
    std::uint16_t setFromMilliseconds(std::int64_t ms);
    std::uint16_t addMilliseconds(std::int64_t delta);

    // Year, month, day, hour, minute, second, millisecond in turn (not the weekday):
    // -1, 0 or 1.
    static int compare(const cDateTimeValue& a, const cDateTimeValue& b);
    static bool isNotAfter(const cDateTimeValue& a, const cDateTimeValue& b) { return compare(a, b) <= 0; }
    static bool isNotBefore(const cDateTimeValue& a, const cDateTimeValue& b) { return compare(a, b) >= 0; }
};
static_assert(sizeof(cDateTimeValue) == 16);
