#include "search/core/SearchSpecification.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "search/core/SearchSource.h"

namespace {

class FakeSearchSource : public SearchSource {
public:
    explicit FakeSearchSource(uint32_t caps) : m_caps(caps) { }
    bool docSupports(uint32_t mask) const override { return (m_caps & mask) == mask; }
    bool couldBeWordAttribute(const std::u16string& term) const override
    {
        ++asked;
        return term.size() > 1 && term[0] == u'V' && term[1] == u'-';  // e.g. "V-PAI"
    }
    mutable int asked = 0;

private:
    uint32_t m_caps;
};

// The parsed tree as text: phrases joined by " & ", alternatives by " OR ",
// positions by " ", terms of a position by "|", quoted phrases in quotes.
std::string render(const PhraseListPtr& list)
{
    if (!list)
        return "nil";
    std::string out;
    for (const auto& ored : list->oredPhraseList()) {
        if (!out.empty())
            out += " & ";
        std::string alts;
        for (const auto& phrase : ored->phraseList()) {
            if (!alts.empty())
                alts += " OR ";
            std::string words;
            for (const auto& terms : phrase->terms()) {
                if (!words.empty())
                    words += ' ';
                std::string position;
                for (const auto& t : terms->termList()) {
                    if (!position.empty())
                        position += '|';
                    position += std::string(t.begin(), t.end());
                }
                words += position;
            }
            alts += phrase->isQuoted() ? "\"" + words + "\"" : words;
        }
        out += alts;
    }
    return out;
}

struct Parsed {
    std::string included;
    std::string excluded;
};

Parsed parse(const std::u16string& query)
{
    SearchSpecification spec(query);
    return {render(spec.phraseList()), render(spec.exclPhraseList())};
}

}  // namespace

TEST(SearchSpecification, PhrasesAndPositions)
{
    EXPECT_EQ(parse(u"love one another").included, "love one another");
    const SearchSpecification spec(u"love one another");
    ASSERT_TRUE(spec.phraseList());
    ASSERT_EQ(spec.phraseList()->count(), 1u);
    const auto& phrase = spec.phraseList()->oredPhraseList()[0]->phraseList()[0];
    EXPECT_EQ(phrase->count(), 3u);
    EXPECT_FALSE(phrase->isQuoted());
    EXPECT_EQ(phrase->numAlternativesAtIndex(2), 1u);
    EXPECT_EQ(phrase->numAlternativesAtIndex(3), 0u);
    EXPECT_EQ(*phrase->termAtIndex(1, 0), u"one");
    EXPECT_EQ(phrase->termAtIndex(1, 1), nullptr);
    EXPECT_EQ(phrase->termAtIndex(7, 0), nullptr);

    EXPECT_EQ(parse(u"\"God is love\"").included, "\"God is love\"");
    EXPECT_EQ(parse(u"love \"God is love\" peace").included, "love & \"God is love\" & peace");
    EXPECT_EQ(parse(u"\"a b\" OR \"c d\"").included, "\"a b\" OR \"c d\"");
    EXPECT_EQ(parse(u"\"a b\"|\"c d\" e").included, "\"a b\" OR \"c d\" & e");
}

TEST(SearchSpecification, OrBindsTermsInsideAPhrase)
{
    EXPECT_EQ(parse(u"love OR charity").included, "love|charity");
    EXPECT_EQ(parse(u"love|charity").included, "love|charity");
    EXPECT_EQ(parse(u"love | charity | grace").included, "love|charity|grace");
    EXPECT_EQ(parse(u"love or charity").included, "love or charity");
    EXPECT_EQ(parse(u"love OR").included, "love OR");
    EXPECT_EQ(parse(u"love OR\ncharity").included, "love|charity");
    EXPECT_EQ(parse(u"love ORcharity").included, "love ORcharity");
}

