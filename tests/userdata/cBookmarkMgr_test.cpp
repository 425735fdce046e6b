#include "userdata/cBookmarkMgr.h"

#include <cstdio>
#include <set>
#include <thread>

#include "engine/docbase/cRenderParams.h"
#include "engine/foundation/cMsgBox.h"
#include "engine/references/cBibleRef.h"
#include "engine/references/cBibleRefTables.h"
#include "tests/userdata/UserDataTestSupport.h"

namespace {

using namespace qs::userdata::testsupport;

class BookmarkTest : public UserDataTest {
protected:
    BookmarkTest() : UserDataTest("bookmarks") { }
    void SetUp() override
    {
        UserDataTest::SetUp();
        openRaw();
    }

    Table query(const char* sql) { return asTable(UserDataTest::query(sql)); }

    static cBookmark verse(int book, int chapter, int v, std::uint16_t catid)
    {
        cBookmark b;
        b.setBibleVerse(makeBibleKey(book, chapter, v), catid);
        return b;
    }
    static cBookmark section(std::uint16_t pubid, std::uint16_t bookid, std::int32_t sect, std::uint16_t catid)
    {
        cBookmark b;
        b.setBookSection(pubid, bookid, 3, sect, catid);
        return b;
    }
};

TEST_F(BookmarkTest, RecordsClearAndLocate)
{
    cBookmark b = verse(43, 3, 16, 7);
    EXPECT_EQ(b.kind, 1u);
    EXPECT_EQ(b.book, 43u);
    EXPECT_EQ(b.chapter, 3u);
    EXPECT_EQ(b.verse, 16u);
    EXPECT_EQ(b.catid, 7);
    EXPECT_EQ(b.section, -1);
    cRenderParams params;
    ASSERT_TRUE(b.getLocation(params));
    EXPECT_EQ(params.getOption0002(), makeBibleKey(43, 3, 16));
    EXPECT_FALSE(params.testOptions(params.options(), cRenderParams::kIdentity));

    b.setBookSection(24326, 15184, 2, 88, 1);
    EXPECT_TRUE(b.isBookBookmark());
    EXPECT_EQ(b.book, 0u);
    ASSERT_TRUE(b.getLocation(params));
    EXPECT_EQ(params.getOption0040Publisher(), static_cast<std::int16_t>(24326));
    EXPECT_EQ(params.getOption0040Book(), static_cast<std::int16_t>(15184));
    EXPECT_EQ(params.getOption0040Edition(), 2);
    EXPECT_EQ(params.getOption0008(), 88u);
    EXPECT_FALSE(params.testOptions(params.options(), cRenderParams::kBibleKey));

    b.clear();
    EXPECT_FALSE(b.getLocation(params));
    EXPECT_EQ(params.options(), cRenderParams::kInitialOptions);
}

TEST_F(BookmarkTest, AddWritesAnUnsyncedStampedRowAndAsksForSync)
{
    cBookmarkMgr store;
    ASSERT_TRUE(store.openDatabase(nullptr, true, true));
    cBookmark b = verse(1, 2, 3, 4);
    b.serverid = 99;  // a local add forgets any server id
    ASSERT_TRUE(store.addBookmark(b, false, true, false));
    EXPECT_EQ(b.recid, 1);
    EXPECT_EQ(b.serverid, 0);
    EXPECT_NE(b.timestamp.year, 0);
    EXPECT_EQ(query("SELECT recid, timestamp, book, chapter, verse, catid, serverid, deleted FROM BibleBookmarks"),
        (Table {{"1", text(b.timestampText()), "1", "2", "3", "4", "0", "0"}}));
    EXPECT_EQ(
        takeCalls(), (Calls {"cache category ref=yes section=0 book=0:0:0 categories=4", "sync BIBLEBOOKMARKS now=1"}));

    cBookmark s = section(24326, 15184, 12, 2);
    ASSERT_TRUE(store.addBookmark(s, false, false, false));
    EXPECT_EQ(query("SELECT pubid, bookid, edition, section, catid, serverid, deleted FROM BookBookmarks"),
        (Table {{"24326", "15184", "3", "12", "2", "0", "0"}}));
    EXPECT_EQ(takeCalls(),
        (Calls {"cache category ref=no section=12 book=24326:15184:3 categories=2", "sync BOOKBOOKMARKS now=1"}));

    // The sync engine keeps the server's id and time.
    cBookmark fromServer = verse(5, 6, 7, 0);
    fromServer.serverid = 321;
    ASSERT_TRUE(fromServer.parseTimestamp("2020:02:03:04:05:06:000:01"));
    ASSERT_TRUE(store.addBookmark(fromServer, true, true, true));
    EXPECT_EQ(query("SELECT timestamp, serverid FROM BibleBookmarks WHERE book = 5"),
        (Table {{"2020:02:03:04:05:06:000:01", "321"}}));
    EXPECT_EQ(store.highestBibleBookmarkServerId(), 321);
    EXPECT_EQ(store.highestBookBookmarkServerId(), 0);
}

TEST_F(BookmarkTest, RefusedWritesChangeNothing)
{
    cBookmarkMgr store;
    ASSERT_TRUE(store.openDatabase(nullptr, true, false));
    EXPECT_EQ(store.highestBibleBookmarkServerId(), -1);  // empty table
    cBookmark stored = verse(1, 1, 1, 0);
    stored.recid = 5;
    EXPECT_FALSE(store.addBookmark(stored, false, true, false));
    cBookmark dead = verse(1, 1, 1, 0);
    dead.deleted = 1;
    EXPECT_FALSE(store.addBookmark(dead, false, true, false));
    cBookmark none;  // kind 0
    EXPECT_FALSE(store.writeBookmark(none, true, false));
    const std::uint32_t shown = cMsgBox::shownCount();
    cBookmark fresh = verse(1, 1, 1, 0);
    EXPECT_FALSE(store.updateBookmark(fresh, true, false));
    EXPECT_EQ(cMsgBox::shownCount(), shown + 1);
    EXPECT_FALSE(store.updateBookmark(fresh, false, false));
    EXPECT_EQ(cMsgBox::shownCount(), shown + 1);
    EXPECT_EQ(query("SELECT COUNT(*) FROM BibleBookmarks"), (Table {{"0"}}));
    EXPECT_TRUE(takeCalls().empty());
}

TEST_F(BookmarkTest, OneLiveBookmarkPerLocationAndCategory)
{
    cBookmarkMgr store;
    ASSERT_TRUE(store.openDatabase(nullptr, true, true));
    cBookmark a = verse(1, 1, 1, 3);
    cBookmark b = verse(1, 1, 1, 3);
    cBookmark c = verse(1, 1, 1, 1);
    ASSERT_TRUE(store.addBookmark(a, false, true, false));
    ASSERT_TRUE(store.addBookmark(b, false, true, false));
    ASSERT_TRUE(store.addBookmark(c, false, true, false));
    EXPECT_EQ(query("SELECT recid, catid FROM BibleBookmarks ORDER BY recid"), (Table {{"2", "3"}, {"3", "1"}}));
    cLPtrArray* list = store.bibleBookmarksInRange(makeBibleKey(1, 1, 1));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(static_cast<cBookmark*>(list->elementAt(0))->catid, 1);
    EXPECT_EQ(static_cast<cBookmark*>(list->elementAt(1))->catid, 3);
    cBookmarkMgr::freeBookmarkList(list);

    // A tombstone in the category does not stop a new live bookmark there.
    ASSERT_TRUE(store.markBookmarkDeleted(c, false, true, false));
    cBookmark again = verse(1, 1, 1, 1);
    ASSERT_TRUE(store.addBookmark(again, false, true, false));
    EXPECT_EQ(store.countBibleBookmarks(-1, 1), 2);
    EXPECT_EQ(store.countBibleBookmarks(0, 1), 1);

    cBookmark s1 = section(1, 2, 3, 0);
    cBookmark s2 = section(1, 2, 3, 0);
    s2.edition = 9;  // edition is no part of the location
    ASSERT_TRUE(store.addBookmark(s1, false, true, false));
    ASSERT_TRUE(store.addBookmark(s2, false, true, false));
    EXPECT_EQ(query("SELECT recid, edition FROM BookBookmarks"), (Table {{std::to_string(s2.recid), "9"}}));
}

TEST_F(BookmarkTest, SoftDeleteAndUpdateKeepTheRow)
{
    cBookmarkMgr store;
    ASSERT_TRUE(store.openDatabase(nullptr, true, true));
    cBookmark b = verse(2, 3, 4, 5);
    ASSERT_TRUE(store.addBookmark(b, false, true, false));
    ASSERT_TRUE(run("UPDATE BibleBookmarks SET serverid = 77, timestamp = '2001:01:01:00:00:00:000:01'"));
    takeCalls();

    // A record that only knows its recid learns its location back from the row.
    cBookmark byId;
    byId.kind = cBookmark::kBibleVerse;
    byId.recid = b.recid;
    byId.serverid = 77;
    ASSERT_TRUE(store.markBookmarkDeleted(byId, false, true, false));
    EXPECT_EQ(byId.book, 2u);
    EXPECT_EQ(byId.verse, 4u);
    EXPECT_EQ(byId.catid, 5);
    const Table row = query("SELECT recid, serverid, deleted, timestamp FROM BibleBookmarks");
    ASSERT_EQ(row.size(), 1u);
    EXPECT_EQ(row[0][0], std::to_string(b.recid));
    EXPECT_EQ(row[0][1], "0");
    EXPECT_EQ(row[0][2], "1");
    EXPECT_NE(row[0][3], "2001:01:01:00:00:00:000:01");
    EXPECT_EQ(
        takeCalls(), (Calls {"cache category ref=yes section=0 book=0:0:0 categories=5", "sync BIBLEBOOKMARKS now=1"}));

    cBookmark read;
    ASSERT_TRUE(store.readBookmarkRow(b.recid, read, cBookmark::kBibleVerse));
    EXPECT_EQ(read.deleted, 1);
    EXPECT_TRUE(store.deleteBookmarkRow(read));
    EXPECT_FALSE(store.readBookmarkRow(b.recid, read, cBookmark::kBibleVerse));
    EXPECT_FALSE(store.readBookmarkRow(b.recid, read, 7));
    EXPECT_FALSE(store.deleteBookmarkRow(read));  // cleared: no kind
    EXPECT_EQ(query("SELECT COUNT(*) FROM BibleBookmarks"), (Table {{"0"}}));
}

TEST_F(BookmarkTest, SearchesWalkInTableOrder)
{
    cBookmarkMgr store;
    ASSERT_TRUE(store.openDatabase(nullptr, true, true));
    const int keys[][4] = {{2, 1, 1, 1}, {1, 5, 1, 2}, {1, 5, 1, 1}, {1, 1, 9, 4}, {1, 5, 2, 1}, {1, 5, 1, 3}};
    for (const auto& k : keys) {
        cBookmark b = verse(k[0], k[1], k[2], static_cast<std::uint16_t>(k[3]));
        ASSERT_TRUE(store.addBookmark(b, false, true, false));
    }
    cBookmark dead = verse(1, 5, 1, 9);
    ASSERT_TRUE(store.addBookmark(dead, false, true, false));
    ASSERT_TRUE(store.markBookmarkDeleted(dead, false, true, false));
    takeCalls();

    auto walk = [&](cBookmarkSearch search) {
        std::vector<std::string> seen;
        cBookmark b;
        for (bool more = store.findFirstBibleBookmark(search, b); more; more = store.findNextBookmark(search, b))
            seen.push_back(std::to_string(b.book) + ":" + std::to_string(b.chapter) + ":" + std::to_string(b.verse) +
                "/" + std::to_string(b.catid));
        return seen;
    };
    cBookmarkSearch all;
    EXPECT_EQ(walk(all), (Calls {"1:1:9/4", "1:5:1/1", "1:5:1/2", "1:5:1/3", "1:5:2/1", "2:1:1/1"}));
    EXPECT_EQ(takeCalls(), (Calls {"sync BIBLEBOOKMARKS now=0"}));  // the first hit only

    cBookmarkSearch oneVerse;
    oneVerse.hasVerse = true;
    oneVerse.book = 1;
    oneVerse.chapter = 5;
    oneVerse.verse = 1;
    EXPECT_EQ(walk(oneVerse), (Calls {"1:5:1/1", "1:5:1/2", "1:5:1/3"}));
    cBookmarkSearch withDeleted = oneVerse;
    withDeleted.hasDeletedFilter = true;
    withDeleted.deletedFilter = 2;
    EXPECT_EQ(walk(withDeleted), (Calls {"1:5:1/1", "1:5:1/2", "1:5:1/3", "1:5:1/9"}));
    withDeleted.deletedFilter = 1;
    EXPECT_EQ(walk(withDeleted), (Calls {"1:5:1/9"}));

    cBookmarkSearch category;
    category.hasCatid = true;
    category.catid = 1;
    EXPECT_EQ(walk(category), (Calls {"1:5:1/1", "1:5:2/1", "2:1:1/1"}));

    cBookmarkSearch nothing;
    nothing.hasVerse = true;
    nothing.book = 9;
    EXPECT_EQ(walk(nothing), Calls {});
    cBookmarkSearch unknown;
    unknown.state = 3;
    cBookmark b;
    EXPECT_FALSE(store.findNextBookmark(unknown, b));

    // The unique_ptr form hands over a new record.
    std::unique_ptr<cBookmark> made;
    cBookmarkSearch first;
    ASSERT_TRUE(store.findFirstBibleBookmark(first, made));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->verse, 9u);
}

