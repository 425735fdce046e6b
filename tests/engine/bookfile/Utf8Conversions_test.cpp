// The three UTF-8 decoders of the tree (the engine's strings, the book file's BkText and the search
// core's TextFolding) read every byte string alike, bad bytes included.
#include <gtest/gtest.h>

#include <string>

#include "engine/bookfile/BkText.h"
#include "engine/foundation/cLStringTmpl.h"
#include "search/core/TextFolding.h"

namespace {

std::u16string engineUnits(const std::string& bytes)
{
    cLString16 wide;
    wide.assignFromUTF8(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    return std::u16string(reinterpret_cast<const char16_t*>(wide.chars()), static_cast<std::size_t>(wide.length()));
}

struct Case {
    const char* name;
    std::string bytes;
    std::u16string units;
};

const Case kCases[] = {
    {"ascii", "abc", u"abc"},
    {"two, three and four bytes", "\xC3\xA9\xD7\x90\xE2\x82\xAC\xF0\x9F\x98\x80", u"\u00E9\u05D0\u20AC\U0001F600"},
    {"embedded NUL", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    {"Latin-1 word", "Cr\xF3nicas", u"Cr\u00F3nicas"},
    {"lone continuation", "\x80x", u"\u0080x"},
    {"bytes from F8", "\xF8\xFF", u"\u00F8\u00FF"},
    {"cut short at the end", "a\xE2\x82", u"a\u00E2\u0082"},
    {"cut short by a letter",
        "\xC3"
        "a",
        u"\u00C3a"},
    {"four bytes cut short", "\xF0\x9F\x98", u"\u00F0\u009F\u0098"},
    {"overlong", "\xC0\xAF", u"/"},
    {"encoded surrogate", "\xED\xA0\x80", std::u16string(1, char16_t(0xD800))},
    {"beyond U+10FFFF", "\xF7\xBF\xBF\xBF", u"\uFFFD"},
    {"empty", "", u""},
};

TEST(Utf8Conversions, EveryDecoderReadsBadBytesAlike)
{
    for (const Case& c : kCases) {
        EXPECT_EQ(engineUnits(c.bytes), c.units) << c.name;
        EXPECT_EQ(BkText::utf8ToUtf16(c.bytes), c.units) << c.name;
        EXPECT_EQ(TextFolding::utf8ToUtf16(c.bytes), c.units) << c.name;
    }
}

TEST(Utf8Conversions, EncodersAgreeAndRoundTripLoneSurrogates)
{
    const std::u16string texts[] = {u"a\u00E9\u05D0\U0001F600", std::u16string(1, char16_t(0xD800)),
        std::u16string {char16_t(0xDC00), u'x', char16_t(0xDBFF)}};
    for (const std::u16string& t : texts) {
        const std::string bytes = BkText::utf16ToUtf8(t);
        EXPECT_EQ(TextFolding::utf16ToUtf8(t), bytes);
        EXPECT_EQ(BkText::utf8ToUtf16(bytes), t);
        EXPECT_EQ(TextFolding::utf8ToUtf16(bytes), t);
    }
}

}  // namespace
