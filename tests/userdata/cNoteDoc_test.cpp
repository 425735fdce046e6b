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
        ASSERT_TRUE(doc_.openStores(cLString16()));
        openRaw(true);
        CallRecorder::shared().clear();
    }
    void TearDown() override
    {
        doc_.Close();
        UserDataTest::TearDown();
    }

    cNoteDoc doc_;
};

TEST_F(NoteDocTest, TitleAndCountedOpens)
{
    cLString16 title;
    doc_.GetTitleW(title, false);
    EXPECT_EQ(text(title), "Notes");
    ASSERT_TRUE(doc_.openStores(cLString16()));  // a second open
    EXPECT_EQ(doc_.openCount(), 2);
    doc_.Close();
    EXPECT_TRUE(doc_.IsOpen());
    EXPECT_TRUE(doc_.bibleNoteStore().isOpen());
    doc_.Close();
    EXPECT_FALSE(doc_.IsOpen());
    EXPECT_FALSE(doc_.bookNoteStore().isOpen());
    doc_.GetTitleW(title, true);
    EXPECT_EQ(text(title), "None");

    // Closed: note operations answer false without touching the database.
    cBookNote n;
    n.pubid = n.bookid = n.edition = 1;
    n.note.assign(cLString16("x"));
    EXPECT_FALSE(doc_.saveBookNote(n, false));
    EXPECT_FALSE(doc_.findBookNoteRecid(1, 1, 1, 0));
    EXPECT_TRUE(CallRecorder::shared().calls().empty());

    raw_.close();  // with no share left, the path names the file again
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
    ASSERT_TRUE(doc_.saveBookNote(n, false));
    EXPECT_TRUE(doc_.findBookNoteRecid(7, 8, 1, 40));

    cBookNote form = n;
    form.recid = 0;
    form.formname.assign(cLString16("Journal"));
    form.fieldname.assign(cLString16("Gratitude"));
    form.note.assign(cLString16("form note"));
    ASSERT_TRUE(doc_.saveBookNote(form, false));
    EXPECT_TRUE(doc_.findFormNoteRecid(7, 8, 1, 40, cLString16("journal"), cLString16("GRATITUDE")));

    cBookNote read;
    ASSERT_TRUE(doc_.readBookNote(7, 8, 1, 40, read));
    EXPECT_EQ(text(read.note), "plain note");
    ASSERT_TRUE(doc_.readFormNote(7, 8, 1, 40, cLString16("Journal"), cLString16("Gratitude"), read));
    EXPECT_EQ(text(read.note), "form note");
    cBookNote half;
    EXPECT_FALSE(doc_.readFormNote(7, 8, 1, 40, cLString16("Journal"), cLString16(), half));

    // Saving empty text deletes: one tombstone at the location, with a new recid.
    read.note.makeEmpty();
    read.serverid = 31;
    CallRecorder::shared().clear();
    ASSERT_TRUE(doc_.saveBookNote(read, false));
    EXPECT_EQ(read.serverid, 0);
    EXPECT_FALSE(doc_.findFormNoteRecid(7, 8, 1, 40, cLString16("Journal"), cLString16("Gratitude")));
    EXPECT_EQ(query("SELECT recid, note, deleted, serverid FROM BookNotes WHERE formname = 'Journal'"),
        (cSQLRows {{"3", "", "1", "0"}}));
    EXPECT_EQ(CallRecorder::shared().takeCalls(),
        (std::vector<std::string> {"cache note kind=4 section=40 book=7:8:1", "sync BOOKNOTES now=1 editing=0"}));

    ASSERT_TRUE(doc_.deleteBookNote(7, 8, 1, 40));
    EXPECT_FALSE(doc_.findBookNoteRecid(7, 8, 1, 40));
    EXPECT_EQ(doc_.countBookNotes(7, 0, 0, 1), 2);
    EXPECT_EQ(doc_.countBookNotes(0, 0, 0, 0), 0);
    EXPECT_EQ(doc_.highestBookNoteRecid(), 4);
    cBookNote walk;
    EXPECT_FALSE(doc_.firstBookNote(walk));
}

TEST_F(NoteDocTest, BibleNotesAcrossVersifications)
{
    // A versification whose Malachi 3:19-24 is Malachi 4:1-6 elsewhere.
    const std::string tablePath = folder_ + "/VerseMap.csv";
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
    ASSERT_TRUE(doc_.saveBibleNote(n, false));

    const cBibleRef direct(makeBibleKey(39, 4, 2));
    const cBibleRef equivalent(makeBibleKey(39, 3, 20));
    const cBibleRef elsewhere(makeBibleKey(39, 3, 1));
    EXPECT_EQ(doc_.noteVerseInReference(direct), makeBibleKey(39, 4, 2));
    EXPECT_EQ(doc_.noteVerseInReference(equivalent), makeBibleKey(39, 4, 2));
    EXPECT_EQ(doc_.noteVerseInReference(elsewhere), 0u);
    EXPECT_TRUE(doc_.hasBibleNoteInReference(equivalent));

    cBibleNote read;
    ASSERT_TRUE(doc_.readBibleNoteInReference(equivalent, read));
    EXPECT_EQ(text(read.note), "Sun of righteousness");
    EXPECT_EQ(read.verse, 2);
    EXPECT_EQ(doc_.countBibleNotes(), 1);
    cBibleNote at;
    ASSERT_TRUE(doc_.bibleNoteAtOffset(0, at));
    EXPECT_EQ(at.recid, read.recid);

    ASSERT_TRUE(doc_.deleteBibleNoteInReference(equivalent));
    EXPECT_FALSE(doc_.hasBibleNoteInReference(direct));
    EXPECT_EQ(
        query("SELECT booknum, chapter, verse, note, deleted FROM BibleNotes"), (cSQLRows {{"39", "4", "2", "", "1"}}));
    EXPECT_FALSE(doc_.deleteBibleNoteInReference(equivalent));

    // Saving an empty text at a verse also leaves a tombstone.
    cBibleNote other;
    other.booknum = 1;
    other.chapter = 1;
    other.verse = 1;
    other.note.assign(cLString16("x"));
    ASSERT_TRUE(doc_.saveBibleNote(other, false));
    other.note.makeEmpty();
    ASSERT_TRUE(doc_.saveBibleNote(other, false));
    EXPECT_FALSE(doc_.hasBibleNoteInReference(cBibleRef(makeBibleKey(1, 1, 1))));
    EXPECT_EQ(doc_.countBibleNotes(), 0);
}

TEST_F(NoteDocTest, JournalSearchResultsAreForwarded)
{
    doc_.addJournalSearchResult(cLString16("Form"), 5, "layout-1", 0, 0);
    std::vector<cLString8> ids;
    ASSERT_TRUE(doc_.journalSearchLayoutIds(ids));
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_TRUE(ids[0].equalsCStr("layout-1"));
    doc_.removeJournalSearchResults(nullptr, -1, -1);
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
