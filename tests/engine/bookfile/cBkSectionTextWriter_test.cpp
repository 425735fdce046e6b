#include "engine/bookfile/cBkSectionTextWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "engine/bookfile/TextTokenTestBook.h"
#include "engine/bookfile/cBkSearchHitHooks.h"
#include "engine/bookfile/cBkWordLinks.h"
#include "engine/foundation/cMsgBox.h"
#include "engine/references/bibleRefRecord.h"
#include "engine/references/cBibleRef.h"
#include "render/cHTMLRenderConfiguration.h"
#include "search/core/cSearchWordList.h"

namespace {

const std::vector<std::string> kWords = {"a", "b", "bar-el", "grace", "hit", "one", "the", "two", "word", "xyz"};
const std::vector<std::string> kPunct = {",", "<&>", "\xE2\x80\x8B", ".", ";"};

uint32_t W(const std::string& w)
{
    return indexOf(kWords, w);
}
uint32_t P(const std::string& p)
{
    return indexOf(kPunct, p);
}

TextBookSpec spec(const Bytes& tokens)
{
    TextBookSpec s;
    s.words = kWords;
    s.wordValues = {W("the"), W("a"), W("b"), W("one"), W("two"), W("grace")};
    s.punctuation = kPunct;
    s.punctuationValues = {P(","), P("."), P(";"), P("<&>")};
    s.tokens = tokens;
    return s;
}

std::string render(cBkBookFile& book, uint32_t start = 4, bool rtl = false,
    const cHTMLRenderConfiguration* config = nullptr, const cBkTextRangeOptions* options = nullptr)
{
    std::string out;
    EXPECT_EQ(0u, cBkSectionTextWriter::renderTextRangeToHTML(book, start, rtl, config, out, options));
    return out;
}

std::string renderTokens(const Bytes& tokens, bool rtl = false, const cHTMLRenderConfiguration* config = nullptr,
    const cBkTextRangeOptions* options = nullptr)
{
    TextTestBook t(spec(tokens));
    return render(t.book, 4, rtl, config, options);
}

Bytes words(std::initializer_list<const char*> list)
{
    Bytes b;
    for (const char* w : list)
        wordToken(b, W(w));
    return b;
}

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes b;
    for (const Bytes& p : parts)
        b.insert(b.end(), p.begin(), p.end());
    return b;
}

const Bytes kEnd {0xCE};

}  // namespace

TEST(SectionTextWriter, WordTokenFormsAndValueTable)
{
    // One-byte codes index the word-value table: entry 3 is "one".
    EXPECT_EQ("\x01one", renderTokens({0x03, 0xCE}));
    EXPECT_EQ("\x01two", renderTokens(cat({words({"two"}), kEnd})));
}

TEST(SectionTextWriter, WideWordNumbersFollowTheFileVersion)
{
    TextBookSpec s;
    for (uint32_t i = 0; i < 81925; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "w%06u", i);
        s.words.push_back(name);
    }
    s.punctuation = {","};
    s.tokens = {0x3F, 0x00, 0x01, 0xF0, 0x41, 0x02, 0xF0, 0x7F, 0xFF, 0x00, 0x03, 0xCE};
    s.fileMinor = 20;
    TextTestBook old(s);
    EXPECT_EQ("\x01w016384\x01w000258\x01w016386", render(old.book));
    s.fileMinor = 21;
    TextTestBook current(s);
    EXPECT_EQ("\x01w016384\x01w000258\x01w081921", render(current.book));
}

TEST(SectionTextWriter, PunctuationFormsBlanksAndEscaping)
{
    TextBookSpec s;
    s.words = kWords;
    for (uint32_t i = 0; i < 800; ++i)
        s.punctuation.push_back("p" + std::to_string(i));
    s.punctuationValues = {0, 1, 2, 3};
    // 0xA3: blank before (the out string is empty, so none), value entry 3; then escapes 271 and 766.
    s.tokens = {0xA3, 0x9F, 0xFF, 0x10, 0x8F, 0xFF, 0xFF, 0x01, 0x00, 0xCE};
    TextTestBook t(s);
    EXPECT_EQ("p3p271 p766", render(t.book));

    // A blank before is added only when the output does not already end in one; "<&>" is escaped.
    Bytes tokens = cat({words({"one"}), {0xA0 | 0x03}, words({"two"}), kEnd});
    EXPECT_EQ("\x01one &lt;&amp;&gt;\x01two", renderTokens(tokens));
}

