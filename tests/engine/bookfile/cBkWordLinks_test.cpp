#include "engine/bookfile/cBkWordLinks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/bookfile/BkText.h"
#include "engine/bookfile/TextTokenTestBook.h"
#include "engine/bookfile/cBkBookFile.h"
#include "engine/bookfile/cBkSectionStg.h"
#include "engine/bookfile/cBkSectionTextWriter.h"
#include "search/core/Metaphone.h"
#include "search/core/cSearchWordList.h"

namespace {

// Sorted as the word list orders them; the marked word (0x9F lead) sorts last.
const std::vector<std::string> kWords = {"a", "agape", "b", "caf\xC3\xA9", "love", "loved", "the", "x",
    "\x9F"
    "cafe"};
uint32_t W(const std::string& w)
{
    return indexOf(kWords, w);
}

const std::string kDefinitions =
    "lem=1,Lemma,L:,lemma ,lem:,,,sync:,yes&lxx=1,Lxx,LX:,,lx:,,,,yes&gloss=2,Gloss,,,,,,,yes";

TextBookSpec textBookOf(const Bytes& tokens, std::vector<uint32_t> starts = {4})
{
    TextBookSpec s;
    s.words = kWords;
    s.punctuation = {",", "."};
    s.tokens = tokens;
    s.sectionStarts = starts;
    s.attributeDefinitions = kDefinitions;
    s.attributeWords = {{"lem", {"agape", "logos"}}, {"lxx", {"agape"}}, {"gloss", {"love"}}};
    return s;
}

Bytes wordsOf(std::initializer_list<const char*> list)
{
    Bytes b;
    for (const char* w : list)
        wordToken(b, W(w));
    return b;
}

void add(cSearchWordList& list, const char16_t* text, const char16_t* attribute = nullptr)
{
    ASSERT_EQ(0, list.appendItem(text, AnItem::kNoWordNumber, false, attribute));
}

}  // namespace

TEST(WordLinks, StrongsAndAttributeTokens)
{
    Bytes t = wordsOf({"a"});
    t.insert(t.end(), {0xCC, 0x04, 0xD1, 0xCD, 0x00, 0x10, 0xCC, 0x04, 0xD3, 0x03});
    attributeToken(t, 0, 1);
    attributeToken(t, 7, 0);
    t.push_back(0xCE);
    TextTestBook book(textBookOf(t));
    cBkWordLinks links(book.book);
    std::u16string text;
    uint32_t p = 6;
    ASSERT_TRUE(links.readStrongsToken(p, true, text));
    EXPECT_EQ(u"H308a", text);
    EXPECT_EQ(8u, p);  // left on the token's last byte
    p = 9;
    ASSERT_TRUE(links.readStrongsToken(p, true, text));
    EXPECT_EQ(u"G2", text);
    p = 12;
    ASSERT_TRUE(links.readStrongsToken(p, true, text));
    EXPECT_EQ(u"H308c", text);
    EXPECT_EQ(15u, p);
    p = 4;  // a word, not a Strong's token
    EXPECT_FALSE(links.readStrongsToken(p, true, text));
    EXPECT_EQ(3u, p);

    int32_t d = -1;
    p = 16;
    ASSERT_TRUE(links.readAttributeToken(p, true, text, d));
    EXPECT_EQ(u"L:logos", text);
    EXPECT_EQ(0, d);
    EXPECT_EQ(19u, p);
    p = 20;  // definition 7 is not declared: no text
    EXPECT_FALSE(links.readAttributeToken(p, true, text, d));
    p = 20;
    EXPECT_TRUE(links.readAttributeToken(p, false, text, d));
    EXPECT_EQ(7, d);
    // Tokens cut by the text end fail.
    TextTestBook cut(textBookOf({0xCC, 0x04}));
    cBkWordLinks cutLinks(cut.book);
    p = 4;
    EXPECT_FALSE(cutLinks.readStrongsToken(p, true, text));
}

