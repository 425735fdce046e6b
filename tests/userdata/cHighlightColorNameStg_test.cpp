#include "userdata/cHighlightColorNameStg.h"

#include <thread>

#include "engine/foundation/cMsgBox.h"
#include "tests/userdata/UserDataTestSupport.h"

namespace {

using namespace qs::userdata::testsupport;

class ColorNameTest : public UserDataTest {
protected:
    ColorNameTest() : UserDataTest("colornames") { }
    Table query(const char* sql) { return asTable(UserDataTest::query(sql)); }
    static cHighlightColorNameRecord named(std::uint16_t colornum, const char* name)
    {
        cHighlightColorNameRecord r;
        r.colornum = colornum;
        r.name.assignFromUTF8(name);
        return r;
    }
};

TEST_F(ColorNameTest, FirstOperationCreatesTheTableAndItsIndexes)
{
    {
        cHighlightColorNameStg store;
        EXPECT_FALSE(store.isOpen());
        EXPECT_EQ(store.highestServerId(), -1);
        EXPECT_TRUE(store.isOpen());  // kept until the store goes
        EXPECT_EQ(cSQLiteDbBase::openCount(), 1);
    }
    EXPECT_EQ(cSQLiteDbBase::openCount(), 0);
    EXPECT_EQ(query("SELECT name FROM sqlite_master WHERE tbl_name = 'HighlightColorNames' ORDER BY name"),
        (Table {{"HighlightColorNameDeletedIdx"}, {"HighlightColorNameServerIDIdx"}, {"HighlightColorNames"}}));
    EXPECT_EQ(query("SELECT name FROM pragma_table_info('HighlightColorNames') ORDER BY cid"),
        (Table {{"recid"}, {"timestamp"}, {"serverid"}, {"deleted"}, {"colornum"}, {"name"}}));
}

TEST_F(ColorNameTest, NamesAreAddedFoundRenamedAndDeleted)
{
    cHighlightColorNameStg store;
    cHighlightColorNameRecord found;
    EXPECT_FALSE(store.findColorName(7, false, found));  // no custom name: the caller falls back
    EXPECT_TRUE(takeCalls().empty());

    const char* unicode = "Gold's \xE2\x80\x9Cpromise\xE2\x80\x9D \xF0\x9F\x8C\x9F";
    cHighlightColorNameRecord gold = named(0x8005, unicode);
    gold.serverid = 12;
    ASSERT_TRUE(store.addColorName(gold, false, true, false));
    EXPECT_EQ(takeCalls(), (Calls {"sync HIGHLIGHTCOLORNAMES now=1"}));
    EXPECT_EQ(query("SELECT recid, serverid, deleted, colornum, name, timestamp FROM HighlightColorNames"),
        (Table {{"1", "0", "0", std::to_string(0x8005), unicode, text(gold.timestampText())}}));

    std::unique_ptr<cHighlightColorNameRecord> made;
    ASSERT_TRUE(store.findColorName(0x8005, false, made));
    EXPECT_EQ(text(made->name), unicode);
    EXPECT_EQ(made->timestamp, gold.timestamp);
    EXPECT_EQ(takeCalls(), (Calls {"sync HIGHLIGHTCOLORNAMES now=0"}));

    // Renaming keeps the row.
    made->name.assignFromUTF8("Gold");
    made->serverid = 40;  // as acknowledged by the server: an update writes what the record holds
    ASSERT_TRUE(store.updateColorName(*made, true, false));
    EXPECT_EQ(query("SELECT recid, name, serverid FROM HighlightColorNames"), (Table {{"1", "Gold", "40"}}));
    EXPECT_EQ(store.highestServerId(), 40);

    // A removed name is a tombstone; naming the colour again replaces it.
    ASSERT_TRUE(store.markColorNameDeleted(*made, false, true, false));
    EXPECT_EQ(query("SELECT recid, deleted, serverid FROM HighlightColorNames"), (Table {{"1", "1", "0"}}));
    EXPECT_FALSE(store.findColorName(0x8005, false, found));
    ASSERT_TRUE(store.findColorName(0x8005, true, found));
    cHighlightColorNameRecord again = named(0x8005, "Sunshine");
    ASSERT_TRUE(store.addColorName(again, false, true, false));
    EXPECT_EQ(query("SELECT recid, deleted, name FROM HighlightColorNames"), (Table {{"2", "0", "Sunshine"}}));

    ASSERT_TRUE(store.firstUnsyncedColorName(found));
    EXPECT_EQ(found.recid, 2);
    ASSERT_TRUE(store.readColorNameByRecid(2, found));
    EXPECT_EQ(found.colornum, 0x8005);
    EXPECT_TRUE(store.deleteColorNameRow(found));
    EXPECT_FALSE(store.readColorNameByRecid(2, found));
    found.recid = 0;
    EXPECT_FALSE(store.deleteColorNameRow(found));
}

TEST_F(ColorNameTest, RefusedWritesChangeNothing)
{
    cHighlightColorNameStg store;
    cHighlightColorNameRecord stored = named(1, "x");
    stored.recid = 3;
    EXPECT_FALSE(store.addColorName(stored, false, true, false));
    cHighlightColorNameRecord dead = named(1, "x");
    dead.deleted = 1;
    EXPECT_FALSE(store.addColorName(dead, false, true, false));
    const std::uint32_t shown = cMsgBox::shownCount();
    cHighlightColorNameRecord fresh = named(1, "x");
    EXPECT_FALSE(store.updateColorName(fresh, true, false));
    EXPECT_EQ(cMsgBox::shownCount(), shown + 1);
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_EQ(query("SELECT COUNT(*) FROM HighlightColorNames"), (Table {{"0"}}));
}

TEST_F(ColorNameTest, UnopenableDatabaseIsReportedAndFails)
{
    cSQLiteDbBase::setEngineDataFolder(cLString16("/nonexistent-folder/deeper"));
    cHighlightColorNameStg store;
    const std::uint32_t shown = cMsgBox::shownCount();
    cHighlightColorNameRecord r = named(1, "x");
    EXPECT_FALSE(store.addColorName(r, false, false, false));
    EXPECT_GT(cMsgBox::shownCount(), shown);  // reported whatever the caller asked
    EXPECT_EQ(store.highestServerId(), 0);
    EXPECT_FALSE(store.findColorName(1, true, r));
    EXPECT_TRUE(takeCalls().empty());
    cSQLiteDbBase::setEngineDataFolder(cLString16(m_folder.c_str()));
}

TEST_F(ColorNameTest, ThreadsNameColoursAtOnce)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            cHighlightColorNameStg store;
            for (int i = 0; i < 10; ++i) {
                cHighlightColorNameRecord own = named(static_cast<std::uint16_t>(100 + t * 10 + i), "own");
                store.addColorName(own, false, true, false);
                cHighlightColorNameRecord shared = named(1, "shared");  // every thread renames colour 1
                store.addColorName(shared, false, true, false);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(query("SELECT COUNT(*) FROM HighlightColorNames WHERE colornum >= 100"), (Table {{"40"}}));
    EXPECT_EQ(query("SELECT COUNT(*) FROM HighlightColorNames WHERE colornum = 1"), (Table {{"1"}}));
}

}  // namespace