TEST(SectionTextWriter, WordOrderBlanksAndRightToLeft)
{
    const Bytes two = cat({words({"one", "two"}), kEnd});
    EXPECT_EQ("\x01one \x01two", renderTokens(two));
    EXPECT_EQ("\x01two \x01one", renderTokens(two, true));
    EXPECT_EQ("\x01one\x01two", renderTokens(cat({words({"one"}), {0xF0}, words({"two"}), kEnd})));
    // Right to left, each piece goes in front of what was written.
    EXPECT_EQ("\x01two,\x01one", renderTokens(cat({words({"one"}), {0x80}, words({"two"}), kEnd}), true));
}

TEST(SectionTextWriter, CapitalisationCodes)
{
    EXPECT_EQ("\x01Grace", renderTokens(cat({{0xE2}, words({"grace"}), kEnd})));
    EXPECT_EQ("\x01GRACE", renderTokens(cat({{0xE1}, words({"grace"}), kEnd})));
    EXPECT_EQ("\x01"
              "Bar-El",
        renderTokens(cat({{0xE4}, words({"bar-el"}), kEnd})));
    EXPECT_EQ("\x01GrAce", renderTokens(cat({{0xE7, 0xA0, 0, 0, 0}, words({"grace"}), kEnd})));
    // A capitalisation waits past punctuation for the next word, and applies only once.
    EXPECT_EQ(",\x01Grace \x01grace", renderTokens(cat({{0xE2, 0x80}, words({"grace", "grace"}), kEnd})));
    // With several pending, the first letter wins.
    EXPECT_EQ("\x01Grace", renderTokens(cat({{0xE1, 0xE2}, words({"grace"}), kEnd})));
    // 0xEF (kind 7) carries its mask like 0xE7: the four bytes are not read as tokens.
    EXPECT_EQ("\x01gRace", renderTokens(cat({{0xEF, 0x40, 0, 0, 0}, words({"grace"}), kEnd})));
    // A literal takes a pending capitalisation too.
    Bytes lit {0xE1};
    literalToken(lit, "amen");
    EXPECT_EQ("\x01"
              "AMEN",
        renderTokens(cat({lit, kEnd})));
}

TEST(SectionTextWriter, CapitalisationTransforms)
{
    std::string s = "abc";
    capitalizeByMask(s, 0xA0000000);
    EXPECT_EQ("AbC", s);
    s = "\xC3\xA9t\xC3\xA9";  // été
    capitalizeFirstLetter(s);
    EXPECT_EQ("\xC3\x89t\xC3\xA9", s);
    capitalizeAllLetters(s);
    EXPECT_EQ("\xC3\x89T\xC3\x89", s);
    s = "jean-paul-\xC3\xA9";
    capitalizeAfterHyphens(s);
    EXPECT_EQ("Jean-Paul-\xC3\x89", s);
    // A clear bit moves one byte: mask bits run over the two bytes of "é".
    s = "\xC3\xA9t";
    capitalizeByMask(s, 0x20000000);
    EXPECT_EQ("\xC3\xA9T", s);
    s.clear();
    capitalizeAllLetters(s);
    capitalizeByMask(s, 0xFFFFFFFF);
    EXPECT_EQ("", s);
    // A stray Latin-1 byte is upper-cased through the 8-bit table and stays one byte.
    s = "\xE9";
    capitalizeFirstLetter(s);
    EXPECT_EQ("\xC9", s);
}

TEST(SectionTextWriter, StrongsMarkers)
{
    EXPECT_EQ("\x01the\x06h308a", renderTokens(cat({words({"the"}), {0xCC, 0x04, 0xD1}, kEnd})));
    // Suffix 3: the third byte holds the suffix, and the token is four bytes long.
    EXPECT_EQ("\x01the\x06h308c \x01two",
        renderTokens(cat({words({"the"}), {0xCC, 0x04, 0xD3, 0x03}, words({"two"}), kEnd})));
    EXPECT_EQ("\x01the\x05g2", renderTokens(cat({words({"the"}), {0xCD, 0x00, 0x10}, kEnd})));
}

