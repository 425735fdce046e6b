#include "search/core/WildcardPattern.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool m(const std::u16string& pattern, const std::u16string& text, bool exact = false)
{
    return wildcardMatch(pattern, text, exact);
}

}  // namespace

TEST(WildcardPattern, PlainWordsAndCase)
{
    EXPECT_TRUE(m(u"love", u"love"));
    EXPECT_TRUE(m(u"love", u"LOVE"));
    EXPECT_FALSE(m(u"love", u"LOVE", true));
    EXPECT_TRUE(m(u"\u00C9glise", u"\u00E9GLISE"));  // folding beyond ASCII
    EXPECT_FALSE(m(u"love", u"lov"));
    EXPECT_FALSE(m(u"love", u"loved"));
    // The end of the pattern accepts a blank: the first word of the text is matched.
    EXPECT_TRUE(m(u"love", u"love one another"));
    EXPECT_TRUE(m(u"love", u"love\tx"));
    EXPECT_TRUE(m(u"", u""));
    EXPECT_TRUE(m(u"", u" x"));
    EXPECT_FALSE(m(u"", u"x"));
}

TEST(WildcardPattern, BlanksMatchRunsOfBlanks)
{
    EXPECT_TRUE(m(u"love one", u"love   one"));
    EXPECT_TRUE(m(u"love  \t one", u"love one"));
    EXPECT_FALSE(m(u"love one", u"loveone"));
    EXPECT_FALSE(m(u"love one", u"love"));
}

TEST(WildcardPattern, QuestionMarkTakesOneCharacterWithItsMarks)
{
    EXPECT_TRUE(m(u"l?ve", u"love"));
    EXPECT_FALSE(m(u"l?ve", u"lve"));
    EXPECT_FALSE(m(u"l?ve", u"l ve"));
    EXPECT_TRUE(m(u"l?ve", u"lo\u0301ve"));                 // o + combining acute
    EXPECT_TRUE(m(u"l?\u0301ve", u"lo\u0301ve") == false);  // the marks went with "?"
    EXPECT_FALSE(m(u"?ove", u"\u0301ove"));                 // a mark alone is not a character
}

TEST(WildcardPattern, StarStaysInsideItsWord)
{
    EXPECT_TRUE(m(u"lov*", u"love"));
    EXPECT_TRUE(m(u"lov*", u"lov"));
    EXPECT_TRUE(m(u"*", u"anything at all"));
    EXPECT_TRUE(m(u"lov*", u"loving kindness"));  // at the end: the rest of the text
    EXPECT_TRUE(m(u"l*e", u"love"));
    EXPECT_TRUE(m(u"l*e", u"lovee"));
    EXPECT_TRUE(m(u"*e", u"e"));
    EXPECT_FALSE(m(u"l*e", u"lov e"));  // never across a blank
    EXPECT_FALSE(m(u"l*e", u"lover"));
    EXPECT_TRUE(m(u"lov* one", u"lovingly one"));  // before a blank: the rest of the word
    EXPECT_FALSE(m(u"lov* one", u"lovingly two"));
    EXPECT_TRUE(m(u"l*e o*e", u"love one"));
    EXPECT_TRUE(m(u"l*_*e", u"love"));  // "_" and "*" after a "*" are absorbed
    EXPECT_TRUE(m(u"*a*b*c", u"xxaxxbxxc"));
    EXPECT_FALSE(m(u"*a*b*c", u"xxaxxcxxb"));
}

TEST(WildcardPattern, ManyStarsDoNotBlowUp)
{
    const std::u16string word(5000, u'a');
    std::u16string pattern;
    for (int i = 0; i < 40; ++i)
        pattern += u"*a";
    pattern += u"*b";
    EXPECT_FALSE(m(pattern, word));  // finishes quickly: one resume point at a time
    EXPECT_TRUE(m(pattern, word + u"b"));
}

TEST(WildcardPattern, UnderscoreTakesCombiningMarks)
{
    EXPECT_TRUE(m(u"lo_ve", u"lo\u0301\u0300ve"));
    EXPECT_TRUE(m(u"lo_ve", u"love"));
    EXPECT_FALSE(m(u"love", u"lo\u0301ve"));
    EXPECT_TRUE(m(u"lo__ve", u"lo\u0301ve"));
}

