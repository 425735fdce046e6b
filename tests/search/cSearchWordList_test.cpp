#include "search/core/cSearchWordList.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

std::vector<uint8_t> writeToBytes(cSearchWordList& list)
{
    std::FILE* f = std::tmpfile();
    EXPECT_TRUE(list.serialize(1, f));
    std::vector<uint8_t> bytes(static_cast<std::size_t>(std::ftell(f)));
    std::rewind(f);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    return bytes;
}

bool readFromBytes(cSearchWordList& list, const std::vector<uint8_t>& bytes)
{
    std::FILE* f = std::tmpfile();
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    const bool ok = list.serialize(0, f);
    std::fclose(f);
    return ok;
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        out.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

void putString(std::vector<uint8_t>& out, std::u16string_view s)
{
    put32(out, 1);
    put32(out, static_cast<uint32_t>(s.size()));
    for (char16_t c : s) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
}

void expectSameForm(const AnItem& a, const AnItem& b)
{
    EXPECT_EQ(a.hasWord, b.hasWord);
    EXPECT_EQ(a.isCanonicalNumber, b.isCanonicalNumber);
    EXPECT_EQ(a.wordNumber, b.wordNumber);
    EXPECT_EQ(a.word, b.word);
    EXPECT_EQ(a.attribute, b.attribute);
    EXPECT_EQ(a.variantCount(), b.variantCount());
}

}  // namespace

TEST(cSearchWordList, ItemsFormsAndVariants)
{
    cSearchWordList list;
    EXPECT_EQ(list.count(), 0u);
    EXPECT_EQ(list.capacity(), 1u);
    EXPECT_EQ(list.addItem(true, u"love", 0, false, nullptr), 0);
    EXPECT_EQ(list.addItem(false, nullptr, 1234, true, u"G25"), 0);
    EXPECT_EQ(list.capacity(), 11u);  // grows by ten slots
    EXPECT_EQ(list.count(), 2u);

    const AnItem& text = list.itemAt(0);
    EXPECT_EQ(text.hasWord, 1);
    EXPECT_EQ(text.wordNumber, AnItem::kNoWordNumber);
    EXPECT_EQ(text.word, u"love");
    EXPECT_TRUE(text.attribute.empty());
    const AnItem& numbered = list.itemAt(1);
    EXPECT_EQ(numbered.hasWord, 0);
    EXPECT_EQ(numbered.isCanonicalNumber, 1);
    EXPECT_EQ(numbered.wordNumber, 1234u);
    EXPECT_TRUE(numbered.word.empty());
    EXPECT_EQ(numbered.attribute, u"G25");

    EXPECT_EQ(list.formCount(0), 1u);
    EXPECT_EQ(list.addVariant(0, u"loved", 0xFFFFFFFFu, false, nullptr), 1u);
    EXPECT_EQ(list.addVariant(0, nullptr, 77, false, u"H1"), 2u);
    EXPECT_EQ(list.addVariant(5, u"x", 0, false, nullptr), 0u);  // past the end: nothing added
    EXPECT_EQ(list.formCount(0), 3u);
    EXPECT_EQ(list.itemForm(0, 1).word, u"loved");
    EXPECT_EQ(list.itemForm(0, 2).wordNumber, 77u);
    EXPECT_EQ(&list.itemForm(0, 5), &list.itemAt(0));  // beyond the variants: the item
    EXPECT_EQ(&list.itemForm(0, 0), &list.itemAt(0));

    EXPECT_EQ(list.setForm(0, 2, u"lovest", 9, false, u"V"), 0);
    EXPECT_EQ(list.itemForm(0, 2).word, u"lovest");
    EXPECT_EQ(list.itemForm(0, 2).hasWord, 1);
    EXPECT_EQ(list.setForm(0, 9, nullptr, 5, true, nullptr), 0);  // falls back to the item
    EXPECT_EQ(list.itemAt(0).hasWord, 0);
    EXPECT_EQ(list.itemAt(0).wordNumber, 5u);
    EXPECT_EQ(list.itemAt(0).variantCount(), 2u);
    EXPECT_EQ(list.setForm(2, 0, u"x", 0, false, nullptr), 1);
    EXPECT_EQ(list.setItem(1, true, u"peace", 0, false, nullptr), 0);
    EXPECT_EQ(list.itemAt(1).word, u"peace");
    EXPECT_EQ(list.itemAt(1).wordNumber, AnItem::kNoWordNumber);

    list.removeAll();
    EXPECT_EQ(list.count(), 0u);
    EXPECT_EQ(list.capacity(), 11u);
    list.appendItem(u"grace", 0xFFFFFFFFu, false, nullptr);
    EXPECT_EQ(list.count(), 1u);
    EXPECT_EQ(list.formCount(0), 1u);
}

