#include "documents/cBibleDoc.h"
#include "documents/cBookUserData.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "DocTestSupport.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/foundation/cMsgBox.h"
#include "engine/references/cBibleRef.h"
#include "render/cHTMLColor.h"
#include "render/cHTMLRenderConfiguration.h"
#include "search/core/cBitVector.h"
#include "search/core/cSearchWordList.h"
#include "userdata/cBibleNote.h"
#include "userdata/cBookmark.h"
#include "userdata/cBookmarkMgr.h"
#include "userdata/cNoteDoc.h"
#include "userdata/cVerseHighlightDoc.h"

using BkSyncFormat::bibleKey;
using doctest::bits;
using doctest::folder;
using doctest::str;
using doctest::wide;

namespace {

cTvkBookBuilder bibleBuilder()
{
    cTvkBookBuilder b;
    b.kind = cTvkBookBuilder::Kind::Bible;
    b.info.bookName = "King James Version";
    b.info.abbreviatedTitle = "KJV";
    b.info.publisherId = 1;
    b.info.bookId = 2;
    b.addSection({"Genesis", 1, "", bibleKey(1, 0, 0)});                                                  // 1
    b.addSection({"Genesis 1", 2, "", bibleKey(1, 1, 0)});                                                // 2
    b.addSection({"1", 3, "In the beginning God created the heaven and the earth.", bibleKey(1, 1, 1)});  // 3
    b.addSection({"2", 3, "And the earth was without form, and void.", bibleKey(1, 1, 2)});               // 4
    b.addSection({"3", 3, "And God said, Let there be light.", bibleKey(1, 1, 3)});                       // 5
    b.addSection({"Genesis 2", 2, "", bibleKey(1, 2, 0)});                                                // 6
    b.addSection({"1", 3, "Thus the heavens and the earth were finished.", bibleKey(1, 2, 1)});           // 7
    b.addSection({"2", 3, "And on the seventh day God ended his work.", bibleKey(1, 2, 2)});              // 8
    b.addSection({"John", 1, "", bibleKey(43, 0, 0)});                                                    // 9
    b.addSection({"John 3", 2, "", bibleKey(43, 3, 0)});                                                  // 10
    b.addSection({"16", 3, "For God so loved the world.", bibleKey(43, 3, 16)});                          // 11
    b.addSection({"17", 3, "For God sent not his Son to condemn the world.", bibleKey(43, 3, 17)});       // 12
    return b;
}

const std::string& biblePath()
{
    static const std::string path = folder().write(bibleBuilder(), "kjv.tvk");
    return path;
}

class BibleDocTest : public ::testing::Test {
protected:
    void SetUp() override { doctest::openDoc(doc, biblePath()); }

    std::uint32_t goToText(const char* text)
    {
        cRenderParams go;
        go.setOption0001(text);
        return doc.GoTo(go);
    }
    std::uint32_t step(std::uint32_t request)
    {
        cRenderParams go;
        go.setRequests(request);
        return doc.GoTo(go);
    }
    std::set<std::uint32_t> limit(const std::string& expression, std::uint32_t* result = nullptr,
        std::uint32_t first = 0, std::uint32_t last = 0xFFFFFFFF)
    {
        cBitVector* holder = nullptr;
        cLIntArray colours;
        const std::uint32_t r = doc.ApplyLimitExpression(wide(expression), holder, colours, first, last, false);
        if (result != nullptr)
            *result = r;
        else
            EXPECT_EQ(0u, r) << expression;
        std::unique_ptr<cBitVector> owned(holder);
        return bits(holder);
    }

