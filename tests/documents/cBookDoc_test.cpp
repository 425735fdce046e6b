#include "documents/cBookDoc.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "DocTestSupport.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/foundation/cMsgBox.h"
#include "render/cHTMLRenderConfiguration.h"
#include "search/core/cBitVector.h"
#include "search/core/cSearchWordList.h"
#include "tools/tvkbuild/TvkEncode.h"
#include "userdata/cBookNote.h"
#include "userdata/cBookmark.h"
#include "userdata/cBookmarkMgr.h"
#include "userdata/cCategory.h"
#include "userdata/cCategoryStg.h"
#include "userdata/cNoteDoc.h"

using doctest::folder;
using doctest::str;
using doctest::wide;

namespace {

const std::string& bookPath()
{
    static const std::string path = folder().write(doctest::contentsBook(), "trees.tvk");
    return path;
}

std::set<std::uint32_t> bits(const cBitVector* v)
{
    std::set<std::uint32_t> out;
    if (v == nullptr)
        return out;
    for (std::uint32_t i = 0; i < v->size(); ++i)
        if (v->test(i))
            out.insert(i);
    return out;
}

class BookDocTest : public ::testing::Test {
protected:
    void SetUp() override { doctest::openDoc(doc, bookPath()); }
    cBookDoc doc;
};

TEST_F(BookDocTest, OpensAndDescribesTheBook)
{
    EXPECT_EQ(cBookDoc::kKindBook, doc.bookKindFromHeader());
    EXPECT_EQ(0x49u, doc.GetSupportFlags());
    cLString8 title;
    doc.GetTitle(title, false);
    EXPECT_EQ("TREES: Handbook of Trees", str(title));
    doc.GetTitle(title, true);
    EXPECT_EQ("TREES", str(title));
    cLString16 wideTitle;
    doc.GetTitleW(wideTitle, false);
    EXPECT_EQ("TREES: Handbook of Trees", str(wideTitle));
    doc.GetFullTitle(title);
    EXPECT_EQ("Handbook of Trees", str(title));
    const BookIdentity id = doc.bookIdentity();
    EXPECT_EQ(12, id.publisher);
    EXPECT_EQ(345, id.book);
    EXPECT_EQ(2, id.edition);
    EXPECT_EQ(8u, doc.GetNumSections());
    EXPECT_TRUE(doc.matchesBookID(12, 345));
    EXPECT_FALSE(doc.matchesBookID(12, 346));

    doc.Close();
    EXPECT_EQ(cBookDoc::kKindNotOpen, doc.bookKindFromHeader());
    EXPECT_EQ(0u, doc.GetSupportFlags());
    EXPECT_EQ(0u, doc.GetNumSections());
    doc.GetTitle(title, false);
    EXPECT_EQ("None", str(title));
    ASSERT_TRUE(doc.Open());
    EXPECT_EQ(cBookDoc::kKindBook, doc.bookKindFromHeader());
}

TEST(BookDocOpenTest, MissingFileShowsMessageAndStaysClosed)
{
    cBookDoc doc;
    doc.SetPathName(wide(folder().path() + "/missing.tvk"));
    EXPECT_FALSE(doc.Open());
    EXPECT_FALSE(doc.IsOpen());
    EXPECT_EQ(213, cMsgBox::lastShownId());
    cRenderParams go;
    go.setOption0008(1);
    EXPECT_EQ(0xFFFFFFFFu, doc.GoTo(go));
    EXPECT_EQ(nullptr, doc.GetCurrentLocation());
    cBitVector* holder = nullptr;
    cLIntArray colours;
    EXPECT_EQ(217u, doc.ApplyLimitExpression(wide("BOOKMARK(\"*\")"), holder, colours, 0, 5, false));
    EXPECT_EQ(nullptr, holder);
}

TEST(BookDocOpenTest, GarbageFileIsRejected)
{
    cTvkBookBuilder b = doctest::contentsBook();
    b.replaceStream("INFO", std::vector<uint8_t>(7, 0xEE));
    const std::string file = folder().write(b, "garbage.tvk");
    cBookDoc doc;
    doc.SetPathName(wide(file));
    EXPECT_FALSE(doc.Open());
    EXPECT_FALSE(doc.IsOpen());
}

TEST_F(BookDocTest, GoToSectionsAnchorsAndContentsPaths)
{
    cRenderParams go;
    go.setOption0008(3);
    EXPECT_EQ(0u, doc.GoTo(go));
    EXPECT_EQ(3u, doc.currentSection());
    const cRenderParams* at = doc.GetCurrentLocation();
    ASSERT_NE(nullptr, at);
    EXPECT_EQ(3u, at->getOption0008());
    EXPECT_EQ(12, at->getOption0040Publisher());
    EXPECT_EQ(345, at->getOption0040Book());

    cLString16 name;
    ASSERT_TRUE(doc.GetLocationName(name, true, false, nullptr));
    EXPECT_EQ("TREES: Detail; Chapter A; Part One", str(name));
    ASSERT_TRUE(doc.GetLocationName(name, false, false, nullptr));
    EXPECT_EQ("Detail; Chapter A; Part One", str(name));

    // A contents path with the book's identity.
    cRenderParams path;
    path.setOption0040(12, 345, -1);  // edition 0xFF matches any edition
    path.setOption0020("Part Two\\Chapter C");
    EXPECT_EQ(0u, doc.GoTo(path));
    EXPECT_EQ(6u, doc.currentSection());
    cRenderParams unknownPath;
    unknownPath.setOption0040(12, 345, 2);
    unknownPath.setOption0020("Part Two\\Chapter Z");
    EXPECT_EQ(0u, doc.GoTo(unknownPath));
    EXPECT_EQ(6u, doc.currentSection());

    // Another book's identity: nothing to go to.
    cRenderParams other;
    other.setOption0040(12, 999, 2);
    other.setOption0008(2);
    EXPECT_EQ(0xFFFFFFFFu, doc.GoTo(other));
    EXPECT_EQ(6u, doc.currentSection());

    // An anchor alone stays in the current section.
    cRenderParams anchorOnly;
    anchorOnly.setOption0020("fig1");
    EXPECT_EQ(0u, doc.GoTo(anchorOnly));
    EXPECT_EQ(6u, doc.currentSection());

    // A section the book does not have.
    cRenderParams beyond;
    beyond.setOption0008(99);
    EXPECT_EQ(0xFFFFFFFFu, doc.GoTo(beyond));

    // A location of another book has no name here.
    cRenderParams elsewhere;
    elsewhere.setOption0040(1, 1, 1);
    elsewhere.setOption0008(2);
    EXPECT_FALSE(doc.GetLocationName(name, true, false, &elsewhere));
    EXPECT_TRUE(name.isEmpty());
}

TEST_F(BookDocTest, AlreadyShownAnswers215)
{
    cRenderParams named;
    named.setLocationName("chapter-a");
    EXPECT_EQ(0u, doc.GoTo(named));
    EXPECT_EQ(215u, doc.GoTo(named));
    named.setLocationName("chapter-b");
    EXPECT_EQ(0u, doc.GoTo(named));

    // A shown page lists its anchors; going to one of them changes nothing.
    cRenderParams page;
    page.setOption0200();
    page.pairs().setValue("elm", "1");
    EXPECT_EQ(0u, doc.GoTo(page));
    cRenderParams jump;
    jump.setOption0008(2);
    jump.setOption0020("elm");
    EXPECT_EQ(215u, doc.GoTo(jump));
    EXPECT_EQ(nullptr, doc.GetCurrentLocation());  // still the page request, which names no section
    jump.setOption0020("oak");
    EXPECT_EQ(0u, doc.GoTo(jump));
    EXPECT_EQ(2u, doc.currentSection());

    cRenderParams nothing;
    EXPECT_EQ(0xFFFFFFFFu, doc.GoTo(nothing));
}

TEST_F(BookDocTest, TitleBarNamesAndChildren)
{
    cLString8 out;
    doc.GetPositionNameForTitleBar(out, 3, true, false);
    EXPECT_EQ("Part One | Chapter A | Detail", str(out));
    doc.GetPositionNameForTitleBar(out, 3, true, true);
    EXPECT_EQ("Detail | Chapter A | Part One", str(out));
    doc.GetPositionNameForTitleBar(out, 3, false, false);
    EXPECT_EQ("Part One | Chapter A", str(out));
    doc.GetPositionNameForTitleBar(out, 5, false, false);
    EXPECT_EQ("", str(out));

    EXPECT_TRUE(doc.HasChildren(1));
    EXPECT_TRUE(doc.HasChildren(2));
    EXPECT_FALSE(doc.HasChildren(3));
    EXPECT_FALSE(doc.HasChildren(7));
    cLIntArray children;
    ASSERT_TRUE(doc.childSectionsOf(1, children));
    ASSERT_EQ(2, children.count());
    EXPECT_EQ(2, children.getAt(0));
    EXPECT_EQ(4, children.getAt(1));
    ASSERT_TRUE(doc.collectSectionPathAndChildren(7, children));
    ASSERT_EQ(2, children.count());
    EXPECT_EQ(6, children.getAt(0));
    EXPECT_EQ(7, children.getAt(1));
    EXPECT_FALSE(doc.childSectionsOf(3, children));
    EXPECT_EQ(0, children.count());
    EXPECT_FALSE(doc.collectSectionPathAndChildren(0xFFFFFFFF, children));
}

TEST_F(BookDocTest, ConcordanceLookups)
{
    cBitVector* hits = nullptr;
    std::uint32_t count = 0;
    doc.SearchMainConcordance(wide("oak"), hits, count);
    std::unique_ptr<cBitVector> owned(hits);
    EXPECT_EQ(2u, count);
    EXPECT_EQ((std::set<std::uint32_t> {2, 3}), bits(hits));

    hits = nullptr;
    doc.SearchMainConcordance(wide("b*"), hits, count);
    owned.reset(hits);
    EXPECT_EQ((std::set<std::uint32_t> {4, 6}), bits(hits));  // bends, breaking, by
    EXPECT_EQ(2u, count);

    hits = nullptr;
    doc.SearchMainConcordance(wide("*"), hits, count);
    owned.reset(hits);
    EXPECT_EQ(7u, count);
    EXPECT_FALSE(hits->test(0));

    hits = nullptr;
    doc.SearchMainConcordance(wide("zz*"), hits, count);
    EXPECT_EQ(nullptr, hits);
    EXPECT_EQ(0u, count);
    doc.SearchMainConcordance(wide("unknown"), hits, count);
    EXPECT_EQ(nullptr, hits);

    // A vector the caller gives is reused.
    cBitVector mine(8);
    cBitVector* given = &mine;
    doc.SearchMainConcordance(wide("willow*"), given, count);
    EXPECT_EQ(&mine, given);
    EXPECT_EQ((std::set<std::uint32_t> {5, 6}), bits(&mine));

    EXPECT_EQ(2u, doc.WordOccursInXSections(cLString8("oak")));
    EXPECT_EQ(0u, doc.WordOccursInXSections(cLString8("maple")));

    // No Strong's or attribute storages: nothing.
    hits = nullptr;
    doc.SearchStrongsHebrewConcordance(wide("H1"), hits, count);
    EXPECT_EQ(nullptr, hits);
    EXPECT_EQ(0u, count);
    doc.SearchWordAttributeConcordance(wide("lemma:x"), hits, count);
    EXPECT_EQ(nullptr, hits);
}

TEST_F(BookDocTest, ConcordanceLookupsOnSeveralThreads)
{
    std::vector<std::thread> threads;
    std::vector<std::uint32_t> counts(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                cBitVector* hits = nullptr;
                std::uint32_t count = 0;
                doc.SearchMainConcordance(wide(t % 2 ? "oak" : "w*"), hits, count);
                delete hits;
                counts[static_cast<size_t>(t)] = count;
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(2u, counts[1]);
    EXPECT_EQ(counts[0], counts[2]);
    EXPECT_GT(counts[0], 0u);
}

TEST_F(BookDocTest, ResultLines)
{
    cLString8 out;
    EXPECT_TRUE(doc.GetSearchResultText(3, 0, false, 0, nullptr, nullptr, out));
    EXPECT_EQ("Part One | Chapter A | Detail", str(out));
    EXPECT_FALSE(doc.GetSearchResultText(3, 1, false, 0, nullptr, nullptr, out));
    EXPECT_EQ("Error", str(out));
    EXPECT_TRUE(doc.GetSearchResultText(3, 0, true, 0, nullptr, nullptr, out));
    EXPECT_EQ("<nobr>&nbsp;&nbsp;&nbsp;<a name=\"3\" href=\"3\">Detail</a> | Chapter A | Part One</nobr>", str(out));
    // Contents titles are text: a title that looks like markup goes into the row as text.
    cLString8 row;
    cBookDoc::appendHtmlEscaped(row, "<iframe src=\"x\"> & co");
    EXPECT_EQ("&lt;iframe src=&quot;x&quot;&gt; &amp; co", str(row));
    EXPECT_FALSE(doc.GetSearchResultText(3, 7, true, 0, nullptr, nullptr, out));
    EXPECT_EQ("<p>Error</p>", str(out));
    EXPECT_FALSE(doc.GetSearchResultText(42, 0, true, 0, nullptr, nullptr, out));

    // An excerpt without marked words: the first words and "....".
    ASSERT_TRUE(doc.GetSearchResultText(2, 1, true, 0, nullptr, nullptr, out));
    std::string text = str(out);
    EXPECT_EQ("....", text.substr(text.size() - 4));
    EXPECT_NE(std::string::npos, text.find("oak"));
    EXPECT_EQ(std::string::npos, text.find("long"));
}

TEST_F(BookDocTest, ExcerptsAroundMarkedWords)
{
    cSearchWordList words;
    ASSERT_EQ(0, words.appendItem(u"autumn", AnItem::kNoWordNumber, false, nullptr));
    cLString8 out;
    ASSERT_TRUE(doc.GetSearchResultText(3, 1, true, 0, nullptr, &words, out));
    // The section's closing line break folds into a blank.
    EXPECT_EQ("\x01oak \x01in \x01"
              "autumn\x07. ",
        str(out));
    ASSERT_TRUE(doc.GetSearchResultText(3, 2, true, 0, nullptr, &words, out));
    EXPECT_EQ("\x01"
              "fall \x01"
              "from \x01the \x01oak \x01in \x01"
              "autumn\x07. ",
        str(out));
}

TEST(TrimToHitExcerptTest, KeepsTheLargestGroupAndItsSurroundings)
{
    cLString8 text("one two three four five six seven eight nine ten eleven twelve");
    cBookDoc::trimToHitExcerpt(text, 2, 5);
    EXPECT_EQ("one two three four five six seven....", str(text));

    cLString8 spaced("one  two   three four");
    cBookDoc::trimToHitExcerpt(spaced, 1, 5);
    EXPECT_EQ("one two three four", str(spaced));

    cLString8 hit("a b c d hit\x07 e f g h i j k");
    cBookDoc::trimToHitExcerpt(hit, 2, 3);
    EXPECT_EQ("c d hit\x07 e f....", str(hit));

    // Two groups of equal size: the first is kept.
    cLString8 tie("x1 a\x07\x07 x2 x3 x4 x5 x6 b\x07\x07 x7");
    cBookDoc::trimToHitExcerpt(tie, 0, 1);
    EXPECT_EQ("a\x07\x07....", str(tie));

    cLString8 larger("p a\x07 q r s b\x07\x07 t");
    cBookDoc::trimToHitExcerpt(larger, 1, 1);
    EXPECT_EQ("s b\x07\x07....", str(larger));

    cLString8 empty("");
    cBookDoc::trimToHitExcerpt(empty, 2, 5);
    EXPECT_EQ("", str(empty));
}

TEST_F(BookDocTest, SectionWordsAreListedOnce)
{
    std::unique_ptr<cWordList8> words = doc.CollectSectionWords(2, 2, nullptr, 0x1);
    ASSERT_NE(nullptr, words);
    std::vector<std::string> list;
    for (std::int32_t i = 0; i < words->count(); ++i)
        list.push_back(str(*words->at(i)));
    EXPECT_EQ((std::vector<std::string> {"The", "oak", "is", "strong", "lives", "long"}), list);
    EXPECT_EQ(nullptr, doc.CollectSectionWords(2, 2, nullptr, 0));
    EXPECT_EQ(nullptr, doc.CollectSectionWords(2, 3, nullptr, 0x2));  // no Strong's numbers
    EXPECT_EQ(nullptr, doc.BibleLinksListForSection(2, "KJV", nullptr));
}

TEST(BibleLinksInText, EachLinksTargetIsReadAlone)
{
    const auto keys = [](const std::unique_ptr<cBibleRefList>& list) {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
        for (std::int32_t i = 0; list != nullptr && i < list->count(); ++i)
            out.emplace_back(list->at(i)->startKey(), list->at(i)->endKey());
        return out;
    };
    using K = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
    // The compact forms (one verse, a range), then the reference-text form; other links are passed over.
    const cLString8 text(
        "<p>(1) Country <a href=\"bible:#012B0310\">Joh 3:16</a>; <a href=\"sync:H430\">H430</a> "
        "<a href=\"bible:-01280A22280A27\">Mt 10:34-39</a>, <a href=\"bible:Ro 8:28\">Ro 8:28</a>.</p>");
    EXPECT_EQ(keys(cBookDoc::bibleLinksInText(text, "KJV", nullptr)),
        (K {{0x2B0310, 0x2B0310}, {0x280A22, 0x280A27}, {0x2D081C, 0x2D081C}}));

    // Targets wrapped in the configuration's link prefix and suffix, and wrapped as a page-script call
    // without a configuration.
    const cLString8 wrapped("<a href=\"javascript:href('bible:#012B0310');\">Joh 3:16</a>");
    cHTMLRenderConfiguration config;
    const cLString8 prefix(cHTMLRenderConfiguration::kDefaultLinkPrefix);
    const cLString8 suffix(cHTMLRenderConfiguration::kDefaultLinkSuffix);
    config.linkPrefix = &prefix;
    config.linkSuffix = &suffix;
    EXPECT_EQ(keys(cBookDoc::bibleLinksInText(wrapped, "KJV", &config)), (K {{0x2B0310, 0x2B0310}}));
    EXPECT_EQ(keys(cBookDoc::bibleLinksInText(wrapped, "KJV", nullptr)), (K {{0x2B0310, 0x2B0310}}));

    // Damaged text: a target that never closes, a target that names nothing, no links at all.
    EXPECT_EQ(nullptr, cBookDoc::bibleLinksInText(cLString8("<a href=\"bible:#012B0310"), "KJV", nullptr));
    EXPECT_EQ(nullptr, cBookDoc::bibleLinksInText(cLString8("<a href=\"bible:#ZZ\">x</a>"), "KJV", nullptr));
    EXPECT_EQ(nullptr, cBookDoc::bibleLinksInText(cLString8("<a href=\"bible:\">x</a><a href=\""), "KJV", nullptr));
    EXPECT_EQ(nullptr, cBookDoc::bibleLinksInText(cLString8(""), "KJV", nullptr));
    // A link after a damaged one is still found.
    EXPECT_EQ(keys(cBookDoc::bibleLinksInText(
                  cLString8("<a href=\"bible:#ZZ\">x</a> <a href=\"bible:#01010101\">Ge 1:1</a>"), "KJV", nullptr)),
        (K {{0x010101, 0x010101}}));
}

TEST_F(BookDocTest, BookmarkLimits)
{
    cCategoryStg categories;
    ASSERT_TRUE(categories.openDatabase(false));
    cCategory best;
    best.name = wide("Trees \"Best\"");
    ASSERT_TRUE(categories.addCategory(best, false, false));
    cBookmarkMgr bookmarks;
    ASSERT_TRUE(bookmarks.openDatabase(nullptr, true, false));
    cBookmark plain, favourite, elsewhere;
    plain.setBookSection(12, 345, 2, 2, 0);
    favourite.setBookSection(12, 345, 2, 5, best.catid);
    elsewhere.setBookSection(12, 999, 2, 3, 0);
    ASSERT_TRUE(bookmarks.addBookmark(plain, false, false, false));
    ASSERT_TRUE(bookmarks.addBookmark(favourite, false, false, false));
    ASSERT_TRUE(bookmarks.addBookmark(elsewhere, false, false, false));
    bookmarks.close();
    categories.close();

    auto limit = [&](const std::string& expression, std::uint32_t first = 0, std::uint32_t last = 100) {
        cBitVector* holder = nullptr;
        cLIntArray colours;
        EXPECT_EQ(0u, doc.ApplyLimitExpression(wide(expression), holder, colours, first, last, false));
        std::unique_ptr<cBitVector> owned(holder);
        return bits(holder);
    };
    EXPECT_EQ((std::set<std::uint32_t> {2}), limit("BOOKMARK(\"No Category\")"));
    EXPECT_EQ((std::set<std::uint32_t> {5}), limit("BOOKMARK(\"Trees \"\"Best\"\"\")"));
    EXPECT_EQ((std::set<std::uint32_t> {2, 5}), limit("tree BOOKMARK(\"*\")"));
    EXPECT_EQ((std::set<std::uint32_t> {}), limit("BOOKMARK(\"Unknown\")"));
    // A colour limit in a book that is not a Bible allows nothing.
    EXPECT_EQ((std::set<std::uint32_t> {}), limit("COLOR(\"Red\")"));
    // Without a limit part every section stays.
    EXPECT_EQ(8u, limit("oak").size());

    cBitVector* holder = nullptr;
    cLIntArray colours;
    EXPECT_EQ(0u, doc.ApplyLimitExpression(wide("BOOKMARK(\"*\")"), holder, colours, 5, 4, false));
    EXPECT_EQ(nullptr, holder);

    cBookmark record;
    record.setBookSection(12, 345, 7, 3, 0);
    EXPECT_TRUE(doc.BookmarkBelongsToBook(record));
    record.setBookSection(12, 346, 2, 3, 0);
    EXPECT_FALSE(doc.BookmarkBelongsToBook(record));
    record.setBibleVerse(0x010101, 0);
    EXPECT_FALSE(doc.BookmarkBelongsToBook(record));
}

TEST_F(BookDocTest, BookNoteLinkOnTheFirstBlockOfASection)
{
    cNoteDoc* notes = noteDocInstance();
    ASSERT_NE(nullptr, notes);
    cNoteDocProvider::install(std::make_shared<cFixedNoteDocProvider>(notes));
    cBookNote note;
    note.pubid = 12;
    note.bookid = 345;
    note.edition = 2;
    note.section = 7;
    note.note = wide("my note");
    ASSERT_TRUE(notes->saveBookNote(note, false));

    std::uint32_t firstBlock = 0, endBlock = 0;
    ASSERT_TRUE(doc.sectionBlockSpan(7, firstBlock, endBlock));
    cLString8 out;
    EXPECT_EQ(1u, doc.htmlTextForBlockCore(firstBlock, nullptr, out));
    EXPECT_EQ("<p><a href=\"note:_00012003450020000000007\">Note</a></p><p>Pines stay green in winter.</p>", str(out));
    cHTMLRenderConfiguration config;
    const bool omit = true;
    config.omitUserNoteLinks = &omit;
    EXPECT_EQ(1u, doc.htmlTextForBlockCore(firstBlock, &config, out));
    EXPECT_EQ("<p>Pines stay green in winter.</p>", str(out));
    const bool keep = false;
    const cLString8 prefix("javascript:href('"), suffix("');");
    config.omitUserNoteLinks = &keep;
    config.linkPrefix = &prefix;
    config.linkSuffix = &suffix;
    EXPECT_EQ(1u, doc.htmlTextForBlockCore(firstBlock, &config, out));
    EXPECT_EQ("<p><a href=\"javascript:href('note:_00012003450020000000007');\">Note</a></p>", str(out).substr(0, 75));

    ASSERT_TRUE(doc.sectionBlockSpan(6, firstBlock, endBlock));
    EXPECT_EQ(1u, doc.htmlTextForBlockCore(firstBlock, nullptr, out));
    EXPECT_EQ(std::string::npos, str(out).find("note:_"));
    EXPECT_EQ(1u, doc.htmlTextForBlockCore(100000, nullptr, out));
    EXPECT_TRUE(out.isEmpty());
}

TEST_F(BookDocTest, DisplayedSectionRange)
{
    std::uint32_t first = 0, last = 0;
    cRenderParams shown;
    shown.setOption0200();
    shown.setBlockPair(2, 4);
    ASSERT_EQ(0u, doc.GoTo(shown));
    EXPECT_EQ(2u, doc.GetDisplayedSectionRange(first, last));
    EXPECT_EQ(2u, first);
    EXPECT_EQ(4u, last);
    // The pair is kept in the location and answered from there.
    EXPECT_EQ(2u, doc.GetDisplayedSectionRange(first, last));
    EXPECT_EQ(4u, last);
    EXPECT_TRUE(doc.NeedsRefresh(3));
}

TEST_F(BookDocTest, SectionSpansAndBookmarkOwnership)
{
    std::uint32_t block = 0, end = 0;
    ASSERT_TRUE(doc.sectionBlockSpan(4, block, end));
    EXPECT_EQ(block + 1, end);
    cBookmark bookmark;
    bookmark.setBookSection(12, 345, 2, 4, 0);
    EXPECT_TRUE(doc.BookmarkBelongsToBook(bookmark));
    bookmark.setBookSection(12, 346, 2, 4, 0);
    EXPECT_FALSE(doc.BookmarkBelongsToBook(bookmark));
}

TEST(BookDocEmptyTest, ABookWithoutSectionsAnswersNeutralValues)
{
    cTvkBookBuilder b = doctest::contentsBook();
    b.replaceStream("SECT", TvkEncode::sections({}));
    cBookDoc doc;
    doc.SetPathName(wide(folder().write(b, "nosections.tvk")));
    if (!doc.Open())
        GTEST_SKIP() << "the reader refuses a book without sections";
    EXPECT_EQ(0u, doc.GetNumSections());
    cBitVector* holder = nullptr;
    cLIntArray colours;
    EXPECT_EQ(
        0u, doc.ApplyLimitExpression(wide("BOOKMARK(\"*\") COLOR(\"Red\")"), holder, colours, 0, 0xFFFFFFFF, false));
    EXPECT_EQ(nullptr, holder);
    cRenderParams go;
    go.setOption0008(1);
    EXPECT_EQ(0xFFFFFFFFu, doc.GoTo(go));
    cLString8 line;
    EXPECT_FALSE(doc.GetSearchResultText(1, 1, true, 0, nullptr, nullptr, line));
    EXPECT_EQ(nullptr, doc.CollectSectionWords(0, 5, nullptr, 0xF));
    std::uint32_t first = 0, last = 0;
    EXPECT_EQ(0xFFFFFFFFu, doc.GetDisplayedSectionRange(first, last));
    std::uint32_t count = 0;
    doc.SearchMainConcordance(wide("*"), holder, count);
    std::unique_ptr<cBitVector> owned(holder);
    EXPECT_EQ(0u, count);
}

}  // namespace

TEST(BookDocContentsTest, TheTitleBarLeavesOutATitleItsChildRepeats)
{
    // A commentary's contents: each verse's entry is named in full under its book's entry.
    const std::vector<TvkEncode::TocEntry> entries = {{0, "Notes"}, {1, "John"}, {2, "John 3:16"}, {3, "perish"},
        {2, "John 3:17"}, {1, "Johnny"}, {2, "Johnny Appleseed"}, {2, "Johnson"}};
    cTvkBookBuilder b = doctest::contentsBook();
    b.replaceStream("TOFC", TvkEncode::toc(entries));
    const std::string path = folder().write(b, "repeated-contents.tvk");
    cBookDoc doc;
    doctest::openDoc(doc, path);
    cLString8 out;
    doc.GetPositionNameForTitleBar(out, 2, true, false);
    EXPECT_EQ("John 3:16", str(out));
    doc.GetPositionNameForTitleBar(out, 3, true, false);
    EXPECT_EQ("John 3:16 | perish", str(out));
    doc.GetPositionNameForTitleBar(out, 3, true, true);
    EXPECT_EQ("perish | John 3:16", str(out));
    doc.GetPositionNameForTitleBar(out, 6, true, false);
    EXPECT_EQ("Johnny Appleseed", str(out));
    // Only a whole word repeated: "Johnny" does not open "Johnson".
    doc.GetPositionNameForTitleBar(out, 7, true, false);
    EXPECT_EQ("Johnny | Johnson", str(out));
}

TEST(BookDocContentsTest, LinksOutOfDocumentOrderEndTheWalks)
{
    // The contents of the tree book with damaged links: "Detail" (3) names itself as its parent,
    // "Chapter C" (6) names itself as its next sibling and "Chapter D" (7) names a later entry as its
    // previous one. Every walk stops at such a link instead of repeating an entry to its step limit.
    const std::vector<TvkEncode::TocEntry> entries = {{0, "Handbook of Trees"}, {1, "Part One"}, {2, "Chapter A"},
        {3, "Detail"}, {2, "Chapter B"}, {1, "Part Two"}, {2, "Chapter C"}, {2, "Chapter D"}};
    TvkEncode::Bytes toc = TvkEncode::toc(entries);
    // Entries follow the 44-byte header: three one-byte links (next, previous, parent), the level, the
    // title and its 0.
    std::vector<size_t> at;
    for (size_t p = 44, i = 0; i < entries.size(); ++i) {
        at.push_back(p);
        p += 3 + 1 + entries[i].title.size() + 1;
    }
    toc[at[3] + 2] = 3;
    toc[at[6]] = 6;
    toc[at[7] + 1] = 7;
    cTvkBookBuilder b = doctest::contentsBook();
    b.replaceStream("TOFC", toc);
    const std::string path = folder().write(b, "damaged-contents.tvk");
    cBookDoc doc;
    doctest::openDoc(doc, path);
    cLString8 out;
    doc.GetPositionNameForTitleBar(out, 3, true, false);
    EXPECT_EQ("Detail", str(out));
    doc.GetPositionNameForTitleBar(out, 2, true, false);
    EXPECT_EQ("Part One | Chapter A", str(out));
    cLIntArray path6;
    ASSERT_TRUE(doc.collectSectionPathAndChildren(6, path6));
    ASSERT_EQ(1, path6.count());
    EXPECT_EQ(6, path6.getAt(0));
    cLIntArray path7;
    ASSERT_TRUE(doc.collectSectionPathAndChildren(7, path7));
    ASSERT_EQ(1, path7.count());
    cBookDoc::ContentsPath cp;
    EXPECT_FALSE(doc.contentsPath(3, cp));
    ASSERT_TRUE(doc.contentsPath(2, cp));
    EXPECT_EQ(2u, cp.depth);
    EXPECT_EQ(1u, cp.entries[1]);
}
