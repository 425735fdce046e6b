#include "userdata/cDBRecord.h"

#include "tests/userdata/UserDataTestSupport.h"

namespace {

std::string text(const cDBRecord& r)
{
    return qs::userdata::testsupport::text(r.timestampText());
}

TEST(DBRecord, TimestampTextRoundTrip)
{
    cDBRecord r;
    ASSERT_TRUE(r.parseTimestamp("2024:01:05:07:08:09:000:05"));
    EXPECT_EQ(r.timestamp.year, 2024);
    EXPECT_EQ(r.timestamp.month, 1);
    EXPECT_EQ(r.timestamp.day, 5);
    EXPECT_EQ(r.timestamp.hour, 7);
    EXPECT_EQ(r.timestamp.minute, 8);
    EXPECT_EQ(r.timestamp.second, 9);
    EXPECT_EQ(r.timestamp.milliseconds, 0);
    EXPECT_EQ(r.timestamp.weekday, 5);
    EXPECT_EQ(text(r), "2024:01:05:07:08:09:000:05");
    r.timestamp.milliseconds = 7;
    r.timestamp.year = 987;
    EXPECT_EQ(text(r), "0987:01:05:07:08:09:007:05");
}

TEST(DBRecord, MalformedTimestampsLeaveTheRecordAlone)
{
    cDBRecord r;
    ASSERT_TRUE(r.parseTimestamp("2020:02:29:23:59:59:000:06"));
    const cDBTimestamp before = r.timestamp;
    EXPECT_FALSE(r.parseTimestamp("2024:01:05:07:08:09:000"));       // six colons
    EXPECT_FALSE(r.parseTimestamp("2024:01:05:07:08:09:000:05:1"));  // eight colons
    EXPECT_FALSE(r.parseTimestamp(""));
    EXPECT_FALSE(r.parseTimestamp(nullptr));
    EXPECT_EQ(r.timestamp, before);
    // Fields are not range-checked; non-numbers read as their leading digits or 0.
    ASSERT_TRUE(r.parseTimestamp("x:99:7a:::::"));
    EXPECT_EQ(r.timestamp.year, 0);
    EXPECT_EQ(r.timestamp.month, 99);
    EXPECT_EQ(r.timestamp.day, 7);
}

TEST(DBRecord, StampIsUtcToTheSecond)
{
    cDBRecord r;
    r.stampAt(951782400 + 3661);  // 2000-02-29 01:01:01 UTC, a Tuesday
    EXPECT_EQ(text(r), "2000:02:29:01:01:01:000:02");
    r.stampNow();
    EXPECT_EQ(r.timestamp.milliseconds, 0);
    EXPECT_GE(r.timestamp.year, 2024);
}

TEST(DBRecord, TextsSortInTimeOrder)
{
    cDBRecord a, b;
    a.stampAt(1700000000);
    b.stampAt(1700000001);
    EXPECT_LT(text(a), text(b));
    b.stampAt(1800000000);
    EXPECT_LT(text(a), text(b));
    EXPECT_LT(text(b), "X");  // the sync reset compares against "X"
}

TEST(DBRecord, EqualityClearAndCopy)
{
    cDBRecord a;
    a.recid = 4;
    a.serverid = 99;
    a.deleted = 1;
    a.stampAt(1700000000);
    cDBRecord b;
    EXPECT_FALSE(a.isEqual(b));
    b.copyBaseFrom(a);
    EXPECT_TRUE(a.isEqual(b));
    b.timestamp.weekday = 0;
    EXPECT_FALSE(a.isEqual(b));
    b.clear();
    EXPECT_TRUE(b.isEqual(cDBRecord()));
}

}  // namespace
