#include "engine/foundation/Calendar.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Date {
    std::int32_t month, day, year;
};

Date dateOf(std::int32_t number)
{
    Date d {};
    dateFromDayNumber(number, &d.month, &d.day, &d.year);
    return d;
}

}  // namespace

TEST(Calendar, LeapYearsFollowJulianThenGregorianRule)
{
    EXPECT_FALSE(isLeapYear(0));
    EXPECT_FALSE(isLeapYear(-4));
    EXPECT_TRUE(isLeapYear(4));
    EXPECT_TRUE(isLeapYear(100));  // Julian: every fourth year
    EXPECT_TRUE(isLeapYear(1500));
    EXPECT_TRUE(isLeapYear(1580));
    EXPECT_FALSE(isLeapYear(1582));
    EXPECT_TRUE(isLeapYear(1600));
    EXPECT_FALSE(isLeapYear(1700));  // Gregorian century rule
    EXPECT_FALSE(isLeapYear(1900));
    EXPECT_TRUE(isLeapYear(2000));
    EXPECT_FALSE(isLeapYear(2023));
    EXPECT_TRUE(isLeapYear(2024));
}

TEST(Calendar, ValidDatesAndMonthLengths)
{
    EXPECT_TRUE(isValidDate(2, 29, 2024));
    EXPECT_FALSE(isValidDate(2, 29, 2023));
    EXPECT_TRUE(isValidDate(2, 29, 1500));
    EXPECT_FALSE(isValidDate(2, 29, 1900));
    EXPECT_FALSE(isValidDate(0, 1, 2000));
    EXPECT_FALSE(isValidDate(13, 1, 2000));
    EXPECT_FALSE(isValidDate(4, 31, 2000));
    EXPECT_FALSE(isValidDate(1, 0, 2000));
    EXPECT_FALSE(isValidDate(1, 1, 0));
    EXPECT_TRUE(isValidDate(1, 1, 1));
    EXPECT_TRUE(isValidDate(10, 10, 1582));  // the dropped days are not rejected
    EXPECT_EQ(daysInMonth(0, 2000), 0);
    EXPECT_EQ(daysInMonth(13, 2000), 0);
    EXPECT_EQ(daysInMonth(2, 2000), 29);
}

TEST(Calendar, DayNumbersAroundTheGregorianSwitch)
{
    EXPECT_EQ(dayNumberFromDate(1, 1, 1), 1);
    EXPECT_EQ(dayNumberFromDate(10, 4, 1582), 577737);
    EXPECT_EQ(dayNumberFromDate(10, 15, 1582), 577738);
    // 5-14 October share the numbers of the ten days before them.
    EXPECT_EQ(dayNumberFromDate(10, 5, 1582), dayNumberFromDate(9, 25, 1582));
    EXPECT_EQ(dayNumberFromDate(10, 14, 1582), dayNumberFromDate(10, 4, 1582));
    // Invalid dates answer 1.
    EXPECT_EQ(dayNumberFromDate(13, 1, 2000), 1);
    EXPECT_EQ(dayNumberFromDate(2, 30, 2000), 1);
    EXPECT_EQ(dayNumberFromDate(1, 1, 0), 1);

    Date d = dateOf(577737);
    EXPECT_EQ(d.month, 10);
    EXPECT_EQ(d.day, 4);
    EXPECT_EQ(d.year, 1582);
    d = dateOf(577738);
    EXPECT_EQ(d.month, 10);
    EXPECT_EQ(d.day, 15);
    EXPECT_EQ(d.year, 1582);
}

TEST(Calendar, EndsOfTheDayNumberRange)
{
    Date d = dateOf(0);
    EXPECT_EQ(d.month, 12);
    EXPECT_EQ(d.day, 31);
    EXPECT_EQ(d.year, 0);
    d = dateOf(-5);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(d.year, 1);
    d = dateOf(1);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(d.year, 1);
    // The largest number and the largest year do not overflow.
    d = dateOf(INT32_MAX);
    EXPECT_TRUE(isValidDate(d.month, d.day, d.year));
    EXPECT_EQ(dayNumberFromDate(12, 31, INT32_MAX), INT32_MAX);
    // Null outputs are allowed.
    dateFromDayNumber(100, nullptr, nullptr, nullptr);
}

TEST(Calendar, EveryDateFromYear1To4000RoundTripsOnConsecutiveNumbers)
{
    std::int32_t expected = 1;
    for (std::int32_t year = 1; year <= 4000; ++year) {
        for (std::int32_t month = 1; month <= 12; ++month) {
            for (std::int32_t day = 1; day <= daysInMonth(month, year); ++day) {
                if (year == 1582 && month == 10 && day >= 5 && day <= 14)
                    continue;
                const std::int32_t n = dayNumberFromDate(month, day, year);
                ASSERT_EQ(n, expected) << month << "/" << day << "/" << year;
                const Date back = dateOf(n);
                ASSERT_TRUE(back.month == month && back.day == day && back.year == year)
                    << month << "/" << day << "/" << year;
                ++expected;
            }
        }
    }
}

TEST(Calendar, WeekdaysAndNames)
{
    EXPECT_EQ(weekdayFromDate(1, 1, 2000), 6);    // Saturday
    EXPECT_EQ(weekdayFromDate(10, 4, 1582), 4);   // Thursday
    EXPECT_EQ(weekdayFromDate(10, 15, 1582), 5);  // Friday, the next day
    EXPECT_EQ(weekdayFromDate(12, 7, 2026), 1);   // Monday
    EXPECT_EQ(std::string(monthName(1)), "January");
    EXPECT_EQ(std::string(monthName(12)), "December");
    EXPECT_EQ(std::string(monthName(0)), "");
    EXPECT_EQ(std::string(monthName(13)), "");
    EXPECT_EQ(std::string(weekdayName(0)), "Sunday");
    EXPECT_EQ(std::string(weekdayName(6)), "Saturday");
    EXPECT_EQ(std::string(weekdayName(7)), "");
    EXPECT_EQ(std::string(weekdayName(-1)), "");
}
