// The user-data search cache: which searches are kept and where, the terms of a limit, and how the
// kept results follow highlight, note and bookmark changes made through the user-data stores.

#include <gtest/gtest.h>

#include <memory>

#include <filesystem>

#include "engine/references/cBibleRef.h"
#include "render/cHTMLColor.h"
#include "search/execution/SearchHooks.h"
#include "search/execution/SourceTupleSearchBook.h"
#include "search/execution/UserDataSearchCache.h"
#include "search/execution/cMultiBookSearchHits.h"
#include "tests/search/execution/MiniBible.h"
#include "userdata/cBibleNote.h"
#include "userdata/cBookmarkMgr.h"
#include "userdata/cCategory.h"
#include "userdata/cCategoryStg.h"
#include "userdata/cNoteDoc.h"
#include "userdata/cVerseHighlightDoc.h"

namespace {

using namespace minibible;
using namespace userdatasearch;
using Sections = std::vector<uint32_t>;

class UserDataSearchCacheTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_folder = new Folder();
        s_book = SourceTupleSearchBook::openFile(s_folder->writeBible());
        cNoteDocProvider::install(std::make_shared<cFixedNoteDocProvider>(noteDocInstance()));
        setBookDirectory({[](uint16_t p, uint16_t b, uint8_t e) -> std::shared_ptr<cSourceDoc> {
            if (s_book != nullptr && p == 7 && b == 11 && e == 1)
                return std::shared_ptr<cSourceDoc>(s_book->document(), [](cSourceDoc*) {});
            return nullptr;
        }});
        installSearchHooks();
    }
    static void TearDownTestSuite()
    {
        uninstallSearchHooks();
        setBookDirectory({});
        s_book.reset();
        delete s_folder;
    }
    void SetUp() override { ASSERT_NE(s_book, nullptr); }

    static std::string path(
        const char* main, const std::u16string& limit, uint16_t p = 7, uint16_t b = 11, uint8_t e = 1)
    {
        const std::string full = userDataSearchCachePath(main, limit, p, b, e);
        return full.empty() ? full : full.substr(cacheRoot().size());
    }
    // The hits of the kept result of a limit.
    static Sections kept(const std::u16string& limit)
    {
        cSearchExpressionResult r;
        if (!userDataSearchCacheLoad(r, nullptr, limit, 7, 11, 1))
            return {99999};
        Sections out;
        for (uint32_t i = 0; i < r.hitCount(); ++i)
            out.push_back(r.sectionForHit(i));
        return out;
    }
    static void keep(const std::u16string& limit)
    {
        cMultiBookSearchHits hits(u"", limit);
        ASSERT_TRUE(hits.addBook(*s_book->document()));
        ASSERT_TRUE(userDataSearchCacheStat(nullptr, limit, 7, 11, 1));
    }

    static Folder* s_folder;
    static std::shared_ptr<SourceTupleSearchBook> s_book;
};

Folder* UserDataSearchCacheTest::s_folder = nullptr;
std::shared_ptr<SourceTupleSearchBook> UserDataSearchCacheTest::s_book;

}  // namespace

TEST_F(UserDataSearchCacheTest, OnlySearchesOfOneUserDataValueAreKept)
{
    EXPECT_EQ(path(nullptr, u"COLOR(\"*\")"), "color/0007000B01/FFFFFFFF.bin");
    char yellow[32];
    std::snprintf(yellow, sizeof yellow, "color/0007000B01/%08X.bin", htmlColorNameRow("yellow"));
    EXPECT_EQ(path("*", u"  COLOR(\"Yellow\")"), yellow);
    EXPECT_EQ(path("", u"COLOR(\"#FFFF00\")"), yellow);
    EXPECT_EQ(path(nullptr, u"BOOKMARK(\"No Category\")"), "category/0007000B01/00000000.bin");
    EXPECT_EQ(path(nullptr, u"NOTE()"), "note/0007000B01/note.bin");
    EXPECT_EQ(path(nullptr, u"COLOR(\"*\") BOOKMARK(\"*\")"), "");
    EXPECT_EQ(path(nullptr, u"COLOR(\"Red\", \"Blue\")"), "");
    EXPECT_EQ(path(nullptr, u"John 3 COLOR(\"*\")"), "");
    EXPECT_EQ(path("love", u"COLOR(\"*\")"), "");
    EXPECT_EQ(path(nullptr, u"COLOR(\"*\")", 0), "");
    EXPECT_EQ(path(nullptr, u"COLOR(\"*\")", 24326, 15184, 1), "");
    EXPECT_EQ(path(nullptr, u""), "");
    // Category names with doubled quotes.
    cCategoryStg categories;
    ASSERT_TRUE(categories.openDatabase(false));
    cCategory category;
    category.name.assignFromUTF8("The \"best\"");
    ASSERT_TRUE(categories.addCategory(category, false, false));
    Terms terms;
    ASSERT_TRUE(parseUserDataSearchTerms(u"love BOOKMARK(\"The \"\"best\"\"\", \"No Category\", \"*\") NOTE()", terms));
    EXPECT_EQ(terms.text, "love");
    EXPECT_EQ(terms.categories, (std::vector<uint32_t> {category.catid, 0u, kAllValues}));
    EXPECT_TRUE(terms.note);
    ASSERT_TRUE(parseUserDataSearchTerms(u"COLOR(\"Underline\", \"Nameless\", \"*\"", terms));
    EXPECT_EQ(terms.colours, (std::vector<uint32_t> {0x8008u, 0u, kAllValues}));
}