TEST(SearchSpecification, AHyphenatedWordIsItsPartsSideBySide)
{
    EXPECT_EQ(parse(u"Beth-el").included, "\"Beth el\"");
    EXPECT_EQ(parse(u"\"house of Beth-el\"").included, "\"house of Beth el\"");
    EXPECT_EQ(parse(u"Jacob Beth-el altar").included, "Jacob & \"Beth el\" & altar");
    EXPECT_EQ(parse(u"Beth-el OR Bethel").included, "\"Beth el\" OR Bethel");
    EXPECT_EQ(parse(u"Bethel OR Beth-el").included, "Bethel OR \"Beth el\"");
    EXPECT_EQ(parse(u"Beth-*").included, "\"Beth *\"");
    Parsed p = parse(u"Jacob -Beth-el");
    EXPECT_EQ(p.included, "Jacob");
    EXPECT_EQ(p.excluded, "\"Beth el\"");
    // A hyphen that joins nothing is no word's.
    EXPECT_EQ(parse(u"love- -hate").excluded, "hate");
    // In any letter case, beside OR and after a minus.
    EXPECT_EQ(parse(u"BETH-EL").included, "\"BETH EL\"");
    EXPECT_EQ(parse(u"BATH-SHEBA OR Bethel").included, "\"BATH SHEBA\" OR Bethel");
    EXPECT_EQ(parse(u"love -BETH-EL").excluded, "\"BETH EL\"");
    EXPECT_EQ(parse(u"\"went up to BETH-EL\"").included, "\"went up to BETH EL\"");
    // A bracket range is one pattern; a term with an attribute keeps its hyphens.
    EXPECT_EQ(parse(u"[a-c]ast l[a-z]ve").included, "[a-c]ast l[a-z]ve");
    EXPECT_EQ(parse(u"[a-c]ast-el").included, "\"[a-c]ast el\"");
    EXPECT_EQ(parse(u"love:-G26 V-PAI:logos").included, "love:-G26 V-PAI:logos");
}

TEST(SearchSpecification, CurlyQuotesMakeAPhrase)
{
    EXPECT_EQ(parse(u"\u201Cearth so\u201D").included, "\"earth so\"");
    EXPECT_EQ(parse(u"\u201Clove\u201D").included, "\"love\"");
    EXPECT_EQ(parse(u"\u201Eson of man\u201C OR love").included, "\"son of man\" OR love");
    EXPECT_EQ(parse(u"man -\u201Cson of man\u201D").excluded, "\"son of man\"");
    // An unclosed curly quote drops its phrase, as a straight one does.
    EXPECT_EQ(parse(u"\u201Cearth so").included, "nil");
}

TEST(SearchSpecification, Exclusions)
{
    Parsed p = parse(u"-hate love");
    EXPECT_EQ(p.included, "nil");
    EXPECT_EQ(p.excluded, "hate love");
    // Every minus adds its words.
    p = parse(u"love -hate -fear");
    EXPECT_EQ(p.included, "love");
    EXPECT_EQ(p.excluded, "hate & fear");
    EXPECT_EQ(parse(u"love -hate -\"fear not\" - -joy peace").excluded, "hate & \"fear not\" & joy peace");
    p = parse(u"love -\"hate not\"");
    EXPECT_EQ(p.excluded, "\"hate not\"");
    p = parse(u"love -");
    EXPECT_EQ(p.included, "love");
    EXPECT_EQ(p.excluded, "nil");
    p = parse(u"-");
    EXPECT_EQ(p.included, "nil");
    EXPECT_EQ(p.excluded, "nil");
}

TEST(SearchSpecification, TermBoundaries)
{
    EXPECT_EQ(parse(u"well-known").included, "\"well known\"");
    EXPECT_EQ(parse(u"word, next").included, "word next");
    EXPECT_EQ(parse(u"[a|b]c").included, "[a|b]c");
    EXPECT_EQ(parse(u"[\"x y\"]").included, "[\"x y");  // white space still ends a term
    EXPECT_EQ(parse(u"(love)").included, "love");
    EXPECT_EQ(parse(u"... *ove ?ove _ove").included, "*ove ?ove _ove");
    EXPECT_EQ(parse(u"G25:love love:G25").included, "G25:love love:G25");
    EXPECT_EQ(parse(u"a\"b\"").included, "a & \"b\"");
    EXPECT_EQ(parse(u"\u3000love\u00A0one").included, "love one");  // Unicode white space
}

TEST(SearchSpecification, PunctuationAroundATermIsNotPartOfIt)
{
    // Stuck to a word as typed or pasted from a text.
    const char16_t* const stuck[] = {u"love,", u"love.", u"(love)", u"love!", u"love;", u"'love'", u"\u2018love\u2019",
        u"love...", u"love--", u"love\u2014"};
    for (std::size_t i = 0; i < std::size(stuck); ++i)
        EXPECT_EQ(parse(stuck[i]).included, "love") << "case " << i;
    EXPECT_EQ(parse(u"\"love.\"").included, "\"love\"");
    EXPECT_EQ(parse(u"love!?").included, "love!?");  // a trailing "?" is a wildcard
    EXPECT_EQ(parse(u"(love), [joy]. peace;").included, "love [joy] peace");
    // Inside a word it stays; wildcards and the attribute colon are never cut.
    EXPECT_EQ(parse(u"it's, well-known.").included, "it's & \"well known\"");
    EXPECT_EQ(parse(u"lov*, ?ove? _ove_. [lh]ove) G2[0-9]]").included, "lov* ?ove? _ove_ [lh]ove G2[0-9]]");
    EXPECT_EQ(parse(u"love:G26. G26:").included, "love:G26 G26:");
    // Syntax still ends and splits terms: OR, quotes and the exclusion.
    EXPECT_EQ(parse(u"love, OR charity.").included, "love|charity");
    Parsed p = parse(u"\"son of man,\" -hate.");
    EXPECT_EQ(p.included, "\"son of man\"");
    EXPECT_EQ(p.excluded, "hate");
    // A term of punctuation only is no term.
    EXPECT_EQ(parse(u"... ,;").included, "nil");
}