TEST_F(BookmarkTest, BookSearchesStopAtTheirBookAndSection)
{
    cBookmarkMgr store;
    ASSERT_TRUE(store.openDatabase(nullptr, true, true));
    const int keys[][4] = {{1, 2, 5, 0}, {1, 2, 5, 3}, {1, 2, 6, 0}, {1, 3, 5, 0}, {2, 2, 5, 0}};
    for (const auto& k : keys) {
        cBookmark b = section(
            static_cast<std::uint16_t>(k[0]), static_cast<std::uint16_t>(k[1]), k[2], static_cast<std::uint16_t>(k[3]));
        ASSERT_TRUE(store.addBookmark(b, false, true, false));
    }
    cBookmarkSearch search;
    search.hasBook = true;
    search.pubid = 1;
    search.bookid = 2;
    std::vector<std::int32_t> sections;
    cBookmark b;
    for (bool more = store.findFirstBookBookmark(search, b); more; more = store.findNextBookmark(search, b))
        sections.push_back(b.section);
    EXPECT_EQ(sections, (std::vector<std::int32_t> {5, 5, 6}));

    cLPtrArray* list = store.bookBookmarksForSection(1, 2, 5);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), 2);
    cBookmarkMgr::freeBookmarkList(list);
    EXPECT_EQ(store.bookBookmarksForSection(1, 2, 7), nullptr);
    EXPECT_TRUE(store.hasBookBookmark(1, 3, 5));
    EXPECT_FALSE(store.hasBookBookmark(1, 3, 6));

    EXPECT_EQ(store.countBookBookmarks(0, 0, 0, -1, 65535), 5);
    EXPECT_EQ(store.countBookBookmarks(1, 2, 0, -1, 65535), 3);
    EXPECT_EQ(store.countBookBookmarks(1, 0, 3, 0, 0), 3);
    EXPECT_EQ(store.countBookBookmarks(0, 0, 4, -1, 65535), 0);
    EXPECT_EQ(store.countBookBookmarks(0, 0, 0, 1, 65535), 0);
}

