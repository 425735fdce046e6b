#include "engine/foundation/SimpleDate.h"
#include "engine/foundation/cSimpleDate.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace {

void expectDate(const cSimpleDate& d, std::int32_t month, std::int32_t day, std::int32_t year)
{
    EXPECT_EQ(d.month(), month);
    EXPECT_EQ(d.day(), day);
    EXPECT_EQ(d.year(), year);
}

std::string formatted(const cSimpleDate& d, bool withoutWeekday, bool monthFirst)
{
    cLString8 out;
    d.format(withoutWeekday, monthFirst, out);
    return std::string(out.chars(), static_cast<std::size_t>(out.length()));
}

}  // namespace

TEST(cSimpleDate, DefaultIsTodaysLocalDate)
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    const cSimpleDate today;
    // Tolerates a midnight between the two readings.
    const cSimpleDate expected(local.tm_mon + 1, local.tm_mday, local.tm_year + 1900);
    EXPECT_LE(today.daysBetween(expected), 1);
    EXPECT_GE(today.daysBetween(expected), 0);
    EXPECT_TRUE(today.isValid());
}

TEST(cSimpleDate, SetDateNormalisesMonthsAndDays)
{
    cSimpleDate d(1, 1, 2000);
    d.setDate(13, 1, 2023);
    expectDate(d, 1, 1, 2024);
    d.setDate(25, 1, 2023);
    expectDate(d, 1, 1, 2025);
    d.setDate(-1, 1, 2024);
    expectDate(d, 12, 1, 2023);
    d.setDate(-12, 1, 2024);
    expectDate(d, 1, 1, 2023);
    d.setDate(-13, 1, 2024);
    expectDate(d, 12, 1, 2022);
    d.setDate(0, 5, 2024);  // month 0 is January
    expectDate(d, 1, 5, 2024);
    d.setDate(2, 30, 2023);
    expectDate(d, 3, 2, 2023);
    d.setDate(2, 29, 1900);
    expectDate(d, 3, 1, 1900);
    d.setDate(2, 29, 1500);
    expectDate(d, 2, 29, 1500);
    d.setDate(3, 0, 2024);
    expectDate(d, 3, 1, 2024);
    d.setDate(3, -1, 2024);
    expectDate(d, 2, 29, 2024);
    d.setDate(1, 32, 2024);
    expectDate(d, 2, 1, 2024);
}

TEST(cSimpleDate, SetDateKeepsValidDatesOfOctober1582)
{
    cSimpleDate d(10, 15, 1582);  // not moved by the ten dropped days
    expectDate(d, 10, 15, 1582);
    d.setDate(10, 31, 1582);
    expectDate(d, 10, 31, 1582);
    d.setDate(10, 10, 1582);  // a dropped day is accepted as given
    expectDate(d, 10, 10, 1582);
    d.setDate(10, 32, 1582);  // out of range: counted on the calendar, which skips ten days
    expectDate(d, 11, 11, 1582);
}

TEST(cSimpleDate, SetDateAtTheEndsOfTheCalendar)
{
    cSimpleDate d(6, 6, 2006);
    d.setDate(1, 1, 0);  // no year 0: counting starts at day 1
    expectDate(d, 1, 1, 1);
    d.setDate(1, -1, 1);  // day number 0 is no valid date
    expectDate(d, 1, 1, 1988);
    d.setDate(INT32_MAX, INT32_MAX, INT32_MAX);  // nothing overflows
    EXPECT_TRUE(d.isValid());
    d.setDate(INT32_MIN, INT32_MIN, INT32_MIN);
    EXPECT_TRUE(d.isValid());
}

TEST(cSimpleDate, AddDaysCrossesTheGregorianSwitch)
{
    const cSimpleDate oct4(10, 4, 1582);
    expectDate(oct4.addDays(1), 10, 15, 1582);
    expectDate(oct4.addDays(1).addDays(-1), 10, 4, 1582);
    expectDate(cSimpleDate(12, 31, 2023).addDays(1), 1, 1, 2024);
    expectDate(cSimpleDate(3, 1, 2024).addDays(-1), 2, 29, 2024);
    expectDate(cSimpleDate(1, 1, 2000).addDays(366), 1, 1, 2001);
    expectDate(cSimpleDate(1, 1, 2), 1, 1, 2);
    expectDate(cSimpleDate(1, 1, 1).addDays(INT32_MIN), 1, 1, 1);
    EXPECT_TRUE(cSimpleDate(1, 1, 2000).addDays(INT32_MAX).isValid());
    EXPECT_EQ(cSimpleDate(10, 15, 1582).daysBetween(oct4), 1);
    EXPECT_EQ(oct4.daysBetween(cSimpleDate(10, 15, 1582)), -1);
    EXPECT_EQ(cSimpleDate(1, 1, 2025).daysBetween(cSimpleDate(1, 1, 2024)), 366);
}

