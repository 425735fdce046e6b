#include "userdata/cCategoryStg.h"

#include "support/CallRecorder.h"

#include "tests/userdata/UserDataTestSupport.h"

namespace {

using namespace qs::userdata::testsupport;

// "Prière" and a praying-hands emoji (U+1F64F, a surrogate pair in UTF-16).
const char* const kUnicodeName = "Pri\xC3\xA8re \xF0\x9F\x99\x8F";

class CategoryTest : public UserDataTest {
protected:
    CategoryTest() : UserDataTest("categories") { }
    void TearDown() override
    {
        m_store.close();
        m_raw.close();
        // Category writes ask for no sync and touch no search cache.
        EXPECT_TRUE(qs::userdata::CallRecorder::shared().takeCalls().empty());
        UserDataTest::TearDown();
    }

    Table query(const char* sql) { return asTable(UserDataTest::query(sql)); }

    cCategory add(const char* name)
    {
        cCategory c;
        c.name.assignFromUTF8(name);
        EXPECT_TRUE(m_store.addCategory(c, true, false)) << name;
        return c;
    }

    std::vector<std::string> listed(std::int32_t order, bool includeDeleted)
    {
        std::vector<std::string> names;
        const std::uint16_t count = m_store.countCategories();
        for (std::int32_t i = 0; i < count + 5; ++i) {
            cCategory c;
            if (!m_store.categoryAtOffset(i, c, order, includeDeleted))
                break;
            names.push_back(text(c.name));
        }
        return names;
    }

