// The engine's day-number calendar. Day 1 is 1 January of year 1 in the Julian
// calendar; the count switches to the Gregorian calendar after 4 October 1582, so
// 15 October 1582 is the day after it. Months run 1-12, weekdays 0 (Sunday) to 6.
// Pure functions, safe on any thread.
#pragma once

#include <cstdint>

// Julian rule (every fourth year) before 1582, Gregorian from 1582 on; no year
// below 1 is a leap year.
bool isLeapYear(std::int32_t year);

// Days in the month of that year; 0 for a month outside 1-12.
std::int32_t daysInMonth(std::int32_t month, std::int32_t year);

// Month 1-12, year at least 1, day within the month.
bool isValidDate(std::int32_t month, std::int32_t day, std::int32_t year);

// The day number of a valid date; 1 for an invalid one. Dates 5-14 October 1582
// are accepted and share the numbers of the ten days before them.
std::int32_t dayNumberFromDate(std::int32_t month, std::int32_t day, std::int32_t year);

// The inverse; a negative number gives 1 January of year 1, day 0 gives
// 31 December of year 0.
void dateFromDayNumber(std::int32_t number, std::int32_t* month, std::int32_t* day, std::int32_t* year);

// 0 = Sunday .. 6 = Saturday.
std::int32_t weekdayFromDate(std::int32_t month, std::int32_t day, std::int32_t year);

// English names: month 1-12, weekday 0-6; "" outside those ranges.
const char* monthName(std::int32_t month);
const char* weekdayName(std::int32_t weekday);

namespace Calendar {
// The same conversions over 64-bit day numbers, for callers that add arbitrary
// offsets; dayNumberFromDate64 answers 1 for an invalid date like its 32-bit form.
std::int64_t dayNumberFromDate64(std::int32_t month, std::int32_t day, std::int64_t year);
void dateFromDayNumber64(std::int64_t number, std::int32_t* month, std::int32_t* day, std::int64_t* year);
}  // namespace Calendar