TEST(SectionTextWriter, OmittingStrongsDropsNumbersAttributesAndZeroWidthSpaces)
{
    TextBookSpec s = spec(cat({words({"the"}), {0xCC, 0x04, 0xD1}, {}, {0x8F, static_cast<uint8_t>(P("\xE2\x80\x8B"))},
        {0xCF, 0, 0, 0}, kEnd}));
    s.attributeDefinitions = "lem=1,Lemma,L:,,lemma:,,,,yes";
    s.attributeWords = {{"lem", {"logos"}}};
    TextTestBook t(s);
    cHTMLRenderConfiguration config;
    const bool omit = true;
    config.omitStrongsNumbersInDecode = &omit;
    EXPECT_EQ("\x01the", render(t.book, 4, false, &config));
    EXPECT_EQ("\x01the\x06h308a\xE2\x80\x8B\x02"
              "0\x04logos\x03",
        render(t.book));
}

TEST(SectionTextWriter, AttributeRuns)
{
    TextBookSpec s;
    s.words = kWords;
    s.punctuation = kPunct;
    s.attributeDefinitions = "lem=1,Lemma,L:,,lemma:,,,,yes&mor=2,Morph,M:,,morph:,,,,yes&gone=3,Gone,G:,,,,,,yes";
    s.attributeWords = {{"lem", {"agape", "logos"}}, {"mor", {"n-nsm", "v-pai"}}};
    s.attributeTexts = {"(", ")"};
    Bytes tokens = words({"word"});
    attributeToken(tokens, 0, 1);  // logos
    attributeToken(tokens, 1, 0);  // n-nsm
    tokens.push_back(0x40 | 0);    // a word token "a" ends the run
    tokens.push_back(W("a"));
    // 0xD0 with a text before and none after; then an undeclared definition (not written) and a
    // declared one without a word list ("[ERROR]").
    tokens.insert(tokens.end(), {0xD0, 0x01, 0x00, 0x01, 0x00, 0x00, 0xFF, 0xFE});
    attributeToken(tokens, 9, 0);
    attributeToken(tokens, 2, 0);
    tokens.push_back(0xCE);
    s.tokens = tokens;
    TextTestBook t(s);
    EXPECT_EQ("\x01word\x02"
              "0\x04logos\x02"
              "1\x04n-nsm\x03 \x01"
              "a\x02"
              "1\x04v-pai\x04(\x04\x02"
              "2\x04[ERROR]\x03",
        render(t.book));

    // The configuration's list leaves definitions out; -1 leaves out all.
    cHTMLRenderConfiguration config;
    config.omittedWordAttributes.add(1);
    config.omittedWordAttributes.add(2);
    EXPECT_EQ("\x01word\x02"
              "0\x04logos\x03 \x01"
              "a",
        render(t.book, 4, false, &config));
    cHTMLRenderConfiguration all;
    all.omittedWordAttributes.add(-1);
    EXPECT_EQ("\x01word \x01"
              "a",
        render(t.book, 4, false, &all));
}

TEST(SectionTextWriter, AttributeValueEscapeReadsAWideValue)
{
    TextBookSpec s;
    s.words = kWords;
    s.punctuation = kPunct;
    s.attributeDefinitions = "lem=1,Lemma,L:,,,,,,yes";
    std::vector<std::string> many;
    for (uint32_t i = 0; i < 0x10002; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "v%06u", i);
        many.push_back(name);
    }
    s.attributeWords = {{"lem", many}};
    Bytes tokens = words({"word"});
    attributeToken(tokens, 0, 0x10001);
    tokens.push_back(0xCE);
    s.tokens = tokens;
    TextTestBook t(s);
    EXPECT_EQ("\x01word\x02"
              "0\x04v065537\x03",
        render(t.book));
}

TEST(SectionTextWriter, BracketsAndLanguageRuns)
{
    const Bytes bracketed = cat({words({"a"}), {0xC3}, words({"b", "one"}), {0xC4}, words({"two"}), kEnd});
    // Inside the brackets words get no word-start marks.
    EXPECT_EQ("\x01"
              "a[ b one] \x01two",
        renderTokens(bracketed));
    cBkTextRangeOptions hide;
    hide.showBrackets = 0;
    EXPECT_EQ("\x01"
              "a \x01two",
        renderTokens(bracketed, false, nullptr, &hide));
    // 0xC7 opens a bracketed passage too.
    EXPECT_EQ("\x01"
              "a[ b] \x01two",
        renderTokens(cat({words({"a"}), {0xC7}, words({"b"}), {0xC4}, words({"two"}), kEnd})));

    const Bytes lang = cat({{0xCB, 0x00, 0x0D}, words({"word"}), {0xCB, 0x00, 0x00}, kEnd});
    cBkTextRangeOptions tags;
    tags.languageTags = 1;
    EXPECT_EQ("<qs_lang value=13>\x01word</qs_lang>", renderTokens(lang, false, nullptr, &tags));
    EXPECT_EQ("\x01word", renderTokens(lang));
}