    cCategoryStg m_store;
};

TEST_F(CategoryTest, AddFindsOrRevivesByNameWithoutRegardToCase)
{
    ASSERT_TRUE(m_store.openDatabase(true));
    const cCategory first = add("Promises");
    EXPECT_EQ(first.catid, 1);
    EXPECT_EQ(first.recid, 1);
    EXPECT_NE(first.timestamp.year, 0);
    const cCategory second = add("Prayer");
    EXPECT_EQ(second.catid, 2);

    cCategory same = add("PROMISES");
    EXPECT_EQ(same.recid, first.recid);
    EXPECT_EQ(same.catid, 1);
    EXPECT_EQ(text(same.name), "Promises");  // the stored spelling

    // A deleted category comes back with its recid and catid and a new timestamp.
    cCategory gone = second;
    ASSERT_TRUE(m_store.markCategoryDeleted(gone, true, true));
    cCategory revived;
    revived.name.assignFromUTF8("prayer");
    ASSERT_TRUE(revived.parseTimestamp("2030:06:07:08:09:10:000:05"));
    ASSERT_TRUE(m_store.addCategory(revived, true, true));
    EXPECT_EQ(revived.recid, second.recid);
    EXPECT_EQ(revived.catid, 2);
    EXPECT_EQ(revived.deleted, 0);
    EXPECT_EQ(query("SELECT timestamp, deleted FROM Categories WHERE catid = 2"),
        (Table {{"2030:06:07:08:09:10:000:05", "0"}}));

    // Only fresh records are accepted.
    cCategory stored = first;
    EXPECT_FALSE(m_store.addCategory(stored, true, false));
    cCategory dead;
    dead.name.assignFromUTF8("x");
    dead.deleted = 1;
    EXPECT_FALSE(m_store.addCategory(dead, true, false));
    EXPECT_EQ(m_store.countCategories(), 2);
}

TEST_F(CategoryTest, ARevivedCategoryTakesTheNameAsTyped)
{
    ASSERT_TRUE(m_store.openDatabase(true));
    // A deleted category comes back, with its ids, under the spelling typed now.
    cCategory gone = add("study");
    ASSERT_TRUE(m_store.markCategoryDeleted(gone, true, false));
    const cCategory other = add("Alpha");
    cCategory typed = add("Study");
    EXPECT_EQ(typed.recid, gone.recid);
    EXPECT_EQ(typed.catid, gone.catid);
    EXPECT_EQ(text(typed.name), "Study");
    EXPECT_EQ(
        query("SELECT category, deleted FROM Categories ORDER BY recid"), (Table {{"Study", "0"}, {"Alpha", "0"}}));

    // Of two deleted rows of one name (another client's, an older database's) only the newer comes
    // back: one live category per name.
    ASSERT_TRUE(m_store.markCategoryDeleted(typed, true, false));
    ASSERT_TRUE(run("INSERT INTO Categories (timestamp, catid, category, deleted) VALUES ('', 7, 'STUDY', 1)"));
    typed = add("stUdy");
    EXPECT_EQ(typed.catid, 7);
    EXPECT_EQ(query("SELECT category, deleted FROM Categories ORDER BY recid"),
        (Table {{"Study", "1"}, {"Alpha", "0"}, {"stUdy", "0"}}));
    cCategory found;
    ASSERT_TRUE(m_store.findCategoryByName(cLString16("STUDY"), found));
    EXPECT_EQ(text(found.name), "stUdy");
    EXPECT_EQ(m_store.countCategories(), 2);

    // A live name in another spelling is found, never respelled.
    cCategory same = add("ALPHA");
    EXPECT_EQ(same.recid, other.recid);
    EXPECT_EQ(text(same.name), "Alpha");
}

TEST_F(CategoryTest, NewIdsStayAboveDeletedOnes)
{
    ASSERT_TRUE(m_store.openDatabase(true));
    add("a");
    cCategory b = add("b");
    ASSERT_TRUE(m_store.markCategoryDeleted(b, true, false));
    EXPECT_EQ(add("c").catid, 3);
    cCategory byId;
    ASSERT_TRUE(m_store.findCategoryById(2, byId));  // deleted rows are found by id
    EXPECT_EQ(byId.deleted, 1);
    cCategory byName;
    EXPECT_FALSE(m_store.findCategoryByName(cLString16("b"), byName));  // but not by name
    std::unique_ptr<cCategory> made;
    ASSERT_TRUE(m_store.findCategoryById(3, made));
    EXPECT_EQ(text(made->name), "c");
    EXPECT_FALSE(m_store.findCategoryById(9, made));
}

TEST_F(CategoryTest, NamesRoundTripExactly)
{
    ASSERT_TRUE(m_store.openDatabase(true));
    const cCategory quoted = add("Paul's letters; DROP TABLE Categories; --");
    const cCategory unicode = add(kUnicodeName);
    EXPECT_EQ(query("SELECT hex(category) FROM Categories WHERE catid = 2"),
        (Table {{"507269C3A8726520F09F998F"}}));  // a proper 4-byte sequence, no surrogates
    cCategory found;
    ASSERT_TRUE(m_store.findCategoryByName(unicode.name, found));
    EXPECT_EQ(text(found.name), kUnicodeName);
    ASSERT_EQ(found.name.length(), 9);  // seven units before the emoji's surrogate pair
    EXPECT_EQ(found.name.chars()[7], 0xD83D);
    EXPECT_EQ(found.name.chars()[8], 0xDE4F);
    ASSERT_TRUE(m_store.findCategoryByName(cLString16("PAUL'S LETTERS; DROP TABLE CATEGORIES; --"), found));
    EXPECT_EQ(found.recid, quoted.recid);
}

TEST_F(CategoryTest, ListingByOffsetAndPaging)
{
    ASSERT_TRUE(m_store.openDatabase(true));
    add("delta");
    add("Alpha");
    add("charlie");
    cCategory bravo = add("Bravo");
    // A synced row may differ from another only in case; paging must neither skip nor repeat it.
    cCategory twin;
    twin.catid = 9;
    twin.name.assignFromUTF8("alpha");
    ASSERT_TRUE(m_store.writeCategory(twin, true, false));
    ASSERT_TRUE(m_store.markCategoryDeleted(bravo, true, false));

    EXPECT_EQ(listed(cCategoryStg::kByCatid, false), (std::vector<std::string> {"delta", "Alpha", "charlie", "alpha"}));
    EXPECT_EQ(listed(cCategoryStg::kByName, false), (std::vector<std::string> {"Alpha", "alpha", "charlie", "delta"}));
    EXPECT_EQ(listed(cCategoryStg::kByRecid, true),
        (std::vector<std::string> {"delta", "Alpha", "charlie", "Bravo", "alpha"}));
    cCategory c;
    EXPECT_FALSE(m_store.categoryAtOffset(4, c, cCategoryStg::kByCatid, false));
    EXPECT_FALSE(m_store.categoryAtOffset(0, c, 7, false));

    for (std::int32_t order : {cCategoryStg::kByCatid, cCategoryStg::kByName, cCategoryStg::kByRecid}) {
        for (bool includeDeleted : {false, true}) {
            std::vector<std::string> paged;
            cCategory cursor;
            for (bool more = m_store.firstCategory(cursor, order, includeDeleted); more;
                 more = m_store.nextCategory(cursor, order, includeDeleted))
                paged.push_back(text(cursor.name));
            EXPECT_EQ(paged, listed(order, includeDeleted)) << "order " << order;
        }
    }
}

TEST_F(CategoryTest, WritesDeletesAndRenames)
{
    ASSERT_TRUE(m_store.openDatabase(true));
    cCategory a = add("a");
    add("b");
    ASSERT_TRUE(query("UPDATE Categories SET timestamp = '2000:01:01:00:00:00:000:06' WHERE catid = 2").empty());

    // A new record with a catid replaces the row of that catid.
    cCategory incoming;
    incoming.catid = 1;
    incoming.name.assignFromUTF8("renamed elsewhere");
    ASSERT_TRUE(incoming.parseTimestamp("2022:02:02:02:02:02:000:03"));
    ASSERT_TRUE(m_store.writeCategory(incoming, true, true));
    EXPECT_NE(incoming.recid, a.recid);
    EXPECT_EQ(query("SELECT catid, category, timestamp FROM Categories WHERE catid = 1"),
        (Table {{"1", "renamed elsewhere", "2022:02:02:02:02:02:000:03"}}));

    // Deleting by catid finds the row; an unknown category is added, then deleted.
    cCategory byCatid;
    byCatid.catid = 2;
    ASSERT_TRUE(m_store.markCategoryDeleted(byCatid, true, false));
    EXPECT_EQ(text(byCatid.name), "b");
    EXPECT_EQ(byCatid.deleted, 1);
    cCategory unknown;
    unknown.catid = 40;
    unknown.name.assignFromUTF8("new and gone");
    ASSERT_TRUE(m_store.markCategoryDeleted(unknown, true, false));
    EXPECT_EQ(query("SELECT catid, deleted FROM Categories WHERE category = 'new and gone'"), (Table {{"3", "1"}}));

    // Deleting all leaves the timestamps of rows already deleted alone.
    const Table before = query("SELECT timestamp FROM Categories WHERE catid = 2");
    ASSERT_TRUE(m_store.deleteAllCategories(true, false));
    EXPECT_EQ(query("SELECT timestamp FROM Categories WHERE catid = 2"), before);
    EXPECT_EQ(query("SELECT deleted FROM Categories WHERE catid = 1"), (Table {{"1"}}));
    EXPECT_EQ(m_store.countCategories(), 0);

    cCategory nameless;
    EXPECT_FALSE(m_store.renameCategory(&nameless, true));
    EXPECT_FALSE(m_store.renameCategory(nullptr, true));
    incoming.name.assignFromUTF8(kUnicodeName);
    ASSERT_TRUE(m_store.renameCategory(&incoming, true));
    EXPECT_EQ(query("SELECT category, timestamp <> '2022:02:02:02:02:02:000:03' FROM Categories WHERE catid = 1"),
        (Table {{kUnicodeName, "1"}}));
    EXPECT_TRUE(m_store.deleteCategoryRow(incoming.recid));
    EXPECT_FALSE(m_store.findCategoryById(1, nameless));
}

TEST_F(CategoryTest, MigratesTheOlderTable)
{
    query("CREATE TABLE Categories ( recid INTEGER PRIMARY KEY AUTOINCREMENT,timestamp TEXT,catid INTEGER UNIQUE,"
          "category TEXT );"
          "INSERT INTO Categories (timestamp, catid, category) VALUES ('2009:09:09:09:09:09:000:03', 4, 'Old')");
    ASSERT_TRUE(m_store.openDatabase(true));
    EXPECT_EQ(query("SELECT COUNT(*) FROM pragma_table_info('Categories')"), (Table {{"5"}}));
    EXPECT_EQ(query("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Categories' AND sql IS NOT "
                    "NULL ORDER BY name"),
        (Table {{"CategoriesCategoryIndex"}, {"CategoriesDeletedIndex"}}));
    cCategory old;
    ASSERT_TRUE(m_store.findCategoryByName(cLString16("old"), old));
    EXPECT_EQ(old.catid, 4);
    EXPECT_EQ(old.deleted, 0);
    EXPECT_EQ(add("Newer").catid, 5);
}

TEST_F(CategoryTest, ClosedStoreFailsCleanly)
{
    cCategory c;
    c.name.assignFromUTF8("x");
    EXPECT_FALSE(m_store.isOpen());
    EXPECT_FALSE(m_store.addCategory(c, false, false));
    EXPECT_EQ(c.recid, 0);
    EXPECT_EQ(m_store.countCategories(), 0);
    cSQLiteDbBase::setEngineDataFolder(cLString16("/nonexistent-folder/deeper"));
    EXPECT_FALSE(m_store.openDatabase(false));
    cSQLiteDbBase::setEngineDataFolder(cLString16(m_folder.c_str()));
}

}  // namespace