TEST(SearchSpecification, MalformedQueriesNeverFailOrHang)
{
    Parsed p = parse(u"\"God is love");
    EXPECT_EQ(p.included, "nil");
    EXPECT_EQ(p.excluded, "nil");
    p = parse(u"love \"God is");
    EXPECT_EQ(p.included, "love");
    EXPECT_EQ(p.excluded, "nil");
    EXPECT_EQ(parse(u"\"\"").included, "nil");
    EXPECT_EQ(parse(u"").included, "nil");
    EXPECT_EQ(parse(u"   ").included, "nil");
    EXPECT_EQ(parse(u"!!! ...").included, "nil");
    EXPECT_EQ(parse(u"|").included, "nil");
    EXPECT_EQ(parse(u"a || b").included, "a");
    EXPECT_EQ(parse(u"OR OR OR").included, "OR|OR");
    // An OR before a phrase or an exclusion is never searched as a word.
    EXPECT_EQ(parse(u"love OR \"x\"").included, "love OR \"x\"");
    EXPECT_EQ(parse(u"a love OR \"x y\" b").included, "a love OR \"x y\" & b");
    EXPECT_EQ(parse(u"\"x y\" OR love OR \"z\"").included, "\"x y\" OR love OR \"z\"");
    p = parse(u"love | -hate");
    EXPECT_EQ(p.included, "love");
    EXPECT_EQ(p.excluded, "hate");
    EXPECT_EQ(parse(u"[unclosed class").included, "[unclosed class");
    p = parse(u"a -b \"c");
    EXPECT_EQ(p.included, "a");
    EXPECT_EQ(p.excluded, "b");
    // Long and odd input finishes.
    std::u16string noise;
    for (int i = 0; i < 2000; ++i)
        noise += u"\"|- OR [\"]";
    SearchSpecification spec(noise);
    SUCCEED();
}

TEST(SearchSpecification, SetSearchSpecReparsesOnlyOnChange)
{
    SearchSpecification spec;
    EXPECT_EQ(spec.phraseList(), nullptr);
    spec.setSearchSpec(u"love");
    const auto first = spec.phraseList();
    spec.setSearchSpec(u"love");
    EXPECT_EQ(spec.phraseList(), first);  // unchanged text: nothing happens
    spec.setSearchSpec(u"peace");
    EXPECT_NE(spec.phraseList(), first);
    EXPECT_EQ(spec.searchSpec(), u"peace");
    spec.setSearchSpec(u"");
    EXPECT_EQ(spec.phraseList(), nullptr);
}

TEST(SearchSpecification, CharacterSetsAndStopWords)
{
    for (char16_t c : std::u16string(u"!\"#%&'()*,-./:;?@[\\]_{}"))
        EXPECT_TRUE(SearchSpecification::isInPunctuationSet(c)) << static_cast<int>(c);
    for (char16_t c : std::u16string(u"$+<=>^|~`a0 "))
        EXPECT_FALSE(SearchSpecification::isInPunctuationSet(c)) << static_cast<int>(c);
    EXPECT_TRUE(SearchSpecification::isInWhitespaceSet(u'\n'));
    EXPECT_TRUE(SearchSpecification::isInWhitespaceSet(0x2028));
    EXPECT_FALSE(SearchSpecification::isInWhitespaceSet(u'x'));

    EXPECT_TRUE(SearchSpecification::isStopWord(u"The"));
    EXPECT_TRUE(SearchSpecification::isStopWord(u"SHALT"));
    EXPECT_TRUE(SearchSpecification::isStopWord(u"should've"));
    EXPECT_TRUE(SearchSpecification::isStopWord(u"Should\u2019ve"));
    EXPECT_TRUE(SearchSpecification::isStopWord(u"it`s"));
    EXPECT_TRUE(SearchSpecification::isStopWord(u"a"));
    EXPECT_TRUE(SearchSpecification::isStopWord(u"yourselves"));
    EXPECT_FALSE(SearchSpecification::isStopWord(u"love"));
    EXPECT_FALSE(SearchSpecification::isStopWord(u"th"));
    EXPECT_FALSE(SearchSpecification::isStopWord(u""));
    EXPECT_FALSE(SearchSpecification::isStopWord(u"th\u00E9"));
}

