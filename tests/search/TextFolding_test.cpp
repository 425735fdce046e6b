#include "search/core/TextFolding.h"

#include <gtest/gtest.h>

using namespace TextFolding;

TEST(TextFolding, BaseLettersAndCase)
{
    EXPECT_EQ(foldToBaseLetters(u"\u00C9glise na\u00EFve \u00E6on"), u"Eglise naive \u00E6on");
    EXPECT_EQ(foldToBaseLetters(u"e\u0301\u0327"), u"e");                  // combining marks dropped
    EXPECT_EQ(foldToBaseLetters(u"\u1F00\u05E9\u05C1"), u"\u03B1\u05E9");  // Greek breathing, Hebrew point
    EXPECT_EQ(foldToBaseLetters(u"\uFB01"), u"\uFB01");                    // no canonical decomposition
    // The final sigma is the sigma: "ΛΟΓΟΣ" lower-cased and "λόγος" read alike.
    EXPECT_EQ(foldToBaseLetters(u"\u03BB\u03CC\u03B3\u03BF\u03C2"), u"\u03BB\u03BF\u03B3\u03BF\u03C3");
    EXPECT_EQ(toLower(u'\u00C0'), u'\u00E0');
    EXPECT_EQ(toLower(u'\u0391'), u'\u03B1');
    EXPECT_EQ(toLower(u'\u0410'), u'\u0430');
    EXPECT_EQ(toLower(u'x'), u'x');
    EXPECT_EQ(toLowerLatin1(u'\u00DE'), u'\u00FE');
    EXPECT_EQ(toLowerLatin1(u'\u00D7'), u'\u00D7');  // the multiplication sign has no case
    EXPECT_EQ(toLowerLatin1(u'\u0391'), u'\u0391');  // beyond Latin-1: unchanged
    EXPECT_TRUE(isCombiningMark(0x0301));
    EXPECT_TRUE(isCombiningMark(0x05B0));
    EXPECT_FALSE(isCombiningMark(u'a'));
    EXPECT_TRUE(isBlank(u'\t'));
    EXPECT_FALSE(isBlank(u'\n'));
}

TEST(TextFolding, Utf8Conversion)
{
    const std::u16string text = u"a\u00E9\u05D0\U0001F600";
    EXPECT_EQ(utf8ToUtf16(utf16ToUtf8(text)), text);
    EXPECT_EQ(utf16ToUtf8(u"\u00E9"), "\xC3\xA9");
    // Malformed input: bad lead, truncated sequence, overlong form, surrogate (the engine's rule:
    // bytes that start no complete sequence stand for themselves).
    EXPECT_EQ(utf8ToUtf16("\xFF"
                          "a"),
        u"\u00FFa");
    EXPECT_EQ(utf8ToUtf16("a\xE2\x82"), u"a\u00E2\u0082");
    EXPECT_EQ(utf8ToUtf16("\xC0\xAF"), u"/");
    EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80"), std::u16string(1, char16_t(0xD800)));
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xED\xA0\x80");
}

TEST(TextFolding, ApostropheForms)
{
    for (char16_t c :
        {u'\'', u'`', u'\u00B4', u'\u02B9', u'\u02BC', u'\u2018', u'\u2019', u'\u201B', u'\u2032', u'\uFF07'})
        EXPECT_TRUE(isApostrophe(c)) << int(c);
    for (char16_t c : {u'"', u'\u201C', u'\u201D', u'-', u's', u'\u2033'})
        EXPECT_FALSE(isApostrophe(c)) << int(c);
    EXPECT_EQ(withApostrophe(u"God`s Lord\u2019s \u2018x\u2019", kStraightApostrophe), u"God's Lord's 'x'");
    EXPECT_EQ(withApostrophe(u"it's", kTypographicApostrophe), u"it\u2019s");
    EXPECT_EQ(withApostrophe(u"", kTypographicApostrophe), u"");
}