TEST(WordLinks, WordMatchesForm)
{
    TextTestBook book(textBookOf(wordsOf({"a"})));
    cBkWordLinks links(book.book);
    const std::u16string star = u"*", stem = u"@love", notThe = u"-the", wild = u"lov*";
    EXPECT_TRUE(links.wordMatchesForm(&star, 0, false, W("x"), nullptr));
    EXPECT_TRUE(links.wordMatchesForm(&stem, 0, false, W("loved"), nullptr));
    EXPECT_FALSE(links.wordMatchesForm(&stem, 0, false, W("the"), nullptr));
    EXPECT_TRUE(links.wordMatchesForm(&notThe, 0, false, W("a"), nullptr));
    EXPECT_FALSE(links.wordMatchesForm(&notThe, 0, false, W("the"), nullptr));
    EXPECT_TRUE(links.wordMatchesForm(&wild, 0, false, W("loved"), nullptr));
    const std::u16string given = u"lovely";
    EXPECT_TRUE(links.wordMatchesForm(&wild, 0, false, W("the"), &given));

    std::string key = metaphoneKey(std::string_view("loved"));
    std::u16string sound = u"$";
    for (char c : key)
        sound.push_back(static_cast<char16_t>(c >= 'A' && c <= 'Z' ? c + 32 : c));
    EXPECT_TRUE(links.wordMatchesForm(&sound, 0, false, W("loved"), nullptr));
    EXPECT_FALSE(links.wordMatchesForm(&sound, 0, false, W("agape"), nullptr));

    // By number; with the fold flag, a word whose base-letter form is the marked word's number.
    EXPECT_TRUE(links.wordMatchesForm(nullptr, W("x"), false, W("x"), nullptr));
    EXPECT_FALSE(links.wordMatchesForm(nullptr, W("x"), false, W("a"), nullptr));
    EXPECT_FALSE(links.wordMatchesForm(nullptr,
        W("\x9F"
          "cafe"),
        false, W("caf\xC3\xA9"), nullptr));
    EXPECT_TRUE(links.wordMatchesForm(nullptr,
        W("\x9F"
          "cafe"),
        true, W("caf\xC3\xA9"), nullptr));
}

TEST(WordLinks, AttributeTermsFollowTheWord)
{
    Bytes t = wordsOf({"love"});
    t.insert(t.end(), {0xCD, 0x00, 0xD0});  // G26
    t.push_back(0x80);                      // punctuation ends the run
    attributeToken(t, 0, 0);                // not directly after a word: never consulted
    t.push_back(0xCE);
    TextTestBook book(textBookOf(t));
    cBkWordLinks links(book.book);
    cSearchWordList list;
    add(list, u"love", u"G26");
    EXPECT_TRUE(links.wordMatchesSearchItem(list, 0, W("love"), nullptr, 6));
    cSearchWordList other;
    add(other, u"love", u"G27");
    EXPECT_FALSE(links.wordMatchesSearchItem(other, 0, W("love"), nullptr, 6));
    cSearchWordList negated;
    add(negated, u"love", u"-G26");
    EXPECT_FALSE(links.wordMatchesSearchItem(negated, 0, W("love"), nullptr, 6));
    EXPECT_TRUE(links.tokensMatchAttributeTerm(u"-G27", 6));
    EXPECT_FALSE(links.wordMatchesSearchItem(list, 1, W("love"), nullptr, 6));  // no such item

    // A variant form matches too, and the out index names it.
    cSearchWordList variants;
    add(variants, u"x");
    variants.addVariant(0, u"lov*", AnItem::kNoWordNumber, false, nullptr);
    uint32_t form = 99;
    EXPECT_TRUE(links.wordMatchesSearchItem(variants, 0, W("love"), nullptr, 6, &form));
    EXPECT_EQ(1u, form);
}

