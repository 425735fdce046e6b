#include "userdata/cNoteDoc.h"

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

    // Saving empty text deletes: one tombstone at the location, with a new recid.
    read.note.makeEmpty();
    read.serverid = 31;
    CallRecorder::shared().clear();
    ASSERT_TRUE(m_doc.saveBookNote(read, false));
    EXPECT_EQ(read.serverid, 0);
    EXPECT_FALSE(m_doc.findFormNoteRecid(7, 8, 1, 40, cLString16("Journal"), cLString16("Gratitude")));
    EXPECT_EQ(query("SELECT recid, note, deleted, serverid FROM BookNotes WHERE formname = 'Journal'"),
        (cSQLRows {{"3", "", "1", "0"}}));
    EXPECT_EQ(CallRecorder::shared().takeCalls(),
        (std::vector<std::string> {"cache note kind=4 section=40 book=7:8:1", "sync BOOKNOTES now=1 editing=0"}));

    ASSERT_TRUE(m_doc.deleteBookNote(7, 8, 1, 40));
    EXPECT_FALSE(m_doc.findBookNoteRecid(7, 8, 1, 40));
    EXPECT_EQ(m_doc.countBookNotes(7, 0, 0, 1), 2);
    EXPECT_EQ(m_doc.countBookNotes(0, 0, 0, 0), 0);
    EXPECT_EQ(m_doc.highestBookNoteRecid(), 4);
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

    ASSERT_TRUE(m_doc.deleteBibleNoteInReference(equivalent));
    EXPECT_FALSE(m_doc.hasBibleNoteInReference(direct));
    EXPECT_EQ(
        query("SELECT booknum, chapter, verse, note, deleted FROM BibleNotes"), (cSQLRows {{"39", "4", "2", "", "1"}}));
    EXPECT_FALSE(m_doc.deleteBibleNoteInReference(equivalent));

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