    cBibleDoc doc;
};

TEST_F(BibleDocTest, OpensAsABible)
{
    EXPECT_EQ(cBookDoc::kKindBible, doc.bookKindFromHeader());
    EXPECT_EQ(0x206Fu, doc.GetSupportFlags());
    EXPECT_FALSE(doc.HasChildren(1));
    std::unique_ptr<cSourceDoc> clone(doc.Clone());
    ASSERT_NE(nullptr, clone);
    EXPECT_TRUE(clone->IsOpen());
    EXPECT_EQ(2, clone->bookIdentity().book);
}

TEST(BibleDocOpenTest, FlagsOfStrongsAndAttributesAndNonBibles)
{
    cTvkBookBuilder b = bibleBuilder();
    b.info.strongsHebrew[0] = 1;
    b.info.strongsHebrew[1] = 8674;
    b.info.strongsGreek[0] = 1;
    b.info.strongsGreek[1] = 5624;
    b.info.wordAttributeDefs = "lemma=0,Lemma,lemma:,0,,,,sync:lemma,yes";
    cBibleDoc rich;
    doctest::openDoc(rich, folder().write(b, "rich.tvk"));
    EXPECT_EQ(0x1266Fu, rich.GetSupportFlags());

    b.info.strongsHebrew[0] = 0;
    cBibleDoc half;
    doctest::openDoc(half, folder().write(b, "half.tvk"));
    EXPECT_EQ(0x1226Fu, half.GetSupportFlags());

    cBibleDoc notABible;
    notABible.SetPathName(wide(folder().write(doctest::contentsBook(), "plain.tvk")));
    EXPECT_FALSE(notABible.Open());
    EXPECT_FALSE(notABible.IsOpen());
    EXPECT_EQ(205, cMsgBox::lastShownId());
}

TEST_F(BibleDocTest, GoToReferencesAndKeys)
{
    ASSERT_EQ(0u, goToText("John 3:16"));
    EXPECT_EQ(11u, doc.currentSection());
    const cRenderParams* at = doc.GetCurrentLocation();
    ASSERT_NE(nullptr, at);
    EXPECT_STREQ("2B0310", at->getOption0020());
    EXPECT_EQ(0x2B0310u, at->getOption0002());

    cLString16 name;
    ASSERT_TRUE(doc.GetLocationName(name, false, false, nullptr));
    EXPECT_EQ("John 3:16", str(name));
    ASSERT_TRUE(doc.GetLocationName(name, true, false, nullptr));
    EXPECT_EQ("KJV: Jn 3:16", str(name));  // abbreviated after the title

    // A verse this Bible lacks leaves the location alone.
    EXPECT_EQ(226u, goToText("Revelation 5:5"));
    EXPECT_EQ(11u, doc.currentSection());
    EXPECT_EQ(226u, goToText("no such book"));

    cRenderParams byKey;
    byKey.setOption0002(bibleKey(1, 1, 2));
    EXPECT_EQ(0u, doc.GoTo(byKey));
    EXPECT_EQ(4u, doc.currentSection());

    cRenderParams section;
    section.setOption0008(7);
    EXPECT_EQ(0u, doc.GoTo(section));
    EXPECT_STREQ("010201", doc.GetCurrentLocation()->getOption0020());

    cRenderParams named;
    named.setLocationName("gen");
    EXPECT_EQ(0u, doc.GoTo(named));
    EXPECT_EQ(215u, doc.GoTo(named));
}

TEST_F(BibleDocTest, NavigationByBookChapterAndVerse)
{
    ASSERT_EQ(0u, goToText("Genesis 1:2"));
    EXPECT_EQ(4u, doc.currentSection());
    EXPECT_EQ(0u, step(cRenderParams::kNextVerse));
    EXPECT_EQ(5u, doc.currentSection());
    EXPECT_EQ(0u, step(cRenderParams::kPreviousVerse));
    EXPECT_EQ(4u, doc.currentSection());
    EXPECT_EQ(0u, step(cRenderParams::kNextChapter));
    EXPECT_EQ(6u, doc.currentSection());
    EXPECT_EQ(0u, step(cRenderParams::kNextBook));
    EXPECT_EQ(9u, doc.currentSection());
    EXPECT_EQ(0xFFFFFFFFu, step(cRenderParams::kNextBook));
    EXPECT_EQ(0u, step(cRenderParams::kPreviousBook));
    EXPECT_EQ(1u, doc.currentSection());
    EXPECT_EQ(0xFFFFFFFFu, step(cRenderParams::kPreviousVerse));

    ASSERT_EQ(0u, goToText("Genesis 2:2"));
    EXPECT_EQ(0u, step(cRenderParams::kPreviousChapter));
    EXPECT_EQ(6u, doc.currentSection());

    ASSERT_EQ(0u, goToText("John 3:17"));
    EXPECT_EQ(0xFFFFFFFFu, step(cRenderParams::kNextVerse));
    EXPECT_EQ(3, doc.adjacentChapterSection(cBibleDoc::kPreviousVerseKind, bibleKey(1, 1, 2)));
}

TEST_F(BibleDocTest, LimitExpressions)
{
    EXPECT_EQ((std::set<std::uint32_t> {11, 12}), limit("John 3:16-17"));
    EXPECT_EQ((std::set<std::uint32_t> {3, 4, 5}), limit("Genesis 1"));
    EXPECT_EQ((std::set<std::uint32_t> {3, 4, 11}), limit("Gen 1:1-2; John 3:16"));
    EXPECT_EQ((std::set<std::uint32_t> {11}), limit("Juan 3:16"));
    EXPECT_EQ((std::set<std::uint32_t> {4}), limit("Gen 1", nullptr, 4, 4));
    std::uint32_t r = 0;
    EXPECT_TRUE(limit("Revelation 5", &r).empty());
    EXPECT_EQ(226u, r);

    // Highlights: yellow on Gen 1:2 and John 3:16, red on Gen 1:3.
    cVerseHighlightDoc* highlights = cVerseHighlightDoc::verseHighlightDocInstance();
    ASSERT_NE(nullptr, highlights);
    ASSERT_TRUE(highlights->isDocOpen());
    const std::uint16_t yellow = static_cast<std::uint16_t>(htmlColorNameRow("yellow"));
    ASSERT_TRUE(highlights->setHighlight(cBibleRef(bibleKey(1, 1, 2)), 0, yellow));
    ASSERT_TRUE(highlights->setHighlight(cBibleRef(bibleKey(43, 3, 16)), 0, yellow));
    ASSERT_TRUE(highlights->setHighlight(cBibleRef(bibleKey(1, 1, 3)), 0, 0x8008));
    EXPECT_EQ((std::set<std::uint32_t> {4}), limit("Gen 1 COLOR(\"Yellow\")"));
    EXPECT_EQ((std::set<std::uint32_t> {4, 11}), limit("COLOR(\"yellow\")"));
    EXPECT_EQ((std::set<std::uint32_t> {5}), limit("COLOR(\"Underline\")"));
    EXPECT_EQ((std::set<std::uint32_t> {4, 5, 11}), limit("COLOR(\"*\")"));
    EXPECT_EQ((std::set<std::uint32_t> {4, 5}), limit("COLOR(\"Yellow\", \"Underline\")", nullptr, 1, 8));
    EXPECT_TRUE(limit("COLOR(\"NoSuchColour\")").empty());
    // A colour written as "#RRGGBB" is the highlight colour of that value.
    EXPECT_EQ((std::set<std::uint32_t> {4, 11}), limit("COLOR(\"#FFFF00\")"));
    EXPECT_EQ((std::set<std::uint32_t> {4, 11}), limit("COLOR(\"#ffff00\")"));
    EXPECT_TRUE(limit("COLOR(\"#FFFF0\")").empty());
    EXPECT_TRUE(limit("COLOR(\"#123457\")").empty());

    // The search expressions' form: a reference narrows the range to its verses, and no limit word
    // comes back.
    cBibleRef john(bibleKey(43, 3, 16));
    cBitVector* holder = nullptr;
    cLIntArray limitWords;
    limitWords.add(99);
    ASSERT_EQ(0u, doc.ApplyLimitExpression(wide("COLOR(\"*\")"), holder, limitWords, 0, 100, &john, false));
    std::unique_ptr<cBitVector> owned(holder);
    EXPECT_EQ((std::set<std::uint32_t> {11}), bits(holder));
    EXPECT_EQ(0, limitWords.count());

    // Bookmarks.
    cBookmarkMgr bookmarks;
    ASSERT_TRUE(bookmarks.openDatabase(nullptr, true, false));
    cBookmark mark;
    mark.setBibleVerse(bibleKey(43, 3, 17), 0);
    ASSERT_TRUE(bookmarks.addBookmark(mark, false, false, false));
    bookmarks.close();
    EXPECT_EQ((std::set<std::uint32_t> {12}), limit("BOOKMARK(\"*\")"));
    EXPECT_EQ((std::set<std::uint32_t> {12}), limit("John 3:16-17 BOOKMARK(\"No Category\")"));
    EXPECT_TRUE(limit("Gen 1 BOOKMARK(\"*\")").empty());

    // Notes: the verses that carry one.
    cNoteDocProvider::install(std::make_shared<cFixedNoteDocProvider>(noteDocInstance()));
    cBibleNote note;
    note.booknum = 1;
    note.chapter = 1;
    note.verse = 3;
    note.note = wide("Light.");
    ASSERT_TRUE(noteDocInstance()->saveBibleNote(note, false));
    EXPECT_EQ((std::set<std::uint32_t> {5}), limit("NOTE()"));
    EXPECT_EQ((std::set<std::uint32_t> {5}), limit("Genesis 1 NOTE()"));
    EXPECT_TRUE(limit("John 3:16-17 NOTE()").empty());
    EXPECT_TRUE(limit("NOTE() BOOKMARK(\"*\")").empty());
    ASSERT_TRUE(noteDocInstance()->deleteBibleNoteAtVerse(1, 1, 3));
    EXPECT_TRUE(limit("NOTE()").empty());
}

TEST_F(BibleDocTest, PhraseTestUnderLimitWords)
{
    cSearchWordList phrase;
    phrase.appendItem(u"god", 0xFFFFFFFF, false, nullptr);
    phrase.appendItem(u"created", 0xFFFFFFFF, false, nullptr);
    cLIntArray none;
    EXPECT_TRUE(doc.IsPhrasePresentInSection(3, phrase, none));
    EXPECT_FALSE(doc.IsPhrasePresentInSection(4, phrase, none));
    // Each limit word number must occur in the section as well.
    cLIntArray earth;
    earth.add(static_cast<std::int32_t>(doc.CanonicalWordNumber(wide("earth"), false)));
    EXPECT_TRUE(doc.IsPhrasePresentInSection(3, phrase, earth));
    cLIntArray light;
    light.add(static_cast<std::int32_t>(doc.CanonicalWordNumber(wide("light"), false)));
    EXPECT_FALSE(doc.IsPhrasePresentInSection(3, phrase, light));
}

TEST_F(BibleDocTest, ResultLinesAndRanges)
{
    cLString8 out;
    ASSERT_TRUE(doc.GetSearchResultText(11, 0, false, 0, nullptr, nullptr, out));
    EXPECT_EQ("John 3:16", str(out));
    ASSERT_TRUE(doc.GetSearchResultText(11, 0, true, 0, nullptr, nullptr, out));
    EXPECT_EQ("<qs_lang value=\"English\">&nbsp;&nbsp;&nbsp;<a name=\"11\"></a></qs_lang><qs_lang value=\"1033\">"
              "<a href=\"11\">John 3:16</a> </qs_lang>",
        str(out));
    EXPECT_FALSE(doc.GetSearchResultText(11, 2, false, 0, nullptr, nullptr, out));
    EXPECT_EQ("Error", str(out));
    ASSERT_TRUE(doc.GetSearchResultText(11, 2, true, 0, nullptr, nullptr, out));
    EXPECT_NE(std::string::npos, str(out).find("loved"));
    EXPECT_FALSE(doc.GetSearchResultText(99, 0, true, 0, nullptr, nullptr, out));
    EXPECT_EQ("<p>Error</p>", str(out));

    std::uint32_t first = 0, last = 0;
    cBibleRef chapter;
    chapter.setTranslation(doc.translationNumber());
    std::int32_t position = 0;
    ASSERT_EQ(0, chapter.parse("Genesis 1", position));
    ASSERT_TRUE(doc.SectionRangeForVerse(chapter, first, last));
    EXPECT_EQ(3u, first);
    EXPECT_EQ(5u, last);

    std::unique_ptr<cWordList8> words = doc.WordListForVerse(chapter, nullptr, 0x1);
    ASSERT_NE(nullptr, words);
    EXPECT_GE(words->indexOf(cLString8("beginning")), 0);
    EXPECT_GE(words->indexOf(cLString8("light")), 0);
    EXPECT_LT(words->indexOf(cLString8("finished")), 0);
}

TEST_F(BibleDocTest, BookNameLists)
{
    const cWordList8* names = nullptr;
    const cLIntArray* sections = nullptr;
    ASSERT_EQ(1, doc.getBookNameSpellingLists(false, names, sections, false));  // John has no 3:1... no 1:1
    EXPECT_EQ("Genesis", str(*names->at(0)));
    ASSERT_NE(nullptr, sections);
    EXPECT_EQ(3, sections->getAt(0));
    cWordList8 chapters;
    cLIntArray chapterSections;
    doc.bibleChapterNameSpellings(1, chapters, chapterSections);
    ASSERT_EQ(2, chapters.count());
    EXPECT_EQ(7, chapterSections.getAt(1));
    doc.bibleVerseNameSpellings(43, 3, chapters, chapterSections);
    ASSERT_EQ(2, chapters.count());
    EXPECT_EQ("16", str(*chapters.at(0)));
}

cHTMLBlockRenderContext g_lastContext;
std::int32_t g_lastBlock = -1;

void recordingRenderer(cBkBookFile&, std::int32_t block, std::string& out, std::uint16_t, bool,
    const cHTMLRenderConfiguration*, cHTMLBlockRenderContext& context)
{
    g_lastBlock = block;
    g_lastContext = context;
    out += "<p>rendered</p>";
}

TEST_F(BibleDocTest, BlockRenderingContext)
{
    cBookDoc::setBlockRenderer(&recordingRenderer);
    // The documents read highlights through the user data installed for rendering.
    ASSERT_TRUE(cBookUserData::install());
    cVerseHighlightDoc* highlights = cVerseHighlightDoc::verseHighlightDocInstance();
    ASSERT_TRUE(highlights->setHighlight(cBibleRef(bibleKey(1, 1, 1)), 0, 0x8002));

    // A block is coloured by the verse of the section that ends before it.
    std::uint32_t block = 0, end = 0;
    ASSERT_TRUE(doc.sectionBlockSpan(4, block, end));
    cLString8 out;
    EXPECT_EQ(1u, doc.htmlTextForBlockCore(block, nullptr, out));
    EXPECT_EQ("<p>rendered</p>", str(out));
    EXPECT_EQ(static_cast<std::int32_t>(block), g_lastBlock);
    EXPECT_EQ(1, g_lastContext.isBible);
    EXPECT_EQ("bold", g_lastContext.highlightClass);
    EXPECT_EQ("_s1.1.1", g_lastContext.verseAnchorId);
    EXPECT_EQ("KJV", g_lastContext.translationAbbreviation);
    EXPECT_EQ(cHTMLBlockRenderContext::kVerseSpanNeeded, g_lastContext.state);

    cHTMLRenderConfiguration config;
    const bool on = true;
    config.enableTempHighlights = &on;
    config.tempHighlightStartSection = 7;
    config.tempHighlightEndSection = 7;
    config.oneVersePerParagraph = &on;
    ASSERT_TRUE(doc.sectionBlockSpan(8, block, end));
    EXPECT_EQ(1u, doc.htmlTextForBlockCore(block, &config, out));
    EXPECT_EQ("_temphl", g_lastContext.highlightClass);
    EXPECT_EQ("_s1.2.1", g_lastContext.verseAnchorId);
    EXPECT_EQ(1, g_lastContext.oneVersePerParagraph);
    ASSERT_TRUE(doc.sectionBlockSpan(12, block, end));
    EXPECT_EQ(1u, doc.htmlTextForBlockCore(block, &config, out));
    EXPECT_EQ("_s43.3.16", g_lastContext.verseAnchorId);
    cBookDoc::setBlockRenderer(nullptr);
    cBookUserData::uninstall();

    // The block renderer itself writes the verse's text.
    ASSERT_TRUE(doc.sectionBlockSpan(11, block, end));
    EXPECT_EQ(1u, doc.htmlTextForBlockCore(block, nullptr, out));
    EXPECT_NE(std::string::npos, str(out).find("loved")) << str(out);
}

TEST_F(BibleDocTest, BibleNotesAndBookmarkSections)
{
    cNoteDocProvider::install(std::make_shared<cFixedNoteDocProvider>(noteDocInstance()));
    cRenderParams location;
    location.setOption0002(bibleKey(43, 3, 17));
    cBibleNote note;
    EXPECT_FALSE(doc.hasBibleNote(location));
    EXPECT_FALSE(doc.readBibleNote(location, note));
    EXPECT_EQ(43, note.booknum);
    EXPECT_EQ(3, note.chapter);
    EXPECT_EQ(17, note.verse);

    note.note = wide("Sent to save.");
    ASSERT_TRUE(noteDocInstance()->saveBibleNote(note, false));
    EXPECT_TRUE(doc.hasBibleNote(location));
    cBibleNote read;
    ASSERT_TRUE(doc.readBibleNote(location, read));
    EXPECT_EQ("Sent to save.", str(read.note));
    ASSERT_TRUE(noteDocInstance()->deleteBibleNoteAtVerse(43, 3, 17));
    EXPECT_FALSE(doc.hasBibleNote(location));

    cBookmark mark;
    mark.setBibleVerse(bibleKey(1, 2, 1), 0);
    std::uint32_t section = 0;
    ASSERT_TRUE(doc.bookmarkSection(mark, section));
    EXPECT_EQ(7u, section);
    mark.setBibleVerse(bibleKey(66, 1, 1), 0);
    EXPECT_FALSE(doc.bookmarkSection(mark, section));
    mark.setBookSection(1, 2, 1, 4, 0);
    ASSERT_TRUE(doc.bookmarkSection(mark, section));
    EXPECT_EQ(4u, section);
}

TEST_F(BibleDocTest, ResultLinesOnSeveralThreads)
{
    std::vector<std::thread> threads;
    std::vector<std::string> lines(4);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 30; ++i) {
                cLString8 out;
                doc.GetSearchResultText(t % 2 ? 11 : 3, 1, true, 0, nullptr, nullptr, out);
                lines[static_cast<size_t>(t)] = str(out);
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_NE(std::string::npos, lines[1].find("loved"));
    EXPECT_NE(std::string::npos, lines[0].find("beginning"));
    EXPECT_EQ(lines[0], lines[2]);
    EXPECT_EQ(lines[1], lines[3]);
}

}  // namespace