TEST(cSearchWordList, BareWildcard)
{
    cSearchWordList list;
    list.addItem(true, u"*", 0, false, nullptr);
    list.addItem(true, u"*", 0, false, u"G25");
    list.addItem(true, u"love", 0, false, nullptr);
    list.addVariant(2, u"*", 0xFFFFFFFFu, false, nullptr);
    list.addItem(false, nullptr, 42, false, nullptr);
    EXPECT_TRUE(list.hasBareWildcard(0));
    EXPECT_FALSE(list.hasBareWildcard(1));  // "*" with an attribute is not bare
    EXPECT_TRUE(list.hasBareWildcard(2));   // through a variant
    EXPECT_FALSE(list.hasBareWildcard(3));
    EXPECT_FALSE(list.hasBareWildcard(4));
}

TEST(cSearchWordList, RecordRoundTripAndExactBytes)
{
    cSearchWordList list;
    list.addItem(true, u"lo", 0, false, nullptr);
    list.addVariant(0, u"L", 3, true, u"G1");
    list.addItem(false, nullptr, 0x01020304, true, u"\u05D0");

    std::vector<uint8_t> expected;
    put32(expected, 2);
    put32(expected, 11);
    put32(expected, 2);
    expected.insert(expected.end(), {1, 0});
    put32(expected, 0xFFFFFFFFu);
    putString(expected, u"lo");
    putString(expected, u"");
    put32(expected, 1);
    expected.insert(expected.end(), {1, 1});
    put32(expected, 3);
    putString(expected, u"L");
    putString(expected, u"G1");
    expected.insert(expected.end(), {0, 1});
    put32(expected, 0x01020304);
    putString(expected, u"");
    putString(expected, u"\u05D0");
    put32(expected, 0);
    const auto bytes = writeToBytes(list);
    EXPECT_EQ(bytes, expected);

    cSearchWordList back;
    back.addItem(true, u"old", 0, false, nullptr);
    ASSERT_TRUE(readFromBytes(back, bytes));
    ASSERT_EQ(back.count(), 2u);
    EXPECT_EQ(back.capacity(), 11u);
    for (uint32_t i = 0; i < 2; ++i) {
        ASSERT_EQ(back.formCount(i), list.formCount(i));
        for (uint32_t j = 0; j < list.formCount(i); ++j)
            expectSameForm(back.itemForm(i, j), list.itemForm(i, j));
    }
    // Every proper prefix fails cleanly.
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        cSearchWordList partial;
        EXPECT_FALSE(readFromBytes(partial, std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n))));
        EXPECT_LE(partial.count(), 2u);
    }
}

TEST(cSearchWordList, ReadsVersionOneAndRejectsBadRecords)
{
    std::vector<uint8_t> v1;
    put32(v1, 1);
    put32(v1, 1);
    put32(v1, 1);
    v1.insert(v1.end(), {1, 0});
    put32(v1, 0xFFFFFFFFu);
    putString(v1, u"grace");
    putString(v1, u"");
    cSearchWordList list;
    ASSERT_TRUE(readFromBytes(list, v1));
    ASSERT_EQ(list.count(), 1u);
    EXPECT_EQ(list.itemAt(0).word, u"grace");
    EXPECT_EQ(list.formCount(0), 1u);

    auto bad = v1;
    bad[0] = 3;  // unknown version
    EXPECT_FALSE(readFromBytes(list, bad));

    bad = v1;
    bad[4] = 0;  // count 1 above capacity 0
    EXPECT_FALSE(readFromBytes(list, bad));

    bad = v1;
    bad[18] = 2;  // string record whose first word is not 1
    EXPECT_FALSE(readFromBytes(list, bad));

    // A string record claiming far more units than the file holds fails without
    // allocating for the claim.
    std::vector<uint8_t> huge;
    put32(huge, 2);
    put32(huge, 1);
    put32(huge, 1);
    huge.insert(huge.end(), {1, 0});
    put32(huge, 0xFFFFFFFFu);
    put32(huge, 1);
    put32(huge, 0xFFFFFFF0u);
    EXPECT_FALSE(readFromBytes(list, huge));

    // A string record without its terminating 0.
    std::vector<uint8_t> unterminated;
    put32(unterminated, 2);
    put32(unterminated, 1);
    put32(unterminated, 1);
    unterminated.insert(unterminated.end(), {1, 0});
    put32(unterminated, 0xFFFFFFFFu);
    put32(unterminated, 1);
    put32(unterminated, 1);
    unterminated.insert(unterminated.end(), {'a', 0, 'b', 0});
    EXPECT_FALSE(readFromBytes(list, unterminated));

    EXPECT_FALSE(list.serialize(0, nullptr));
}
