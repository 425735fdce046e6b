#include "userdata/cVerseHighlightDoc.h"

#include "support/CallRecorder.h"

#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>

#include "engine/foundation/cMsgBox.h"
#include "engine/references/cBibleRef.h"
#include "engine/references/cBibleRefTables.h"
#include "tests/userdata/UserDataTestSupport.h"
#include "userdata/cBookmarkMgr.h"
#include "userdata/cCategoryStg.h"
#include "userdata/cHighlightColorNameStg.h"
#include "userdata/cNoteDoc.h"

namespace {

using namespace qs::userdata::testsupport;

const Calls kWriteCalls = {"cache bible kind=1 flag=1", "sync BIBLEHIGHLIGHTS now=1"};

class HighlightTest : public UserDataTest {
protected:
    HighlightTest() : UserDataTest("highlights") { }
    void SetUp() override
    {
        UserDataTest::SetUp();
        m_doc = cVerseHighlightDoc::verseHighlightDocInstance();
        ASSERT_NE(m_doc, nullptr);
        if (!m_doc->isDocOpen()) {  // the first test's call opened it already
            ASSERT_TRUE(m_doc->openShared(nullptr));
        }
        openRaw();
        CallRecorder::shared().clear();
    }
    void TearDown() override
    {
        m_raw.close();
        closeDocument();
        UserDataTest::TearDown();
    }
    void closeDocument()
    {
        while (m_doc->isDocOpen())
            m_doc->closeShared();
    }

    Table query(const char* sql) { return asTable(UserDataTest::query(sql)); }
    static cBibleRef ref(int book, int chapter, int verse) { return cBibleRef(makeBibleKey(book, chapter, verse)); }

