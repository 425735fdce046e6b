#include "userdata/cBookNoteStg.h"

#include "support/CallRecorder.h"

#include <thread>

#include "engine/foundation/cMsgBox.h"
#include "tests/userdata/UserDataTestSupport.h"

namespace {

using namespace qs::userdata::testsupport;

cLString16 wide(const char* utf8)
{
    return cLString16(utf8);
}

// Statement texts as SQLite saw them, with "?" where values are bound.
struct StatementLog {
    std::vector<std::string> statements;
    static int callback(unsigned, void* self, void*, void* sql)
    {
        static_cast<StatementLog*>(self)->statements.emplace_back(static_cast<const char*>(sql));
        return 0;
    }
    void start() { sqlite3_trace_v2(cSQLiteDbBase::connectionHandle(), SQLITE_TRACE_STMT, &callback, this); }
    void stop() { sqlite3_trace_v2(cSQLiteDbBase::connectionHandle(), 0, nullptr, nullptr); }
};

class BookNoteStgTest : public StoreTest<cBookNoteStg> {
protected:
    BookNoteStgTest() : StoreTest("booknotes") { }
    static cBookNote note(std::uint16_t pubid, std::uint16_t bookid, std::uint8_t edition, std::int32_t section,
        const char* body, const char* form = "", const char* field = "")
    {
        cBookNote n;
        n.pubid = pubid;
        n.bookid = bookid;
        n.edition = edition;
        n.section = section;
        n.note.assign(wide(body));
        n.formname.assign(wide(form));
        n.fieldname.assign(wide(field));
        return n;
    }
};

TEST_F(BookNoteStgTest, AddStampsWritesAndRequestsSync)
{
    openStore();
    cBookNote n = note(1, 23, 1, 7, "First thoughts");
    n.serverid = 99;  // a local add never keeps a server id
    cDBRecord before;
    before.stampNow();
    ASSERT_TRUE(m_store.addBookNote(n, false, true, false));
    EXPECT_EQ(n.recid, 1);
    EXPECT_EQ(n.serverid, 0);
    EXPECT_EQ(n.deleted, 0);
    EXPECT_GE(text(n.timestampText()), text(before.timestampText()));
    EXPECT_EQ(CallRecorder::shared().takeCalls(),
        (Calls {"cache note kind=4 section=7 book=1:23:1", "sync BOOKNOTES now=1 editing=99"}));

    const cSQLRows rows = query("SELECT * FROM BookNotes");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (cSQLRow {"1", n.timestampText(), "1", "23", "1", "7", "", "", "First thoughts", "0", "0"}));

    cBookNote stored;
    stored.recid = 1;
    ASSERT_TRUE(m_store.readBookNoteByRecid(stored, true));
    EXPECT_TRUE(stored.isEqual(n));
    EXPECT_EQ(text(stored.note), "First thoughts");
    EXPECT_EQ(CallRecorder::shared().takeCalls(), (Calls {"sync BOOKNOTES now=0"}));

    // Only new, live records are added.
    cBookNote again = n;
    EXPECT_FALSE(m_store.addBookNote(again, false, true, false));
    cBookNote dead = note(1, 23, 1, 8, "x");
    dead.deleted = 1;
    EXPECT_FALSE(m_store.addBookNote(dead, false, true, false));
    EXPECT_TRUE(CallRecorder::shared().calls().empty());
}

TEST_F(BookNoteStgTest, NewNoteReplacesAnyRowAtItsLocationAndField)
{
    openStore();
    cBookNote first = note(1, 23, 1, 7, "old", "Prayer", "Request");
    ASSERT_TRUE(m_store.addBookNote(first, false, true, false));
    ASSERT_TRUE(m_store.markBookNoteDeleted(first, false, true, false));  // now a tombstone
    cBookNote second = note(1, 23, 1, 7, "new", "PRAYER", "request");     // names differ only in case
    ASSERT_TRUE(m_store.addBookNote(second, false, true, false));
    EXPECT_EQ(second.recid, 2);
    cSQLRows rows = query("SELECT recid, note, deleted FROM BookNotes");
    EXPECT_EQ(rows, (cSQLRows {{"2", "new", "0"}}));
    // A plain note at the same section is another field and stays.
    cBookNote plain = note(1, 23, 1, 7, "plain");
    ASSERT_TRUE(m_store.addBookNote(plain, false, true, false));
    EXPECT_EQ(m_store.countBookNotes(1, 23, 1, 0), 2);
    EXPECT_TRUE(m_store.findBookNoteRecid(1, 23, 1, 7, wide("prayer"), wide("REQUEST")));
}