TEST(WordLinks, AWordTiedToTheNextCarriesItsNumbersForSearchOnly)
{
    // "love" 0xC5 "a" 0xC5 "," 0xF0 0xE2 "b" G26 "the" | "x" 0xC5 (reference) "a" G27 | "loved" 0xC5 end.
    Bytes t = wordsOf({"love"});
    t.push_back(0xC5);
    wordToken(t, W("a"));
    t.push_back(0xC5);
    punctToken(t, 0);  // ","
    t.insert(t.end(), {0xF0, 0xE2});
    wordToken(t, W("b"));
    t.insert(t.end(), {0xCD, 0x00, 0xD0});  // G26
    wordToken(t, W("the"));
    wordToken(t, W("x"));
    t.insert(t.end(), {0xC5, 0xC8, 0x04, 0x00, 43, 3, 16});
    wordToken(t, W("a"));
    t.insert(t.end(), {0xCD, 0x00, 0xD8});  // G27
    wordToken(t, W("loved"));
    t.insert(t.end(), {0xC5, 0xCE});
    TextTestBook book(textBookOf(t));
    cBkWordLinks links(book.book);
    // Positions after each word: love 6, a 9, b 16, the 21, x 23, a 32, loved 37.
    for (uint32_t after : {6u, 9u, 16u})
        EXPECT_TRUE(links.tokensMatchAttributeTerm(u"G26", after)) << after;
    EXPECT_FALSE(links.tokensMatchAttributeTerm(u"-G26", 6));
    EXPECT_FALSE(links.tokensMatchAttributeTerm(u"G26", 21));  // "the" is not tied
    EXPECT_FALSE(links.tokensMatchAttributeTerm(u"G27", 23));  // a reference breaks the tie
    EXPECT_TRUE(links.tokensMatchAttributeTerm(u"G27", 32));
    EXPECT_FALSE(links.tokensMatchAttributeTerm(u"G26", 37));  // a tie at the section's end
    EXPECT_TRUE(links.tokensMatchAttributeTerm(u"-G26", 37));
    cSearchWordList love;
    add(love, u"love", u"G26");
    EXPECT_TRUE(links.isPhrasePresentInSection(0, love));
    cSearchWordList phrase;
    add(phrase, u"love", u"G26");
    add(phrase, u"a", u"G26");
    add(phrase, u"b");
    EXPECT_TRUE(links.isPhrasePresentInSection(0, phrase));
    cSearchWordList loved;
    add(loved, u"loved", u"G26");
    EXPECT_FALSE(links.isPhrasePresentInSection(0, loved));

    // The page shows the number once, after the last word, and nothing for the tie codes.
    std::string shown;
    cBkSectionTextWriter::renderTextRangeToHTML(book.book, 4, false, nullptr, shown);
    std::string words;
    for (char c : shown)
        if (c != '\x01')
            words += c;
    EXPECT_EQ(words.rfind("love a,B\x05g26 the x", 0), 0u) << words;
    EXPECT_EQ(words.find("g26"), words.rfind("g26")) << words;

    // A tie that runs on and on reaches no number: the walk is bounded.
    Bytes chain;
    for (int i = 0; i < 400; ++i) {
        wordToken(chain, W("love"));
        chain.push_back(0xC5);
    }
    wordToken(chain, W("b"));
    chain.insert(chain.end(), {0xCD, 0x00, 0xD0, 0xCE});
    TextTestBook longTie(textBookOf(chain));
    cBkWordLinks longLinks(longTie.book);
    EXPECT_FALSE(longLinks.tokensMatchAttributeTerm(u"G26", 6));
    EXPECT_TRUE(longLinks.tokensMatchAttributeTerm(u"G26", 4 + 3 * 399 + 2));
}

