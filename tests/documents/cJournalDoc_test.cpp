#include "documents/cJournalDoc.h"

#include <gtest/gtest.h>

#include <memory>

#include "DocTestSupport.h"
#include "userdata/cBookNote.h"
#include "userdata/cNoteDoc.h"

using doctest::folder;
using doctest::str;
using doctest::wide;

namespace {

class JournalDocTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder();
        cNoteDocProvider::install(std::make_shared<cFixedNoteDocProvider>(noteDocInstance()));
        doc.SetPathName(wide("Journal"));
        ASSERT_TRUE(doc.Open());
    }
    cJournalDoc doc;
};

TEST_F(JournalDocTest, AnEmptyJournalHasOneSection)
{
    EXPECT_EQ(1u, doc.GetNumSections());
    EXPECT_EQ(0x8000u, doc.GetSupportFlags());
    doc.Close();
    EXPECT_EQ(0u, doc.GetSupportFlags());
}

TEST_F(JournalDocTest, TitlesAndIdentity)
{
    cLString8 title;
    doc.GetTitle(title, true);
    EXPECT_EQ("JOURNAL", str(title));
    doc.GetTitle(title, false);
    EXPECT_EQ("Journal Notes", str(title));
    doc.GetFullTitle(title);
    EXPECT_EQ("Journal Notes", str(title));
    cLString16 wideTitle;
    doc.GetTitleW(wideTitle, true);
    EXPECT_EQ("(JOURNAL)", str(wideTitle));
    doc.GetSortTitle(title);
    EXPECT_TRUE(title.isEmpty());
    const BookIdentity id = doc.bookIdentity();
    EXPECT_EQ(24326, id.publisher);
    EXPECT_EQ(15184, id.book);
    EXPECT_EQ(1, id.edition);
    EXPECT_EQ(1, id.revision);
    EXPECT_EQ(12, cJournalDoc::sectionForNoteId(12));
    EXPECT_EQ(12, cJournalDoc::noteIdForSection(12));
    // No book file: book queries answer as a closed book.
    cRenderParams go;
    go.setOption0008(1);
    EXPECT_EQ(0xFFFFFFFFu, doc.GoTo(go));
    EXPECT_EQ(nullptr, doc.GetCurrentLocation());
}

TEST_F(JournalDocTest, EntriesAreSections)
{
    cNoteDoc* notes = noteDocInstance();
    cBookNote entry;
    entry.pubid = cJournalDoc::kPublisher;
    entry.bookid = cJournalDoc::kBook;
    entry.edition = cJournalDoc::kEdition;
    entry.section = 1;
    entry.formname = wide("Morning Prayer");
    entry.fieldname = wide("Body");
    entry.note = wide("Thanks for the day.");
    ASSERT_TRUE(notes->saveBookNote(entry, false));
    ASSERT_GT(entry.recid, 0);
    const auto section = static_cast<std::uint32_t>(entry.recid);
    EXPECT_GE(doc.GetNumSections(), section + 1);

    cLString8 line;
    ASSERT_TRUE(doc.GetSearchResultText(section, 0, false, 0, nullptr, nullptr, line));
    EXPECT_EQ("Morning Prayer", str(line));
    EXPECT_TRUE(doc.GetSearchResultText(section, 0, true, 0, nullptr, nullptr, line));
    EXPECT_TRUE(line.isEmpty());
    EXPECT_FALSE(doc.GetSearchResultText(section, 1, false, 0, nullptr, nullptr, line));

    ASSERT_TRUE(notes->deleteFormNote(
        entry.pubid, entry.bookid, entry.edition, entry.section, entry.formname, entry.fieldname));
    EXPECT_FALSE(doc.GetSearchResultText(section, 0, false, 0, nullptr, nullptr, line));
    EXPECT_EQ("Journal Entry " + std::to_string(section) + " (Error)", str(line));
    EXPECT_FALSE(doc.GetSearchResultText(9999, 0, false, 0, nullptr, nullptr, line));
    EXPECT_EQ("Journal Entry 9999 (Error)", str(line));
}

}  // namespace