TEST(SearchSpecification, StopWordsAreSafeFromManyThreads)
{
    std::vector<std::thread> threads;
    std::vector<int> hits(8, 0);
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&hits, t] {
            for (int i = 0; i < 2000; ++i)
                hits[t] += SearchSpecification::isStopWord(i % 2 ? u"unto" : u"lamb");
        });
    for (auto& th : threads)
        th.join();
    for (int h : hits)
        EXPECT_EQ(h, 1000);
}

TEST(OredTerms, ListOperations)
{
    OredTerms terms;
    EXPECT_EQ(terms.termAtIndex(0), nullptr);
    terms.add(u"b");
    terms.add(u"a", 0);
    terms.add(u"z", 99);  // past the end: appended
    ASSERT_EQ(terms.count(), 3u);
    EXPECT_EQ(*terms.termAtIndex(0), u"a");
    EXPECT_EQ(*terms.termAtIndex(2), u"z");
    EXPECT_EQ(terms.termAtIndex(3), nullptr);
}

TEST(OredTerms, StrongsNumbersInAStrongsOnlyBook)
{
    const FakeSearchSource strongs(kDocSupportsStrongsGreek | kDocSupportsStrongsHebrew);
    for (const char16_t* yes :
        {u"H1234", u"g2?5", u"G1[0-9]", u"H1234a", u"G25*", u"h12b?", u"G1[2|3]", u"G1[\"2\"]", u"G1[a]"})
        EXPECT_TRUE(OredTerms::couldBeWordAttribute(yes, &strongs)) << std::string(yes, yes + 8);
    for (const char16_t* no : {u"G[0-9]", u"X123", u"H12A", u"H", u"G1_2", u"G12ab", u"G1a2", u"G1[0-9", u"G1[!2]",
             u"G1[\"a\"]", u"G1a[2]", u"G*", u"love", u"G1[a]b"})
        EXPECT_FALSE(OredTerms::couldBeWordAttribute(no, &strongs)) << std::string(no, no + 8);
    EXPECT_EQ(strongs.asked, 0);
}

TEST(OredTerms, WordAndAttributeParts)
{
    const FakeSearchSource strongs(kDocSupportsStrongsGreek);
    const FakeSearchSource plain(0);
    EXPECT_EQ(OredTerms::wordFromTerm(u"G25:love", &strongs), u"love");
    EXPECT_EQ(OredTerms::attributeFromTerm(u"G25:love", &strongs), u"G25");
    EXPECT_EQ(OredTerms::wordFromTerm(u"love:G25", &strongs), u"love");
    EXPECT_EQ(OredTerms::attributeFromTerm(u"love:G25", &strongs), u"G25");
    EXPECT_EQ(OredTerms::wordFromTerm(u"G25", &strongs), u"*");
    EXPECT_EQ(OredTerms::attributeFromTerm(u"G25", &strongs), u"G25");
    EXPECT_EQ(OredTerms::wordFromTerm(u"G25", &plain), u"G25");
    EXPECT_EQ(OredTerms::attributeFromTerm(u"G25", &plain), u"");
    EXPECT_EQ(OredTerms::wordFromTerm(u"G25", nullptr), u"G25");
    EXPECT_EQ(OredTerms::wordFromTerm(u"love", &strongs), u"love");
    EXPECT_EQ(OredTerms::attributeFromTerm(u"love", &strongs), u"");
    EXPECT_EQ(OredTerms::wordFromTerm(u":", &strongs), u"");
    EXPECT_EQ(OredTerms::wordFromTerm(u"", &strongs), u"");

    // A book with word attributes decides for itself.
    const FakeSearchSource attributes(kDocSupportsWordAttributes);
    EXPECT_TRUE(OredTerms::couldBeWordAttribute(u"V-PAI", &attributes));
    EXPECT_FALSE(OredTerms::couldBeWordAttribute(u"G25", &attributes));
    EXPECT_EQ(OredTerms::wordFromTerm(u"V-PAI:logos", &attributes), u"logos");
    EXPECT_FALSE(OredTerms::couldBeWordAttribute(u"V", &attributes));  // too short to ask
    EXPECT_EQ(attributes.asked, 3);
}
