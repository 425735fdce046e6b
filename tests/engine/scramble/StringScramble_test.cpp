#include "engine/scramble/StringScramble.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/scramble/ScramblePads.h"

namespace {

const std::string kAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

cLString8 bytes(const std::string& s)
{
    cLString8 out;
    out.appendChars(s.data(), static_cast<std::int32_t>(s.size()));
    return out;
}

std::string str(const cLString8& s)
{
    return std::string(s.chars(), static_cast<std::size_t>(s.length()));
}

const char* const kPads[] = {
    "Q", "0", "zz9", "abcDEF012xyz", ScramblePads::kDefaultScramblePad, "pad with spaces & punctuation!"};

TEST(StringScramble, AlphabetSymbols)
{
    for (int i = 0; i < 62; ++i)
        EXPECT_EQ(str(scrambleSymbolForIndex(i)), std::string(1, kAlphabet[i]));
    EXPECT_TRUE(scrambleSymbolForIndex(62).isEmpty());
    EXPECT_TRUE(scrambleSymbolForIndex(-1).isEmpty());
}

TEST(StringScramble, KnownBytes)
{
    // "A" is 0x41 = 65 -> offset 3, pad walk starts at 15 % 3 = 0: digits "4","1" shifted by
    // pad symbols 'a' (36) and 'b' (37): 4+36 = 40 -> 'e', 1+37 = 38 -> 'c'.
    EXPECT_EQ(str(scrambleString(bytes("A"), "abc")), "3ec");
    // An all-zero pad leaves the upper-case hexadecimal form.
    EXPECT_EQ(str(scrambleWithPad(bytes("\xC3\xA9z"), 7, "000")), "C3A97A");
    // The step wraps around the pad: offset 1 starts at position 5 % 4 = 1.
    EXPECT_EQ(str(scrambleWithPad(bytes("\x11\x11"), 1, "0123")), "2341");
}

TEST(StringScramble, EmptyAndShortInputs)
{
    EXPECT_EQ(str(scrambleString(bytes(""), "abc")), "0");
    EXPECT_TRUE(unscrambleString(bytes(""), "abc").isEmpty());
    EXPECT_TRUE(unscrambleString(bytes("Z"), "abc").isEmpty());
    // Odd trailing symbols are dropped.
    EXPECT_EQ(str(unscrambleWithPad(bytes("C3A"), 0, "0")), "\xC3");
}

TEST(StringScramble, RoundTripEveryByteWithSeveralPads)
{
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::string samples[] = {
        all, "Grace and peace", "\xE1\xBC\x80\xCE\xB3\xCE\xAC\xCF\x80\xCE\xB7", "\xF0\x9F\x99\x8F emoji", "x"};
    for (const char* pad : kPads) {
        for (const std::string& s : samples) {
            const cLString8 scrambled = scrambleString(bytes(s), pad);
            ASSERT_EQ(scrambled.length(), 1 + 2 * static_cast<std::int32_t>(s.size()));
            for (std::int32_t i = 0; i < scrambled.length(); ++i)
                ASSERT_NE(kAlphabet.find(scrambled.chars()[i]), std::string::npos);
            EXPECT_EQ(str(unscrambleString(scrambled, pad)), s) << "pad " << pad;
        }
    }
}

TEST(StringScramble, OffsetSymbolDependsOnlyOnBytes)
{
    const std::string text = "password123";
    unsigned sum = 0;
    for (unsigned char c : text)
        sum += c;
    for (const char* pad : kPads)
        EXPECT_EQ(scrambleString(bytes(text), pad).chars()[0], kAlphabet[sum % 62]);
}

TEST(StringScramble, PadsGiveDifferentBodies)
{
    const cLString8 text = bytes("The same text");
    EXPECT_NE(str(scrambleString(text, "abc")), str(scrambleString(text, "xyz")));
    EXPECT_EQ(str(scrambleString(text, "abc")), str(scrambleString(text, "abc")));
    // Unscrambling with the wrong pad does not give the text back.
    EXPECT_NE(str(unscrambleString(scrambleString(text, "abc"), "xyz")), "The same text");
}

TEST(StringScramble, DefaultPad)
{
    const cLString8 text = bytes("s3cr\xC3\xA9t");
    EXPECT_EQ(str(scrambleStringDefaultPad(text)), str(scrambleString(text, ScramblePads::kDefaultScramblePad)));
    EXPECT_EQ(str(unscrambleStringDefaultPad(scrambleStringDefaultPad(text))), "s3cr\xC3\xA9t");
    for (int i = 0; i < ScramblePads::kDefaultScramblePadLength; ++i)
        EXPECT_NE(kAlphabet.find(ScramblePads::kDefaultScramblePad[i]), std::string::npos);
}

TEST(StringScramble, EmptyPadAnswersEmptyInsteadOfDividingByZero)
{
    EXPECT_TRUE(scrambleString(bytes("abc"), "").isEmpty());
    EXPECT_TRUE(scrambleString(bytes("abc"), nullptr).isEmpty());
    EXPECT_TRUE(unscrambleString(bytes("3ec"), "").isEmpty());
    EXPECT_TRUE(scrambleWithPad(bytes("abc"), 3, nullptr).isEmpty());
}

TEST(StringScramble, ForeignSymbolsCountAsZero)
{
    // Symbols outside the alphabet in a body read as index 0, like '0'.
    EXPECT_EQ(str(unscrambleWithPad(bytes("4!"), 0, "0")), str(unscrambleWithPad(bytes("40"), 0, "0")));
}

}  // namespace