TEST(SectionTextWriter, LiteralsAndWordMarks)
{
    Bytes tokens = words({"one"});
    literalToken(tokens, "<i>x</i>");
    tokens.push_back(0xCE);
    EXPECT_EQ("\x01one \x01<i>x</i>", renderTokens(tokens));
    cHTMLRenderConfiguration config;
    const bool suppress = true;
    config.suppressWordMarks = &suppress;
    EXPECT_EQ("one <i>x</i>", renderTokens(tokens, false, &config));
}

TEST(SectionTextWriter, EndOfSectionAndEndPosition)
{
    // Section 1 starts after the first 0xCE.
    TextBookSpec s = spec(cat({words({"one"}), kEnd, words({"two"}), kEnd}));
    s.sectionStarts = {4, 7};
    TextTestBook t(s);
    EXPECT_EQ("\x01one", render(t.book));
    cBkTextRangeOptions options;
    options.endPosition = 10;
    EXPECT_EQ("\x01one \x01two", render(t.book, 4, false, nullptr, &options));
    options.endPosition = 6;
    EXPECT_EQ("\x01one", render(t.book, 4, false, nullptr, &options));
    // Appends to what the caller holds.
    std::string out = "x";
    cBkSectionTextWriter::renderTextRangeToHTML(t.book, 7, false, nullptr, out);
    EXPECT_EQ("x\x01two", out);
}

TEST(SectionTextWriter, NeverReadsPastTheTextEnd)
{
    // No end-of-section code at all: the rendering stops at the text end.
    EXPECT_EQ("\x01one \x01two", renderTokens(words({"one", "two"})));
    // A token cut short by the text end is not read.
    EXPECT_EQ("\x01one", renderTokens(cat({words({"one"}), {0x3F, 0x00}})));
    EXPECT_EQ("\x01one", renderTokens(cat({words({"one"}), {0xC8, 0x00, 0xFF, 0xFF, 0xFF, 0xF0}})));
    EXPECT_EQ("\x01one", renderTokens(cat({words({"one"}), {0xFF, 0x20, 'a'}})));
    EXPECT_EQ("", renderTokens({}));
    // A start past the end writes nothing.
    TextTestBook t(spec(cat({words({"one"}), kEnd})));
    EXPECT_EQ("", render(t.book, 1000));
}

TEST(SectionTextWriter, InvalidCodesAreReportedAndSkipped)
{
    const uint32_t before = cMsgBox::shownCount();
    EXPECT_EQ("\x01one\x01two", renderTokens(cat({words({"one"}), {0xF9}, words({"two"}), kEnd})));
    EXPECT_EQ(before + 1, cMsgBox::shownCount());
    EXPECT_EQ(201, cMsgBox::lastShownId());
    // Codes without meaning are skipped as one byte.
    EXPECT_EQ("\x01one \x01two", renderTokens(cat({words({"one"}), {0xC0, 0xD5}, words({"two"}), kEnd})));
}

TEST(SectionTextWriter, DamagedTextIsReportedOncePerBook)
{
    // A text full of invalid codes gives one message for the book, not one per code: not for a second
    // rendering, nor for the phrase test over the same text.
    Bytes tokens = words({"one"});
    for (int i = 0; i < 5000; ++i)
        tokens.push_back(static_cast<uint8_t>(0xF8 + i % 7));
    tokens.insert(tokens.end(), {0x40 | 0, 0});
    TextTestBook t(spec(cat({tokens, kEnd})));
    const uint32_t before = cMsgBox::shownCount();
    EXPECT_EQ("\x01one\x01"
              "a",
        render(t.book));
    EXPECT_EQ("\x01one\x01"
              "a",
        render(t.book));
    cSearchWordList phrase;
    phrase.appendItem(u"one", AnItem::kNoWordNumber, false, nullptr);
    phrase.appendItem(u"a", AnItem::kNoWordNumber, false, nullptr);
    EXPECT_TRUE(cBkWordLinks(t.book).isPhrasePresentInSection(0, phrase));
    EXPECT_EQ(before + 1, cMsgBox::shownCount());
    EXPECT_EQ(201, cMsgBox::lastShownId());
    EXPECT_TRUE(t.book.damageReported());
}