TEST(WildcardPattern, BracketClasses)
{
    EXPECT_TRUE(m(u"[a|b]c", u"ac"));
    EXPECT_TRUE(m(u"[a|b]c", u"bc"));
    EXPECT_FALSE(m(u"[a|b]c", u"cc"));
    EXPECT_TRUE(m(u"[aeiou]x", u"ex"));
    EXPECT_TRUE(m(u"[AEIOU]x", u"ex"));  // characters fold case
    EXPECT_FALSE(m(u"[AEIOU]x", u"ex", true));
    EXPECT_TRUE(m(u"G1[0-9]", u"G15"));
    EXPECT_FALSE(m(u"G1[0-9]", u"G1a"));
    EXPECT_TRUE(m(u"[A-C]x", u"bx"));  // ranges fold case as characters do
    EXPECT_TRUE(m(u"[a-c]x", u"Bx"));
    EXPECT_FALSE(m(u"[A-C]x", u"bx", true));
    EXPECT_FALSE(m(u"[A-C]x", u"dx"));
    EXPECT_TRUE(m(u"[ a | b ]c", u"bc"));  // blanks ignored
    EXPECT_TRUE(m(u"[\"th\"|\"s\"]ee", u"thee"));
    EXPECT_TRUE(m(u"[\"th\"|\"s\"]ee", u"see"));
    EXPECT_FALSE(m(u"[\"th\"|\"s\"]ee", u"tee"));
    EXPECT_TRUE(m(u"[\"t\"|\"th\"]ee", u"thee"));  // the longest alternative wins
    EXPECT_TRUE(m(u"[\"a]b\"]c", u"a]bc"));        // "]" inside quotes does not close
    EXPECT_TRUE(m(u"[!a]x", u"bx"));
    EXPECT_FALSE(m(u"[!a]x", u"ax"));
    EXPECT_FALSE(m(u"[!a]", u""));
    EXPECT_TRUE(m(u"[!a|!b]x", u"cx"));
    EXPECT_FALSE(m(u"[!a|!b]x", u"bx"));
    EXPECT_FALSE(m(u"[]x", u"x"));
    EXPECT_TRUE(m(u"l*[e|y]", u"lovely"));
    EXPECT_TRUE(m(u"[ab", u"a"));  // an unclosed class ends at the pattern's end
    EXPECT_FALSE(m(u"[ab", u"c"));
    EXPECT_TRUE(m(u"[\"ab", u"ab"));  // and so does an unclosed quote in it
    EXPECT_FALSE(m(u"[\"ab", u"a"));
}

TEST(WildcardPattern, NegationAndDetection)
{
    EXPECT_FALSE(m(u"-love", u"love"));
    EXPECT_TRUE(m(u"-love", u"hate"));
    EXPECT_FALSE(m(u"-lov*", u"loving"));
    EXPECT_TRUE(m(u"a-b", u"a-b"));  // only a leading "-" negates

    EXPECT_TRUE(hasWildcard(u"lo*"));
    EXPECT_TRUE(hasWildcard(u"l?ve"));
    EXPECT_TRUE(hasWildcard(u"lo_ve"));
    EXPECT_TRUE(hasWildcard(u"[a|b]"));
    EXPECT_TRUE(hasWildcard(u"-love"));
    EXPECT_FALSE(hasWildcard(u"well-known"));
    EXPECT_FALSE(hasWildcard(u"love"));
    EXPECT_FALSE(hasWildcard(static_cast<const char16_t*>(nullptr)));
}

TEST(WildcardPattern, EngineNamesAndNullInput)
{
    const unsigned short pattern[] = {'l', 'o', '*', 0};
    const unsigned short word[] = {'L', 'O', 'V', 'E', 0};
    EXPECT_TRUE(matchSearchPattern(pattern, word, 0));
    EXPECT_FALSE(matchSearchPattern(pattern, word, 1));
    EXPECT_TRUE(hasWildcardOrNegationInChars(pattern));
    EXPECT_TRUE(matchSearchPattern(u"-x", u"y", 0));
    EXPECT_FALSE(hasWildcardOrNegationInChars(u"plain"));
    EXPECT_TRUE(wildcardMatch(static_cast<const char16_t*>(nullptr), nullptr, false));
    EXPECT_TRUE(wildcardMatch(u"*", static_cast<const char16_t*>(nullptr), false));
}
