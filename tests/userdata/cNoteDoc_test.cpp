#include "userdata/cNoteDoc.h"

#include "support/CallRecorder.h"

#include <algorithm>
#include <cstdio>

#include "engine/references/cBibleRef.h"
#include "tests/userdata/UserDataTestSupport.h"

namespace {

using namespace qs::userdata::testsupport;

class NoteDocTest : public UserDataTest {
protected:
    NoteDocTest() : UserDataTest("notedoc") { }
    void SetUp() override
    {
        UserDataTest::SetUp();
        ASSERT_TRUE(m_doc.openStores(cLString16()));
        openRaw(true);
        CallRecorder::shared().clear();
    }
    void TearDown() override
    {
        m_doc.Close();
        UserDataTest::TearDown();
    }

    cNoteDoc m_doc;
};

TEST_F(NoteDocTest, TitleAndCountedOpens)
{
    cLString16 title;
    m_doc.GetTitleW(title, false);
    EXPECT_EQ(text(title), "Notes");
    ASSERT_TRUE(m_doc.openStores(cLString16()));  // a second open
    EXPECT_EQ(m_doc.openCount(), 2);
    m_doc.Close();
    EXPECT_TRUE(m_doc.IsOpen());
    EXPECT_TRUE(m_doc.bibleNoteStore().isOpen());
    m_doc.Close();
    EXPECT_FALSE(m_doc.IsOpen());
    EXPECT_FALSE(m_doc.bookNoteStore().isOpen());
    m_doc.GetTitleW(title, true);
    EXPECT_EQ(text(title), "None");

    // Closed: note operations answer false without touching the database.
    cBookNote n;
    n.pubid = n.bookid = n.edition = 1;
    n.note.assign(cLString16("x"));
    EXPECT_FALSE(m_doc.saveBookNote(n, false));
    EXPECT_FALSE(m_doc.findBookNoteRecid(1, 1, 1, 0));
    EXPECT_TRUE(CallRecorder::shared().calls().empty());

    m_raw.close();  // with no share left, the path names the file again
    cNoteDoc broken;
    EXPECT_FALSE(broken.openStores(cLString16("/nonexistent-folder/x/y.db")));
    EXPECT_FALSE(broken.IsOpen());
    EXPECT_EQ(broken.openCount(), 0);
}

TEST_F(NoteDocTest, BookAndFormNotesSaveReadAndDeleteAsTombstones)
{
    cBookNote n;
    n.pubid = 7;
    n.bookid = 8;
    n.edition = 1;
    n.section = 40;
    n.note.assign(cLString16("plain note"));
    ASSERT_TRUE(m_doc.saveBookNote(n, false));
    EXPECT_TRUE(m_doc.findBookNoteRecid(7, 8, 1, 40));

    cBookNote form = n;
    form.recid = 0;
    form.formname.assign(cLString16("Journal"));
    form.fieldname.assign(cLString16("Gratitude"));
    form.note.assign(cLString16("form note"));
    ASSERT_TRUE(m_doc.saveBookNote(form, false));
    EXPECT_TRUE(m_doc.findFormNoteRecid(7, 8, 1, 40, cLString16("journal"), cLString16("GRATITUDE")));

    cBookNote read;
    ASSERT_TRUE(m_doc.readBookNote(7, 8, 1, 40, read));
    EXPECT_EQ(text(read.note), "plain note");
    ASSERT_TRUE(m_doc.readFormNote(7, 8, 1, 40, cLString16("Journal"), cLString16("Gratitude"), read));
    EXPECT_EQ(text(read.note), "form note");
    cBookNote half;
    EXPECT_FALSE(m_doc.readFormNote(7, 8, 1, 40, cLString16("Journal"), cLString16(), half));

    // Saving empty text deletes the synced note where it stands: its row keeps its recid, loses its
    // text and server id, and the sync hears which server record it was.
    ASSERT_TRUE(run("UPDATE BookNotes SET serverid = 31 WHERE formname = 'Journal'"));
    read.note.makeEmpty();
    CallRecorder::shared().clear();
    ASSERT_TRUE(m_doc.saveBookNote(read, false));
    EXPECT_EQ(read.serverid, 0);
    EXPECT_FALSE(m_doc.findFormNoteRecid(7, 8, 1, 40, cLString16("Journal"), cLString16("Gratitude")));
    EXPECT_EQ(query("SELECT recid, note, deleted, serverid FROM BookNotes WHERE formname = 'Journal'"),
        (cSQLRows {{"2", "", "1", "0"}}));
    EXPECT_EQ(CallRecorder::shared().takeCalls(),
        (std::vector<std::string> {"cache note kind=4 section=40 book=7:8:1", "sync BOOKNOTES now=1 editing=31"}));
    // Deleting what is deleted already writes nothing.
    ASSERT_TRUE(m_doc.deleteFormNote(7, 8, 1, 40, cLString16("Journal"), cLString16("Gratitude")));
    EXPECT_TRUE(CallRecorder::shared().takeCalls().empty());

    ASSERT_TRUE(m_doc.deleteBookNote(7, 8, 1, 40));
    EXPECT_FALSE(m_doc.findBookNoteRecid(7, 8, 1, 40));
    EXPECT_EQ(m_doc.countBookNotes(7, 0, 0, 1), 2);
    EXPECT_EQ(m_doc.countBookNotes(0, 0, 0, 0), 0);
    EXPECT_EQ(m_doc.highestBookNoteRecid(), 2);
    cBookNote walk;
    EXPECT_FALSE(m_doc.firstBookNote(walk));
}

TEST_F(NoteDocTest, BibleNotesAcrossVersifications)
{
    // A versification whose Malachi 3:19-24 is Malachi 4:1-6 elsewhere.
    const std::string tablePath = m_folder + "/VerseMap.csv";
    std::FILE* table = std::fopen(tablePath.c_str(), "w+");
    ASSERT_NE(table, nullptr);
    std::fputs("+++ Header\nVersion=1000\nCount=1\n--- End\n+++ Data\n"
               "\"SB\",\"SC\",\"SF\",\"SL\",\"TB\",\"TC\",\"TF\",\"Step\"\n"
               "\"39\",\"4\",\"1\",\"6\",\"39\",\"3\",\"19\",\"1\"\n--- End\n",
        table);
    std::rewind(table);
    ASSERT_EQ(cBibleRefTables::loadVerseMap(table), kBibleRefLoadOk);
    std::fclose(table);

    cBibleNote n;
    n.booknum = 39;
    n.chapter = 4;
    n.verse = 2;
    n.note.assign(cLString16("Sun of righteousness"));
    ASSERT_TRUE(m_doc.saveBibleNote(n, false));

    const cBibleRef direct(makeBibleKey(39, 4, 2));
    const cBibleRef equivalent(makeBibleKey(39, 3, 20));
    const cBibleRef elsewhere(makeBibleKey(39, 3, 1));
    EXPECT_EQ(m_doc.noteVerseInReference(direct), makeBibleKey(39, 4, 2));
    EXPECT_EQ(m_doc.noteVerseInReference(equivalent), makeBibleKey(39, 4, 2));
    EXPECT_EQ(m_doc.noteVerseInReference(elsewhere), 0u);
    EXPECT_TRUE(m_doc.hasBibleNoteInReference(equivalent));

    cBibleNote read;
    ASSERT_TRUE(m_doc.readBibleNoteInReference(equivalent, read));
    EXPECT_EQ(text(read.note), "Sun of righteousness");
    EXPECT_EQ(read.verse, 2);
    EXPECT_EQ(m_doc.countBibleNotes(), 1);
    cBibleNote at;
    ASSERT_TRUE(m_doc.bibleNoteAtOffset(0, at));
    EXPECT_EQ(at.recid, read.recid);

    ASSERT_TRUE(m_doc.deleteBibleNoteAtVerse(39, 4, 2));
    EXPECT_FALSE(m_doc.hasBibleNoteInReference(direct));
    EXPECT_FALSE(m_doc.hasBibleNoteInReference(equivalent));
    EXPECT_EQ(
        query("SELECT booknum, chapter, verse, note, deleted FROM BibleNotes"), (cSQLRows {{"39", "4", "2", "", "1"}}));

    // Saving an empty text at a verse also leaves a tombstone.
    cBibleNote other;
    other.booknum = 1;
    other.chapter = 1;
    other.verse = 1;
    other.note.assign(cLString16("x"));
    ASSERT_TRUE(m_doc.saveBibleNote(other, false));
    other.note.makeEmpty();
    ASSERT_TRUE(m_doc.saveBibleNote(other, false));
    EXPECT_FALSE(m_doc.hasBibleNoteInReference(cBibleRef(makeBibleKey(1, 1, 1))));
    EXPECT_EQ(m_doc.countBibleNotes(), 0);
}

// A note that shows nothing is no note: one an older version stored becomes a deletion when the stores
// open (kept at its time, its server id gone so the deletion goes up), and saving such a text deletes
// the note where it stands, or writes nothing when there is none.
TEST_F(NoteDocTest, NotesThatShowNothingAreNoNotes)
{
    m_doc.Close();
    ASSERT_TRUE(run("INSERT INTO BibleNotes (timestamp, booknum, chapter, verse, note, serverid, deleted) VALUES "
                    "('2024:05:06:07:08:09:000:01', 43, 3, 16, '<p>&nbsp;</p><p> </p>', 12, 0), "
                    "('2024:05:06:07:08:09:000:01', 43, 3, 17, '   ', 0, 0), "
                    "('2024:05:06:07:08:09:000:01', 43, 3, 18, '<p>kept</p>', 14, 0)"));
    ASSERT_TRUE(run("INSERT INTO BookNotes (timestamp, pubid, bookid, edition, section, formname, fieldname, note, "
                    "serverid, deleted) VALUES ('2024:05:06:07:08:09:000:01', 7, 8, 1, 40, '', '', "
                    "'<div><br></div><!-- x -->&#160;', 15, 0)"));
    ASSERT_TRUE(m_doc.openStores(cLString16()));
    EXPECT_FALSE(m_doc.hasBibleNoteInReference(cBibleRef(makeBibleKey(43, 3, 16))));
    EXPECT_FALSE(m_doc.hasBibleNoteInReference(cBibleRef(makeBibleKey(43, 3, 17))));
    EXPECT_TRUE(m_doc.hasBibleNoteInReference(cBibleRef(makeBibleKey(43, 3, 18))));
    EXPECT_FALSE(m_doc.findBookNoteRecid(7, 8, 1, 40));
    EXPECT_EQ(query("SELECT recid, verse, note, serverid, deleted, timestamp FROM BibleNotes ORDER BY recid"),
        (cSQLRows {{"1", "16", "", "0", "1", "2024:05:06:07:08:09:000:01"},
            {"2", "17", "", "0", "1", "2024:05:06:07:08:09:000:01"},
            {"3", "18", "<p>kept</p>", "14", "0", "2024:05:06:07:08:09:000:01"}}));
    EXPECT_EQ(query("SELECT recid, note, serverid, deleted FROM BookNotes"), (cSQLRows {{"1", "", "0", "1"}}));

    // Emptying a synced note in an editor leaves breaks and spaces: the note goes where it stands.
    cBibleNote kept;
    ASSERT_TRUE(m_doc.readBibleNoteInReference(cBibleRef(makeBibleKey(43, 3, 18)), kept));
    kept.note.assign(cLString16("<p><br></p>\n"));
    CallRecorder::shared().clear();
    ASSERT_TRUE(m_doc.saveBibleNote(kept, false));
    EXPECT_EQ(query("SELECT recid, note, serverid, deleted FROM BibleNotes WHERE verse = 18"),
        (cSQLRows {{"3", "", "0", "1"}}));
    const std::vector<std::string> calls = CallRecorder::shared().takeCalls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "sync BIBLENOTES now=1 editing=14"), calls.end());

    // Such a text where there is no note writes nothing.
    cBibleNote none;
    none.booknum = 1;
    none.chapter = 1;
    none.verse = 1;
    none.note.assign(cLString16(" &nbsp; "));
    ASSERT_TRUE(m_doc.saveBibleNote(none, false));
    EXPECT_TRUE(query("SELECT * FROM BibleNotes WHERE booknum = 1").empty());
    EXPECT_TRUE(CallRecorder::shared().takeCalls().empty());
}