TEST(SectionTextWriter, WalkToTheEndOfSectionStopsAtTheNextSection)
{
    // End-of-section codes lost to damage: a walk that looks for one still ends where the section
    // table says its section ends, not at the text end.
    TextBookSpec s = spec(words({"one", "two", "grace", "word"}));
    s.sectionStarts = {4, 8, 10};
    TextTestBook t(s);
    EXPECT_EQ("\x01one \x01two", render(t.book, 4));
    EXPECT_EQ("\x01two", render(t.book, 6));
    EXPECT_EQ("\x01grace", render(t.book, 8));
    EXPECT_EQ("\x01word", render(t.book, 10));
    // An explicit end position is the caller's.
    cBkTextRangeOptions options;
    options.endPosition = 12;
    EXPECT_EQ("\x01one \x01two \x01grace \x01word", render(t.book, 4, false, nullptr, &options));
}

TEST(SectionTextWriter, EmbeddedReferences)
{
    cBibleRef john(makeBibleKey(43, 3, 16));
    Bytes record;
    bibleRefRecord::encode(john, record);
    Bytes tokens = words({"one"});
    tokens.push_back(0xC8);
    tokens.insert(tokens.end(), record.begin(), record.end());
    tokens.push_back(0xCE);
    TextTestBook t(spec(tokens));

    const std::string plain = render(t.book);
    EXPECT_EQ(0u, plain.find("\x01one "));
    EXPECT_NE(std::string::npos, plain.find("href=\"")) << plain;
    EXPECT_NE(std::string::npos, plain.find("3:16")) << plain;

    cHTMLRenderConfiguration config;
    cLString8 prefix(cHTMLRenderConfiguration::kDefaultLinkPrefix),
        suffix(cHTMLRenderConfiguration::kDefaultLinkSuffix);
    config.linkPrefix = &prefix;
    config.linkSuffix = &suffix;
    const std::string linked = render(t.book, 4, false, &config);
    EXPECT_NE(std::string::npos, linked.find("href=\"javascript:href('")) << linked;
    EXPECT_NE(std::string::npos, linked.find("');\"")) << linked;

    cBkTextRangeOptions noLinks;
    noLinks.referenceLinks = 0;
    EXPECT_EQ(std::string::npos, render(t.book, 4, false, nullptr, &noLinks).find("href"));
    cHTMLRenderConfiguration spoken;
    const bool yes = true;
    spoken.speakableVerseReferences = &yes;
    const std::string said = render(t.book, 4, false, &spoken);
    EXPECT_EQ(std::string::npos, said.find("href")) << said;
    EXPECT_NE(std::string::npos, said.find("John")) << said;
}

namespace {

struct TestHits : cBkSearchHitHooks {
    const cSearchWordList* list = nullptr;
    uint32_t hitSection = 0;
    bool resultContainsSection(const cSearchExpressionResult*, uint32_t section) const override
    {
        return section == hitSection;
    }
    const cSearchWordList* resultWordList(const cSearchExpressionResult*) const override { return list; }
};

}  // namespace

