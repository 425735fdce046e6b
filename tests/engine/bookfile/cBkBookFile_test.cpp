#include "engine/bookfile/cBkBookFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "BookFileTestSupport.h"
#include "engine/bookfile/BkText.h"
#include "engine/foundation/CharacterClasses.h"
#include "search/core/cBitVector.h"
#include "tools/tvkbuild/TvkEncode.h"
#include "tools/tvkbuild/cTvkBookBuilder.h"

using BkSyncFormat::bibleKey;

namespace {

cTvkBookBuilder bibleBuilder()
{
    cTvkBookBuilder b;
    b.kind = cTvkBookBuilder::Kind::Bible;
    b.info.bookName = "Minimal Bible";
    b.info.abbreviatedTitle = "MB";
    b.info.publisherId = 1;
    b.info.bookId = 2;
    b.addSection({"Genesis", 1, "", bibleKey(1, 0, 0)});
    b.addSection({"Genesis 1", 2, "", bibleKey(1, 1, 0)});
    b.addSection({"1", 3, "In the beginning God created the heaven and the earth.", bibleKey(1, 1, 1)});
    b.addSection({"2", 3, "And the earth was without form, and void; and DARKNESS was upon the face of the deep.",
        bibleKey(1, 1, 2)});
    b.addSection({"John", 1, "", bibleKey(43, 0, 0)});
    b.addSection({"John 3", 2, "", bibleKey(43, 3, 0)});
    b.addSection({"16", 3, "For God so loved the world, that he gave his only begotten Son (McLeod's note).",
        bibleKey(43, 3, 16)});
    return b;
}

struct Book {
    TempDir dir;
    std::string path;
    cBkBookFile* file = nullptr;
    uint32_t result = 0;
    explicit Book(const cTvkBookBuilder& b, const std::string& name = "book.tvk")
    {
        path = writeTemp(dir, name, b.build());
        result = acquireBookFile(BkText::utf8ToUtf16(path), file);
    }
    ~Book()
    {
        if (file != nullptr)
            releaseBookFile(file);
    }
};

// Decodes a section's tokens back into text, as far as words, punctuation and capitals go.
std::string textOf(cBkBookFile& f, uint32_t section)
{
    uint32_t block, start, nextBlock, end = f.text().textSize();
    f.sections().getSectionStart(section, block, start);
    if (section + 1 < f.sections().sectionCount())
        f.sections().getSectionStart(section + 1, nextBlock, end);
    std::string out;
    bool previousWord = false;
    int capital = 0;
    uint32_t mask = 0;
    uint32_t p = start;
    auto byte = [&](uint32_t at) {
        uint8_t b = 0;
        uint32_t n = 1;
        f.text().readText(at, &b, n);
        return b;
    };
    while (p < end) {
        const uint8_t b = byte(p);
        if (b == BkTextFormat::kEndOfSection)
            break;
        if (b >= 0xE0 && b <= 0xEF) {
            capital = b & 7;
            p += 1;
            if (capital == 7) {
                mask = (uint32_t(byte(p)) << 24) | (uint32_t(byte(p + 1)) << 16) | (uint32_t(byte(p + 2)) << 8) |
                    byte(p + 3);
                p += 4;
            }
            continue;
        }
        if (b < 0x80) {
            uint32_t w;
            if (b <= 0x3E) {
                w = f.wordList().wordValue(b);
                p += 1;
            } else if (b == 0x3F) {
                w = 16383 + ((uint32_t(byte(p + 1)) << 8) | byte(p + 2));
                p += 3;
            } else {
                w = ((uint32_t(b) << 8) | byte(p + 1)) & 0x3FFF;
                p += 2;
            }
            std::string word;
            f.wordList().wordForNumber(w, word);
            std::u16string u = BkText::utf8ToUtf16(word);
            if (capital == 2)
                u[0] = toUpperChar16(u[0]);
            else if (capital == 1)
                for (auto& c : u)
                    c = toUpperChar16(c);
            else if (capital == 7)
                for (size_t i = 0, step = 0; i < u.size(); ++i, ++step)
                    if (mask & (0x80000000u >> step))
                        u[i] = toUpperChar16(u[i]);
            if (previousWord)
                out += ' ';
            out += BkText::utf16ToUtf8(u);
            previousWord = true;
            capital = 0;
            continue;
        }
        // Punctuation.
        const bool before = b & 0x20, after = b & 0x10;
        uint32_t n = b & 0x0F, len = 1;
        if (n == 15) {
            n = byte(p + 1);
            len = 2;
        } else {
            n = f.punctuation()->wordValue(n);
        }
        std::string punct;
        f.punctuation()->wordForNumber(n, punct);
        if (before && !out.empty() && out.back() != ' ')
            out += ' ';
        out += punct;
        if (after)
            out += ' ';
        previousWord = false;
        p += len;
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

}  // namespace

TEST(BkBookFile, MinimalBibleOpensWithEveryStorage)
{
    cTvkBookBuilder b = bibleBuilder();
    b.addVerseLookup(bibleKey(43, 3, 16), 7);
    b.addBibleRefFile("BibleBooks.csv", {'a', ',', 'b', '\n'});
    Book book(b);
    ASSERT_EQ(0u, book.result);
    cBkBookFile& f = *book.file;
    EXPECT_TRUE(f.genInfo().headerFlag0());
    EXPECT_EQ(8u, f.sections().sectionCount());
    EXPECT_EQ(8u, f.toc().entryCount());
    EXPECT_EQ(8u, f.nodes().blockCount());
    EXPECT_EQ(8u, f.verseSync().recordCount());
    uint32_t record = 0, value = 0;
    f.verseSync().sectionForKey(bibleKey(43, 3, 16), record, value);
    EXPECT_EQ(7u, record);
    f.verseSync().lastSectionForAmbiguousKey(bibleKey(1, 1, 254), 0, record, value);
    EXPECT_EQ(4u, record);
    EXPECT_EQ(7, f.toc().sectionForTocPath("John\\John 3\\16"));
    ASSERT_NE(nullptr, f.verseSyncWords());
    EXPECT_EQ(0u, f.verseSyncWords()->words->wordNumberForString(u"2b0310", false));
    EXPECT_EQ(nullptr, f.syncWords());
    ASSERT_NE(nullptr, f.bibleRefFiles());
    cPlatformMemPtr mem;
    EXPECT_EQ(0u, f.bibleRefFiles()->readIntoMemory("biblebooks.csv", mem));
    EXPECT_EQ(4u, mem.size());
    EXPECT_EQ(nullptr, f.images());

    EXPECT_EQ("In the beginning God created the heaven and the earth.", textOf(f, 3));
    EXPECT_EQ("And the earth was without form, and void; and DARKNESS was upon the face of the deep.", textOf(f, 4));
    EXPECT_EQ("For God so loved the world, that he gave his only begotten Son (McLeod's note).", textOf(f, 7));
    EXPECT_EQ("", textOf(f, 1));
    // Every section's run of tokens ends with the end-of-section code.
    for (uint32_t s = 0; s < f.sections().sectionCount(); ++s) {
        uint32_t blk, from, to = f.text().textSize();
        f.sections().getSectionStart(s, blk, from);
        if (s + 1 < f.sections().sectionCount())
            f.sections().getSectionStart(s + 1, blk, to);
        uint8_t last = 0;
        uint32_t one = 1;
        f.text().readText(to - 1, &last, one);
        EXPECT_EQ(BkTextFormat::kEndOfSection, last) << s;
        EXPECT_LT(from, to);
    }

    // The word "earth" is in sections 3 and 4.
    const uint32_t earth = f.wordList().wordNumberForString(u"Earth", false);
    ASSERT_NE(BkResult::kNone, earth);
    cBitVector v(f.sections().sectionCount());
    uint32_t count = 0;
    f.concordance().lookupWord(earth, count, v);
    EXPECT_EQ(2u, count);
    EXPECT_TRUE(v.test(3) && v.test(4));

    // Each block holds the verse marker and the text node at the section's text.
    std::unique_ptr<cBkNode> tree;
    ASSERT_EQ(0u, f.nodes().loadBlockTree(7, 0, 1033, tree));
    ASSERT_EQ(2u, tree->children.size());
    EXPECT_EQ(54, tree->children[0]->tag);
    EXPECT_EQ(std::to_string(bibleKey(43, 3, 16)), tree->children[0]->attribute(115)->text);
    uint32_t block, start;
    f.sections().getSectionStart(7, block, start);
    EXPECT_EQ(7u, block);
    EXPECT_EQ(std::to_string(start), tree->children[1]->attribute(3)->text);
}

TEST(BkBookFile, DatedAndOrdinaryBooks)
{
    cTvkBookBuilder dated;
    dated.kind = cTvkBookBuilder::Kind::Dated;
    dated.info.bookName = "Daily";
    for (int day = 1; day <= 3; ++day)
        dated.addSection({"January " + std::to_string(day), 1, "Reading for day " + std::to_string(day) + ".", 0});
    dated.setReadings({1, 2, 3}, 1, 1);
    Book d(dated);
    ASSERT_EQ(0u, d.result);
    EXPECT_FALSE(d.file->genInfo().headerFlag0());
    EXPECT_EQ(BkInfoFormat::kBookTypeDated, d.file->genInfo().bookType());
    EXPECT_EQ(3u, d.file->dateSync().readingCount());
    EXPECT_EQ(1, d.file->dateSync().readingForSection(2));
    EXPECT_EQ("Reading for day 2.", textOf(*d.file, 2));

    cTvkBookBuilder plain;
    plain.info.bookName = "Dictionary";
    plain.addSection({"Aaron", 1, "Brother of Moses.", 0});
    plain.addSection({"Abel", 1, "Son of Adam.", 0});
    plain.addLookupWord("aaron", 1);
    plain.addLookupWord("abel", 2);
    plain.addImage("map one.png", {0x89, 'P', 'N', 'G'});
    Book o(plain);
    ASSERT_EQ(0u, o.result);
    EXPECT_EQ(0u, o.file->genInfo().bookType());
    EXPECT_EQ(1u, o.file->verseSync().recordCount());
    EXPECT_EQ(0u, o.file->dateSync().readingCount());
    ASSERT_NE(nullptr, o.file->syncWords());
    uint32_t count = 0;
    std::vector<uint32_t> got;
    o.file->syncWords()->concordance->forEachSection(1, count, [&](uint32_t s) { got.push_back(s); });
    EXPECT_EQ((std::vector<uint32_t> {2}), got);
    ASSERT_NE(nullptr, o.file->images());
    TempDir out;
    EXPECT_EQ(0u, o.file->images()->extractToFile("map one.png", out.path()));
}

TEST(BkBookFile, CacheSharesOneBookFilePerPath)
{
    TempDir dir;
    cTvkBookBuilder b = bibleBuilder();
    const std::string path = writeTemp(dir, "shared.tvk", b.build());
    const size_t before = openBookFileCount();
    cBkBookFile *one = nullptr, *two = nullptr, *other = nullptr;
    ASSERT_EQ(0u, acquireBookFile(BkText::utf8ToUtf16(path), one));
    ASSERT_EQ(0u, acquireBookFile(BkText::utf8ToUtf16(path), two));
    EXPECT_EQ(one, two);
    EXPECT_EQ(2u, one->referenceCount());
    EXPECT_EQ(before + 1, openBookFileCount());
    // A path differing only in letter case is another entry.
    const std::string upper = writeTemp(dir, "SHARED.tvk", b.build());
    ASSERT_EQ(0u, acquireBookFile(BkText::utf8ToUtf16(upper), other));
    EXPECT_NE(one, other);
    EXPECT_EQ(before + 2, openBookFileCount());
    releaseBookFile(other);
    EXPECT_EQ(BkResult::kCannotOpen, acquireBookFile(BkText::utf8ToUtf16(dir.file("none.tvk")), other));
    EXPECT_EQ(nullptr, other);
    releaseBookFile(one);
    EXPECT_EQ(nullptr, one);
    EXPECT_EQ(1u, two->referenceCount());
    EXPECT_EQ(before + 1, openBookFileCount());
    releaseBookFile(two);
    EXPECT_EQ(before, openBookFileCount());
    cBkBookFile* stray = reinterpret_cast<cBkBookFile*>(&dir);
    releaseBookFile(stray);
    EXPECT_EQ(nullptr, stray);
}

TEST(BkBookFile, VersionGate)
{
    struct Case {
        uint8_t readerMajor, readerMinor, major, minor;
        cTvkBookBuilder::Kind kind;
        uint32_t expected;
    };
    const Case cases[] = {
        {1, 0, 1, 19, cTvkBookBuilder::Kind::Book, BkResult::kFormatTooOld},
        {1, 0, 1, 20, cTvkBookBuilder::Kind::Book, 0},
        {1, 0, 1, 26, cTvkBookBuilder::Kind::Bible, BkResult::kFormatTooOld},
        {1, 0, 1, 27, cTvkBookBuilder::Kind::Bible, 0},
        {1, 79, 1, 36, cTvkBookBuilder::Kind::Book, BkResult::kNeedsNewerReader},
        {1, 78, 1, 36, cTvkBookBuilder::Kind::Book, 0},
        {2, 0, 1, 36, cTvkBookBuilder::Kind::Book, BkResult::kNeedsNewerReader},
        {1, 0, 2, 0, cTvkBookBuilder::Kind::Book, BkResult::kFormatTooOld},
        {1, 0, 2, 40, cTvkBookBuilder::Kind::Book, 0},
    };
    for (const Case& c : cases) {
        cTvkBookBuilder b = bibleBuilder();
        b.kind = c.kind;
        b.info.minReaderMajor = c.readerMajor;
        b.info.minReaderMinor = c.readerMinor;
        b.info.fileMajor = c.major;
        b.info.fileMinor = c.minor;
        Book book(b);
        EXPECT_EQ(c.expected, book.result)
            << int(c.readerMajor) << "." << int(c.readerMinor) << " " << int(c.major) << "." << int(c.minor);
    }
}

TEST(BkBookFile, RequiredAndOptionalStreams)
{
    for (const char* tag : {"INFO", "CONC", "PUNC", "SECT", "PAGE", "TEXT", "TOFC", "SYNC", "WRDS"}) {
        cTvkBookBuilder b = bibleBuilder();
        b.omitStream(tag);
        Book book(b);
        EXPECT_EQ(BkResult::kNotFound, book.result) << tag;
        EXPECT_EQ(nullptr, book.file);
    }
    for (const char* tag : {"DATE", "NODE"}) {
        cTvkBookBuilder b = bibleBuilder();
        b.omitStream(tag);
        Book book(b);
        EXPECT_EQ(0u, book.result) << tag;
    }
    cTvkBookBuilder half = bibleBuilder();
    half.addIndexPair("VIDX", "VCON", {{"x", {1}}});
    half.omitStream("VCON");
    half.addIndexPair("SHEA", "SHCN", {{"h1", {3}}});
    half.addIndexPair("STEM", "STMC", {{"begin", {3}}});
    Book book(half);
    ASSERT_EQ(0u, book.result);
    EXPECT_EQ(nullptr, book.file->verseIndex());
    EXPECT_NE(nullptr, book.file->strongsHebrew());
    EXPECT_NE(nullptr, book.file->stemmed());
    EXPECT_EQ(nullptr, book.file->phonetic());
    std::unique_ptr<cBkNode> tree;
    cTvkBookBuilder noNodes = bibleBuilder();
    noNodes.omitStream("NODE");
    Book without(noNodes);
    ASSERT_EQ(0u, without.result);
    EXPECT_EQ(BkResult::kBadArgument, without.file->nodes().loadBlockTree(0, 0, 0, tree));
    EXPECT_FALSE(tree);
}

TEST(BkBookFile, WordAttributePairsOpenByName)
{
    cTvkBookBuilder b = bibleBuilder();
    b.info.wordAttributeDefs = "L=1,Lemma,L:&M=2,Morph,M:";
    b.addIndexPair("LWL", "LCONC", {{"g2316", {3, 7}}}, true);
    b.addIndexPair("MWL", "MCONC", {{"n-nsm", {3}}}, true);
    b.omitStream("MCONC");  // named streams are always written; leave this one out through a broken pair
    b.addIndexPair("PXSX", "PXCN", {{"(", {1}}});
    Book book(b);
    ASSERT_EQ(0u, book.result);
    ASSERT_EQ(2u, book.file->attributePairCount());
    ASSERT_NE(nullptr, book.file->attributeWordList(0));
    EXPECT_EQ(0u, book.file->attributeWordList(0)->wordNumberForString(u"G2316", false));
    EXPECT_NE(nullptr, book.file->attributeConcordance(1));
    EXPECT_NE(nullptr, book.file->attributePrefixes());
    EXPECT_EQ(nullptr, book.file->attributeWordList(5));
}

TEST(BkBookFile, MalformedStoragesEndTheOpen)
{
    cTvkBookBuilder b = bibleBuilder();
    Bytes conc = TvkEncode::concordance({{1}});
    conc[5] = 0;
    b.replaceStream("CONC", conc);
    Book zeroWidth(b);
    EXPECT_EQ(BkResult::kMalformed, zeroWidth.result);

    cTvkBookBuilder g = bibleBuilder();
    Bytes words = TvkEncode::wordList({"a", "b"}, 2);
    words[6] = 0;
    g.replaceStream("WRDS", words);
    Book zeroGroup(g);
    EXPECT_EQ(BkResult::kMalformed, zeroGroup.result);
}

TEST(BkBookFile, SectionsAndTextThatDisagreeEndTheOpen)
{
    // The text end beyond what the TEXT stream holds: a reference record could claim gigabytes.
    cTvkBookBuilder t = bibleBuilder();
    Bytes text = TvkEncode::text({0xC8, 0x00, 0xB2, 0xD0, 0x5E, 0x00, 0xCE});
    putLE(text, 0, 3000000000u);
    t.replaceStream("TEXT", text);
    Book wideText(t);
    EXPECT_EQ(BkResult::kMalformed, wideText.result);
    EXPECT_EQ(nullptr, wideText.file);

    // A section that starts past the text end.
    cTvkBookBuilder s = bibleBuilder();
    s.replaceStream("TEXT", TvkEncode::text({0x01, 0xCE, 0x02, 0xCE}));
    s.replaceStream("SECT", TvkEncode::sections({{0, 4}, {1, 6}, {2, 9}}));
    Book past(s);
    EXPECT_EQ(BkResult::kMalformed, past.result);
    s.replaceStream("SECT", TvkEncode::sections({{0, 4}, {1, 6}, {2, 8}}));
    Book atEnd(s, "at-end.tvk");
    EXPECT_EQ(0u, atEnd.result);

    // Sections out of order.
    cTvkBookBuilder o = bibleBuilder();
    o.replaceStream("TEXT", TvkEncode::text({0x01, 0xCE, 0x02, 0xCE}));
    o.replaceStream("SECT", TvkEncode::sections({{0, 6}, {1, 4}}));
    Book unordered(o);
    EXPECT_EQ(BkResult::kMalformed, unordered.result);
}

namespace {

// Reads everything a book offers, within bounds, to show that damaged books answer codes.
void exerciseBook(cBkBookFile& f)
{
    const uint32_t sections = std::min<uint32_t>(f.sections().sectionCount(), 500);
    for (uint32_t s = 0; s < sections; ++s) {
        uint32_t block = 0, offset = 0;
        f.sections().getSectionStart(s, block, offset);
        f.sections().sectionForBlock(block);
        f.sections().lastSectionForBlock(block);
        f.sections().sectionForTextOffset(offset);
        uint8_t buf[120];
        uint32_t n = 8;
        f.text().readText(offset, buf, n);
        n = 110;
        f.text().readText(offset, buf, n);
    }
    const uint32_t entries = std::min<uint32_t>(f.toc().entryCount(), 500);
    for (uint32_t i = 0; i < entries; ++i) {
        uint8_t level;
        std::string title;
        f.toc().readEntry(i, level, title);
        uint32_t l1, l2, l3;
        f.toc().readLinks(i, l2, l1, l3);
    }
    f.toc().sectionForTocPath("Genesis\\Genesis 1\\1");
    for (cBkWordListStg* list : {&f.wordList(), f.punctuation()}) {
        const uint32_t words = std::min<uint32_t>(list->wordCount(), 300);
        for (uint32_t w = 0; w < words; ++w) {
            std::u16string s;
            list->wordForNumber(w, s);
        }
        list->wordNumberForString(u"earth", false);
        list->wordNumberForString(u"ea", true);
        const int32_t first = list->firstWildcardMatch(u"*e*");
        if (first >= 0)
            list->nextWildcardMatch(u"*e*", first);
        list->firstWildcardMatch(u"-x*");
    }
    cBitVector v(std::max<uint32_t>(sections, 1));
    const uint32_t concEntries = std::min<uint32_t>(f.concordance().entryCount(), 300);
    for (uint32_t w = 0; w < concEntries; ++w) {
        uint32_t count = 0;
        f.concordance().lookupWord(w, count, v);
    }
    uint32_t rec, value;
    f.verseSync().sectionForKey(bibleKey(43, 3, 16), rec, value);
    f.verseSync().lastSectionForAmbiguousKey(bibleKey(1, 1, 254), 0, rec, value);
    f.verseSync().lastSectionForAmbiguousKey(bibleKey(66, 254, 1), 0, rec, value);
    f.dateSync().readingForSection(3);
    f.dateSync().sectionOfReading(1);
    const uint32_t blocks = std::min<uint32_t>(f.nodes().blockCount(), 200);
    for (uint32_t b = 0; b < blocks; ++b) {
        std::unique_ptr<cBkNode> tree;
        f.nodes().loadBlockTree(static_cast<int32_t>(b), 0, 1033, tree);
    }
    if (f.bibleRefFiles() != nullptr) {
        cPlatformMemPtr mem;
        f.bibleRefFiles()->readIntoMemory("BibleBooks.csv", mem);
    }
    std::string s;
    f.genInfo().bookName(s, true);
    f.genInfo().wordAttributeDefs();
}

}  // namespace

TEST(BkBookFile, DamagedBooksAnswerCodesWithoutCrashing)
{
    cTvkBookBuilder b = bibleBuilder();
    b.addVerseLookup(bibleKey(43, 3, 16), 7);
    b.addLookupWord("beginning", 3);
    b.setReadings({3, 4, 7}, 1, 1);
    b.info.wordAttributeDefs = "L=1,Lemma,L:";
    b.addIndexPair("LWL", "LCONC", {{"g2316", {3, 7}}}, true);
    b.addBibleRefFile("BibleBooks.csv", Bytes(300, 'x'));
    const Bytes good = b.build();
    {
        TempDir dir;
        cBkBookFile f;
        ASSERT_EQ(0u, f.open(writeTemp(dir, "good.tvk", good).c_str()));
        exerciseBook(f);
    }
    std::mt19937 rng(12345);
    TempDir dir;
    int opened = 0;
    for (int round = 0; round < 400; ++round) {
        Bytes bad = good;
        const int edits = 1 + static_cast<int>(rng() % 6);
        for (int e = 0; e < edits; ++e) {
            const size_t at = 16 + rng() % (bad.size() - 20);  // keep the first header's length true
            switch (rng() % 4) {
            case 0:
                bad[at] = static_cast<uint8_t>(rng());
                break;
            case 1:
                bad[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
                break;
            case 2:
                putLE(bad, at, 0xFFFFFFFFu - rng() % 3);
                break;
            default:
                putLE(bad, at, rng() % 64);
                break;
            }
        }
        bad.resize(good.size());
        const std::string path = writeTemp(dir, "bad" + std::to_string(round % 30) + ".tvk", bad);
        cBkBookFile f;
        const uint32_t r = f.open(path.c_str());
        if (r == 0) {
            ++opened;
            exerciseBook(f);
        } else {
            EXPECT_TRUE(r == 208 || r == 214 || (r >= 216 && r <= 224)) << r;
        }
    }
    EXPECT_GT(opened, 0);
}

TEST(BkBookFile, ThreadsShareOneBook)
{
    cTvkBookBuilder b = bibleBuilder();
    Book book(b);
    ASSERT_EQ(0u, book.result);
    cBkBookFile& f = *book.file;
    const std::string expected3 = textOf(f, 3), expected7 = textOf(f, 7);
    std::string words[4];
    for (uint32_t w = 0; w < 4; ++w)
        f.wordList().wordForNumber(w, words[w]);
    std::atomic<int> wrong {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 150; ++i) {
                switch ((i + t) % 4) {
                case 0:
                    if (textOf(f, (i % 2) ? 3 : 7) != ((i % 2) ? expected3 : expected7))
                        ++wrong;
                    break;
                case 1: {
                    std::string w;
                    f.wordList().wordForNumber(static_cast<uint32_t>(i % 4), w);
                    if (w != words[i % 4])
                        ++wrong;
                    break;
                }
                case 2: {
                    cBitVector v(8);
                    uint32_t count = 0;
                    f.concordance().lookupWord(static_cast<uint32_t>(i % 4), count, v);
                    if (count == 0 || v.count(1) != count)
                        ++wrong;
                    break;
                }
                default: {
                    std::unique_ptr<cBkNode> tree;
                    if (f.nodes().loadBlockTree(7, 0, 1033, tree) != 0 || tree->children.size() != 2)
                        ++wrong;
                    break;
                }
                }
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(0, wrong.load());
}

TEST(BkBookFile, EngineStringForms)
{
    Book book(bibleBuilder());
    ASSERT_EQ(0u, book.result);
    cLString8 title;
    book.file->genInfo().bookName(title, false);
    EXPECT_TRUE(title.equalsCStr("Minimal Bible"));
    cLString16 path;
    book.file->path(path);
    cBkBookFile* again = nullptr;
    ASSERT_EQ(0u, acquireBookFile(path, again));
    EXPECT_EQ(book.file, again);
    releaseBookFile(again);
    cLString16 word;
    book.file->wordList().wordForNumber(0, word);
    EXPECT_EQ(0u, book.file->wordList().wordNumberForString(word, false));
    cLString8 entry;
    uint8_t level = 0;
    ASSERT_EQ(0, book.file->toc().readEntry(3, level, entry));
    EXPECT_TRUE(entry.equalsCStr("1"));
}