TEST_F(UserDataSearchCacheTest, KeptResultsFollowHighlightNoteAndBookmarkChanges)
{
    clearUserDataSearchCache();
    cVerseHighlightDoc* highlights = cVerseHighlightDoc::verseHighlightDocInstance();
    ASSERT_NE(highlights, nullptr);
    const std::uint16_t yellow = static_cast<std::uint16_t>(htmlColorNameRow("yellow"));
    ASSERT_TRUE(highlights->setHighlight(cBibleRef(BkSyncFormat::bibleKey(1, 1, 1)), 0, yellow));
    keep(u"COLOR(\"*\")");
    keep(u"COLOR(\"Yellow\")");
    keep(u"NOTE()");
    keep(u"BOOKMARK(\"*\")");
    EXPECT_EQ(kept(u"COLOR(\"*\")"), (Sections {kGenesis1_1}));
    EXPECT_EQ(kept(u"NOTE()"), Sections {});
    // A stray folder goes at the next change of its kind.
    const std::string stray = cacheRoot() + "color/123456789";
    std::filesystem::create_directories(stray);

    // Highlights: the store's change reaches the kept results.
    ASSERT_TRUE(highlights->setHighlight(cBibleRef(BkSyncFormat::bibleKey(43, 3, 16)), 0, yellow));
    EXPECT_EQ(kept(u"COLOR(\"*\")"), (Sections {kGenesis1_1, kJohn3_16}));
    EXPECT_EQ(kept(u"COLOR(\"Yellow\")"), (Sections {kGenesis1_1, kJohn3_16}));
    EXPECT_FALSE(std::filesystem::exists(stray));
    ASSERT_TRUE(highlights->removeHighlight(cBibleRef(BkSyncFormat::bibleKey(1, 1, 1))));
    EXPECT_EQ(kept(u"COLOR(\"*\")"), (Sections {kJohn3_16}));

    // Notes.
    cBibleNote note;
    note.booknum = 62;
    note.chapter = 4;
    note.verse = 8;
    note.note.assignFromUTF8("God is love.");
    ASSERT_TRUE(noteDocInstance()->saveBibleNote(note, false));
    EXPECT_EQ(kept(u"NOTE()"), (Sections {kFirstJohn4_8}));

    // Bookmarks.
    cBookmarkMgr bookmarks;
    ASSERT_TRUE(bookmarks.openDatabase(nullptr, true, false));
    cBookmark mark;
    mark.setBibleVerse(BkSyncFormat::bibleKey(65, 1, 3), 0);
    ASSERT_TRUE(bookmarks.addBookmark(mark, false, false, false));
    EXPECT_EQ(kept(u"BOOKMARK(\"*\")"), (Sections {kJude3}));

    // Removing every highlight drops the colour results; removing all user data the whole cache.
    userdatasearch::clearColorSearchCache();
    EXPECT_FALSE(userDataSearchCacheStat(nullptr, u"COLOR(\"*\")", 7, 11, 1));
    EXPECT_TRUE(userDataSearchCacheStat(nullptr, u"NOTE()", 7, 11, 1));
    clearUserDataSearchCache();
    EXPECT_FALSE(std::filesystem::exists(cacheRoot()));
}

TEST_F(UserDataSearchCacheTest, DamagedCacheFilesAreSkippedAndBooksNoLongerInstalledForgotten)
{
    keep(u"COLOR(\"*\")");
    const std::string file = userDataSearchCachePath(nullptr, u"COLOR(\"*\")", 7, 11, 1);
    {
        std::FILE* f = std::fopen(file.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("not a record", f);
        std::fclose(f);
    }
    cSearchExpressionResult r;
    EXPECT_FALSE(userDataSearchCacheLoad(r, nullptr, u"COLOR(\"*\")", 7, 11, 1));
    ASSERT_TRUE(cVerseHighlightDoc::verseHighlightDocInstance()->setHighlight(
        cBibleRef(BkSyncFormat::bibleKey(1, 1, 3)), 0, 5));
    EXPECT_TRUE(std::filesystem::exists(file));  // left as it is
    // A folder of a book that is not installed goes.
    const std::string other = cacheRoot() + "color/0009000901";
    std::filesystem::create_directories(other);
    userdatasearch::invalidateUserDataSearchCacheForBook(1, cBibleRef(BkSyncFormat::bibleKey(1, 1, 3)));
    EXPECT_FALSE(std::filesystem::exists(other));
    ASSERT_NE(journalDocForSearchCache(), nullptr);
    EXPECT_EQ(journalDocForSearchCache(), journalDocForSearchCache());
    clearUserDataSearchCache();
}
