#include "userdata/cPersistentData.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "tests/userdata/UserDataTestSupport.h"

namespace {

using namespace qs::userdata::testsupport;

cDateTimeValue at(int year, int month, int day, int hour, int minute = 0, int second = 0)
{
    cDateTimeValue v;
    v.year = static_cast<std::uint16_t>(year);
    v.month = static_cast<std::uint16_t>(month);
    v.day = static_cast<std::uint16_t>(day);
    v.hour = static_cast<std::uint16_t>(hour);
    v.minute = static_cast<std::uint16_t>(minute);
    v.second = static_cast<std::uint16_t>(second);
    v.addMilliseconds(0);  // fills in the weekday
    return v;
}

const char* const kHead =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" \"http://www.w3.org/TR/html4/loose.dtd\">\n"
    "<html>\n<head>\n<meta http-equiv=\"Content-Type\" content=\"text/html;charset=utf-8\">\n"
    "<meta name=\"viewport\" content=\"width=100%,initial-scale=1.0, maximum-scale=1.0, minimum-scale=1.0, "
    "user-scalable=no\">\n<title>Sync History</title>\n</head><body id='body'>\n<h1>Cloud Sync Log</h1>\n";
const char* const kTableHead =
    "<table border=1 cellpadding=2><tr><td valign=top><b>Date/Time</b></td><td><b>Data Type</b></td><td><b>"
    "Message</b></td></tr>";

class PersistentDataTest : public UserDataTest {
protected:
    PersistentDataTest() : UserDataTest("synchistory") { }
    void SetUp() override
    {
        UserDataTest::SetUp();
        openRaw(true);
    }
    std::string log(const char* table, bool errorsOnly, bool newestFirst)
    {
        cPersistentData history;
        const std::string path = m_folder + "/log.html";
        EXPECT_TRUE(history.writeSyncLogHtml(path.c_str(), table, errorsOnly, newestFirst));
        std::ifstream in(path, std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }
};

TEST_F(PersistentDataTest, LastSyncTimeCountsOnlyGoodRuns)
{
    cPersistentData history;
    cDateTimeValue when = at(2000, 5, 5, 5);
    EXPECT_FALSE(history.lastSyncTime("BIBLENOTES", when));
    EXPECT_EQ(cDateTimeValue::compare(when, at(1900, 1, 1, 0)), 0);

    ASSERT_TRUE(history.recordSyncTime("BIBLENOTES", at(2024, 7, 1, 9), 0, nullptr));
    ASSERT_TRUE(history.recordSyncTime("BIBLENOTES", at(2024, 7, 2, 9), 7, "Connection lost"));
    ASSERT_TRUE(history.recordSyncTime("BOOKNOTES", at(2024, 7, 3, 9), 0, ""));
    ASSERT_TRUE(history.lastSyncTime("BIBLENOTES", when));
    EXPECT_EQ(cDateTimeValue::compare(when, at(2024, 7, 1, 9)), 0);
    EXPECT_EQ(query("SELECT tablename, synctime, errorcode, errormessage FROM SyncHistory WHERE errorcode <> 0"),
        (cSQLRows {{"BIBLENOTES", "2024:07:02:09:00:00:000:02", "7", "Connection lost"}}));
}

TEST_F(PersistentDataTest, RecordingPrunesThatTableAfter31Days)
{
    cPersistentData history;
    ASSERT_TRUE(history.recordSyncTime("A", at(2024, 7, 1, 9, 59, 59), 0, nullptr));
    ASSERT_TRUE(history.recordSyncTime("A", at(2024, 7, 1, 10), 0, nullptr));
    ASSERT_TRUE(history.recordSyncTime("B", at(2024, 6, 1, 0), 0, nullptr));
    ASSERT_TRUE(history.recordSyncTime("A", at(2024, 8, 1, 10), 0, "It's done"));
    EXPECT_EQ(query("SELECT tablename, synctime, errormessage FROM SyncHistory ORDER BY synctime"),
        (cSQLRows {{"B", "2024:06:01:00:00:00:000:06", ""}, {"A", "2024:07:01:10:00:00:000:01", ""},
            {"A", "2024:08:01:10:00:00:000:04", "It's done"}}));
}

TEST_F(PersistentDataTest, EmptyLogHasHeadColumnsAndNoneFound)
{
    EXPECT_EQ(log(nullptr, true, true),
        std::string(kHead) + "<p>Errors Only</p>" + kTableHead +
            "<tr><td colspan=3 align=center valign=top><i>None found</i></td></tr>"
            "</table></body></html>");
    const std::string all = log(nullptr, false, true);
    EXPECT_NE(all.find("<p><i>To save space, only synchronization sessions"), std::string::npos);
}

TEST_F(PersistentDataTest, LogRowsAreFilteredOrderedAndEscaped)
{
    // Stored in UTC, shown in the reader's time zone (here four hours behind UTC in July).
    const char* zone = std::getenv("TZ");
    const std::string oldZone = zone ? zone : "";
    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
    tzset();
    cPersistentData history;
    ASSERT_TRUE(history.recordSyncTime("BibleNotes", at(2024, 7, 1, 9, 8, 7), 0, ""));
    ASSERT_TRUE(history.recordSyncTime("BOOK<NOTES>", at(2024, 7, 2, 9), 5, "<script>alert(\"x&y\")</script> 'q'"));
    ASSERT_TRUE(history.recordSyncTime("BIBLEHIGHLIGHTS", at(2024, 7, 3, 2), 7, nullptr));
    ASSERT_TRUE(history.recordSyncTime("", at(2024, 7, 4, 9), 1, "Cloud Sync could not reach the server."));
    // An error says its message, or its code when it came without one; a sync that went through says so.
    // A synced table is named by its data, another name shows as it stands.
    EXPECT_EQ(log(nullptr, true, false),
        std::string(kHead) + "<p>Errors Only</p>" + kTableHead +
            "<tr><td valign=top>07/02/2024 05:00:00</td><td valign=top>BOOK&lt;NOTES&gt;</td><td valign=top>"
            "&lt;script&gt;alert(&quot;x&amp;y&quot;)&lt;/script&gt; &#39;q&#39;</td></tr>"
            "<tr><td valign=top>07/02/2024 22:00:00</td><td valign=top>BIBLEHIGHLIGHTS</td><td valign=top>"
            "Error 7</td></tr>"
            "<tr><td valign=top>07/04/2024 05:00:00</td><td valign=top>All data</td><td valign=top>"
            "Cloud Sync could not reach the server.</td></tr>"
            "</table></body></html>");
    const std::string newest = log(nullptr, false, true);
    if (zone)
        setenv("TZ", oldZone.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    const auto second = newest.find("07/02/2024");
    const auto first = newest.find("07/01/2024 05:08:07</td><td valign=top>Bible notes</td><td valign=top>Synced</td>");
    EXPECT_NE(newest.find("If 'Sync my notes, highlights and bookmarks automatically' is on"), std::string::npos);
    ASSERT_NE(first, std::string::npos);
    EXPECT_LT(second, first);
    const std::string one = log("BibleNotes", false, false);
    EXPECT_EQ(one.find("07/02/2024"), std::string::npos);
    EXPECT_NE(one.find("07/01/2024"), std::string::npos);

    ASSERT_TRUE(history.clearSyncHistory());
    EXPECT_TRUE(query("SELECT * FROM SyncHistory").empty());
    EXPECT_FALSE(history.writeSyncLogHtml("/nonexistent-folder/log.html", nullptr, false, false));
}

TEST_F(PersistentDataTest, OlderTwoColumnHistoryIsUpgraded)
{
    ASSERT_TRUE(m_raw.exec("CREATE TABLE SyncHistory ( tablename TEXT,synctime TEXT );"
                           "CREATE INDEX SyncHistoryIdx ON SyncHistory (tablename);"
                           "INSERT INTO SyncHistory VALUES ('BIBLENOTES', '2023:01:01:00:00:00:000:00')"));
    cPersistentData history;
    cDateTimeValue when;
    ASSERT_TRUE(history.lastSyncTime("BIBLENOTES", when));  // old rows count as good runs
    EXPECT_EQ(when.year, 2023);
    EXPECT_EQ(query("SELECT errorcode, errormessage FROM SyncHistory"), (cSQLRows {{"0", ""}}));
    EXPECT_EQ(query("SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name"),
        (cSQLRows {{"SyncHistorySynctimeIdx"}, {"SyncHistoryTablenameIdx"}}));
}

}  // namespace