TEST_F(BookmarkTest, FindLikeMatchesLocationAndCategory)
{
    cBookmarkMgr store;
    ASSERT_TRUE(store.openDatabase(nullptr, true, true));
    cBookmark b = verse(4, 5, 6, 7);
    ASSERT_TRUE(store.addBookmark(b, false, true, false));
    cBookmark s = section(8, 9, 10, 7);
    ASSERT_TRUE(store.addBookmark(s, false, true, false));
    takeCalls();

    cBookmark found;
    EXPECT_TRUE(store.findSameBookmark(verse(4, 5, 6, 7), found));
    EXPECT_EQ(found.recid, b.recid);
    EXPECT_EQ(found.timestamp, b.timestamp);
    EXPECT_FALSE(store.findSameBookmark(verse(4, 5, 6, 8), found));
    EXPECT_TRUE(store.findSameBookmark(section(8, 9, 10, 7), found));
    EXPECT_EQ(found.recid, s.recid);
    EXPECT_EQ(found.edition, 3);
    EXPECT_EQ(
        takeCalls(), (Calls {"sync BIBLEBOOKMARKS now=0", "sync BIBLEBOOKMARKS now=0", "sync BOOKBOOKMARKS now=0"}));

    ASSERT_TRUE(store.markBookmarkDeleted(b, false, true, false));
    cBookmarkSearch search;
    search.hasVerse = true;
    search.book = 4;
    search.chapter = 5;
    search.verse = 6;
    search.catid = 7;
    EXPECT_FALSE(store.findBookmarkByLocation(search, found));  // live rows by default
    search.hasDeletedFilter = true;
    search.deletedFilter = 1;
    EXPECT_TRUE(store.findBookmarkByLocation(search, found));
    EXPECT_EQ(found.deleted, 1);
    EXPECT_FALSE(store.findBookmarkLike(cBookmarkSearch {}, found));  // neither verse nor section
}