TEST_F(BookNoteStgTest, UpdateAndDeleteLeaveTheSyncFieldsForUpload)
{
    openStore();
    cBookNote n = note(2, 5, 3, 11, "text");
    n.serverid = 4000;
    ASSERT_TRUE(m_store.addBookNote(n, true, true, true));  // as the sync writes a received row
    EXPECT_EQ(text(cLString8(query("SELECT serverid FROM BookNotes")[0][0])), "4000");
    CallRecorder::shared().clear();

    n.note.assign(wide("edited"));
    ASSERT_TRUE(m_store.updateBookNote(n, false, true, false));
    EXPECT_EQ(n.serverid, 0);
    EXPECT_EQ(query("SELECT note, serverid, deleted FROM BookNotes"), (cSQLRows {{"edited", "0", "0"}}));
    EXPECT_EQ(CallRecorder::shared().takeCalls(),
        (Calls {"cache note kind=4 section=11 book=2:5:3", "sync BOOKNOTES now=1 editing=4000"}));

    // An empty text turns the note into a tombstone.
    n.note.makeEmpty();
    ASSERT_TRUE(m_store.updateBookNote(n, false, true, false));
    EXPECT_EQ(query("SELECT note, serverid, deleted FROM BookNotes"), (cSQLRows {{"", "0", "1"}}));
    EXPECT_FALSE(m_store.findBookNoteRecid(2, 5, 3, 11, cLString16(), cLString16()));
    cBookNote unsynced;
    ASSERT_TRUE(m_store.firstUnsyncedBookNote(unsynced));  // tombstones are uploaded too
    EXPECT_EQ(unsynced.deleted, 1);

    // Update without recid is refused and reported as code -1.
    const std::uint32_t shown = cMsgBox::shownCount();
    cBookNote fresh = note(2, 5, 3, 12, "x");
    CallRecorder::shared().clear();
    EXPECT_FALSE(m_store.updateBookNote(fresh, false, true, false));
    EXPECT_EQ(cMsgBox::shownCount(), shown + 1);
    EXPECT_TRUE(text(cSQLiteDbBase::composeErrorReport(-1)).rfind("Error -1 accessing database", 0) == 0);
    EXPECT_FALSE(m_store.updateBookNote(fresh, false, false, false));
    EXPECT_EQ(cMsgBox::shownCount(), shown + 1);
    EXPECT_TRUE(CallRecorder::shared().calls().empty());
    EXPECT_FALSE(m_store.deleteBookNoteRow(fresh));
}

TEST_F(BookNoteStgTest, UpdateOfARecidOnlyRecordRefreshesItsLocation)
{
    openStore();
    cBookNote n = note(3, 4, 5, 6, "a");
    ASSERT_TRUE(m_store.addBookNote(n, false, true, false));
    cBookNote byId;
    byId.recid = n.recid;
    byId.note.assign(wide("b"));
    ASSERT_TRUE(m_store.updateBookNote(byId, false, true, false));
    EXPECT_EQ(byId.pubid, 3);
    EXPECT_EQ(byId.section, 6);
    EXPECT_EQ(text(byId.note), "b");
}

TEST_F(BookNoteStgTest, FailedWriteKeepsTheNoteItWouldHaveReplaced)
{
    openStore();
    cBookNote old = note(1, 1, 1, 1, "keep me");
    ASSERT_TRUE(m_store.addBookNote(old, false, true, false));
    ASSERT_TRUE(m_raw.exec("CREATE TRIGGER refuse BEFORE INSERT ON BookNotes BEGIN SELECT RAISE(ABORT, 'full'); END"));
    CallRecorder::shared().clear();
    cBookNote replacement = note(1, 1, 1, 1, "new");
    EXPECT_FALSE(m_store.addBookNote(replacement, false, false, false));
    EXPECT_EQ(replacement.recid, 0);
    EXPECT_EQ(query("SELECT recid, note FROM BookNotes"), (cSQLRows {{"1", "keep me"}}));
    // The cache and the sync are asked even after a failure.
    EXPECT_EQ(CallRecorder::shared().takeCalls(),
        (Calls {"cache note kind=4 section=1 book=1:1:1", "sync BOOKNOTES now=1 editing=0"}));
}

