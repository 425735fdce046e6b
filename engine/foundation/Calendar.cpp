#include "engine/foundation/Calendar.h"

#include <limits>

namespace {

// Day numbers from this one on are Gregorian (15 October 1582 and later).
constexpr std::int64_t kFirstGregorianDay = 577738;
// The ten days dropped in October 1582.
constexpr std::int64_t kDroppedDays = 10;

constexpr std::int32_t kMonthLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

const char* const kMonthNames[12] = {"January", "February", "March", "April", "May", "June", "July", "August",
    "September", "October", "November", "December"};
const char* const kWeekdayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

bool isLeapYear64(std::int64_t year)
{
    if (year < 1 || year % 4 != 0)
        return false;
    if (year < 1582)
        return true;
    return year % 100 != 0 || year % 400 == 0;
}

std::int32_t daysInMonth64(std::int32_t month, std::int64_t year)
{
    if (month < 1 || month > 12)
        return 0;
    if (month == 2 && isLeapYear64(year))
        return 29;
    return kMonthLengths[month - 1];
}

bool isValidDate64(std::int32_t month, std::int32_t day, std::int64_t year)
{
    return month >= 1 && month <= 12 && year >= 1 && day >= 1 && day <= daysInMonth64(month, year);
}

std::int32_t clampToInt32(std::int64_t v)
{
    if (v > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

}  // namespace

namespace Calendar {

std::int64_t dayNumberFromDate64(std::int32_t month, std::int32_t day, std::int64_t year)
{
    if (!isValidDate64(month, day, year))
        return 1;
    const std::int64_t y = year - 1;
    std::int64_t n = y * 365 + y / 4;
    if (year >= 1584)
        n += y / 400 - y / 100 + 12;
    for (std::int32_t m = 1; m < month; ++m)
        n += daysInMonth64(m, year);
    n += day;
    if (n >= kFirstGregorianDay)
        n -= kDroppedDays;
    return n;
}

void dateFromDayNumber64(std::int64_t number, std::int32_t* month, std::int32_t* day, std::int64_t* year)
{
    std::int32_t outMonth = 1;
    std::int64_t outDay = 1;
    std::int64_t outYear = 1;
    if (number >= 0) {
        const std::int64_t m = number < kFirstGregorianDay ? number : number + kDroppedDays;
        std::int64_t y = m / 365;
        std::int64_t d;
        if (m <= 620499)
            d = m % 365 - m / 1460;
        else
            d = m / 36500 + m % 365 - (m / 146000 + m / 1460) - 12;
        while (d < 1) {
            d += isLeapYear64(y) ? 366 : 365;
            --y;
        }
        outYear = y + 1;
        // The estimate leaves d within the year; the month bound only guards the walk.
        while (outMonth < 12 && d > daysInMonth64(outMonth, outYear)) {
            d -= daysInMonth64(outMonth, outYear);
            ++outMonth;
        }
        outDay = d;
    }
    if (month)
        *month = outMonth;
    if (day)
        *day = static_cast<std::int32_t>(outDay);
    if (year)
        *year = outYear;
}

}  // namespace Calendar

bool isLeapYear(std::int32_t year)
{
    return isLeapYear64(year);
}

std::int32_t daysInMonth(std::int32_t month, std::int32_t year)
{
    return daysInMonth64(month, year);
}

bool isValidDate(std::int32_t month, std::int32_t day, std::int32_t year)
{
    return isValidDate64(month, day, year);
}

std::int32_t dayNumberFromDate(std::int32_t month, std::int32_t day, std::int32_t year)
{
    return clampToInt32(Calendar::dayNumberFromDate64(month, day, year));
}

void dateFromDayNumber(std::int32_t number, std::int32_t* month, std::int32_t* day, std::int32_t* year)
{
    std::int64_t y = 1;
    Calendar::dateFromDayNumber64(number, month, day, &y);
    if (year)
        *year = clampToInt32(y);
}

std::int32_t weekdayFromDate(std::int32_t month, std::int32_t day, std::int32_t year)
{
    return static_cast<std::int32_t>((Calendar::dayNumberFromDate64(month, day, year) + 5) % 7);
}

const char* monthName(std::int32_t month)
{
    return month >= 1 && month <= 12 ? kMonthNames[month - 1] : "";
}

const char* weekdayName(std::int32_t weekday)
{
    return weekday >= 0 && weekday <= 6 ? kWeekdayNames[weekday] : "";
}