TEST_F(BookmarkTest, CategoryBulkOperations)
{
    cBookmarkMgr store;
    ASSERT_TRUE(store.openDatabase(nullptr, true, true));
    for (int v = 1; v <= 3; ++v) {
        cBookmark b = verse(1, 1, v, 3);
        ASSERT_TRUE(store.addBookmark(b, false, true, false));
    }
    cBookmark other = verse(1, 1, 1, 4);
    ASSERT_TRUE(store.addBookmark(other, false, true, false));
    cBookmark s = section(5, 6, 7, 3);
    ASSERT_TRUE(store.addBookmark(s, false, true, false));
    ASSERT_TRUE(run("UPDATE BibleBookmarks SET serverid = recid + 100; UPDATE BookBookmarks SET serverid = 500"));
    EXPECT_EQ(store.countBibleBookmarks(-1, 65535), 4);
    EXPECT_EQ(store.countBibleBookmarks(-1, 3), 3);
    takeCalls();

    // Copying skips locations the target category already holds.
    ASSERT_TRUE(store.copyCategoryBookmarks(3, 4, true, false));
    EXPECT_EQ(takeCalls(),
        (Calls {"cache category ref=no section=-1 book=0:0:0 categories=3,4", "sync BIBLEBOOKMARKS now=1",
            "sync BOOKBOOKMARKS now=1"}));
    EXPECT_EQ(
        query("SELECT book, chapter, verse, serverid, deleted FROM BibleBookmarks WHERE catid = 4 ORDER BY verse"),
        (Table {{"1", "1", "1", "104", "0"}, {"1", "1", "2", "0", "0"}, {"1", "1", "3", "0", "0"}}));
    EXPECT_EQ(query("SELECT pubid, bookid, edition, section, catid, serverid FROM BookBookmarks ORDER BY recid"),
        (Table {{"5", "6", "3", "7", "3", "500"}, {"5", "6", "3", "7", "4", "0"}}));
    EXPECT_EQ(store.countBibleBookmarks(0, 3), 3);  // the source stays

    cDBTimestamp when;
    when.year = 2024;
    when.month = 1;
    when.day = 5;
    ASSERT_TRUE(store.deleteBookmarksInCategory(3, true, &when));
    EXPECT_EQ(takeCalls(),
        (Calls {"cache category ref=no section=-1 book=0:0:0 categories=3", "sync BIBLEBOOKMARKS now=1",
            "sync BOOKBOOKMARKS now=1"}));
    EXPECT_EQ(query("SELECT DISTINCT deleted, serverid, timestamp FROM BibleBookmarks WHERE catid = 3"),
        (Table {{"1", "0", "2024:01:05:00:00:00:000:00"}}));
    EXPECT_EQ(query("SELECT deleted, serverid FROM BookBookmarks WHERE catid = 3"), (Table {{"1", "0"}}));
    EXPECT_EQ(store.countBibleBookmarks(0, 65535), 3);
    EXPECT_EQ(store.countBibleBookmarks(1, 65535), 3);
    EXPECT_EQ(query("SELECT serverid FROM BibleBookmarks WHERE catid = 4 AND verse = 1"), (Table {{"104"}}));

    ASSERT_TRUE(store.deleteBookmarksInCategory(-1, true));
    EXPECT_EQ(store.countBibleBookmarks(0, 65535), 0);
    EXPECT_EQ(store.countBookBookmarks(0, 0, 0, 0, 65535), 0);
}