    cVerseHighlightDoc* m_doc = nullptr;
};

TEST_F(HighlightTest, SettingAVerseWritesOneUnsyncedRow)
{
    ASSERT_TRUE(m_doc->setHighlight(ref(43, 3, 16), 5, 12));
    EXPECT_EQ(takeCalls(), kWriteCalls);
    const Table first = query("SELECT recid, bcv, forecolor, backcolor, serverid, deleted FROM VerseHighlights");
    EXPECT_EQ(first, (Table {{"1", std::to_string(makeBibleKey(43, 3, 16)), "5", "12", "0", "0"}}));

    // Changing the colours updates the row in place and forgets the server id.
    ASSERT_TRUE(run("UPDATE VerseHighlights SET serverid = 31"));
    cDBTimestamp when;
    when.year = 2025;
    when.month = 12;
    when.day = 24;
    ASSERT_TRUE(m_doc->setHighlight(ref(43, 3, 16), 0x8003, 7, &when, true));
    EXPECT_EQ(query("SELECT recid, forecolor, backcolor, serverid, timestamp FROM VerseHighlights"),
        (Table {{"1", std::to_string(0x8003), "7", "0", "2025:12:24:00:00:00:000:00"}}));

    // A tombstone is replaced by a new row.
    ASSERT_TRUE(m_doc->removeHighlight(ref(43, 3, 16)));
    EXPECT_EQ(query("SELECT recid, deleted, serverid FROM VerseHighlights"), (Table {{"1", "1", "0"}}));
    ASSERT_TRUE(m_doc->setHighlight(ref(43, 3, 16), 1, 2));
    EXPECT_EQ(query("SELECT recid, deleted FROM VerseHighlights"), (Table {{"2", "0"}}));
    takeCalls();

    // Removing a highlight that is not there writes nothing.
    ASSERT_TRUE(m_doc->removeHighlight(ref(1, 1, 1)));
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_EQ(m_doc->highestServerId(), 0);
}

TEST_F(HighlightTest, LookupsAreCachedUntilTheNextChange)
{
    std::uint16_t fore = 9, back = 9;
    EXPECT_FALSE(m_doc->getHighlight(ref(1, 1, 1), fore, back));
    EXPECT_EQ(fore, 0);
    EXPECT_EQ(back, 0);
    ASSERT_TRUE(m_doc->setHighlight(ref(1, 1, 1), 3, 4));
    takeCalls();
    ASSERT_TRUE(m_doc->getHighlight(ref(1, 1, 1), fore, back));
    EXPECT_EQ(takeCalls(), (Calls {"sync BIBLEHIGHLIGHTS now=0"}));  // read from the table
    EXPECT_EQ(back, 4);

    // A kept chapter answers without reading the table again.
    ASSERT_TRUE(m_doc->getHighlight(ref(1, 1, 1), fore, back));
    EXPECT_TRUE(takeCalls().empty());
    // A write behind the store's back is seen all the same.
    ASSERT_TRUE(run("UPDATE VerseHighlights SET backcolor = 99"));
    ASSERT_TRUE(m_doc->getHighlight(ref(1, 1, 1), fore, back));
    EXPECT_EQ(back, 99);

    // Any change through the store, the sync engine's included, empties it.
    cVerseHighlightRecord record;
    ASSERT_TRUE(m_doc->findHighlightByVerse(makeBibleKey(1, 1, 1), false, record));
    record.backcolor = 100;
    record.serverid = 8;
    ASSERT_TRUE(m_doc->updateHighlight(record, true, true));
    ASSERT_TRUE(m_doc->getHighlight(ref(1, 1, 1), fore, back));
    EXPECT_EQ(back, 100);
    EXPECT_EQ(query("SELECT serverid FROM VerseHighlights"), (Table {{"8"}}));
    ASSERT_TRUE(m_doc->deleteHighlightsWithColor(100, true));
    EXPECT_FALSE(m_doc->getHighlight(ref(1, 1, 1), fore, back));
}

TEST_F(HighlightTest, StoreOperationsFollowTheRecordRules)
{
    cVerseHighlightRecord record;
    record.setVerse(ref(2, 3, 4), 1, 2);
    record.recid = 4;
    EXPECT_FALSE(m_doc->addHighlight(record, false, true, false));
    record.recid = 0;
    record.deleted = 1;
    EXPECT_FALSE(m_doc->addHighlight(record, false, true, false));
    record.deleted = 0;
    const std::uint32_t shown = cMsgBox::shownCount();
    EXPECT_FALSE(m_doc->updateHighlight(record, true, false));
    EXPECT_EQ(cMsgBox::shownCount(), shown + 1);
    EXPECT_TRUE(takeCalls().empty());
    EXPECT_EQ(m_doc->highestServerId(), -1);

    record.serverid = 55;
    ASSERT_TRUE(m_doc->addHighlight(record, true, true, false));  // the sync engine keeps the server's id
    EXPECT_EQ(m_doc->highestServerId(), 55);
    cVerseHighlightRecord other;
    other.setVerse(ref(2, 3, 5), 0, 3);
    ASSERT_TRUE(m_doc->addHighlight(other, false, true, false));
    cVerseHighlightRecord read;
    ASSERT_TRUE(m_doc->firstUnsyncedHighlight(read));
    EXPECT_EQ(read.recid, other.recid);
    ASSERT_TRUE(m_doc->readHighlightByRecid(record.recid, read));
    EXPECT_EQ(read.bcv, makeBibleKey(2, 3, 4));
    EXPECT_EQ(read.timestamp, record.timestamp);

    // A record that only knows its recid learns its verse back.
    cVerseHighlightRecord byId;
    byId.recid = other.recid;
    ASSERT_TRUE(m_doc->markHighlightDeleted(byId, false, true, false));
    EXPECT_EQ(byId.bcv, makeBibleKey(2, 3, 5));
    EXPECT_EQ(m_doc->countHighlights(0, nullptr), 1);
    EXPECT_EQ(m_doc->countHighlights(1, nullptr), 1);
    EXPECT_EQ(m_doc->countHighlights(-1, nullptr), 2);
    EXPECT_TRUE(m_doc->deleteHighlightRow(byId));
    EXPECT_EQ(m_doc->countHighlights(7, nullptr), 1);
}

TEST_F(HighlightTest, ColourFiltersAndBulkDeletes)
{
    for (int v = 1; v <= 6; ++v)
        ASSERT_TRUE(m_doc->setHighlight(ref(1, 1, v), 0, static_cast<std::uint16_t>(v % 3)));
    cLIntArray colours;
    colours.setCapacity(2);
    colours.add(1);
    colours.add(2);
    EXPECT_EQ(m_doc->countHighlights(0, &colours), 4);
    EXPECT_EQ(m_doc->countHighlights(-1, &colours), 6);  // the filter needs a deleted filter
    cLIntArray none;
    EXPECT_EQ(m_doc->countHighlights(0, &none), 6);

    std::vector<std::uint32_t> verses;
    cVerseHighlightRecord record;
    for (bool more = m_doc->firstHighlight(record, &colours); more; more = m_doc->nextHighlight(record, &colours)) {
        verses.push_back(record.bcv & 0xFF);
        std::uint16_t fore, back;  // the walker may look verses up meanwhile
        EXPECT_TRUE(m_doc->getHighlight(ref(1, 1, static_cast<int>(record.bcv & 0xFF)), fore, back, true));
    }
    m_doc->endHighlightWalk();
    EXPECT_EQ(verses, (std::vector<std::uint32_t> {1, 2, 4, 5}));
    record.clear();
    EXPECT_FALSE(m_doc->nextHighlight(record, nullptr));  // no recid
    takeCalls();

    cDBTimestamp when;
    when.year = 2024;
    when.month = 3;
    when.day = 1;
    ASSERT_TRUE(m_doc->deleteHighlightsWithColor(2, true, &when));
    EXPECT_EQ(takeCalls(), (Calls {"cache clear color", "sync BIBLEHIGHLIGHTS now=1"}));
    EXPECT_EQ(query("SELECT bcv & 255, serverid, timestamp FROM VerseHighlights WHERE deleted = 1 ORDER BY bcv"),
        (Table {{"2", "0", "2024:03:01:00:00:00:000:00"}, {"5", "0", "2024:03:01:00:00:00:000:00"}}));
    ASSERT_TRUE(m_doc->deleteHighlightsWithColor(-1, true));
    EXPECT_EQ(m_doc->countHighlights(0, nullptr), 0);
    EXPECT_EQ(query("SELECT COUNT(DISTINCT timestamp) FROM VerseHighlights WHERE backcolor <> 2"), (Table {{"1"}}));
}

TEST_F(HighlightTest, ClosedDocumentAnswersDefaults)
{
    cVerseHighlightDoc unopened;
    EXPECT_EQ(unopened.highestServerId(), -1);
    EXPECT_FALSE(unopened.isDocOpen());
    std::uint16_t fore, back;
    EXPECT_FALSE(unopened.getHighlight(ref(1, 1, 1), fore, back));
    EXPECT_FALSE(unopened.setHighlight(ref(1, 1, 1), 1, 1));
    EXPECT_FALSE(unopened.removeHighlight(ref(1, 1, 1)));
    cVerseHighlightRecord record;
    EXPECT_FALSE(unopened.firstHighlight(record, nullptr));
    unopened.endHighlightWalk();
    EXPECT_FALSE(unopened.openOrCreate(unopened.databasePath(), true));

    // Shares pair up; a failed open takes none.
    const cLString16 bad("/nonexistent-folder/x.db");
    closeDocument();
    m_raw.close();
    EXPECT_FALSE(m_doc->openShared(&bad));
    EXPECT_FALSE(m_doc->isDocOpen());
    ASSERT_TRUE(m_doc->openShared(nullptr));
    ASSERT_TRUE(m_doc->openShared(nullptr));
    m_doc->closeShared();
    EXPECT_TRUE(m_doc->isDocOpen());
    m_doc->close();
    EXPECT_FALSE(m_doc->isDocOpen());
    EXPECT_EQ(cSQLiteDbBase::openCount(), 0);
    ASSERT_TRUE(m_raw.open(m_raw.databasePath()));
}

TEST_F(HighlightTest, MigratesTheOlderTable)
{
    closeDocument();
    ASSERT_TRUE(run("DROP TABLE VerseHighlights;"
                    "CREATE TABLE VerseHighlights ( recid INTEGER PRIMARY KEY AUTOINCREMENT,timestamp TEXT,bcv INTEGER,"
                    "forecolor INTEGER,backcolor INTEGER );"
                    "CREATE INDEX VerseHighlightIndex ON VerseHighlights (bcv);"
                    "INSERT INTO VerseHighlights (timestamp, bcv, forecolor, backcolor) "
                    "VALUES ('2012:01:01:00:00:00:000:00', 65793, 2, 3)"));
    ASSERT_TRUE(m_doc->openShared(nullptr));
    EXPECT_EQ(query("SELECT COUNT(*) FROM pragma_table_info('VerseHighlights')"), (Table {{"7"}}));
    EXPECT_EQ(
        query("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'VerseHighlights' ORDER BY name"),
        (Table {{"VerseHighlightDeletedIndex"}, {"VerseHighlightServerIdIndex"}}));
    std::uint16_t fore, back;
    ASSERT_TRUE(m_doc->getHighlight(ref(1, 1, 1), fore, back));
    EXPECT_EQ(back, 3);
    cVerseHighlightRecord record;
    ASSERT_TRUE(m_doc->firstUnsyncedHighlight(record));
    EXPECT_EQ(record.deleted, 0);
}

// A verse map in which verse 3:1:6 of one versification is 1:1:5 of another, and 7:2:1 covers the
// verses 6:2:1-250.
class EquivalentHighlights : public HighlightTest {
protected:
    static void load(std::int32_t (*loader)(std::FILE*), int count, const std::string& rows)
    {
        std::FILE* f = std::tmpfile();
        const std::string body = "*** reference table\n+++ Header\nVersion=20\nCount=" + std::to_string(count) +
            "\n--- End\n+++ Data\n\"Column\",\"Titles\"\n" + rows + "--- End\n";
        std::fwrite(body.data(), 1, body.size(), f);
        std::rewind(f);
        EXPECT_EQ(loader(f), 0);
        std::fclose(f);
    }
    void SetUp() override
    {
        HighlightTest::SetUp();
        load(cBibleRefTables::loadBookNumToNameNum, 7, "1,1\n2,2\n3,1\n4,19\n5,19\n6,27\n7,40\n");
        load(cBibleRefTables::loadBibleBooks, 5, "1,0,1\n1,1,2\n2,0,3\n2,1,2\n3,0,5\n4,0,1\n4,1,3\n5,0,6\n5,1,7\n");
        load(cBibleRefTables::loadVerseMap, 7,
            "1,1,1,10,3,1,2,1\n1,1,11,250,3,2,1,1\n2,1,1,5,6,1,1,1\n3,1,2,11,1,1,1,1\n3,2,1,250,1,1,11,1\n"
            "4,5,1,3,5,5,1,0\n6,2,1,250,7,2,1,0\n");
    }
    void TearDown() override
    {
        for (int i = 0; i < kBibleRefTableCount; ++i)
            cBibleRefTables::resetTable(static_cast<BibleRefTable>(i), 1);
        HighlightTest::TearDown();
    }
};

TEST_F(EquivalentHighlights, EquivalentVersesShareTheirHighlight)
{
    ASSERT_TRUE(m_doc->setHighlight(ref(1, 1, 5), 6, 7));
    std::uint16_t fore, back;
    ASSERT_TRUE(m_doc->getHighlight(ref(3, 1, 6), fore, back));
    EXPECT_EQ(fore, 6);
    EXPECT_EQ(back, 7);

    // Colouring the equivalent verse changes the row that is there.
    ASSERT_TRUE(m_doc->setHighlight(ref(3, 1, 6), 1, 2));
    EXPECT_EQ(
        query("SELECT bcv, backcolor FROM VerseHighlights"), (Table {{std::to_string(makeBibleKey(1, 1, 5)), "2"}}));
    ASSERT_TRUE(m_doc->removeHighlight(ref(3, 1, 6)));
    EXPECT_FALSE(m_doc->getHighlight(ref(1, 1, 5), fore, back));
}

// Counts the statements run on the process-wide connection that read each table.
struct StatementCounter {
    int highlights = 0;
    int notes = 0;
    static int count(unsigned, void* self, void*, void* sql)
    {
        auto* counter = static_cast<StatementCounter*>(self);
        const char* text = static_cast<const char*>(sql);
        counter->highlights += std::strstr(text, "FROM VerseHighlights") != nullptr;
        counter->notes += std::strstr(text, "FROM BibleNotes") != nullptr;
        return 0;
    }
    StatementCounter() { sqlite3_trace_v2(cSQLiteDbBase::connectionHandle(), SQLITE_TRACE_STMT, &count, this); }
    ~StatementCounter() { sqlite3_trace_v2(cSQLiteDbBase::connectionHandle(), 0, nullptr, nullptr); }
};

// What the renderer asks of every verse of a page, read through the chapter caches, must be what the
// rows answer verse by verse, whoever wrote them:
// the documents, the sync engine's store calls, this connection behind the stores' back, another
// connection to the file.
TEST_F(EquivalentHighlights, ChapterLookupsAnswerAsTheRowsAcrossEveryWrite)
{
    cNoteDoc notes;
    ASSERT_TRUE(notes.openStores(cLString16()));
    std::vector<cBibleRef> verses;
    for (const auto& [book, chapter] :
        std::vector<std::pair<int, int>> {{1, 1}, {3, 1}, {3, 2}, {2, 1}, {50, 7}, {7, 2}, {6, 2}}) {
        for (int verse = 0; verse <= 40; ++verse)
            verses.push_back(ref(book, chapter, verse));
    }
    const auto answers = [&] {
        std::vector<std::uint32_t> out;
        for (const cBibleRef& verse : verses) {
            std::uint16_t fore = 1, back = 1;
            const bool lit = m_doc->getHighlight(verse, fore, back);
            out.push_back(lit ? (std::uint32_t {fore} << 16 | back) : 0xFFFFFFFF);
            out.push_back(notes.noteVerseInReference(verse));
        }
        return out;
    };
    // The rows verse by verse: a highlight's row as a writer finds it, and the notes asked inside a
    // transaction, where nothing is kept.
    const auto rows = [&] {
        std::vector<std::uint32_t> out;
        EXPECT_TRUE(m_raw.runInTransaction([&] {
            for (const cBibleRef& verse : verses) {
                out.push_back(0);
                out.push_back(notes.noteVerseInReference(verse));
            }
            return true;
        }));
        for (std::size_t i = 0; i < verses.size(); ++i) {
            cVerseHighlightRecord record;
            out[2 * i] = m_doc->findHighlightInReference(verses[i], record)
                ? (std::uint32_t {record.forecolor} << 16 | record.backcolor)
                : 0xFFFFFFFF;
        }
        return out;
    };
    // The chapters of the verses were kept before the write; they are read again for the next step.
    const auto agree = [&](const char* step) {
        const std::vector<std::uint32_t> kept = answers();
        const std::vector<std::uint32_t> fromRows = rows();
        EXPECT_EQ(kept, fromRows) << step;
        EXPECT_EQ(answers(), fromRows) << step << ", read again";
    };
    const auto note = [&](int book, int chapter, int verse, const char* words) {
        cBibleNote n;
        n.booknum = book;
        n.chapter = chapter;
        n.verse = verse;
        n.note.assign(cLString16(words));
        return notes.saveBibleNote(n, false);
    };

    agree("nothing stored");
    ASSERT_TRUE(m_doc->setHighlight(ref(1, 1, 5), 6, 7));
    ASSERT_TRUE(m_doc->setHighlight(ref(3, 2, 30), 8, 9));
    ASSERT_TRUE(m_doc->setHighlight(ref(50, 7, 40), 0, 0));  // no colours is still a highlight
    ASSERT_TRUE(note(1, 1, 3, "a"));
    ASSERT_TRUE(note(3, 2, 12, "b"));
    ASSERT_TRUE(note(50, 7, 1, "c"));
    agree("set");
    std::uint16_t fore, back;
    ASSERT_TRUE(m_doc->getHighlight(ref(3, 1, 6), fore, back));  // an equivalent verse's highlight
    EXPECT_EQ(back, 7);
    EXPECT_EQ(notes.noteVerseInReference(ref(3, 1, 4)), makeBibleKey(1, 1, 3));  // and note

    // A chapter read once: one statement per table for all its verses, none while it is kept.
    ASSERT_TRUE(m_doc->setHighlight(ref(50, 7, 2), 3, 4));
    {
        StatementCounter counter;
        for (int pass = 0; pass < 2; ++pass) {
            for (int verse = 1; verse <= 40; ++verse) {
                EXPECT_EQ(m_doc->getHighlight(ref(50, 7, verse), fore, back), verse == 2 || verse == 40);
                EXPECT_EQ(notes.hasBibleNoteInReference(ref(50, 7, verse)), verse == 1);
            }
        }
        EXPECT_EQ(counter.highlights, 1);
        EXPECT_EQ(counter.notes, 1);
    }

    ASSERT_TRUE(m_doc->removeHighlight(ref(3, 1, 6)));  // through the equivalent verse
    ASSERT_TRUE(notes.deleteBibleNoteAtVerse(3, 2, 12));
    ASSERT_TRUE(note(50, 7, 1, " "));  // shows nothing: a deletion
    agree("deleted");

    // The sync engine's store calls.
    cVerseHighlightRecord synced;
    synced.bcv = makeBibleKey(2, 1, 4);
    synced.forecolor = 11;
    synced.backcolor = 12;
    synced.serverid = 70;
    ASSERT_TRUE(m_doc->addHighlight(synced, true, true, true));
    cBibleNote syncedNote;
    syncedNote.booknum = 3;
    syncedNote.chapter = 1;
    syncedNote.verse = 20;
    syncedNote.serverid = 71;
    syncedNote.note.assign(cLString16("from the server"));
    ASSERT_TRUE(notes.bibleNoteStore().addBibleNote(syncedNote, true, true, true));
    agree("synced");

    // This connection behind the stores' back, then another connection to the file.
    ASSERT_TRUE(run("UPDATE VerseHighlights SET backcolor = 13 WHERE serverid = 70"));
    agree("written on this connection");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(cLString8(m_raw.databasePath()).chars(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other,
                  "UPDATE VerseHighlights SET forecolor = 14; UPDATE BibleNotes SET deleted = 1 WHERE verse = 3; "
                  "INSERT INTO BibleNotes (booknum, chapter, verse, note, serverid, deleted) "
                  "VALUES (50, 7, 33, 'x', 0, 0)",
                  nullptr, nullptr, nullptr),
        SQLITE_OK);
    agree("written by another connection");
    // Rows whose numbers name no verse are no note, in the cache as in the rows; a note in the wide
    // range of keys 7:2:1 covers is found there.
    ASSERT_EQ(sqlite3_exec(other,
                  "INSERT INTO BibleNotes (booknum, chapter, verse, note, serverid, deleted) VALUES "
                  "(6, 2, 12.5, 'x', 0, 0), (6, 258, 12, 'x', 0, 0), (6, 2, 'twelve', 'x', 0, 0), "
                  "(262, 2, 12, 'x', 0, 0), (6, 2, 200, 'x', 0, 0)",
                  nullptr, nullptr, nullptr),
        SQLITE_OK);
    agree("rows that name no verse");
    EXPECT_EQ(notes.noteVerseInReference(ref(7, 2, 1)), makeBibleKey(6, 2, 200));
    // Without the cache (inside a transaction) each range is one statement, not one per key.
    EXPECT_TRUE(m_raw.runInTransaction([&] {
        StatementCounter counter;
        EXPECT_EQ(notes.noteVerseInReference(ref(7, 2, 1)), makeBibleKey(6, 2, 200));
        EXPECT_LE(counter.notes, 3);
        return true;
    }));
    // The verses of one rendered block are a batch, which looks at the file once: this connection's
    // writes count at once, another connection's from the next batch on.
    const auto inBatch = [&] {
        cVerseChapterCache::beginBatch();
        const std::vector<std::uint32_t> out = answers();
        cVerseChapterCache::endBatch();
        return out;
    };
    inBatch();
    ASSERT_EQ(sqlite3_exec(other, "UPDATE VerseHighlights SET backcolor = 15; DELETE FROM BibleNotes WHERE verse = 33",
                  nullptr, nullptr, nullptr),
        SQLITE_OK);
    const std::vector<std::uint32_t> nextBatch = inBatch();
    EXPECT_EQ(nextBatch, rows());
    cVerseChapterCache::beginBatch();
    answers();
    ASSERT_TRUE(m_doc->setHighlight(ref(50, 7, 9), 16, 17));
    std::uint16_t fore9 = 0, back9 = 0;
    EXPECT_TRUE(m_doc->getHighlight(ref(50, 7, 9), fore9, back9));
    EXPECT_EQ(back9, 17);
    cVerseChapterCache::endBatch();
    // A hostile sync's many live rows of one verse: the first row answers, as verse by verse.
    ASSERT_EQ(sqlite3_exec(other,
                  "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                  "INSERT INTO VerseHighlights (bcv, forecolor, backcolor, serverid, deleted) "
                  "SELECT 65793 + (i % 2), i, i, 0, 0 FROM n",
                  nullptr, nullptr, nullptr),
        SQLITE_OK);
    agree("many rows of one verse");
    sqlite3_close(other);
    notes.Close();
}

// A transaction's rows are final only once it commits: what a lookup read inside it is not kept, so
// rows rolled back are never answered afterwards.
TEST_F(HighlightTest, RowsOfARolledBackTransactionAreNeverAnswered)
{
    cNoteDoc notes;
    ASSERT_TRUE(notes.openStores(cLString16()));
    const std::uint32_t key = makeBibleKey(5, 5, 5);
    std::uint16_t fore, back;
    EXPECT_FALSE(m_doc->getHighlight(ref(5, 5, 5), fore, back));
    EXPECT_EQ(notes.noteVerseInReference(ref(5, 5, 5)), 0u);
    const std::string insert = "INSERT INTO VerseHighlights (bcv, forecolor, backcolor, serverid, deleted) VALUES (" +
        std::to_string(key) +
        ", 1, 2, 0, 0); INSERT INTO BibleNotes (booknum, chapter, verse, note, serverid, deleted) VALUES (5, 5, 5, "
        "'undone', 0, 0)";
    EXPECT_FALSE(m_raw.runInTransaction([&] {
        EXPECT_TRUE(run(insert.c_str()));
        // The transaction's own rows, as this connection sees them.
        EXPECT_EQ(notes.noteVerseInReference(ref(5, 5, 5)), key);
        EXPECT_EQ(notes.noteVerseInReference(ref(5, 5, 6)), 0u);
        return false;  // rolled back
    }));
    EXPECT_EQ(notes.noteVerseInReference(ref(5, 5, 5)), 0u);
    EXPECT_FALSE(m_doc->getHighlight(ref(5, 5, 5), fore, back));
    EXPECT_EQ(query("SELECT COUNT(*) FROM BibleNotes"), (Table {{"0"}}));
    notes.Close();
}

// The connection opened again on another file (another profile's database) is read afresh: what was
// kept of the first file's chapters is not answered for the second's.
TEST_F(HighlightTest, ChaptersKeptFromOneFileAreNotAnsweredForAnother)
{
    cNoteDoc notes;
    closeDocument();
    m_raw.close();
    ASSERT_EQ(cSQLiteDbBase::openCount(), 0);
    const cLString16 first((m_folder + "/first.db").c_str());
    const cLString16 second((m_folder + "/second.db").c_str());
    // Each file gets the tables, then a highlight and a note on Psalm 23: verse 1 in the first file,
    // verse 2 in the second, written by a connection of its own.
    for (const auto& [path, verse] : {std::pair {&first, 1}, std::pair {&second, 2}}) {
        ASSERT_TRUE(m_doc->openShared(path));
        ASSERT_TRUE(notes.openStores(*path));
        notes.Close();
        closeDocument();
        ASSERT_EQ(cSQLiteDbBase::openCount(), 0);
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(cLString8(*path).chars(), &other), SQLITE_OK);
        const std::string rows = "INSERT INTO VerseHighlights (bcv, forecolor, backcolor, serverid, deleted) VALUES (" +
            std::to_string(makeBibleKey(19, 23, verse)) +
            ", 0, 7, 0, 0); INSERT INTO BibleNotes (booknum, chapter, verse, note, serverid, deleted) VALUES (19, "
            "23, " +
            std::to_string(verse) + ", 'n', 0, 0)";
        EXPECT_EQ(sqlite3_exec(other, rows.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(other);
    }
    // The first three verses as each file answers them: the highlight's back colour and the note's
    // verse, verse by verse.
    const auto read = [&](const cLString16& path) {
        std::vector<int> out;
        EXPECT_TRUE(m_doc->openShared(&path));
        EXPECT_TRUE(notes.openStores(path));
        for (int verse = 1; verse <= 3; ++verse) {
            std::uint16_t fore = 0, back = 0;
            out.push_back(m_doc->getHighlight(ref(19, 23, verse), fore, back) ? back : 0);
            out.push_back(static_cast<int>(notes.noteVerseInReference(ref(19, 23, verse)) & 0xFF));
        }
        notes.Close();
        closeDocument();
        EXPECT_EQ(cSQLiteDbBase::openCount(), 0);
        return out;
    };
    const std::vector<int> inFirst {7, 1, 0, 0, 0, 0};
    const std::vector<int> inSecond {0, 0, 7, 2, 0, 0};
    EXPECT_EQ(read(first), inFirst);
    EXPECT_EQ(read(second), inSecond);
    EXPECT_EQ(read(first), inFirst);
    openRaw();
}

// Two threads render at once (two panes' pages, a search's report): each reads chapters the other
// pushes out of the caches, and every answer is the rows'.
TEST_F(HighlightTest, TwoReaderThreadsReadTheChapterCachesAtOnce)
{
    cNoteDoc notes;
    ASSERT_TRUE(notes.openStores(cLString16()));
    // Book 10, chapters 1-100 (more than the caches keep): a note on verse c % 40 + 1 of chapter c and
    // a highlight of back colour c on verse (c * 7) % 40 + 1.
    ASSERT_TRUE(run("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 100) "
                    "INSERT INTO BibleNotes (booknum, chapter, verse, note, serverid, deleted) "
                    "SELECT 10, n, n % 40 + 1, 'n', 0, 0 FROM c; "
                    "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 100) "
                    "INSERT INTO VerseHighlights (bcv, forecolor, backcolor, serverid, deleted) "
                    "SELECT 10 * 65536 + n * 256 + (n * 7) % 40 + 1, 0, n, 0, 0 FROM c"));
    std::atomic<int> wrong {0};
    const auto reader = [&](bool backwards) {
        for (int pass = 0; pass < 3; ++pass) {
            for (int i = 1; i <= 100; ++i) {
                const int chapter = backwards ? 101 - i : i;
                for (int verse = 1; verse <= 40; ++verse) {
                    const bool noted = notes.noteVerseInReference(ref(10, chapter, verse)) != 0;
                    std::uint16_t fore = 0, back = 0;
                    const bool lit = m_doc->getHighlight(ref(10, chapter, verse), fore, back);
                    if (noted != (verse == chapter % 40 + 1) || lit != (verse == (chapter * 7) % 40 + 1) ||
                        (lit && back != chapter))
                        ++wrong;
                }
            }
        }
    };
    // The statements in the order they ran, and on which thread: a note lookup holds the connection
    // from its look at the file to its read of a chapter, so no other thread's statement runs between.
    struct Trace {
        std::mutex lock;
        std::vector<std::pair<std::thread::id, bool>> statements;  // thread, a read of notes
        static int record(unsigned, void* self, void*, void* sql)
        {
            auto* trace = static_cast<Trace*>(self);
            const bool notes = std::strstr(static_cast<const char*>(sql), "FROM BibleNotes") != nullptr;
            const std::lock_guard<std::mutex> guard(trace->lock);
            trace->statements.emplace_back(std::this_thread::get_id(), notes);
            return 0;
        }
    } trace;
    sqlite3_trace_v2(cSQLiteDbBase::connectionHandle(), SQLITE_TRACE_STMT, &Trace::record, &trace);
    std::thread one(reader, false);
    std::thread two(reader, true);
    one.join();
    two.join();
    sqlite3_trace_v2(cSQLiteDbBase::connectionHandle(), 0, nullptr, nullptr);
    EXPECT_EQ(wrong, 0);
    int between = 0;
    for (std::size_t i = 1; i < trace.statements.size(); ++i)
        between += trace.statements[i].second && trace.statements[i - 1].first != trace.statements[i].first;
    EXPECT_EQ(between, 0) << "another thread's statement ran inside a note lookup";
    notes.Close();
}

// A search cache that looks highlights up again while it is told of a change, as the colour cache
// does: the writer must have let the highlight lock go by then.
class LookingCache : public CallRecorder {
public:
    void invalidateUserDataSearchCacheForBook(std::int32_t, const cBibleRef& reference, std::int32_t) override
    {
        auto other = std::async(std::launch::async, [&] {
            std::uint16_t fore, back;
            return cVerseHighlightDoc::verseHighlightDocInstance()->getHighlight(reference, fore, back) ? back : -1;
        });
        if (other.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            deadlocked = true;
            std::abort();  // the lock was still held
        }
        seen.push_back(other.get());
    }
    std::atomic<bool> deadlocked {false};
    std::vector<int> seen;
};

TEST_F(HighlightTest, ChangeCallsRunAfterTheLockIsFree)
{
    auto cache = std::make_shared<LookingCache>();
    qs::userdata::SearchCacheHandler::install(cache);
    const bool ok = m_doc->setHighlight(ref(9, 9, 9), 1, 42);
    CallRecorder::installShared();
    EXPECT_TRUE(ok);
    EXPECT_EQ(cache->seen, (std::vector<int> {42}));
}

TEST_F(HighlightTest, ThreadsWriteAndReadAtOnce)
{
    constexpr int kWriters = 4;
    constexpr int kEach = 15;
    std::atomic<bool> stop {false};
    std::atomic<int> wrongColours {0};
    // A reader that must never see a colour no writer wrote for that verse.
    std::thread reader([&] {
        while (!stop) {
            std::uint16_t fore, back;
            if (m_doc->getHighlight(ref(60, 1, 1), fore, back) && back != fore + 1)
                ++wrongColours;
        }
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < kWriters; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                m_doc->setHighlight(ref(1 + t, 1, 1 + i), 0, static_cast<std::uint16_t>(t));
                const auto colour = static_cast<std::uint16_t>(t * 100 + i);
                if (t % 2 == 0) {
                    m_doc->setHighlight(ref(60, 1, 1), colour, static_cast<std::uint16_t>(colour + 1));
                } else {
                    // The sync engine's path: store operations without the document's own calls.
                    cVerseHighlightRecord record;
                    record.bcv = makeBibleKey(60, 1, 1);
                    record.forecolor = colour;
                    record.backcolor = static_cast<std::uint16_t>(colour + 1);
                    record.serverid = 1000 + i;
                    m_doc->addHighlight(record, true, true, false);
                }
            }
        });
    }
    for (auto& thread : writers)
        thread.join();
    stop = true;
    reader.join();
    EXPECT_EQ(wrongColours, 0);
    EXPECT_EQ(m_doc->countHighlights(0, nullptr), kWriters * kEach + 1);
    const std::string oneVerse =
        "SELECT COUNT(*) FROM VerseHighlights WHERE bcv = " + std::to_string(makeBibleKey(60, 1, 1));
    EXPECT_EQ(query(oneVerse.c_str()), (Table {{"1"}}));
    // The last write wins, and the cache agrees with the table.
    std::uint16_t fore, back;
    ASSERT_TRUE(m_doc->getHighlight(ref(60, 1, 1), fore, back));
    cVerseHighlightRecord stored;
    ASSERT_TRUE(m_doc->findHighlightByVerse(makeBibleKey(60, 1, 1), false, stored));
    EXPECT_EQ(back, stored.backcolor);
}

