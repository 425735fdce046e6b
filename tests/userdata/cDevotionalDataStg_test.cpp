#include "userdata/cDevotionalDataStg.h"

#include "support/CallRecorder.h"

#include "engine/foundation/cMsgBox.h"
#include "tests/userdata/UserDataTestSupport.h"
#include "userdata/cDevotionalDataStgLegacy.h"

namespace {

using namespace qs::userdata::testsupport;

cDateTimeValue date(int year, int month, int day)
{
    cDateTimeValue v;
    v.year = static_cast<std::uint16_t>(year);
    v.month = static_cast<std::uint16_t>(month);
    v.day = static_cast<std::uint16_t>(day);
    return v;
}

class DevotionalDataStgTest : public UserDataTest {
protected:
    DevotionalDataStgTest() : UserDataTest("devotional") { }
    void SetUp() override
    {
        UserDataTest::SetUp();
        openRaw(true);
    }
    // The legacy table with one row per (pubid, bookid, numreadings, blob).
    void legacyRow(int pubid, int bookid, int numReadings, const std::vector<unsigned char>& blob,
        const char* timestamp = "2015:06:01:00:00:00:000:01")
    {
        ASSERT_TRUE(m_raw.exec("CREATE TABLE IF NOT EXISTS DevotionalData ( id INTEGER PRIMARY KEY, pubid INTEGER, "
                               "bookid INTEGER, startmonth INTEGER, startday INTEGER, startyear INTEGER, numreadings "
                               "INTEGER, progressbuffer BLOB, timestamp TEXT )"));
        ASSERT_TRUE(m_raw.exec("INSERT INTO DevotionalData (pubid, bookid, startmonth, startday, startyear, "
                               "numreadings, progressbuffer, timestamp) VALUES (?, ?, 3, 5, 2019, ?, ?, ?)",
            {pubid, bookid, numReadings, cSQLValue::blob(blob.data(), static_cast<std::int32_t>(blob.size())),
                timestamp}));
    }
    static std::vector<unsigned char> unread(std::size_t size = 240) { return std::vector<unsigned char>(size, 0xFF); }
};

TEST(ReadingProgress, BitOrderAndLimits)
{
    cReadingProgress p;
    p.setCount(5000);
    EXPECT_EQ(p.count(), 1920u);
    EXPECT_FALSE(p.isRead(1));
    EXPECT_TRUE(p.isRead(0));
    EXPECT_TRUE(p.isRead(1921));
    p.buffer()[0] = 0xFA;  // bits 0 and 2 clear
    p.buffer()[1] = 0x7F;  // bit 7 of byte 1 clear: reading 16
    EXPECT_TRUE(p.isRead(1));
    EXPECT_FALSE(p.isRead(2));
    EXPECT_TRUE(p.isRead(3));
    EXPECT_TRUE(p.isRead(16));
    EXPECT_FALSE(p.isRead(15));
    p.setCount(2);
    EXPECT_FALSE(p.isRead(1));  // setCount starts over with every reading unread
    EXPECT_TRUE(p.isRead(3));
}

TEST_F(DevotionalDataStgTest, ReadingDoneTogglesReplaceRows)
{
    cDevotionalDataStg store;
    store.setBook(12, 34);
    ASSERT_TRUE(store.setReadingDone(5, true, nullptr, true));
    ASSERT_TRUE(store.setReadingDone(5, true, nullptr, true));
    EXPECT_EQ(query("SELECT recid, pubid, bookid, readingnum, serverid, deleted FROM DevDataProgress"),
        (cSQLRows {{"2", "12", "34", "5", "0", "0"}}));
    EXPECT_EQ(
        CallRecorder::shared().takeCalls(), (Calls {"sync DEVOTIONALPROGRESS now=1", "sync DEVOTIONALPROGRESS now=1"}));

    const cDateTimeValue when = date(2024, 2, 29);
    ASSERT_TRUE(store.setReadingDone(5, false, &when, true));
    EXPECT_EQ(query("SELECT recid, timestamp, serverid, deleted FROM DevDataProgress"),
        (cSQLRows {{"2", "2024:02:29:00:00:00:000:00", "0", "1"}}));
    EXPECT_FALSE(store.isReadingDone(5));
    ASSERT_TRUE(store.setReadingDone(5, true, nullptr, true));
    EXPECT_EQ(query("SELECT recid, deleted FROM DevDataProgress"), (cSQLRows {{"3", "0"}}));
    CallRecorder::shared().clear();
    EXPECT_TRUE(store.isReadingDone(5));
    EXPECT_EQ(store.countReadingsDone(), 1u);
    EXPECT_EQ(
        CallRecorder::shared().takeCalls(), (Calls {"sync DEVOTIONALPROGRESS now=0", "sync DEVOTIONALPROGRESS now=0"}));

    ASSERT_TRUE(store.setReadingDone(6, true, nullptr, true));
    ASSERT_TRUE(store.clearAllProgress());
    EXPECT_EQ(store.countReadingsDone(), 0u);
    EXPECT_EQ(query("SELECT COUNT(*) FROM DevDataProgress WHERE deleted = 1 AND serverid = 0")[0][0], cLString8("2"));
}

TEST_F(DevotionalDataStgTest, UnreadReadings)
{
    cDevotionalDataStg store;
    store.setBook(1, 2);
    EXPECT_EQ(store.firstUnreadReading(), 1u);
    EXPECT_EQ(store.previousUnreadReading(1), 0u);
    for (std::uint32_t n : {1u, 2u, 3u, 5u})
        ASSERT_TRUE(store.setReadingDone(n, true, nullptr, false));
    store.setBook(1, 3);  // another book's progress does not count
    ASSERT_TRUE(store.setReadingDone(4, true, nullptr, false));
    store.setBook(1, 2);
    CallRecorder::shared().clear();
    EXPECT_EQ(store.firstUnreadReading(), 4u);
    EXPECT_EQ(CallRecorder::shared().takeCalls().front(), "sync DEVOTIONALPROGRESS now=0");
    EXPECT_EQ(store.nextUnreadReading(3), 4u);
    EXPECT_EQ(store.nextUnreadReading(5), 6u);
    EXPECT_EQ(store.nextUnreadReading(4), 6u);
    EXPECT_EQ(store.previousUnreadReading(5), 4u);
    EXPECT_EQ(store.previousUnreadReading(4), 0u);  // 3, 2 and 1 are all done
    EXPECT_EQ(store.previousUnreadReading(7), 6u);
}

TEST_F(DevotionalDataStgTest, StartDatesOfANamedBook)
{
    cDevotionalDataStg store;
    const cDateTimeValue start = date(2025, 1, 1);
    const cDateTimeValue stamp = date(2025, 1, 2);
    ASSERT_TRUE(store.writeStartDateAndCount(7, 8, start, 365, &stamp, true));
    EXPECT_EQ(query("SELECT pubid, bookid, startdate, numreadings, timestamp, serverid, deleted FROM DevDataInfo"),
        (cSQLRows {{"7", "8", "2025:01:01:00:00:00:000:00", "365", "2025:01:02:00:00:00:000:00", "0", "0"}}));
    cDateTimeValue readStart, readStamp;
    std::uint32_t count = 0;
    CallRecorder::shared().clear();
    ASSERT_TRUE(store.readStartDate(7, 8, readStart, count, &readStamp, true));
    EXPECT_EQ(cDateTimeValue::compare(readStart, start), 0);
    EXPECT_EQ(cDateTimeValue::compare(readStamp, stamp), 0);
    EXPECT_EQ(count, 365u);
    EXPECT_EQ(CallRecorder::shared().takeCalls(), (Calls {"sync DEVOTIONALSTARTDATE now=0"}));
    EXPECT_FALSE(store.readStartDate(7, 9, readStart, count, nullptr, true));

    // An update keeps the row and clears its serverid.
    ASSERT_TRUE(m_raw.exec("UPDATE DevDataInfo SET serverid = 50"));
    ASSERT_TRUE(store.writeStartDateAndCount(7, 8, date(2025, 3, 1), 90, nullptr, true));
    EXPECT_EQ(query("SELECT recid, numreadings, serverid FROM DevDataInfo"), (cSQLRows {{"1", "90", "0"}}));
    ASSERT_TRUE(store.writeStartDate(7, 8, date(2025, 4, 1), nullptr, true));
    EXPECT_EQ(query("SELECT recid, startdate, numreadings FROM DevDataInfo"),
        (cSQLRows {{"1", "2025:04:01:00:00:00:000:00", "90"}}));

    // Without a live row the book's tombstones are purged and numreadings starts at 0.
    ASSERT_TRUE(m_raw.exec("UPDATE DevDataInfo SET deleted = 1"));
    ASSERT_TRUE(store.writeStartDate(7, 8, date(2025, 5, 1), nullptr, true));
    EXPECT_EQ(query("SELECT recid, numreadings, deleted FROM DevDataInfo"), (cSQLRows {{"2", "0", "0"}}));
}

TEST_F(DevotionalDataStgTest, RecordsForTheSync)
{
    cDevotionalDataStg store;
    EXPECT_EQ(store.highestStartDateServerId(), -1);
    EXPECT_EQ(store.highestProgressServerId(), -1);

    cDevotionalStartDate info;
    info.pubid = 3;
    info.bookid = 4;
    info.startDate = date(2023, 12, 25);
    info.numReadings = 31;
    info.serverid = 900;
    ASSERT_TRUE(store.addStartDateRecord(info, true, true, false));
    EXPECT_EQ(info.recid, 1);
    // The record writer stores the start date in the SQL form; readers take both forms.
    EXPECT_EQ(query("SELECT startdate, serverid FROM DevDataInfo"), (cSQLRows {{"2023-12-25 00:00:00.000", "900"}}));
    EXPECT_EQ(store.highestStartDateServerId(), 900);
    cDevotionalStartDate read;
    ASSERT_TRUE(store.readStartDateRecord(1, read));
    EXPECT_EQ(read.startDate.year, 2023);
    EXPECT_EQ(read.startDate.day, 25);
    EXPECT_EQ(read.numReadings, 31u);
    EXPECT_TRUE(read.isEqual(info));
    EXPECT_FALSE(store.firstUnsyncedStartDate(read));

    // A second new record for the book replaces the first.
    cDevotionalStartDate again;
    again.pubid = 3;
    again.bookid = 4;
    again.startDate = date(2024, 1, 1);
    CallRecorder::shared().clear();
    ASSERT_TRUE(store.addStartDateRecord(again, false, true, false));
    EXPECT_EQ(again.recid, 2);
    EXPECT_EQ(query("SELECT recid, serverid FROM DevDataInfo"), (cSQLRows {{"2", "0"}}));
    EXPECT_EQ(CallRecorder::shared().takeCalls(), (Calls {"sync DEVOTIONALSTARTDATE now=1"}));
    ASSERT_TRUE(store.markStartDateRecordDeleted(again, false, true, false));
    EXPECT_EQ(store.findStartDateRecord(3, 4, false), nullptr);
    auto tomb = store.findStartDateRecord(3, 4, true);
    ASSERT_NE(tomb, nullptr);
    EXPECT_EQ(tomb->deleted, 1);
    ASSERT_TRUE(store.firstUnsyncedStartDate(read));
    EXPECT_EQ(read.recid, 2);

    cDevotionalProgress progress;
    progress.pubid = 3;
    progress.bookid = 4;
    progress.readingNum = 17;
    ASSERT_TRUE(store.addProgressRecord(progress, false, true, false));
    progress.serverid = 5;
    ASSERT_TRUE(store.updateProgressRecord(progress, true, true));  // the serverid is written as given
    EXPECT_EQ(store.highestProgressServerId(), 5);
    cDevotionalProgress found;
    ASSERT_TRUE(store.findProgressRecord(3, 4, 17, false, found));
    EXPECT_EQ(found.serverid, 5);
    EXPECT_TRUE(store.deleteProgressRow(found));
    EXPECT_EQ(store.findProgressRecord(3, 4, 17, true), nullptr);

    cDevotionalProgress none;
    const std::uint32_t shown = cMsgBox::shownCount();
    EXPECT_FALSE(store.updateProgressRecord(none, true, false));
    EXPECT_EQ(cMsgBox::shownCount(), shown + 1);
    EXPECT_FALSE(store.addProgressRecord(found, false, true, false));  // has a recid
    EXPECT_FALSE(store.deleteStartDateRow(cDevotionalStartDate()));
}

TEST_F(DevotionalDataStgTest, OlderTablesAreUpgraded)
{
    ASSERT_TRUE(m_raw.exec(
        "CREATE TABLE DevDataInfo ( recid INTEGER PRIMARY KEY AUTOINCREMENT,pubid INTEGER,bookid INTEGER,startdate "
        "TEXT,numreadings INTEGER,timestamp TEXT );CREATE INDEX DevDataInfoIdx ON DevDataInfo (pubid);"
        "INSERT INTO DevDataInfo (pubid, bookid, startdate, numreadings, timestamp) VALUES (1, 2, "
        "'2020:01:01:00:00:00:000:03', 10, '');"
        "CREATE TABLE DevDataProgress ( recid INTEGER PRIMARY KEY AUTOINCREMENT,pubid INTEGER,bookid "
        "INTEGER,readingnum INTEGER,timestamp TEXT );CREATE INDEX DevDataProgressIdx ON DevDataProgress (pubid)"));
    cDevotionalDataStg store;
    ASSERT_TRUE(store.openOrCreate(cLString16(), false));
    EXPECT_EQ(query("PRAGMA table_info(DevDataInfo)").size(), 8u);
    EXPECT_EQ(query("PRAGMA table_info(DevDataProgress)").size(), 7u);
    EXPECT_EQ(query("SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name"),
        (cSQLRows {{"DevDataDeletedIndex"}, {"DevDataServerIdIndex"}, {"DevProgressDeletedIndex"},
            {"DevProgressServerIdIndex"}}));
    cDateTimeValue start;
    std::uint32_t count = 0;
    ASSERT_TRUE(store.readStartDate(1, 2, start, count, nullptr, true));
    EXPECT_EQ(start.year, 2020);
}

TEST_F(DevotionalDataStgTest, OpeningWithoutCreateNeedsTheTables)
{
    cDevotionalDataStg store;
    EXPECT_FALSE(store.openOrCreate(cLString16(), false));
    EXPECT_TRUE(query("SELECT name FROM sqlite_master WHERE name LIKE 'DevData%'").empty());
}

TEST_F(DevotionalDataStgTest, LegacyTableIsConvertedOnce)
{
    std::vector<unsigned char> first = unread();
    first[0] = 0xFA;  // readings 1 and 3
    legacyRow(10, 20, 3, first);
    legacyRow(10, 20, 3, std::vector<unsigned char>(240, 0x00));         // the same book again: ignored
    legacyRow(11, 21, 2000, std::vector<unsigned char>(240, 0x00), "");  // every bit read, count above 1,920

    cDevotionalDataStg store;
    ASSERT_TRUE(store.openOrCreate(cLString16(), true));
    EXPECT_EQ(query("SELECT pubid, bookid, startdate, numreadings, timestamp, serverid, deleted FROM DevDataInfo"),
        (cSQLRows {{"10", "20", "2019:03:05:00:00:00:000:00", "3", "2015:06:01:00:00:00:000:01", "0", "0"},
            {"11", "21", "2019:03:05:00:00:00:000:00", "2000", "", "0", "0"}}));
    EXPECT_EQ(query("SELECT readingnum, timestamp FROM DevDataProgress WHERE pubid = 10 ORDER BY readingnum"),
        (cSQLRows {{"1", "2015:06:01:00:00:00:000:01"}, {"3", "2015:06:01:00:00:00:000:01"}}));
    EXPECT_EQ(
        query("SELECT COUNT(*), MAX(readingnum) FROM DevDataProgress WHERE pubid = 11"), (cSQLRows {{"1920", "1920"}}));
    EXPECT_TRUE(query("SELECT name FROM sqlite_master WHERE name = 'DevotionalData'").empty());
    store.setBook(10, 20);
    EXPECT_EQ(store.firstUnreadReading(), 2u);
}

TEST_F(DevotionalDataStgTest, LegacyTableWithoutTimestampGainsTheColumn)
{
    ASSERT_TRUE(m_raw.exec("CREATE TABLE DevotionalData ( id INTEGER PRIMARY KEY, pubid INTEGER, bookid INTEGER, "
                           "startmonth INTEGER, startday INTEGER, startyear INTEGER, numreadings INTEGER, "
                           "progressbuffer BLOB )"));
    std::vector<unsigned char> blob = unread();
    blob[0] = 0xFE;
    ASSERT_TRUE(m_raw.exec("INSERT INTO DevotionalData (pubid, bookid, startmonth, startday, startyear, numreadings, "
                           "progressbuffer) VALUES (1, 1, 12, 31, 2010, 365, ?)",
        {cSQLValue::blob(blob.data(), 240)}));
    cDevotionalDataStg store;
    ASSERT_TRUE(store.openOrCreate(cLString16(), true));
    EXPECT_EQ(query("SELECT startdate, timestamp FROM DevDataInfo"), (cSQLRows {{"2010:12:31:00:00:00:000:00", ""}}));
    EXPECT_EQ(query("SELECT readingnum FROM DevDataProgress"), (cSQLRows {{"1"}}));
}

TEST_F(DevotionalDataStgTest, FailedConversionLeavesEveryTableAsItWas)
{
    // Live data synced after an earlier attempt, then a legacy table with one good and one short blob.
    {
        cDevotionalDataStg setup;
        ASSERT_TRUE(setup.openOrCreate(cLString16(), true));
        ASSERT_TRUE(setup.writeStartDateAndCount(99, 1, date(2022, 1, 1), 365, nullptr, true));
        ASSERT_TRUE(setup.writeReadingDone(99, 1, 7, true, nullptr, true));
    }
    std::vector<unsigned char> good(240, 0x00);
    legacyRow(1, 1, 10, good);
    legacyRow(2, 2, 10, unread(239));
    const cSQLRows infoBefore = query("SELECT * FROM DevDataInfo");
    const cSQLRows progressBefore = query("SELECT * FROM DevDataProgress");

    const std::uint32_t shown = cMsgBox::shownCount();
    {
        cDevotionalDataStg store;
        EXPECT_TRUE(store.openOrCreate(cLString16(), true));  // the open itself succeeds
        EXPECT_EQ(cMsgBox::shownCount(), shown + 1);
        EXPECT_EQ(query("SELECT * FROM DevDataInfo"), infoBefore);
        EXPECT_EQ(query("SELECT * FROM DevDataProgress"), progressBefore);
        EXPECT_EQ(query("SELECT COUNT(*) FROM DevotionalData")[0][0], cLString8("2"));
    }
    // Repaired, the next open converts, keeping the live rows and adding the legacy ones.
    std::vector<unsigned char> fixed = unread();
    fixed[0] = 0xFD;  // reading 2
    ASSERT_TRUE(m_raw.exec(
        "UPDATE DevotionalData SET progressbuffer = ? WHERE pubid = 2", {cSQLValue::blob(fixed.data(), 240)}));
    cDevotionalDataStg store;
    ASSERT_TRUE(store.openOrCreate(cLString16(), true));
    EXPECT_EQ(cMsgBox::shownCount(), shown + 1);
    EXPECT_EQ(query("SELECT pubid, numreadings FROM DevDataInfo ORDER BY recid"),
        (cSQLRows {{"99", "365"}, {"1", "10"}, {"2", "10"}}));
    EXPECT_EQ(query("SELECT COUNT(*) FROM DevDataProgress")[0][0], cLString8("12"));
}

TEST_F(DevotionalDataStgTest, ConversionKeepsRowsTheLiveTablesAlreadyHold)
{
    {
        cDevotionalDataStg setup;
        ASSERT_TRUE(setup.openOrCreate(cLString16(), true));
        ASSERT_TRUE(setup.writeStartDateAndCount(5, 5, date(2022, 1, 1), 30, nullptr, true));
        ASSERT_TRUE(setup.writeReadingDone(5, 5, 2, false, nullptr, true));  // nothing to tombstone yet
        ASSERT_TRUE(setup.writeReadingDone(5, 5, 1, true, nullptr, true));
    }
    legacyRow(5, 5, 3, std::vector<unsigned char>(240, 0x00));
    cDevotionalDataStg store;
    ASSERT_TRUE(store.openOrCreate(cLString16(), true));
    EXPECT_EQ(query("SELECT numreadings FROM DevDataInfo"), (cSQLRows {{"30"}}));
    EXPECT_EQ(query("SELECT readingnum FROM DevDataProgress ORDER BY readingnum"), (cSQLRows {{"1"}, {"2"}, {"3"}}));
}

}  // namespace