TEST_F(BookmarkTest, UnsyncedRowsComeByRecid)
{
    cBookmarkMgr store;
    ASSERT_TRUE(store.openDatabase(nullptr, true, true));
    cBookmark b;
    EXPECT_FALSE(store.firstUnsyncedBibleBookmark(b));
    for (int v = 1; v <= 3; ++v) {
        cBookmark add = verse(1, 1, v, 0);
        ASSERT_TRUE(store.addBookmark(add, false, true, false));
    }
    ASSERT_TRUE(run("UPDATE BibleBookmarks SET serverid = 9 WHERE verse = 1"));
    ASSERT_TRUE(store.firstUnsyncedBibleBookmark(b));
    EXPECT_EQ(b.verse, 2u);
    EXPECT_EQ(b.kind, 1u);
    cBookmark s = section(1, 1, 1, 0);
    ASSERT_TRUE(store.addBookmark(s, false, true, false));
    ASSERT_TRUE(store.firstUnsyncedBookBookmark(b));
    EXPECT_EQ(b.recid, s.recid);
    EXPECT_EQ(b.section, 1);
}

TEST_F(BookmarkTest, OpenExistingNeedsBothTables)
{
    cBookmarkMgr store;
    EXPECT_FALSE(store.openDatabase(nullptr, false, true));
    EXPECT_FALSE(store.isOpen());
    EXPECT_EQ(cSQLiteDbBase::openCount(), 1);                       // only the test's own share
    EXPECT_FALSE(store.hasBookmarkInRange(makeBibleKey(1, 1, 1)));  // nothing to open: no tables
    EXPECT_EQ(store.bibleBookmarksInRange(makeBibleKey(1, 1, 1)), nullptr);
    {
        cBookmarkMgr creator;
        ASSERT_TRUE(creator.openDatabase(nullptr, true, true));
        cBookmark b = verse(1, 1, 1, 2);
        ASSERT_TRUE(creator.addBookmark(b, false, true, false));
    }
    // The queries open on demand and close again.
    EXPECT_TRUE(store.hasBookmarkInRange(makeBibleKey(1, 1, 1)));
    EXPECT_FALSE(store.isOpen());
    EXPECT_EQ(cSQLiteDbBase::openCount(), 1);
    ASSERT_TRUE(store.openDatabase(nullptr, false, true));
    EXPECT_EQ(cSQLiteDbBase::openCount(), 2);
}