TEST_F(BookNoteStgTest, WalksListsAndCounts)
{
    openStore();
    EXPECT_EQ(m_store.highestServerId(), -1);
    EXPECT_EQ(m_store.highestRecid(), 0);
    cBookNote a = note(1, 1, 1, 1, "a"), b = note(2, 2, 2, 1, "b"), c = note(1, 1, 1, 2, "c"),
              d = note(1, 1, 1, 3, "d");
    for (cBookNote* n : {&a, &b, &c, &d})
        ASSERT_TRUE(m_store.addBookNote(*n, false, true, false));
    ASSERT_TRUE(m_store.markBookNoteDeleted(d, false, true, false));
    EXPECT_EQ(m_store.highestServerId(), 0);
    EXPECT_EQ(m_store.highestRecid(), 4);
    CallRecorder::shared().clear();

    cBookNote walk;  // no book: every live note
    ASSERT_TRUE(m_store.firstBookNote(walk, true));
    EXPECT_EQ(text(walk.note), "a");
    walk.pubid = walk.bookid = walk.edition = 0;
    ASSERT_TRUE(m_store.nextBookNote(walk, true));
    EXPECT_EQ(text(walk.note), "b");
    walk.pubid = walk.bookid = walk.edition = 0;
    ASSERT_TRUE(m_store.nextBookNote(walk, true));
    EXPECT_EQ(text(walk.note), "c");
    walk.pubid = walk.bookid = walk.edition = 0;
    EXPECT_FALSE(m_store.nextBookNote(walk, true));  // d is a tombstone
    EXPECT_EQ(CallRecorder::shared().takeCalls(), (Calls {"sync BOOKNOTES now=0"}));

    cBookNote book;  // one book
    book.pubid = book.bookid = book.edition = 1;
    ASSERT_TRUE(m_store.lastBookNote(book, true));
    EXPECT_EQ(text(book.note), "c");
    ASSERT_TRUE(m_store.previousBookNote(book, true));
    EXPECT_EQ(text(book.note), "a");
    EXPECT_FALSE(m_store.previousBookNote(book, true));

    StatementLog log;
    log.start();
    EXPECT_EQ(m_store.countBookNotes(0, 0, 0, -1), 4);
    EXPECT_EQ(m_store.countBookNotes(1, 0, 0, 0), 2);
    EXPECT_EQ(m_store.countBookNotes(1, 1, 1, 1), 1);
    EXPECT_EQ(m_store.countBookNotes(9, 0, 0, -1), 0);
    log.stop();
    EXPECT_EQ(log.statements[0], "SELECT COUNT(*) FROM BookNotes ");
    EXPECT_EQ(log.statements[1], "SELECT COUNT(*) FROM BookNotes WHERE pubid = ? AND deleted = ? ");
    EXPECT_EQ(log.statements[2],
        "SELECT COUNT(*) FROM BookNotes WHERE pubid = ? AND bookid = ? AND edition = ? AND deleted = ? ");

    auto found = m_store.findBookNote(1, 1, 1, 3, cLString16(), cLString16(), false);
    EXPECT_EQ(found, nullptr);
    found = m_store.findBookNote(1, 1, 1, 3, cLString16(), cLString16(), true);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->deleted, 1);
}

TEST_F(BookNoteStgTest, ReadWithHalfAFormNameRunsNoStatement)
{
    openStore();
    cBookNote n = note(1, 1, 1, 1, "");
    n.formname.assign(wide("Form"));
    StatementLog log;
    log.start();
    EXPECT_FALSE(m_store.readBookNoteByRecid(n, true));
    log.stop();
    EXPECT_TRUE(log.statements.empty());
}

TEST_F(BookNoteStgTest, JournalSearchResults)
{
    openStore();
    m_store.addJournalSearchResult(wide("Prayer"), 1, "uuid-'a'", 1, 1);
    m_store.addJournalSearchResult(wide("Prayer"), 2, "uuid-'a'", 1, 2);
    m_store.addJournalSearchResult(wide("Praise"), 3, "uuid-'a'", 2, 1);
    m_store.addJournalSearchResult(wide("Praise"), 4, "uuid-b", 1, 1);
    m_store.addJournalSearchResult(wide("Praise"), 5, nullptr, 1, 1);
    std::vector<cLString8> ids;
    ASSERT_TRUE(m_store.journalSearchLayoutIds(ids));
    ASSERT_EQ(ids.size(), 3u);

    m_store.removeJournalSearchResults("uuid-'a'", 1, 2);
    EXPECT_EQ(query("SELECT COUNT(*) FROM JournalSearchResults")[0][0], cLString8("4"));
    m_store.removeJournalSearchResults("uuid-'a'", -1, 1);  // searchId -1: the tag does not count
    EXPECT_EQ(query("SELECT booknotesrecid FROM JournalSearchResults ORDER BY 1"), (cSQLRows {{"4"}, {"5"}}));
    m_store.removeJournalSearchResults(nullptr, 1, 1);  // no uuid: everything
    EXPECT_TRUE(query("SELECT * FROM JournalSearchResults").empty());
    ids.push_back(cLString8("stale"));
    ASSERT_TRUE(m_store.journalSearchLayoutIds(ids));
    EXPECT_TRUE(ids.empty());
}