TEST(WordLinks, AttributeTermsThroughDefinitions)
{
    Bytes t = wordsOf({"love"});
    attributeToken(t, 0, 0);  // L:agape
    attributeToken(t, 2, 0);  // gloss "love"
    t.push_back(0xCE);
    TextTestBook book(textBookOf(t));
    cBkWordLinks links(book.book);
    std::vector<int32_t> d;
    EXPECT_TRUE(links.matchWordAttributes(u"LX:agape", d));
    EXPECT_EQ(std::vector<int32_t> {1}, d);
    EXPECT_TRUE(links.matchWordAttributes(u"l:AGAPE", d));
    EXPECT_EQ(std::vector<int32_t> {0}, d);
    EXPECT_TRUE(links.matchWordAttributes(u"love", d));  // the prefix-less definition
    EXPECT_EQ(std::vector<int32_t> {2}, d);
    EXPECT_FALSE(links.matchWordAttributes(u"L:eros", d));
    EXPECT_TRUE(d.empty());

    EXPECT_TRUE(links.tokensMatchAttributeTerm(u"L:agape", 6));
    EXPECT_TRUE(links.tokensMatchAttributeTerm(u"L:AGAPE", 6));
    EXPECT_FALSE(links.tokensMatchAttributeTerm(u"LX:agape", 6));  // the token is of definition 0
    EXPECT_TRUE(links.tokensMatchAttributeTerm(u"love", 6));
}

TEST(WordLinks, PhrasesInSections)
{
    cSearchWordList ab;
    add(ab, u"a");
    add(ab, u"b");
    auto found = [&](const Bytes& tokens) {
        TextTestBook book(textBookOf(tokens));
        return cBkWordLinks(book.book).isPhrasePresentInSection(0, ab);
    };
    EXPECT_TRUE(found(wordsOf({"a", "b"})));
    EXPECT_TRUE(found(wordsOf({"a", "a", "b"})));
    EXPECT_TRUE(found(wordsOf({"x", "a", "x", "a", "b"})));
    EXPECT_FALSE(found(wordsOf({"a", "x", "b"})));
    Bytes bracket = wordsOf({"a"});
    bracket.push_back(0xC3);
    wordToken(bracket, W("x"));
    bracket.push_back(0xC4);
    wordToken(bracket, W("b"));
    EXPECT_TRUE(found(bracket));
    Bytes ref = wordsOf({"a"});
    ref.insert(ref.end(), {0xC8, 0x04, 0x00, 43, 3, 16});
    wordToken(ref, W("b"));
    EXPECT_FALSE(found(ref));
    Bytes letters = wordsOf({"a"});
    literalToken(letters, "7");
    wordToken(letters, W("b"));
    EXPECT_FALSE(found(letters));
    Bytes dashes = wordsOf({"a"});
    literalToken(dashes, "--");
    wordToken(dashes, W("b"));
    EXPECT_TRUE(found(dashes));
    Bytes off = wordsOf({"a"});
    off.push_back(0xC1);
    wordToken(off, W("x"));
    off.push_back(0xC2);
    wordToken(off, W("b"));
    EXPECT_TRUE(found(off));
    // A mask after 0xEF is skipped like 0xE7's, not read as words.
    Bytes masked = wordsOf({"a"});
    const uint8_t x = static_cast<uint8_t>(W("x"));
    masked.insert(masked.end(), {0xEF, 0x40, x, 0x40, x});
    wordToken(masked, W("b"));
    EXPECT_TRUE(found(masked));
    // Only the section's own range counts.
    TextTestBook two(textBookOf(cat2(wordsOf({"a"}), wordsOf({"b"})), {4, 6}));
    EXPECT_FALSE(cBkWordLinks(two.book).isPhrasePresentInSection(0, ab));
    EXPECT_FALSE(cBkWordLinks(two.book).isPhrasePresentInSection(7, ab));
    cSearchWordList empty;
    EXPECT_FALSE(cBkWordLinks(two.book).isPhrasePresentInSection(0, empty));
}