TEST_F(BookmarkTest, MigratesOlderTables)
{
    ASSERT_TRUE(run("CREATE TABLE BibleBookmarks ( recid INTEGER PRIMARY KEY AUTOINCREMENT,timestamp TEXT,"
                    "book INTEGER,chapter INTEGER,verse INTEGER,catid INTEGER );"
                    "CREATE INDEX BibleBookmarkIndex ON BibleBookmarks (book, chapter, verse);"
                    "INSERT INTO BibleBookmarks (timestamp, book, chapter, verse, catid) "
                    "VALUES ('2010:01:02:03:04:05:000:06', 19, 23, 1, 2);"
                    "CREATE TABLE BookBookmarks ( recid INTEGER PRIMARY KEY AUTOINCREMENT,timestamp TEXT,"
                    "pubid INTEGER,bookid INTEGER,edition INTEGER,section INTEGER,catid INTEGER );"
                    "CREATE INDEX BookBookmarkIndex ON BookBookmarks (pubid, bookid);"
                    "INSERT INTO BookBookmarks (timestamp, pubid, bookid, edition, section, catid) "
                    "VALUES ('2011:01:02:03:04:05:000:06', 7, 8, 1, 40, 0)"));
    cBookmarkMgr store;
    ASSERT_TRUE(store.openDatabase(nullptr, true, true));
    EXPECT_EQ(query("SELECT COUNT(*) FROM pragma_table_info('BibleBookmarks')"), (Table {{"8"}}));
    EXPECT_EQ(query("SELECT COUNT(*) FROM pragma_table_info('BookBookmarks')"), (Table {{"9"}}));
    EXPECT_EQ(query("SELECT name FROM sqlite_master WHERE type = 'index' AND name LIKE '%Bookmark%' ORDER BY name"),
        (Table {{"BibleBookmarkDeletedIndex"}, {"BibleBookmarkServerIdIndex"}, {"BookBookmarkDeletedIndex"},
            {"BookBookmarkServerIdIndex"}}));
    // The old rows are live and unsynced, so they are uploaded.
    cBookmark b;
    ASSERT_TRUE(store.firstUnsyncedBibleBookmark(b));
    EXPECT_EQ(b.packedKey(), makeBibleKey(19, 23, 1));
    EXPECT_EQ(b.timestamp.year, 2010);
    EXPECT_TRUE(store.hasBookBookmark(7, 8, 40));
    store.close();
    // A current table is left alone.
    ASSERT_TRUE(store.openDatabase(nullptr, true, true));
    EXPECT_EQ(store.countBibleBookmarks(0, 2), 1);
}