TEST(cSimpleDate, NextDayStepsByMonthLengths)
{
    cSimpleDate d(12, 31, 2023);
    d.nextDay();
    expectDate(d, 1, 1, 2024);
    d.setDate(2, 28, 2024);
    d.nextDay();
    expectDate(d, 2, 29, 2024);
    d.nextDay();
    expectDate(d, 3, 1, 2024);
    d.setDate(10, 4, 1582);  // the step does not skip the dropped days
    d.nextDay();
    expectDate(d, 10, 5, 1582);
    const cSimpleDate before = d.postNextDay();
    expectDate(before, 10, 5, 1582);
    expectDate(d, 10, 6, 1582);
}

TEST(cSimpleDate, Differs)
{
    EXPECT_FALSE(cSimpleDate(1, 2, 2003).differs(cSimpleDate(1, 2, 2003)));
    EXPECT_TRUE(cSimpleDate(1, 2, 2003).differs(cSimpleDate(1, 3, 2003)));
    EXPECT_TRUE(cSimpleDate(1, 2, 2003).differs(cSimpleDate(2, 2, 2003)));
    EXPECT_TRUE(cSimpleDate(1, 2, 2003).differs(cSimpleDate(1, 2, 2004)));
}

TEST(cSimpleDate, FormatsTheFourEnglishForms)
{
    const cSimpleDate d(10, 15, 1582);
    EXPECT_EQ(formatted(d, false, true), "Friday, October 15, 1582");
    EXPECT_EQ(formatted(d, false, false), "Friday, 15 October 1582");
    EXPECT_EQ(formatted(d, true, false), "15 October 1582");
    EXPECT_EQ(formatted(d, true, true), "October 15, 1582");
    // The longest names with a four-digit year fit exactly.
    const cSimpleDate longest(9, 27, 2028);  // a Wednesday
    EXPECT_EQ(formatted(longest, false, true), "Wednesday, September 27, 2028");
    EXPECT_EQ(formatted(longest, false, false), "Wednesday, 27 September 2028");
    EXPECT_EQ(formatted(longest, true, false), "27 September 2028");
    EXPECT_EQ(formatted(longest, true, true), "September 27, 2028");
    // Longer years are cut at the limits.
    const cSimpleDate far(9, 27, 123456);
    EXPECT_LE(formatted(far, false, true).size(), 29u);
    EXPECT_LE(formatted(far, false, false).size(), 28u);
    EXPECT_EQ(formatted(far, false, true).rfind(", September 27, 1234"), formatted(far, false, true).find(','));
    EXPECT_EQ(formatted(far, true, false), "27 September 1234");
    EXPECT_EQ(formatted(far, true, true), "September 27, 1234");
}

TEST(SimpleDate, WrapsOneDate)
{
    SimpleDate date;
    EXPECT_TRUE(date.simpleDate().isValid());
    date.setMonth(10, 4, 1582);
    date.addDays(1);
    EXPECT_EQ(date.month(), 10);
    EXPECT_EQ(date.day(), 15);
    EXPECT_EQ(date.year(), 1582);
    EXPECT_EQ(date.stringWithStyle(0), QString("October 15, 1582"));
    EXPECT_EQ(date.stringWithStyle(2), QString("October 15, 1582"));
    EXPECT_EQ(date.stringWithStyle(SimpleDate::kStyleWithWeekday), QString("Friday, October 15, 1582"));
    EXPECT_EQ(date.stringWithStyle(SimpleDate::kStyleDayFirst), QString("15 October 1582"));
    EXPECT_EQ(date.stringWithStyle(SimpleDate::kStyleWithWeekday | SimpleDate::kStyleDayFirst),
        QString("Friday, 15 October 1582"));
    const SimpleDate copy(date.simpleDate());
    EXPECT_FALSE(copy.simpleDate().differs(date.simpleDate()));
}