TEST(WordLinks, RememberedMatchesAnswerAsFreshOnes)
{
    // The same phrases in the same sections, tested by a view that remembers each word number's
    // matches (a phrase of plain words is matched against the word list once) and by fresh views.
    const std::vector<Bytes> sections = {wordsOf({"a", "b"}), wordsOf({"x", "a", "x", "a", "b"}),
        wordsOf({"a", "x", "b"}), wordsOf({"love", "the", "caf\xC3\xA9"}), wordsOf({"loved", "the", "x"}),
        wordsOf({"the", "love", "a"}), wordsOf({"agape", "b", "love"})};
    Bytes all;
    std::vector<uint32_t> starts;
    for (const Bytes& b : sections) {
        starts.push_back(static_cast<uint32_t>(4 + all.size()));
        all.insert(all.end(), b.begin(), b.end());
    }
    TextTestBook book(textBookOf(all, starts));
    const std::vector<std::vector<const char16_t*>> phrases = {{u"a", u"b"}, {u"A", u"B"}, {u"love", u"the"},
        {u"LOVE", u"The", u"caf\u00e9"}, {u"lov*", u"the"}, {u"the", u"lov?"}, {u"the", u"love", u"a"}, {u"x", u"b"},
        {u"loved", u"the", u"x"}, {u"@love", u"the"}, {u"nothing", u"the"}, {u"caf", u"b"}};
    for (const auto& words : phrases) {
        cSearchWordList list;
        for (const char16_t* w : words)
            add(list, w);
        cBkWordLinks remembering(book.book);
        remembering.rememberMatchesOf(&list);
        std::u16string name;
        for (const char16_t* w : words)
            name += std::u16string(w) + u" ";
        for (uint32_t s = 0; s < sections.size(); ++s)
            EXPECT_EQ(remembering.isPhrasePresentInSection(s, list),
                cBkWordLinks(book.book).isPhrasePresentInSection(s, list))
                << BkText::utf16ToUtf8(name) << "in section " << s;
    }
    // The answers themselves, for a few.
    cSearchWordList loveThe;
    add(loveThe, u"LOVE");
    add(loveThe, u"the");
    cBkWordLinks links(book.book);
    links.rememberMatchesOf(&loveThe);
    EXPECT_TRUE(links.isPhrasePresentInSection(3, loveThe));
    EXPECT_FALSE(links.isPhrasePresentInSection(4, loveThe));  // "loved the" is another word
    EXPECT_FALSE(links.isPhrasePresentInSection(5, loveThe));
    // Forgotten: a changed list is matched afresh.
    links.rememberMatchesOf(nullptr);
    cSearchWordList lovedThe;
    add(lovedThe, u"loved");
    add(lovedThe, u"the");
    EXPECT_TRUE(links.isPhrasePresentInSection(4, lovedThe));
}

TEST(WordLinks, RememberedMatchesAgreeOnTheSampleBibles)
{
    // Every section of the compiled sample Bibles (English and Spanish, accented words included).
    for (const char* file : {"KJV.tvk", "RV1909.tvk"}) {
        const std::string path = std::string(QS_BINARY_DIR) + "/library/" + file;
        cBkBookFile* bible = nullptr;
        if (acquireBookFile(BkText::utf8ToUtf16(path), bible) != 0 || bible == nullptr)
            GTEST_SKIP() << "the sample library is not built";
        const std::vector<std::vector<std::u16string>> phrases = {{u"the", u"LORD", u"said"},
            {u"in", u"the", u"beginning"}, {u"and", u"it", u"came", u"to", u"pass"}, {u"dijo", u"Jehov\u00e1"},
            {u"JEHOVA", u"dijo"}, {u"el", u"se\u00f1or"}, {u"lov*", u"one", u"another"}};
        for (const auto& words : phrases) {
            cSearchWordList list;
            for (const std::u16string& w : words)
                add(list, w.c_str());
            cBkWordLinks remembering(*bible);
            remembering.rememberMatchesOf(&list);
            cBkWordLinks fresh(*bible);
            int found = 0;
            for (uint32_t s = 0; s < bible->sections().sectionCount(); ++s) {
                const bool expected = fresh.isPhrasePresentInSection(s, list);
                found += expected ? 1 : 0;
                ASSERT_EQ(remembering.isPhrasePresentInSection(s, list), expected) << file << " section " << s;
            }
            if (std::string(file) == "KJV.tvk" && words[0] == u"the") {
                EXPECT_EQ(found, 219);
            }
        }
        releaseBookFile(bible);
    }
}