// A verse map in which verse 3:1:6 of one versification is 1:1:5 of another.
class EquivalentVerses : public BookmarkTest {
protected:
    static FILE* tableFile(int count, const std::string& rows)
    {
        std::FILE* f = std::tmpfile();
        const std::string body = "*** reference table\n+++ Header\nVersion=20\nCount=" + std::to_string(count) +
            "\n--- End\n+++ Data\n\"Column\",\"Titles\"\n" + rows + "--- End\n";
        std::fwrite(body.data(), 1, body.size(), f);
        std::rewind(f);
        return f;
    }
    void SetUp() override
    {
        BookmarkTest::SetUp();
        std::FILE* names = tableFile(7, "1,1\n2,2\n3,1\n4,19\n5,19\n6,27\n7,40\n");
        ASSERT_EQ(cBibleRefTables::loadBookNumToNameNum(names), 0);
        std::fclose(names);
        std::FILE* books = tableFile(5, "1,0,1\n1,1,2\n2,0,3\n2,1,2\n3,0,5\n4,0,1\n4,1,3\n5,0,6\n5,1,7\n");
        ASSERT_EQ(cBibleRefTables::loadBibleBooks(books), 0);
        std::fclose(books);
        std::FILE* map = tableFile(6,
            "1,1,1,10,3,1,2,1\n1,1,11,250,3,2,1,1\n2,1,1,5,6,1,1,1\n"
            "3,1,2,11,1,1,1,1\n3,2,1,250,1,1,11,1\n4,5,1,3,5,5,1,0\n");
        ASSERT_EQ(cBibleRefTables::loadVerseMap(map), 0);
        std::fclose(map);
        cLIntArray starts, ends;
        cBibleRef(makeBibleKey(3, 1, 6)).collectEquivalentKeys(starts, ends);
        ASSERT_GE(starts.count(), 2);
        ASSERT_EQ(static_cast<std::uint32_t>(starts.getAt(1)), makeBibleKey(1, 1, 5));
    }
    void TearDown() override
    {
        for (int i = 0; i < kBibleRefTableCount; ++i)
            cBibleRefTables::resetTable(static_cast<BibleRefTable>(i), 1);
        BookmarkTest::TearDown();
    }
};