TEST(SectionTextWriter, SearchHitsAreMarked)
{
    TextBookSpec s = spec(cat({words({"the", "hit", "word"}), kEnd, words({"hit"}), kEnd}));
    s.sectionStarts = {4, 11};
    TextTestBook t(s);
    cSearchWordList list;
    list.appendItem(u"hit", AnItem::kNoWordNumber, false, nullptr);

    cHTMLRenderConfiguration config;
    const bool on = true;
    config.wordsToMark = &list;
    // Without highlight hits nothing is marked.
    EXPECT_EQ("\x01the \x01hit \x01word", render(t.book, 4, false, &config));
    config.highlightHits = &on;
    EXPECT_EQ("\x01the \x01hit\x07 \x01word", render(t.book, 4, false, &config));

    // Through a kept search result: only its sections have hits.
    auto hooks = std::make_shared<TestHits>();
    hooks->list = &list;
    hooks->hitSection = 1;
    cBkSearchHitHooks::install(hooks);
    cHTMLRenderConfiguration byResult;
    byResult.highlightHits = &on;
    byResult.searchHits = reinterpret_cast<const cSearchExpressionResult*>(hooks.get());
    EXPECT_EQ("\x01the \x01hit \x01word", render(t.book, 4, false, &byResult));
    EXPECT_EQ("\x01hit\x07", render(t.book, 11, false, &byResult));
    EXPECT_EQ("\x01hit\x07", render(t.book, 11, false, &byResult));  // from the section cache
    EXPECT_EQ("\x01the \x01hit \x01word", render(t.book, 4, false, &byResult));
    cBkSearchHitHooks::install(nullptr);
    EXPECT_EQ("\x01hit", render(t.book, 11, false, &byResult));
}

TEST(SectionTextWriter, ZeroWidthSpaceHitBecomesAVisibleMark)
{
    TextBookSpec s = spec({});
    s.tokens = cat({words({"the"}), {0x8F, static_cast<uint8_t>(P("\xE2\x80\x8B"))}, kEnd});
    s.attributeDefinitions = "lem=1,Lemma,L:,,,,,,yes";
    TextTestBook t(s);
    cSearchWordList list;
    list.appendItem(u"*", AnItem::kNoWordNumber, false, u"-H1");  // not a bare wildcard
    cHTMLRenderConfiguration config;
    const bool on = true;
    config.highlightHits = &on;
    config.wordsToMark = &list;
    EXPECT_EQ("\x01the\x07\x01\xE2\x96\xA0\x07", render(t.book, 4, false, &config));
}

TEST(SectionTextWriter, ConcurrentRenderingsOfOneBookAgree)
{
    Bytes tokens;
    for (int i = 0; i < 200; ++i) {
        wordToken(tokens, W(i % 2 ? "one" : "two"));
        tokens.insert(tokens.end(), {0xE2, 0xCC, 0x04, 0xD1, 0x80});
    }
    tokens.push_back(0xCE);
    TextTestBook t(spec(tokens));
    const std::string expected = render(t.book);
    ASSERT_GT(expected.size(), 1000u);
    std::vector<std::thread> threads;
    std::atomic<int> mismatches {0};
    for (int k = 0; k < 4; ++k)
        threads.emplace_back([&, k] {
            for (int i = 0; i < 20; ++i) {
                if (render(t.book, 4, k % 2 == 1) != (k % 2 == 1 ? render(t.book, 4, true) : expected))
                    ++mismatches;
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(0, mismatches.load());
}

TEST(SectionTextWriter, ArbitraryBytesAreReadSafely)
{
    // Whatever the text holds, every reader stops at the text end and output stays bounded.
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<uint8_t>(seed >> 16);
    };
    for (int round = 0; round < 40; ++round) {
        Bytes tokens(static_cast<size_t>(1 + round * 7));
        for (auto& b : tokens)
            b = next();
        TextBookSpec s = spec(tokens);
        s.attributeDefinitions = "lem=1,Lemma,L:,,,,,,yes";
        s.attributeWords = {{"lem", {"logos"}}};
        TextTestBook t(s);
        cHTMLRenderConfiguration config;
        cSearchWordList list;
        list.appendItem(u"one", AnItem::kNoWordNumber, false, u"-H1");
        const bool on = true;
        config.highlightHits = &on;
        config.wordsToMark = &list;
        for (bool rtl : {false, true}) {
            const std::string out = render(t.book, 4, rtl, &config);
            EXPECT_LT(out.size(), 64u * tokens.size() + 64) << round;
        }
        cBkTextRangeOptions all;
        all.endPosition = 0xFFFFFFF0u;
        render(t.book, 4, false, nullptr, &all);
        cBkWordLinks links(t.book);
        cSearchWordList phrase;
        phrase.appendItem(u"one", AnItem::kNoWordNumber, false, nullptr);
        phrase.appendItem(u"two", AnItem::kNoWordNumber, false, nullptr);
        links.isPhrasePresentInSection(0, phrase);
        std::vector<std::unique_ptr<cBkWordAttributeEntry>> entries;
        std::vector<std::string> seen;
        links.collectWordAttributes(W("one"), u"H1", 0, entries, seen);
    }
}
