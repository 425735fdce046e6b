#include "engine/foundation/PlatformHelpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

char byte(unsigned value)
{
    return static_cast<char>(value);
}

}  // namespace

TEST(PlatformHelpers, TerminatedStringsAreNullSafe)
{
    EXPECT_EQ(safeStrlen(nullptr), 0);
    EXPECT_EQ(safeStrlen(""), 0);
    EXPECT_EQ(safeStrlen("abc"), 3);

    EXPECT_EQ(safeStrcmp(nullptr, nullptr), 0);
    EXPECT_EQ(safeStrcmp(nullptr, "x"), -1);
    EXPECT_EQ(safeStrcmp("x", nullptr), 1);
    EXPECT_EQ(safeStrcmp("abc", "abc"), 0);
    EXPECT_EQ(safeStrcmp("abc", "abd"), -1);
    EXPECT_EQ(safeStrcmp("abd", "abc"), 1);
    EXPECT_EQ(safeStrcmp("ab", "abc"), -1);
    EXPECT_EQ(safeStrcmp("\xE9", "e"), 1);  // bytes compare unsigned

    char buffer[8] = "zzzzzzz";
    EXPECT_EQ(safeStrcpy(buffer, "hi"), buffer);
    EXPECT_STREQ(buffer, "hi");
    EXPECT_EQ(safeStrcpy(buffer, nullptr), buffer);
    EXPECT_STREQ(buffer, "hi");
    EXPECT_EQ(safeStrcpy(nullptr, "hi"), nullptr);
}

TEST(PlatformHelpers, MemoryHelpers)
{
    char a[8] = {'1', '2', '3', '4', '5', '6', '7', '8'};
    safeMemMove(a + 2, a, 4);  // overlapping
    EXPECT_EQ(std::memcmp(a, "12123478", 8), 0);
    char b[4] = {};
    safeMemCopy(b, "wxyz", 4);
    EXPECT_EQ(std::memcmp(b, "wxyz", 4), 0);
    safeMemSet(b, 0x141, 2);  // low byte only
    EXPECT_EQ(std::memcmp(b, "AAyz", 4), 0);
    safeMemCopy(b, nullptr, 4);
    safeMemCopy(nullptr, "x", 1);
    safeMemMove(b, nullptr, 4);
    safeMemSet(nullptr, 0, 4);
    safeMemSet(b, 0, -1);
    safeMemCopy(b, "qq", 0);
    EXPECT_EQ(std::memcmp(b, "AAyz", 4), 0);

    char r[5] = {'a', 'b', 'c', 'd', 'e'};
    reverseBytes(r, 5);
    EXPECT_EQ(std::memcmp(r, "edcba", 5), 0);
    reverseBytes(r, 4);
    EXPECT_EQ(std::memcmp(r, "bcdea", 5), 0);
    reverseBytes(r, 1);
    reverseBytes(r, 0);
    reverseBytes(nullptr, 3);
    EXPECT_EQ(std::memcmp(r, "bcdea", 5), 0);
}

TEST(PlatformHelpers, CharacterTestsUseFixedLatin1Tables)
{
    EXPECT_EQ(charToLower('A'), 'a');
    EXPECT_EQ(charToLower('z'), 'z');
    EXPECT_EQ(charToLower('1'), '1');
    EXPECT_EQ(charToLower(byte(0xC9)), byte(0xE9));  // É -> é
    EXPECT_EQ(charToLower(byte(0xD7)), byte(0xD7));  // multiplication sign
    EXPECT_EQ(charToLower(byte(0xDF)), byte(0xDF));

    EXPECT_TRUE(isLowerChar('q'));
    EXPECT_FALSE(isLowerChar('Q'));
    EXPECT_TRUE(isLowerChar(byte(0xE9)));
    EXPECT_TRUE(isLowerChar(byte(0xDF)));
    EXPECT_TRUE(isLowerChar(byte(0xB5)));
    EXPECT_FALSE(isLowerChar(byte(0xC9)));
    EXPECT_FALSE(isLowerChar(byte(0xF7)));
    EXPECT_FALSE(isLowerChar('3'));

    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(isAsciiDigitChar(byte(unsigned(c))), c >= '0' && c <= '9') << c;

    for (char c : {' ', '\t', '\n', '\v', '\f', '\r', byte(0xA0), byte(0x85)})
        EXPECT_TRUE(isSpaceChar(c)) << int(c);
    for (char c : {'a', '_', byte(0), byte(0xAD), byte(0xE9)})
        EXPECT_FALSE(isSpaceChar(c)) << int(c);

    for (char c : {'!', '/', ':', '@', '[', '`', '{', '~', byte(0xA1), byte(0xBF), byte(0xD7), byte(0xF7)})
        EXPECT_TRUE(isPunctChar(c)) << int(c);
    for (char c : {'a', 'Z', '0', ' ', '\n', byte(0xA0), byte(0xAD), byte(0xAA), byte(0xB5), byte(0xE9), byte(0x7F)})
        EXPECT_FALSE(isPunctChar(c)) << int(c);
}

TEST(PlatformHelpers, BusySectionsBalanceAcrossThreads)
{
    const std::int32_t start = busySectionCount();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 10000; ++i) {
                beginBusySection();
                endBusySection();
            }
        });
    beginBusySection();
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(busySectionCount(), start + 1);
    endBusySection();
    EXPECT_EQ(busySectionCount(), start);
}
