#include "userdata/cBibleNoteStg.h"

#include "support/CallRecorder.h"

#include "tests/userdata/UserDataTestSupport.h"

namespace {

using namespace qs::userdata::testsupport;

class BibleNoteStgTest : public StoreTest<cBibleNoteStg> {
protected:
    BibleNoteStgTest() : StoreTest("biblenotes") { }
    static cBibleNote note(int book, int chapter, int verse, const char* body)
    {
        cBibleNote n;
        n.booknum = book;
        n.chapter = chapter;
        n.verse = verse;
        n.note.assign(cLString16(body));
        return n;
    }
};

TEST_F(BibleNoteStgTest, WritesReplaceTombstoneAndRequestSync)
{
    openStore();
    cBibleNote n = note(43, 3, 16, "For God so loved");
    n.serverid = 12;
    ASSERT_TRUE(m_store.addBibleNote(n, false, true, false));
    EXPECT_EQ(n.recid, 1);
    EXPECT_EQ(n.serverid, 0);
    EXPECT_EQ(
        CallRecorder::shared().takeCalls(), (Calls {"cache bible kind=4 flag=1", "sync BIBLENOTES now=1 editing=12"}));
    EXPECT_EQ(query("SELECT * FROM BibleNotes"),
        (cSQLRows {{"1", n.timestampText(), "43", "3", "16", "For God so loved", "0", "0"}}));

    // A second new note at the verse replaces the first.
    cBibleNote second = note(43, 3, 16, "again");
    ASSERT_TRUE(m_store.addBibleNote(second, false, true, false));
    EXPECT_EQ(query("SELECT recid, note FROM BibleNotes"), (cSQLRows {{"2", "again"}}));

    cBibleNote read = note(43, 3, 16, "");
    CallRecorder::shared().clear();
    ASSERT_TRUE(m_store.readBibleNote(read, true));
    EXPECT_TRUE(read.isEqualNote(second));
    EXPECT_EQ(CallRecorder::shared().takeCalls(), (Calls {"sync BIBLENOTES now=0"}));
    cBibleNote bad = note(0, 1, 1, "");
    EXPECT_FALSE(m_store.readBibleNote(bad, true));  // not a verse a key can carry

    ASSERT_TRUE(m_store.markBibleNoteDeleted(second, false, true, false));
    EXPECT_EQ(query("SELECT deleted, serverid FROM BibleNotes"), (cSQLRows {{"1", "0"}}));
    EXPECT_FALSE(m_store.findBibleNoteRecid(43, 3, 16));
    EXPECT_NE(m_store.findBibleNote(43, 3, 16, true), nullptr);
    EXPECT_EQ(m_store.findBibleNote(43, 3, 16, false), nullptr);
    EXPECT_EQ(m_store.countBibleNotes(), 0);
    cBibleNote unsynced;
    ASSERT_TRUE(m_store.firstUnsyncedBibleNote(unsynced));
    EXPECT_EQ(unsynced.deleted, 1);
    ASSERT_TRUE(m_store.deleteBibleNoteRow(unsynced));
    EXPECT_EQ(m_store.highestServerId(), -1);
}

TEST_F(BibleNoteStgTest, UpdateByRecidRereadsTheVerse)
{
    openStore();
    cBibleNote n = note(1, 1, 1, "In the beginning");
    ASSERT_TRUE(m_store.addBibleNote(n, false, true, false));
    cBibleNote byId;
    byId.recid = n.recid;
    byId.serverid = 77;
    byId.note.assign(cLString16("edited"));
    CallRecorder::shared().clear();
    ASSERT_TRUE(m_store.updateBibleNote(byId, false, true, false));
    EXPECT_EQ(byId.booknum, 1);
    EXPECT_EQ(byId.verse, 1);
    const Calls calls = CallRecorder::shared().takeCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2], "sync BIBLENOTES now=1 editing=77");
    cBibleNote none;
    EXPECT_FALSE(m_store.updateBibleNote(none, false, false, false));
}

TEST_F(BibleNoteStgTest, WalksAndTheCanonicalOrder)
{
    openStore();
    // Added out of Bible order: Revelation, Genesis, Matthew; a tombstone in Exodus.
    cBibleNote rev = note(66, 1, 1, "rev"), gen2 = note(1, 2, 1, "gen2"), mat = note(40, 5, 3, "mat"),
               gen1 = note(1, 1, 5, "gen1"), ex = note(2, 1, 1, "ex");
    for (cBibleNote* n : {&rev, &gen2, &mat, &gen1, &ex})
        ASSERT_TRUE(m_store.addBibleNote(*n, false, true, false));
    ASSERT_TRUE(m_store.markBibleNoteDeleted(ex, false, true, false));
    EXPECT_EQ(m_store.countBibleNotes(), 4);

    const char* expected[] = {"gen1", "gen2", "mat", "rev"};
    for (int i = 0; i < 4; ++i) {
        cBibleNote at;
        ASSERT_TRUE(m_store.bibleNoteAtCanonicalOffset(i, at)) << i;
        EXPECT_EQ(text(at.note), expected[i]);
    }
    cBibleNote past;
    EXPECT_FALSE(m_store.bibleNoteAtCanonicalOffset(4, past));

    cBibleNote walk;
    ASSERT_TRUE(m_store.firstBibleNote(walk, false));
    EXPECT_EQ(text(walk.note), "rev");
    ASSERT_TRUE(m_store.nextBibleNote(walk, false));
    EXPECT_EQ(text(walk.note), "gen2");
    ASSERT_TRUE(m_store.lastBibleNote(walk, false));
    EXPECT_EQ(text(walk.note), "gen1");  // the tombstone is skipped
    ASSERT_TRUE(m_store.previousBibleNote(walk, false));
    EXPECT_EQ(text(walk.note), "mat");
}

TEST_F(BibleNoteStgTest, OlderTableIsUpgradedAndAnExistingBookOrderKept)
{
    {
        cSQLiteDbBase setup;
        ASSERT_TRUE(setup.open(setup.databasePath()));
        ASSERT_TRUE(setup.exec(
            "CREATE TABLE BibleNotes ( recid INTEGER PRIMARY KEY AUTOINCREMENT,timestamp TEXT,booknum "
            "INTEGER,chapter INTEGER,verse INTEGER,note TEXT );"
            "CREATE INDEX BibleNoteIndex ON BibleNotes (booknum, chapter, verse);"
            "INSERT INTO BibleNotes (timestamp, booknum, chapter, verse, note) VALUES ('x', 19, 23, 1, 'shepherd');"
            "INSERT INTO BibleNotes (timestamp, booknum, chapter, verse, note) VALUES ('x', 1, 1, 1, 'start');"
            "CREATE TABLE BookNumberOrder ( BookNumber INTEGER, Sequence INTEGER );"
            "INSERT INTO BookNumberOrder VALUES (19, 1);"
            "INSERT INTO BookNumberOrder VALUES (1, 2)"));
    }
    openStore();
    EXPECT_EQ(query("PRAGMA table_info(BibleNotes)").size(), 8u);
    EXPECT_EQ(query("SELECT serverid, deleted FROM BibleNotes ORDER BY recid"), (cSQLRows {{"0", "0"}, {"0", "0"}}));
    EXPECT_EQ(query("SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'BibleNotes' ORDER BY name"),
        (cSQLRows {{"BibleNoteDeletedIndex"}, {"BibleNoteServerIdIndex"}}));
    cBibleNote first;
    ASSERT_TRUE(m_store.bibleNoteAtCanonicalOffset(0, first));
    EXPECT_EQ(text(first.note), "shepherd");  // the database's own order
}

}  // namespace