// A profile of 50,000 notes opened twice: the sweep reads each note once. Where it stopped is kept
// in the database, and the second opening looks only at the notes added since: a new note that shows
// nothing is swept, while an old row changed behind the stores' back is not read again.
TEST_F(NoteDocTest, TheSweepForNotesThatShowNothingReadsEachNoteOnce)
{
    m_doc.Close();
    openRaw(true);
    ASSERT_TRUE(run("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50000) "
                    "INSERT INTO BibleNotes (timestamp, booknum, chapter, verse, note, serverid, deleted) "
                    "SELECT '2024:05:06:07:08:09:000:01', 1 + i % 66, 1 + (i / 66) % 150, 1 + i / 9900, "
                    "CASE WHEN i % 1000 = 0 THEN '<p> </p>' ELSE '<p>note ' || i || '</p>' END, i, 0 FROM n"));
    ASSERT_TRUE(m_doc.openStores(cLString16()));
    EXPECT_EQ(query("SELECT COUNT(*), MIN(recid % 1000), SUM(serverid) FROM BibleNotes WHERE deleted = 1"),
        (cSQLRows {{"50", "0", "0"}}));
    EXPECT_EQ(query("SELECT tablename, sweptrecid FROM StoreSweeps"), (cSQLRows {{"BibleNotes", "50000"}}));

    m_doc.Close();
    ASSERT_TRUE(run("UPDATE BibleNotes SET note = '<br>' WHERE recid = 7"));
    ASSERT_TRUE(run("INSERT INTO BibleNotes (timestamp, booknum, chapter, verse, note, serverid, deleted) VALUES "
                    "('2024:05:06:07:08:09:000:01', 1, 1, 1, '<p>&nbsp;</p>', 9, 0)"));
    ASSERT_TRUE(m_doc.openStores(cLString16()));
    EXPECT_EQ(query("SELECT recid, deleted FROM BibleNotes WHERE recid IN (7, 50001)"),
        (cSQLRows {{"7", "0"}, {"50001", "1"}}));
    EXPECT_EQ(query("SELECT sweptrecid FROM StoreSweeps WHERE tablename = 'BibleNotes'"), (cSQLRows {{"50001"}}));
    // Opening again with nothing added changes nothing.
    m_doc.Close();
    ASSERT_TRUE(m_doc.openStores(cLString16()));
    EXPECT_EQ(query("SELECT COUNT(*) FROM BibleNotes WHERE deleted = 1"), (cSQLRows {{"51"}}));
}

TEST_F(NoteDocTest, JournalSearchResultsAreForwarded)
{
    m_doc.addJournalSearchResult(cLString16("Form"), 5, "layout-1", 0, 0);
    std::vector<cLString8> ids;
    ASSERT_TRUE(m_doc.journalSearchLayoutIds(ids));
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_TRUE(ids[0].equalsCStr("layout-1"));
    m_doc.removeJournalSearchResults(nullptr, -1, -1);
    EXPECT_TRUE(query("SELECT * FROM JournalSearchResults").empty());
}

TEST_F(NoteDocTest, TheProcessWideDocumentOpensOnFirstUse)
{
    cNoteDoc* shared = noteDocInstance();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(noteDocInstance(), shared);
    EXPECT_TRUE(shared->IsOpen());
    shared->Close();  // leaves the connection to this test's own shares
    EXPECT_FALSE(shared->IsOpen());
}

}  // namespace