// One line a child reports for each write that returned.
struct WriteReport {
    std::int32_t store;
    std::int32_t n;
};

void writeAllStoresUntilKilled(int reportFd)
{
    cVerseHighlightDoc* doc = cVerseHighlightDoc::verseHighlightDocInstance();
    if (!doc->isDocOpen() && !doc->openShared(nullptr))
        _exit(2);
    cBookmarkMgr bookmarks;
    cCategoryStg categories;
    cHighlightColorNameStg names;
    if (!bookmarks.openDatabase(nullptr, true, false) || !categories.openDatabase(false))
        _exit(3);
    for (std::int32_t n = 0; n < 20000; ++n) {
        const int book = 1 + n / 250, verse = 1 + n % 250;
        bool ok = false;
        switch (n % 4) {
        case 0:
            ok = doc->setHighlight(cBibleRef(makeBibleKey(book, 1, verse)), 1, 2);
            break;
        case 1: {
            cBookmark b;
            b.setBibleVerse(makeBibleKey(book, 2, verse), 0);
            ok = bookmarks.addBookmark(b, false, false, false);
            break;
        }
        case 2: {
            cCategory c;
            c.name.assignFromUTF8(("category " + std::to_string(n)).c_str());
            ok = categories.addCategory(c, false, false);
            break;
        }
        default: {
            cHighlightColorNameRecord c;
            c.colornum = static_cast<std::uint16_t>(n);
            c.name.assignFromUTF8("name");
            ok = names.addColorName(c, false, false, false);
        }
        }
        if (!ok)
            _exit(4);
        const WriteReport report {n % 4, n};
        if (write(reportFd, &report, sizeof report) != static_cast<ssize_t>(sizeof report))
            _exit(5);
    }
    _exit(0);
}