TEST_F(BookNoteStgTest, TextAboveTheBasicPlaneSurvivesARoundTrip)
{
    openStore();
    // U+1F64F and U+1D504 as surrogate pairs, plus an apostrophe and accented letters.
    const unsigned short units[] = {
        'G', 'o', 'd', '\'', 's', ' ', 0xD83D, 0xDE4F, ' ', 0xD835, 0xDD04, ' ', 0x00E9, 0x4E2D, 0};
    cBookNote n = note(1, 2, 3, 4, "");
    n.note.assign(cLString16(units));
    ASSERT_TRUE(m_store.addBookNote(n, false, true, false));
    // Stored as real four-byte UTF-8, readable by any other client.
    EXPECT_EQ(query("SELECT hex(note) FROM BookNotes")[0][0], cLString8("476F64277320F09F998F20F09D948420C3A9E4B8AD"));
    cBookNote back;
    back.recid = n.recid;
    ASSERT_TRUE(m_store.readBookNoteByRecid(back, true));
    EXPECT_TRUE(back.note.equals(n.note));
}

TEST_F(BookNoteStgTest, OlderTablesAreUpgraded)
{
    {
        cSQLiteDbBase setup;
        ASSERT_TRUE(setup.open(setup.databasePath()));
        ASSERT_TRUE(setup.exec(
            "CREATE TABLE BookNotes ( recid INTEGER PRIMARY KEY AUTOINCREMENT,timestamp TEXT,pubid INTEGER,bookid "
            "INTEGER,edition INTEGER,section INTEGER,formname TEXT,fieldname TEXT,note TEXT );"
            "CREATE INDEX BookNoteIndex ON BookNotes (pubid, bookid);"
            "INSERT INTO BookNotes (timestamp, pubid, bookid, edition, section, formname, fieldname, note) VALUES "
            "('2020:01:02:03:04:05:000:04', 1, 2, 3, 4, '', '', 'legacy');"
            "CREATE TABLE JournalSearchResults ( formname TEXT, booknotesrecid INTEGER );"
            "CREATE INDEX JournalSearchResultsIndex ON JournalSearchResults (formname);"
            "INSERT INTO JournalSearchResults VALUES ('F', 1)"));
    }
    openStore();
    EXPECT_EQ(query("PRAGMA table_info(BookNotes)").size(), 11u);
    EXPECT_EQ(query("SELECT serverid, deleted FROM BookNotes"), (cSQLRows {{"0", "0"}}));
    EXPECT_EQ(query("SELECT layoutuuid, searchid, searchtag FROM JournalSearchResults"), (cSQLRows {{"", "-1", "-1"}}));
    EXPECT_EQ(query("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name != 'StoreSweeps' ORDER BY name"),
        (cSQLRows {{"BookNoteDeletedIndex"}, {"BookNoteServerIdIndex"}, {"JournalSearchResultsUuidIdTagName"}}));
    cBookNote walk;
    ASSERT_TRUE(m_store.firstBookNote(walk, true));
    EXPECT_EQ(walk.timestamp.year, 2020);
    EXPECT_EQ(text(walk.note), "legacy");
}

TEST_F(BookNoteStgTest, ThreadsSavingAtOnceLeaveOneRowPerLocation)
{
    openStore();
    constexpr int kThreads = 6;
    constexpr int kNotes = 20;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            cBookNoteStg store;  // each thread its own store object, all on one connection
            ASSERT_TRUE(store.openOrCreate(cLString16(), true));
            for (int i = 0; i < kNotes; ++i) {
                cBookNote own = note(1, 1, 1, 1000 + t * kNotes + i, "own");
                ASSERT_TRUE(store.addBookNote(own, false, true, false));
                cBookNote shared = note(1, 1, 1, 1, "shared");
                ASSERT_TRUE(store.addBookNote(shared, false, true, false));
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(m_store.countBookNotes(0, 0, 0, -1), kThreads * kNotes + 1);
    EXPECT_EQ(query("SELECT COUNT(*) FROM BookNotes WHERE section = 1")[0][0], cLString8("1"));
    EXPECT_EQ(CallRecorder::shared().takeCalls().size(), static_cast<std::size_t>(kThreads * kNotes * 2 * 2));
}

}  // namespace
