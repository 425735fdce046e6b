// cSimpleDate: a calendar date (day, month, year) on the engine's day-number
// calendar (Calendar.h). Used by dated books, reading plans, render parameters and
// the book document. A plain value: not shared between threads.
#pragma once

#include "engine/foundation/cLStringTmpl.h"

#include <cstdint>

class cSimpleDate {
public:
    // Today's local date.
    cSimpleDate();
    // The date setDate(month, day, year) gives.
    cSimpleDate(std::int32_t month, std::int32_t day, std::int32_t year);
    ~cSimpleDate() = default;

    // Normalises out-of-range values: months above 12 run into later years, month
    // -1 is December of the previous year (-12 its January, -13 December of the year
    // before), and month 0 is taken as January. A valid date is then kept; otherwise
    // the date is day 1 of that month plus day - 1 days (day >= 1) or plus day days
    // (day <= 0), so day 0 is the 1st and day -1 the last day of the previous month.
    // A date that is still not valid becomes 1 January 1988.
    void setDate(std::int32_t month, std::int32_t day, std::int32_t year);

    bool isValid() const;
    cSimpleDate addDays(std::int32_t n) const;  // n may be negative

    std::int32_t month() const { return m_month; }
    std::int32_t day() const { return m_day; }
    std::int32_t year() const { return m_year; }

    // Steps one day by the month lengths (so 4 October 1582 steps to the 5th).
    cSimpleDate& nextDay();
    cSimpleDate postNextDay();  // steps; returns the date before the step

    std::int32_t daysBetween(const cSimpleDate& other) const;  // this - other, in days
    bool differs(const cSimpleDate& other) const;

    // English text, e.g. "Friday, October 15, 1582" (weekday, month first),
    // "Friday, 15 October 1582", "15 October 1582", "October 15, 1582"; cut to 29,
    // 28, 17 and 18 characters in that order.
    void format(bool withoutWeekday, bool monthFirst, cLString8& out) const;

private:
    // The date of a day number; 1 January 1988 when that is not a valid date.
    void setFromDayNumber(std::int64_t number);

    std::int32_t m_day = 1;
    std::int32_t m_month = 1;
    std::int32_t m_year = 1988;
};