TEST_F(EquivalentVerses, RangeQueriesFindBookmarksOfEquivalentVerses)
{
    cBookmarkMgr store;
    ASSERT_TRUE(store.openDatabase(nullptr, true, true));
    cBookmark there = verse(1, 1, 5, 2);
    cBookmark here = verse(3, 1, 6, 1);
    ASSERT_TRUE(store.addBookmark(there, false, true, false));
    EXPECT_TRUE(store.hasBookmarkInRange(makeBibleKey(3, 1, 6)));
    ASSERT_TRUE(store.addBookmark(here, false, true, false));
    cLPtrArray* list = store.bibleBookmarksInRange(makeBibleKey(3, 1, 6));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 2);  // its own key first
    EXPECT_EQ(static_cast<cBookmark*>(list->elementAt(0))->recid, here.recid);
    EXPECT_EQ(static_cast<cBookmark*>(list->elementAt(1))->recid, there.recid);
    cBookmarkMgr::freeBookmarkList(list);
    EXPECT_FALSE(store.hasBookmarkInRange(makeBibleKey(3, 1, 7)));

    // Overlapping equivalent ranges list a bookmark once.
    cBookmark merged = verse(4, 5, 1, 0);
    ASSERT_TRUE(store.addBookmark(merged, false, true, false));
    list = store.bibleBookmarksInRange(makeBibleKey(5, 5, 1));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->count(), 1);
    cBookmarkMgr::freeBookmarkList(list);
}

TEST_F(BookmarkTest, ThreadsWriteAtOnce)
{
    {
        cBookmarkMgr creator;
        ASSERT_TRUE(creator.openDatabase(nullptr, true, true));
    }
    constexpr int kThreads = 4;
    constexpr int kEach = 20;
    std::vector<std::thread> threads;
    std::vector<std::vector<std::int64_t>> recids(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &recids] {
            cBookmarkMgr store;
            if (!store.openDatabase(nullptr, false, true))
                return;
            for (int i = 0; i < kEach; ++i) {
                cBookmark b = verse(1 + t, 1, 1 + i, 0);
                if (store.addBookmark(b, false, true, false))
                    recids[t].push_back(b.recid);
                cBookmark shared = verse(66, 1, 1, 0);  // every thread replaces the same bookmark
                store.addBookmark(shared, false, true, false);
                store.hasBookmarkInRange(makeBibleKey(1 + t, 1, 1 + i));
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    std::set<std::int64_t> unique;
    for (const auto& list : recids) {
        EXPECT_EQ(list.size(), static_cast<std::size_t>(kEach));
        unique.insert(list.begin(), list.end());
    }
    EXPECT_EQ(unique.size(), static_cast<std::size_t>(kThreads * kEach));
    EXPECT_EQ(
        query("SELECT COUNT(*) FROM BibleBookmarks WHERE book < 66"), (Table {{std::to_string(kThreads * kEach)}}));
    EXPECT_EQ(query("SELECT COUNT(*) FROM BibleBookmarks WHERE book = 66 AND deleted = 0"), (Table {{"1"}}));
}

}  // namespace
