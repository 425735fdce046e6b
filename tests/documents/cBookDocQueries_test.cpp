// Look-ups of cBookDoc over the index pairs a book may carry: verse references in a commentary,
// headwords in a dictionary, Strong's numbers and word attributes.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "DocTestSupport.h"
#include "documents/cBibleDoc.h"
#include "documents/cTOCDoc.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/references/cBibleRef.h"
#include "search/core/cBitVector.h"

using BkSyncFormat::bibleKey;
using doctest::bits;
using doctest::folder;
using doctest::str;
using doctest::wide;

namespace {

cTvkBookBuilder commentaryBuilder()
{
    cTvkBookBuilder b;
    b.info.bookName = "Notes on John";
    b.info.abbreviatedTitle = "NJ";
    b.info.publisherId = 30;
    b.info.bookId = 40;
    b.addSection({"John 3", 1, "Nicodemus comes by night.", 0});            // 1
    b.addSection({"Verse 16", 2, "The love of God for the world.", 0});     // 2
    b.addSection({"Verses 1-21", 2, "The whole conversation.", 0});         // 3
    b.addSection({"Remarks", 3, "A remark on the conversation.", 0});       // 4
    b.addSection({"To the end", 2, "From here to the chapter's end.", 0});  // 5
    b.addSection({"Aaron", 1, "The brother of Moses.", 0});                 // 6
    b.addSection({"Cafe", 1, "A place to sit.", 0});                        // 7
    b.addSection({"Genesis 29:1", 1, "Jacob at Haran.", 0});                // 8
    b.addSection({"Genesis 31:11", 1, "The angel.", 0});                    // 9
    b.addSection({"Genesis 31:12", 1, "To the end of the book.", 0});       // 10
    b.addVerseLookup(bibleKey(43, 3, 16), 2);
    b.addVerseLookup(bibleKey(43, 3, 1), 3, bibleKey(43, 3, 21));
    b.addVerseLookup(bibleKey(43, 3, 10), 5, bibleKey(43, 3, 0xFF));
    b.addVerseLookup(bibleKey(1, 29, 1), 8, bibleKey(1, 31, 10));
    b.addVerseLookup(bibleKey(1, 31, 11), 9);
    b.addVerseLookup(bibleKey(1, 31, 12), 10, bibleKey(1, 0xFF, 0xFF));
    b.addLookupWord("aaron", 6);
    b.addLookupWord("cafe", 7);
    return b;
}

class CommentaryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static const std::string path = folder().write(commentaryBuilder(), "commentary.tvk");
        doctest::openDoc(doc, path);
    }
    std::set<std::uint32_t> verseLookup(std::uint32_t key, std::uint32_t mode, std::uint32_t* count = nullptr)
    {
        cBibleRef verse(key);
        const cBkWordListPair* pair = doc.bookFile()->verseSyncWords();
        EXPECT_NE(nullptr, pair);
        cBitVector* hits = nullptr;
        std::uint32_t n = 0;
        doc.verseReferenceConcordanceLookup(pair->words.get(), pair->concordance.get(), verse, mode, n, hits);
        std::unique_ptr<cBitVector> owned(hits);
        if (count != nullptr)
            *count = n;
        return bits(hits);
    }
    cTOCDoc doc;
};