TEST(WordLinks, CollectWordAttributes)
{
    Bytes s0 = wordsOf({"love"});
    s0.insert(s0.end(), {0xCD, 0x00, 0xD0});  // G26
    attributeToken(s0, 0, 0);                 // L:agape
    wordToken(s0, W("a"));
    s0.insert(s0.end(), {0xCC, 0x04, 0xD1});  // H308a
    s0.push_back(0xCE);
    Bytes s1 = wordsOf({"love"});
    s1.insert(s1.end(), {0xCD, 0x00, 0xD0});
    s1.push_back(0xCE);
    const uint32_t second = static_cast<uint32_t>(4 + s0.size());
    TextTestBook book(textBookOf(cat2(s0, s1), {4, second}));
    cBkWordLinks links(book.book);

    std::vector<std::unique_ptr<cBkWordAttributeEntry>> entries;
    std::vector<std::string> seen;
    EXPECT_TRUE(links.collectWordAttributes(W("love"), u"", 0, entries, seen));
    EXPECT_TRUE(links.collectWordAttributes(W("love"), u"", 1, entries, seen));
    ASSERT_EQ(2u, entries.size());  // G26 once across both sections
    EXPECT_EQ("G26", entries[0]->attribute);
    EXPECT_EQ("Strong's Greek Word Number", entries[0]->description);
    EXPECT_EQ("sync:\\\\", entries[0]->linkType);
    EXPECT_EQ("agape", entries[1]->attribute);  // the search prefix is cut off
    EXPECT_EQ(u"agape", entries[1]->attribute16);
    EXPECT_EQ("Lemma", entries[1]->description);
    EXPECT_EQ("lemma ", entries[1]->displayPrefix);
    EXPECT_EQ("lem:", entries[1]->syncPrefix);
    EXPECT_EQ("sync:", entries[1]->linkType);

    // By a Strong's number that is not a word: every word carrying it, plus the word itself.
    std::vector<std::unique_ptr<cBkWordAttributeEntry>> byNumber;
    std::vector<std::string> seen2;
    EXPECT_TRUE(links.collectWordAttributes(0xFFFFFFFF, u"h308A", 0, byNumber, seen2));
    ASSERT_EQ(2u, byNumber.size());
    EXPECT_EQ("H308a", byNumber[0]->attribute);
    EXPECT_EQ("Strong's Hebrew Word Number", byNumber[0]->description);
    EXPECT_EQ("a", byNumber[1]->attribute);
    EXPECT_EQ("English", byNumber[1]->description);
    // A display prefix is matched in front of the value.
    std::vector<std::unique_ptr<cBkWordAttributeEntry>> byLemma;
    std::vector<std::string> seen3;
    EXPECT_TRUE(links.collectWordAttributes(0xFFFFFFFF, u"Lemma AGAPE", 0, byLemma, seen3));
    EXPECT_EQ(3u, byLemma.size());
    std::vector<std::unique_ptr<cBkWordAttributeEntry>> none;
    EXPECT_FALSE(links.collectWordAttributes(W("x"), u"", 0, none, seen3));
}

TEST(WordLinks, PhraseTestsRunBesideRenderings)
{
    Bytes t;
    for (int i = 0; i < 100; ++i) {
        wordToken(t, W("a"));
        literalToken(t, "--");
    }
    wordToken(t, W("b"));
    t.push_back(0xCE);
    TextTestBook book(textBookOf(t));
    cSearchWordList ab;
    add(ab, u"a");
    add(ab, u"b");
    std::string expected;
    cBkSectionTextWriter::renderTextRangeToHTML(book.book, 4, false, nullptr, expected);
    std::atomic<int> failures {0};
    std::thread search([&] {
        for (int i = 0; i < 30; ++i)
            if (!cBkWordLinks(book.book).isPhrasePresentInSection(0, ab))
                ++failures;
    });
    for (int i = 0; i < 30; ++i) {
        std::string out;
        cBkSectionTextWriter::renderTextRangeToHTML(book.book, 4, false, nullptr, out);
        if (out != expected)
            ++failures;
    }
    search.join();
    EXPECT_EQ(0, failures.load());
}
