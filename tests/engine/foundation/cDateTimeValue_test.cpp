#include "engine/foundation/cDateTimeValue.h"

#include "engine/foundation/Calendar.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>

namespace {

cDateTimeValue makeValue(int year, int month, int day, int hour, int minute, int second, int ms, int weekday)
{
    cDateTimeValue v;
    v.year = static_cast<std::uint16_t>(year);
    v.month = static_cast<std::uint16_t>(month);
    v.day = static_cast<std::uint16_t>(day);
    v.hour = static_cast<std::uint16_t>(hour);
    v.minute = static_cast<std::uint16_t>(minute);
    v.second = static_cast<std::uint16_t>(second);
    v.millisecond = static_cast<std::uint16_t>(ms);
    v.weekday = static_cast<std::uint16_t>(weekday);
    return v;
}

bool sameBytes(const cDateTimeValue& a, const cDateTimeValue& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string text(const cLString8& s)
{
    return std::string(s.chars(), static_cast<std::size_t>(s.length()));
}

}  // namespace

TEST(cDateTimeValue, LayoutIsEightSixteenBitFieldsInOrder)
{
    const cDateTimeValue v = makeValue(2024, 3, 5, 7, 8, 9, 10, 2);
    std::uint16_t raw[8];
    std::memcpy(raw, &v, sizeof raw);
    const std::uint16_t expected[8] = {9, 8, 7, 5, 3, 2024, 2, 10};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(raw[i], expected[i]) << i;
}

TEST(cDateTimeValue, WritesTheThreeTextForms)
{
    const cDateTimeValue v = makeValue(2024, 3, 5, 7, 8, 9, 10, 2);
    cLString8 out("old text");
    v.formatColonSeparated(out);
    EXPECT_EQ(text(out), "2024:03:05:07:08:09:010:02");
    v.formatSQLStyle(out);
    EXPECT_EQ(text(out), "2024-03-05 07:08:09.010");
    v.formatUSStyle(out);
    EXPECT_EQ(text(out), "03/05/2024 07:08:09");
    makeValue(1900, 1, 1, 0, 0, 0, 0, 1).formatSQLStyle(out);
    EXPECT_EQ(text(out), "1900-01-01 00:00:00.000");
    makeValue(7, 1, 1, 0, 0, 0, 0, 1).formatColonSeparated(out);
    EXPECT_EQ(text(out), "0007:01:01:00:00:00:000:01");
}

TEST(cDateTimeValue, ParsesEveryAcceptedForm)
{
    cDateTimeValue v;
    ASSERT_TRUE(v.parse("2024:03:05:07:08:09:010:02"));
    EXPECT_TRUE(sameBytes(v, makeValue(2024, 3, 5, 7, 8, 9, 10, 2)));

    ASSERT_TRUE(v.parse("2024:03:05:07:08:09:10:02"));  // two-digit milliseconds
    EXPECT_TRUE(sameBytes(v, makeValue(2024, 3, 5, 7, 8, 9, 10, 2)));

    ASSERT_TRUE(v.parse("2024-03-05 07:08:09.010"));  // weekday computed: a Tuesday
    EXPECT_TRUE(sameBytes(v, makeValue(2024, 3, 5, 7, 8, 9, 10, 2)));

    ASSERT_TRUE(v.parse(cLString8("1900-01-01 00:00:00.000")));
    EXPECT_TRUE(sameBytes(v, makeValue(1900, 1, 1, 0, 0, 0, 0, weekdayFromDate(1, 1, 1900))));
}

TEST(cDateTimeValue, RejectsMalformedTextAndKeepsTheValue)
{
    const char* bad[] = {
        "",
        "2024-03-05 07:08:09",          // no milliseconds
        "2024-03-05 07:08:09.01",       // short milliseconds
        "2024-03-05 07:08:09.0100",     // too long
        "2024-03-05T07:08:09.010",      // no blank
        "2024-03-05  7:08:09.010",      // two blanks
        "2024/03/05 07:08:09.010",      // wrong separators
        "2024-03-0507:08:09.010 ",      // separators out of place
        "2024-3-05 07:08:09.0100",      // separators out of place
        "2024:03:05:07:08:09:010",      // six colons
        "2024:03:05:07:08:09:010:02:",  // eight colons
        "2024:03:05:07:08:09:0100:02",  // 27 characters
        "2024:03:05:07:08:09:1:02",     // 24 characters
        "2024:03:05:07:08:0:9010:02",   // colon out of place
        "2024:0a:05:07:08:09:010:02",   // not a digit
        "2024:-3:05:07:08:09:010:02",   // a sign is no digit
        " 024:03:05:07:08:09:010:02",
        "2024:13:05:07:08:09:010:02",  // month 13
        "2024:00:05:07:08:09:010:02",  // month 0
        "2023:02:29:07:08:09:010:02",  // no 29 February in 2023
        "2024:03:05:24:08:09:010:02",  // hour 24
        "2024:03:05:07:60:09:010:02",  // minute 60
        "2024:03:05:07:08:60:010:02",  // second 60
        "2024:03:05:07:08:09:010:07",  // weekday 7
        "0000:01:01:00:00:00:000:00",  // year 0
        "2024-02-30 07:08:09.010",
        "2024-03-05 07:08:09.01x",
    };
    const cDateTimeValue original = makeValue(2001, 2, 3, 4, 5, 6, 7, 6);
    for (const char* t : bad) {
        cDateTimeValue v = original;
        EXPECT_FALSE(v.parse(t)) << t;
        EXPECT_TRUE(sameBytes(v, original)) << t;
    }
    cDateTimeValue v = original;
    EXPECT_FALSE(v.parse(static_cast<const char*>(nullptr)));
    EXPECT_TRUE(sameBytes(v, original));
}

TEST(cDateTimeValue, WrittenFormsParseBack)
{
    for (const cDateTimeValue& v : {makeValue(2024, 3, 5, 7, 8, 9, 10, 2), makeValue(1, 1, 1, 0, 0, 0, 0, 6),
             makeValue(9999, 12, 31, 23, 59, 59, 999, 5)}) {
        cLString8 out;
        cDateTimeValue back;
        v.formatColonSeparated(out);
        ASSERT_TRUE(back.parse(out)) << text(out);
        EXPECT_TRUE(sameBytes(back, v)) << text(out);
        v.formatSQLStyle(out);
        ASSERT_TRUE(back.parse(out)) << text(out);
        EXPECT_EQ(cDateTimeValue::compare(back, v), 0) << text(out);
    }
}

TEST(cDateTimeValue, MillisecondsRoundTripAndRecomputeTheWeekday)
{
    EXPECT_EQ(makeValue(1, 1, 1, 0, 0, 0, 0, 0).toMilliseconds(), 86400000);
    const cDateTimeValue v = makeValue(2024, 3, 5, 7, 8, 9, 10, 6);  // weekday wrong on purpose
    cDateTimeValue back;
    EXPECT_EQ(back.setFromMilliseconds(v.toMilliseconds()), 2);
    EXPECT_TRUE(sameBytes(back, makeValue(2024, 3, 5, 7, 8, 9, 10, 2)));
    EXPECT_EQ(back.toMilliseconds(), v.toMilliseconds());
}

TEST(cDateTimeValue, AddMillisecondsCrossesDaysYearsAndTheGregorianSwitch)
{
    cDateTimeValue v = makeValue(2023, 12, 31, 23, 59, 59, 999, 0);
    EXPECT_EQ(v.addMilliseconds(1), 1);
    EXPECT_TRUE(sameBytes(v, makeValue(2024, 1, 1, 0, 0, 0, 0, 1)));
    v.addMilliseconds(-1);
    EXPECT_TRUE(sameBytes(v, makeValue(2023, 12, 31, 23, 59, 59, 999, 0)));

    v = makeValue(1582, 10, 4, 23, 59, 59, 999, 4);
    EXPECT_EQ(v.addMilliseconds(1), 5);
    EXPECT_TRUE(sameBytes(v, makeValue(1582, 10, 15, 0, 0, 0, 0, 5)));

    v = makeValue(2024, 2, 28, 12, 0, 0, 0, 3);
    v.addMilliseconds(24LL * 3600 * 1000);
    EXPECT_TRUE(sameBytes(v, makeValue(2024, 2, 29, 12, 0, 0, 0, 4)));
}

TEST(cDateTimeValue, OutOfRangeMillisecondsArePinnedToTheEnds)
{
    cDateTimeValue v;
    v.setFromMilliseconds(-5);
    EXPECT_TRUE(sameBytes(v, makeValue(1, 1, 1, 0, 0, 0, 0, 6)));
    v.setFromMilliseconds(86400000 - 1);  // day 0 is no valid date
    EXPECT_TRUE(sameBytes(v, makeValue(1, 1, 1, 0, 0, 0, 0, 6)));
    v.setFromMilliseconds(INT64_MAX);
    EXPECT_TRUE(sameBytes(v, makeValue(65535, 12, 31, 23, 59, 59, 999, v.weekday)));
    v.addMilliseconds(INT64_MAX);  // no overflow
    EXPECT_EQ(v.year, 65535);
    v = makeValue(2000, 1, 1, 0, 0, 0, 0, 6);
    v.addMilliseconds(INT64_MIN);
    EXPECT_TRUE(sameBytes(v, makeValue(1, 1, 1, 0, 0, 0, 0, 6)));
}

TEST(cDateTimeValue, CompareIgnoresTheWeekday)
{
    const cDateTimeValue base = makeValue(2024, 3, 5, 7, 8, 9, 10, 2);
    cDateTimeValue other = base;
    other.weekday = 5;
    EXPECT_EQ(cDateTimeValue::compare(base, other), 0);
    EXPECT_TRUE(cDateTimeValue::isNotAfter(base, other));
    EXPECT_TRUE(cDateTimeValue::isNotBefore(base, other));
    std::uint16_t cDateTimeValue::*fields[] = {&cDateTimeValue::millisecond, &cDateTimeValue::second,
        &cDateTimeValue::minute, &cDateTimeValue::hour, &cDateTimeValue::day, &cDateTimeValue::month,
        &cDateTimeValue::year};
    for (auto field : fields) {
        cDateTimeValue later = base;
        later.*field = static_cast<std::uint16_t>(later.*field + 1);
        EXPECT_EQ(cDateTimeValue::compare(base, later), -1);
        EXPECT_EQ(cDateTimeValue::compare(later, base), 1);
        EXPECT_TRUE(cDateTimeValue::isNotAfter(base, later));
        EXPECT_FALSE(cDateTimeValue::isNotBefore(base, later));
    }
    // A larger low field does not outweigh a smaller high one.
    EXPECT_EQ(
        cDateTimeValue::compare(makeValue(2024, 1, 31, 23, 59, 59, 999, 0), makeValue(2024, 2, 1, 0, 0, 0, 0, 0)), -1);
}

TEST(cDateTimeValue, NowIsTheCurrentUtcTimeInWholeSeconds)
{
    const std::time_t before = std::time(nullptr);
    cDateTimeValue v;
    v.millisecond = 77;
    const std::uint16_t weekday = v.setToNowUTC();
    const std::time_t after = std::time(nullptr);
    EXPECT_EQ(weekday, v.weekday);
    EXPECT_EQ(v.millisecond, 0);
    EXPECT_EQ(v.weekday, weekdayFromDate(v.month, v.day, v.year));
    std::tm utc {};
    gmtime_r(&before, &utc);
    cDateTimeValue low =
        makeValue(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, 0, 0);
    gmtime_r(&after, &utc);
    cDateTimeValue high =
        makeValue(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, 0, 0);
    EXPECT_TRUE(cDateTimeValue::isNotBefore(v, low));
    EXPECT_TRUE(cDateTimeValue::isNotAfter(v, high));
}