TEST_F(CommentaryTest, VerseReferenceLookups)
{
    EXPECT_EQ(0x49u | 0x10u | 0x80u, doc.GetSupportFlags());
    std::uint32_t count = 0;
    EXPECT_EQ((std::set<std::uint32_t> {2}), verseLookup(bibleKey(43, 3, 16), 0x1, &count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ((std::set<std::uint32_t> {3}), verseLookup(bibleKey(43, 3, 17), 0x2));
    EXPECT_EQ((std::set<std::uint32_t> {3, 5}), verseLookup(bibleKey(43, 3, 17), 0x2 | 0x4 | 0x8));
    EXPECT_EQ((std::set<std::uint32_t> {2, 3, 5}), verseLookup(bibleKey(43, 3, 16), 0xF));
    EXPECT_EQ((std::set<std::uint32_t> {2}), verseLookup(bibleKey(43, 3, 16), 0x7));
    EXPECT_TRUE(verseLookup(bibleKey(43, 3, 22), 0x3).empty());
    EXPECT_TRUE(verseLookup(bibleKey(43, 3, 16), 0).empty());

    // The highest hit, widened over its contents subtree.
    std::uint32_t first = 0, last = 0;
    cBibleRef verse(bibleKey(43, 3, 17));
    ASSERT_TRUE(doc.bibleKeyToSection(verse, 7, first, last));
    EXPECT_EQ(3u, first);
    EXPECT_EQ(4u, last);
    ASSERT_TRUE(doc.bibleKeyToSection(verse, 0xE, first, last));
    EXPECT_EQ(5u, first);
    EXPECT_EQ(5u, last);
    ASSERT_TRUE(doc.SectionRangeForBibleKey(cBibleRef(bibleKey(43, 3, 16)), first, last));
    EXPECT_EQ(2u, first);
    EXPECT_FALSE(doc.SectionRangeForBibleKey(cBibleRef(bibleKey(1, 1, 1)), first, last));

    cRenderParams go;
    go.setOption0002(bibleKey(43, 3, 16));
    EXPECT_EQ(0u, doc.GoTo(go));
    EXPECT_EQ(2u, doc.currentSection());
    cRenderParams typed;
    typed.setOption0001("John 3:16");
    EXPECT_EQ(0u, doc.GoTo(typed));
    EXPECT_EQ(2u, doc.currentSection());
    cRenderParams nowhere;
    nowhere.setOption0002(bibleKey(1, 1, 1));
    EXPECT_EQ(0xFFFFFFFFu, doc.GoTo(nowhere));
}

// A note whose range runs over a chapter's end covers every verse of it, in each of its chapters,
// and no verse outside it.
TEST_F(CommentaryTest, RangesOverChapterBoundaries)
{
    const std::set<std::uint32_t> note {8};
    for (const std::uint32_t key : {bibleKey(1, 29, 1), bibleKey(1, 29, 20), bibleKey(1, 29, 0), bibleKey(1, 30, 7),
             bibleKey(1, 31, 1), bibleKey(1, 31, 10)})
        EXPECT_EQ(note, verseLookup(key, 0x7)) << std::hex << key;
    EXPECT_EQ((std::set<std::uint32_t> {9}), verseLookup(bibleKey(1, 31, 11), 0x7));
    EXPECT_EQ((std::set<std::uint32_t> {10}), verseLookup(bibleKey(1, 31, 12), 0x7));
    EXPECT_EQ((std::set<std::uint32_t> {10}), verseLookup(bibleKey(1, 50, 26), 0x7));
    EXPECT_TRUE(verseLookup(bibleKey(1, 28, 22), 0x7).empty());
    EXPECT_TRUE(verseLookup(bibleKey(2, 1, 1), 0x7).empty());
    // Exact keys alone do not reach into ranges.
    EXPECT_TRUE(verseLookup(bibleKey(1, 29, 20), 0x1).empty());

    std::uint32_t first = 0, last = 0;
    ASSERT_TRUE(doc.SectionRangeForBibleKey(cBibleRef(bibleKey(1, 29, 20)), first, last));
    EXPECT_EQ(8u, first);
    EXPECT_FALSE(doc.SectionRangeForBibleKey(cBibleRef(bibleKey(1, 28, 22)), first, last));
    // The notes inside one chapter are found as before.
    ASSERT_TRUE(doc.SectionRangeForBibleKey(cBibleRef(bibleKey(43, 3, 17)), first, last));
    EXPECT_EQ(3u, first);
}

TEST_F(CommentaryTest, SyncKeyTexts)
{
    cBibleRef reference;
    doc.syncKeyTextToBibleRef(reference, cLString8("010203010305"));
    ASSERT_TRUE(reference.hasRanges());
    const bibleRefRange* r = reference.firstRange();
    EXPECT_EQ(1, r->startBook);
    EXPECT_EQ(2, r->startChapter);
    EXPECT_EQ(3, r->startVerse);
    EXPECT_EQ(1, r->endBook);
    EXPECT_EQ(3, r->endChapter);
    EXPECT_EQ(5, r->endVerse);
    cLString8 text;
    cBookDoc::syncKeyText(reference, text);
    EXPECT_EQ("010203010305", str(text));

    doc.syncKeyTextToBibleRef(reference, cLString8("2b03ff2b04ff"));
    ASSERT_TRUE(reference.hasRanges());
    EXPECT_EQ(-2, reference.firstRange()->endVerse);
    cBookDoc::syncKeyText(reference, text);
    EXPECT_EQ("2b03ff2b04ff", str(text));

    doc.syncKeyTextToBibleRef(reference, cLString8("01020"));
    EXPECT_FALSE(reference.hasRanges());
    doc.syncKeyTextToBibleRef(reference, cLString8("zz0203"));
    EXPECT_FALSE(reference.hasRanges());
    cBookDoc::syncKeyText(cBibleRef(bibleKey(43, 3, 16)), text);
    EXPECT_EQ("2b0310", str(text));
    // A one-verse key reads as that verse, and spells as it.
    doc.syncKeyTextToBibleRef(reference, cLString8("2b0310"));
    ASSERT_TRUE(reference.hasRanges());
    EXPECT_FALSE(cBibleRef::isSpan(reference.firstRange()));
    reference.formatSpelling(3);
    EXPECT_EQ("John 3:16", str(reference.spelling()));
    cBookDoc::syncKeyText(reference, text);
    EXPECT_EQ("2b0310", str(text));
}

TEST_F(CommentaryTest, HeadwordLookups)
{
    std::uint32_t first = 0, last = 0;
    ASSERT_TRUE(doc.sectionRangeForDictionaryWord(cLString8("Aaron"), false, first, last));
    EXPECT_EQ(6u, first);
    EXPECT_FALSE(doc.sectionRangeForDictionaryWord(cLString8("Aar"), false, first, last));
    ASSERT_TRUE(doc.sectionRangeForDictionaryWord(cLString8("Aar"), true, first, last));
    EXPECT_EQ(6u, first);
    // Found through its base letters.
    ASSERT_TRUE(doc.sectionRangeForDictionaryWord(cLString8("Caf\xC3\xA9"), false, first, last));
    EXPECT_EQ(7u, first);
    EXPECT_FALSE(doc.sectionRangeForDictionaryWord(cLString8(""), true, first, last));

    cRenderParams go;
    cLString16 word = wide("aaron");
    go.setOption0080(word.chars());
    EXPECT_EQ(0u, doc.GoTo(go));
    EXPECT_EQ(6u, doc.currentSection());
}

TEST(StrongsAndAttributeTest, SearchesAndWordAttributes)
{
    cTvkBookBuilder b;
    b.kind = cTvkBookBuilder::Kind::Bible;
    b.info.bookName = "Study Bible";
    b.info.abbreviatedTitle = "KJV";
    b.info.publisherId = 5;
    b.info.bookId = 6;
    b.info.strongsHebrew[0] = 1;
    b.info.strongsHebrew[1] = 8674;
    b.info.strongsGreek[0] = 1;
    b.info.strongsGreek[1] = 5624;
    b.info.wordAttributeDefs = "lemma=0,Lemma,lemma:,0,,,,sync:lemma,yes";
    b.addSection({"1", 1, "In the beginning God created.", bibleKey(1, 1, 1)});  // 1
    b.addSection({"2", 1, "And God said.", bibleKey(1, 1, 2)});                  // 2
    b.addSection({"3", 1, "God so loved the world.", bibleKey(43, 3, 16)});      // 3
    b.addIndexPair("SHEA", "SHCN", {{"430", {1, 2}}, {"1254", {1}}});
    b.addIndexPair("SGRK", "SGCN", {{"2316", {3}}, {"25", {3}}});
    b.addIndexPair("lemmaWL", "lemmaCONC", {{"elohim", {1, 2}}, {"theos", {3}}}, true);
    cBibleDoc doc;
    doctest::openDoc(doc, folder().write(b, "study.tvk"));
    ASSERT_EQ(0x1266Fu, doc.GetSupportFlags());

    cBitVector* hits = nullptr;
    std::uint32_t count = 0;
    doc.SearchStrongsHebrewConcordance(wide("430"), hits, count);
    std::unique_ptr<cBitVector> owned(hits);
    EXPECT_EQ((std::set<std::uint32_t> {1, 2}), bits(hits));
    EXPECT_EQ(2u, count);
    hits = nullptr;
    doc.SearchStrongsGreekConcordance(wide("2*"), hits, count);
    owned.reset(hits);
    EXPECT_EQ((std::set<std::uint32_t> {3}), bits(hits));
    hits = nullptr;
    doc.SearchWordAttributeConcordance(wide("lemma:elohim"), hits, count);
    owned.reset(hits);
    EXPECT_EQ((std::set<std::uint32_t> {1, 2}), bits(hits));
    EXPECT_EQ(2u, count);
    hits = nullptr;
    doc.SearchWordAttributeConcordance(wide("lemma:nothing"), hits, count);
    owned.reset(hits);
    EXPECT_EQ(0u, count);

    // Several search threads on one document.
    std::vector<std::thread> threads;
    std::vector<std::uint32_t> counts(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 40; ++i) {
                cBitVector* v = nullptr;
                std::uint32_t c = 0;
                if (t % 2)
                    doc.SearchStrongsHebrewConcordance(wide("430"), v, c);
                else
                    doc.SearchMainConcordance(wide("god"), v, c);
                delete v;
                counts[static_cast<size_t>(t)] = c;
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(2u, counts[1]);
    EXPECT_EQ(3u, counts[0]);
}

}  // namespace
