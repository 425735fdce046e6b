// The rich book compiler: exact token bytes, the display tree, the index pairs, and the book read back
// through the engine's readers.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "engine/bookfile/BkSyncFormat.h"
#include "engine/bookfile/cBkSectionTextWriter.h"
#include "engine/bookfile/cBkVerseSyncStg.h"
#include "engine/bookfile/cBkWordLinks.h"
#include "search/core/cSearchWordList.h"
#include "tests/tools/import/BookReading.h"
#include "tools/tvkbuild/import/cTvkRichBook.h"

namespace {

using bookreading::Reader;

struct TempBook {
    std::string path;
    cBkBookFile file;
    explicit TempBook(const cTvkRichBook& book)
    {
        char name[] = "/tmp/richbookXXXXXX";
        const int fd = mkstemp(name);
        close(fd);
        path = name;
        std::string error;
        EXPECT_TRUE(book.writeFile(path, &error)) << error;
        EXPECT_EQ(file.open(path.c_str()), 0u);
    }
    ~TempBook() { std::remove(path.c_str()); }
};

TvkNode textWithStrongs(const std::string& text, std::vector<std::string> strongs)
{
    TvkNode n;
    n.runs.push_back(TvkRun {text, std::move(strongs), {}});
    return n;
}

TEST(TvkRichBook, StrongsTokensHaveTheirExactBytes)
{
    EXPECT_EQ(cTvkRichBook::strongsToken("H430"), (std::vector<uint8_t> {0xCC, 0x06, 0xB8}));
    EXPECT_EQ(cTvkRichBook::strongsToken("H308a"), (std::vector<uint8_t> {0xCC, 0x04, 0xD1}));
    EXPECT_EQ(cTvkRichBook::strongsToken("H308c"), (std::vector<uint8_t> {0xCC, 0x04, 0xD3, 0x03}));
    EXPECT_EQ(cTvkRichBook::strongsToken("G2"), (std::vector<uint8_t> {0xCD, 0x00, 0x10}));
    EXPECT_EQ(cTvkRichBook::strongsToken("g26b"), (std::vector<uint8_t> {0xCD, 0x00, 0xD2}));
    // Not Strong's numbers, or beyond what the codes hold.
    for (const char* bad : {"", "H", "X12", "H0", "G12ab", "H12-", "G8192", "H16384", "G5h", "H1234567"})
        EXPECT_TRUE(cTvkRichBook::strongsToken(bad).empty()) << bad;
}

TEST(TvkRichBook, CutsWordsAtLettersKeepingInnerApostrophes)
{
    EXPECT_EQ(tvkCutText("ἀγάπη").size(), 1u);  // polytonic Greek is a word
    EXPECT_EQ(tvkCutText("a — b").size(), 3u);
    const auto pieces = tvkCutText("“Blessed are the poor,” Pharaoh’s don't 'tis  ABC");
    std::vector<std::string> texts;
    for (const auto& p : pieces)
        texts.push_back((p.word ? "w:" : "p:") + p.text);
    EXPECT_EQ(texts,
        (std::vector<std::string> {"p:“", "w:blessed", "w:are", "w:the", "w:poor", "p:,”", "w:pharaoh’s", "w:don't",
            "p:'", "w:tis", "w:abc"}));
    EXPECT_EQ(pieces[1].capital, 2);
    EXPECT_EQ(pieces.back().capital, 1);
    EXPECT_TRUE(pieces[5].blankAfter);
    EXPECT_FALSE(pieces[5].blankBefore);
}

TEST(TvkRichBook, BibleReadsBackWithMarkupStrongsAndPairs)
{
    cTvkRichBook book;
    book.kind = cTvkRichBook::Kind::Bible;
    book.info.bookName = "Test Bible";
    book.info.strongsHebrew[0] = 1;
    book.info.strongsHebrew[1] = 120;
    TvkNode woc = TvkNode::element(TvkTag::kQsWoc, {textWithStrongs("Let there be", {"H1961"})});
    TvkNode added = TvkNode::element(TvkTag::kI, {TvkNode::text("was")});
    TvkNode note = TvkNode::element(TvkTag::kQsNote, {TvkNode::text("Heb. between")});
    book.addSection({"Genesis", 1, 0x010000, {TvkNode::element(TvkTag::kH2, {TvkNode::text("Genesis")})}});
    TvkNode v1 = TvkNode::element(TvkTag::kP);
    v1.children.push_back(TvkNode::text("In the "));
    v1.children.push_back(textWithStrongs("beginning", {"H7225"}));
    v1.children.push_back(TvkNode::text(" God said, "));
    v1.children.push_back(woc);
    v1.children.push_back(TvkNode::text(" light."));
    v1.children.push_back(note);
    book.addSection({"1:1", 3, 0x010101, {v1}});
    TvkNode v2 =
        TvkNode::element(TvkTag::kDiv, {TvkNode::text("and darkness "), added, TvkNode::text(" upon the deep")});
    book.addSection({"1:2", 3, 0x010102, {v2}});
    TempBook t(book);

    Reader r(t.file);
    ASSERT_EQ(r.sectionCount(), 4u);
    const auto s1 = r.section(2);
    EXPECT_EQ(s1.text, "In the beginning God said, Let there be light. ");
    EXPECT_EQ(s1.notes, "Heb. between");
    ASSERT_GE(s1.words.size(), 7u);
    EXPECT_EQ(s1.words[2].text, "beginning");
    EXPECT_EQ(s1.words[2].strongs, (std::vector<std::string> {"H7225"}));
    EXPECT_TRUE(s1.words[5].inWoc);                                        // "Let"
    EXPECT_EQ(s1.words[7].strongs, (std::vector<std::string> {"H1961"}));  // after the run's last word
    EXPECT_TRUE(s1.words.back().inNote);
    // Every word of the run carries the number for a search ("let:H1961" as well as "be:H1961"),
    // while the page shows it once, after the run.
    cBkWordLinks links(t.file);
    for (const char16_t* w : {u"let", u"there", u"be", u"said", u"light"}) {
        cSearchWordList one;
        one.appendItem(w, AnItem::kNoWordNumber, false, u"H1961");
        const bool tagged = std::u16string(w) != u"said" && std::u16string(w) != u"light";
        EXPECT_EQ(links.isPhrasePresentInSection(2, one), tagged) << BkText::utf16ToUtf8(w);
    }
    cBkTextRangeOptions whole;
    uint32_t start, end;
    links.sectionRange(2, start, whole.endPosition);
    end = whole.endPosition;
    ASSERT_LT(start, end);
    std::string shown;
    cBkSectionTextWriter::renderTextRangeToHTML(t.file, start, false, nullptr, shown, &whole);
    std::string plain;
    for (char c : shown)
        if (c != '\x01')
            plain += c;
    EXPECT_NE(plain.find("Let there be\x06h1961"), std::string::npos) << plain;
    EXPECT_EQ(plain.find("h1961"), plain.rfind("h1961")) << plain;
    const auto s2 = r.section(3);
    EXPECT_EQ(s2.text, "and darkness was upon the deep ");
    EXPECT_TRUE(s2.words[2].inItalic);
    EXPECT_EQ(s2.blockTags, (std::vector<uint8_t> {TvkTag::kDiv}));

    // The main concordance leaves the footnote out; the Strong's pairs hold numbers without letters.
    EXPECT_EQ(
        bookreading::concordanceSections(t.file.wordList(), t.file.concordance(), "god"), (std::set<uint32_t> {2}));
    EXPECT_TRUE(bookreading::concordanceSections(t.file.wordList(), t.file.concordance(), "heb").empty());
    ASSERT_NE(t.file.strongsHebrew(), nullptr);
    EXPECT_EQ(
        bookreading::concordanceSections(*t.file.strongsHebrew()->words, *t.file.strongsHebrew()->concordance, "7225"),
        (std::set<uint32_t> {2}));
    EXPECT_EQ(t.file.strongsGreek(), nullptr);
    ASSERT_NE(t.file.stemmed(), nullptr);
    EXPECT_FALSE(
        bookreading::concordanceSections(*t.file.stemmed()->words, *t.file.stemmed()->concordance, "begin").empty());
    ASSERT_NE(t.file.phonetic(), nullptr);

    // Verse sync: headings by chapter key with verse 0, verses by their key.
    uint32_t record, value;
    t.file.verseSync().sectionForKey(0x010102, record, value);
    EXPECT_EQ(value, 3u);
}

TEST(TvkRichBook, LookupPairsAndReadings)
{
    cTvkRichBook book;
    book.kind = cTvkRichBook::Kind::Dated;
    book.info.bookName = "Readings";
    std::vector<uint32_t> readings;
    for (int i = 0; i < 3; ++i)
        readings.push_back(book.addSection(
            {"Day " + std::to_string(i + 1), 1, 0, {TvkNode::element(TvkTag::kP, {TvkNode::text("Reading text")})}}));
    book.setReadings(readings, 2, 3);
    book.addLookupWord("H1", 1);
    book.addVerseLookup(0x2B0310, 2, 0x2B0312);
    book.addVerseIndex(0x010101, 3);
    TempBook t(book);
    EXPECT_EQ(t.file.dateSync().readingCount(), 3u);
    EXPECT_EQ(t.file.dateSync().sectionOfReading(1), 2u);
    uint8_t month, day, third;
    t.file.dateSync().defaultStart(month, day, third);
    EXPECT_EQ(month, 2);
    EXPECT_EQ(day, 3);
    ASSERT_NE(t.file.syncWords(), nullptr);
    EXPECT_EQ(bookreading::concordanceSections(*t.file.syncWords()->words, *t.file.syncWords()->concordance, "H1"),
        (std::set<uint32_t> {1}));
    ASSERT_NE(t.file.verseSyncWords(), nullptr);
    EXPECT_EQ(bookreading::concordanceSections(
                  *t.file.verseSyncWords()->words, *t.file.verseSyncWords()->concordance, "2b03102b0312"),
        (std::set<uint32_t> {2}));
    ASSERT_NE(t.file.verseIndex(), nullptr);
    EXPECT_EQ(
        bookreading::concordanceSections(*t.file.verseIndex()->words, *t.file.verseIndex()->concordance, "010101"),
        (std::set<uint32_t> {3}));
}

TEST(TvkRichBook, EmptySectionsStillOwnATextRange)
{
    cTvkRichBook book;
    book.info.bookName = "Sparse";
    book.addSection({"Empty", 1, 0, {}});
    book.addSection({"Full", 1, 0, {TvkNode::element(TvkTag::kP, {TvkNode::text("words here")})}});
    TempBook t(book);
    Reader r(t.file);
    EXPECT_EQ(r.section(1).words.size(), 0u);
    EXPECT_EQ(r.section(2).text, "words here ");
    uint32_t b1, o1, b2, o2;
    t.file.sections().getSectionStart(1, b1, o1);
    t.file.sections().getSectionStart(2, b2, o2);
    EXPECT_LT(o1, o2);
    EXPECT_LT(b1, b2);
}

TEST(TvkRichBook, BibleSectionsMustAscend)
{
    cTvkRichBook book;
    book.kind = cTvkRichBook::Kind::Bible;
    book.addSection({"1:2", 3, 0x010102, {TvkNode::element(TvkTag::kP, {TvkNode::text("b")})}});
    book.addSection({"1:1", 3, 0x010101, {TvkNode::element(TvkTag::kP, {TvkNode::text("a")})}});
    EXPECT_THROW(book.build(), std::invalid_argument);
    std::string error;
    EXPECT_FALSE(book.writeFile("/tmp/never-written.tvk", &error));
    EXPECT_FALSE(error.empty());
}

// Runs written against each other are one word ("<w>Lord</w>s" is "Lords"), with the run's numbers.
TEST(TvkRichBook, WordsWrittenTogetherAcrossRunsAreOneWord)
{
    cTvkRichBook book;
    book.info.bookName = "Joined";
    TvkNode t;
    t.runs = {TvkRun {"Lord", {"H1"}, {}}, TvkRun {"s house", {}, {}}};
    book.addSection({"Entry", 1, 0, {TvkNode::element(TvkTag::kP, {t})}});
    TempBook b(book);
    cBkTextTokenReader reader(b.file);
    uint32_t first, offset;
    b.file.sections().getSectionStart(1, first, offset);
    std::vector<uint8_t> leads;
    cBkTextToken token;
    for (uint32_t p = offset; reader.read(p, token) && token.lead != BkTextFormat::kEndOfSection; p = token.next())
        leads.push_back(token.lead);
    // capital code, "lords", Strong's, "house"
    ASSERT_EQ(leads.size(), 4u);
    EXPECT_EQ(leads[0], BkTextFormat::kCapitalFirst | BkTextFormat::kCapitalInitial);
    EXPECT_EQ(leads[2], BkTextFormat::kStrongsHebrew);
    EXPECT_LT(leads[3], 0x80);
}

TEST(TvkRichBook, EmbeddedReferenceIsOneToken)
{
    cTvkRichBook book;
    book.info.bookName = "Refs";
    TvkNode p = TvkNode::element(TvkTag::kP, {TvkNode::text("See ")});
    p.children.back().runs.push_back(TvkRun {"", {}, {4, 1, 43, 3, 16}});
    p.children.back().runs.push_back(TvkRun {" and more.", {}, {}});
    book.addSection({"Entry", 1, 0, {p}});
    TempBook t(book);
    Reader r(t.file);
    EXPECT_EQ(r.section(1).text, "See <ref> and more. ");
}

}  // namespace