TEST_F(HighlightTest, KilledWriterLeavesEveryReturnedWrite)
{
    m_raw.close();
    closeDocument();
    ASSERT_EQ(cSQLiteDbBase::openCount(), 0);  // the child must not share our connection
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        writeAllStoresUntilKilled(fds[1]);
    }
    close(fds[1]);
    std::vector<WriteReport> reports;
    WriteReport report {};
    while (reports.size() < 120 && read(fds[0], &report, sizeof report) == static_cast<ssize_t>(sizeof report))
        reports.push_back(report);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    while (read(fds[0], &report, sizeof report) == static_cast<ssize_t>(sizeof report))
        reports.push_back(report);
    close(fds[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself with " << WEXITSTATUS(status);
    ASSERT_GE(reports.size(), 120u);

    ASSERT_TRUE(m_raw.open(m_raw.databasePath()));
    EXPECT_EQ(query("PRAGMA integrity_check"), (Table {{"ok"}}));
    std::size_t missing = 0;
    for (const WriteReport& r : reports) {
        const int book = 1 + r.n / 250, verse = 1 + r.n % 250;
        std::string sql;
        switch (r.store) {
        case 0:
            sql = "SELECT COUNT(*) FROM VerseHighlights WHERE deleted = 0 AND bcv = " +
                std::to_string(makeBibleKey(book, 1, verse));
            break;
        case 1:
            sql = "SELECT COUNT(*) FROM BibleBookmarks WHERE deleted = 0 AND book = " + std::to_string(book) +
                " AND chapter = 2 AND verse = " + std::to_string(verse);
            break;
        case 2:
            sql = "SELECT COUNT(*) FROM Categories WHERE category = 'category " + std::to_string(r.n) + "'";
            break;
        default:
            sql = "SELECT COUNT(*) FROM HighlightColorNames WHERE colornum = " + std::to_string(r.n);
        }
        if (query(sql.c_str()) != Table {{"1"}})
            ++missing;
    }
    EXPECT_EQ(missing, 0u);
    m_raw.close();
    ASSERT_TRUE(m_doc->openShared(nullptr));
    ASSERT_TRUE(m_raw.open(m_raw.databasePath()));
}

}  // namespace
