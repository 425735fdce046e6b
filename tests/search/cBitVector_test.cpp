#include "search/core/cBitVector.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr uint32_t kNone = cBitVector::kNone;

std::vector<uint32_t> setPositions(const cBitVector& v)
{
    std::vector<uint32_t> out;
    for (uint32_t p = v.nextAfter(kNone, 1); p != kNone; p = v.nextAfter(p, 1))
        out.push_back(p);
    return out;
}

cBitVector fromPositions(uint32_t size, std::initializer_list<uint32_t> bits)
{
    cBitVector v(size);
    for (uint32_t b : bits)
        v.set(b);
    return v;
}

std::vector<uint8_t> writeToBytes(cBitVector& v)
{
    std::FILE* f = std::tmpfile();
    EXPECT_TRUE(v.serialize(1, f));
    const long size = std::ftell(f);
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    std::rewind(f);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
    return bytes;
}

bool readFromBytes(cBitVector& v, const std::vector<uint8_t>& bytes)
{
    std::FILE* f = std::tmpfile();
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    const bool ok = v.serialize(0, f);
    std::fclose(f);
    return ok;
}

std::vector<uint8_t> le32(std::initializer_list<uint32_t> words)
{
    std::vector<uint8_t> out;
    for (uint32_t w : words)
        for (int k = 0; k < 4; ++k)
            out.push_back(static_cast<uint8_t>(w >> (8 * k)));
    return out;
}

void append(std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
}

// Checks every query of the vector against a plain model of its bits.
void expectMatchesModel(const cBitVector& v, const std::vector<bool>& model)
{
    ASSERT_EQ(v.size(), model.size());
    std::vector<uint32_t> ones, zeros;
    for (uint32_t i = 0; i < model.size(); ++i) {
        ASSERT_EQ(v.test(i), model[i]) << "bit " << i;
        (model[i] ? ones : zeros).push_back(i);
    }
    EXPECT_EQ(v.count(1), ones.size());
    EXPECT_EQ(v.count(0), zeros.size());
    EXPECT_EQ(v.first(1), ones.empty() ? kNone : ones.front());
    EXPECT_EQ(v.last(1), ones.empty() ? kNone : ones.back());
    EXPECT_EQ(v.first(0), zeros.empty() ? kNone : zeros.front());
    EXPECT_EQ(v.last(0), zeros.empty() ? kNone : zeros.back());
    for (int value = 0; value < 2; ++value) {
        const auto& list = value ? ones : zeros;
        uint32_t p = kNone;
        for (uint32_t expected : list) {
            p = v.nextAfter(p, static_cast<uint32_t>(value));
            ASSERT_EQ(p, expected);
        }
        EXPECT_EQ(v.nextAfter(p, static_cast<uint32_t>(value)), kNone);
        p = kNone;
        for (auto it = list.rbegin(); it != list.rend(); ++it) {
            p = v.previousBefore(p, static_cast<uint32_t>(value));
            ASSERT_EQ(p, *it);
        }
        // nth forwards, then backwards, then jumping about.
        for (uint32_t k = 0; k < list.size(); ++k)
            ASSERT_EQ(v.nth(k, static_cast<uint32_t>(value)), list[k]);
        for (uint32_t k = static_cast<uint32_t>(list.size()); k-- > 0;)
            ASSERT_EQ(v.nth(k, static_cast<uint32_t>(value)), list[k]);
        EXPECT_EQ(v.nth(static_cast<uint32_t>(list.size()), static_cast<uint32_t>(value)), kNone);
    }
}

}  // namespace

TEST(cBitVector, EmptyVectorHasNoStorage)
{
    cBitVector v(0);
    EXPECT_FALSE(v.isAllocated());
    EXPECT_EQ(v.count(1), 0u);
    EXPECT_EQ(v.count(0), 0u);
    EXPECT_EQ(v.first(1), kNone);
    EXPECT_EQ(v.last(0), kNone);
    EXPECT_EQ(v.nth(0, 1), kNone);
    EXPECT_EQ(v.previousBefore(kNone, 0), kNone);
    v.set(0);
    v.setAll();
    v.flipAll();
    v.setRange(0, 10);
    EXPECT_EQ(v.count(1), 0u);
    EXPECT_EQ(writeToBytes(v), [] {
        auto b = le32({1, 0, 2});
        append(b, le32({kNone, kNone, kNone, kNone, 0, 0}));
        return b;
    }());
}

TEST(cBitVector, BitOrderIsMostSignificantFirst)
{
    cBitVector v(17);
    v.set(0);
    v.set(9);
    v.set(16);
    v.set(17);  // ignored: past the end
    ASSERT_EQ(v.byteCount(), 3u);
    EXPECT_EQ(v.bytes()[0], 0x80);
    EXPECT_EQ(v.bytes()[1], 0x40);
    EXPECT_EQ(v.bytes()[2], 0x80);
    v.clear(9);
    v.clear(100);
    EXPECT_EQ(v.bytes()[1], 0x00);
    EXPECT_FALSE(v.test(17));
}

TEST(cBitVector, CountsAndCursorsAfterEveryKindOfChange)
{
    cBitVector v(20);
    EXPECT_EQ(v.cachedCount(0), 20u);  // a fresh vector knows its counts
    EXPECT_EQ(v.cachedCount(1), 0u);

    v.set(3);
    EXPECT_EQ(v.cachedCount(1), kNone);
    EXPECT_EQ(v.count(1), 1u);
    EXPECT_EQ(v.cachedCount(0), 19u);  // both counts stored at once

    EXPECT_EQ(v.first(1), 3u);
    EXPECT_EQ(v.cursorPosition(1), 3u);
    EXPECT_EQ(v.cursorOrdinal(1), 0u);
    v.setRange(10, 12);
    EXPECT_EQ(v.cursorPosition(1), kNone);
    EXPECT_EQ(v.last(1), 12u);
    EXPECT_EQ(v.cursorOrdinal(1), 3u);

    v.setAll();
    EXPECT_EQ(v.cachedCount(1), 20u);
    EXPECT_EQ(v.cachedCount(0), 0u);
    EXPECT_EQ(v.cursorPosition(1), kNone);
    v.clearAll();
    EXPECT_EQ(v.cachedCount(0), 20u);

    v.set(5);
    EXPECT_EQ(v.count(1), 1u);
    v.flipAll();  // the counts swap and stay known
    EXPECT_EQ(v.cachedCount(1), 19u);
    EXPECT_EQ(v.cachedCount(0), 1u);
    EXPECT_FALSE(v.test(5));

    EXPECT_EQ(v.andBit(1, 6), 1u);
    EXPECT_EQ(v.cachedCount(1), kNone);
    EXPECT_EQ(v.andBit(0, 6), 0u);
    EXPECT_FALSE(v.test(6));
    EXPECT_EQ(v.andBit(1, 20), 0u);  // out of range
    EXPECT_EQ(v.count(1), 18u);

    v.reallocate(30);  // the added bits are clear; count[0] grows, count[1] kept
    EXPECT_EQ(v.cachedCount(0), 12u);
    EXPECT_EQ(v.cachedCount(1), 18u);
    v.reallocate(10);  // never shrinks
    EXPECT_EQ(v.size(), 30u);
}

TEST(cBitVector, ReallocateClearsSpareBitsOfTheOldLastByte)
{
    cBitVector v(5);
    v.setAll();  // fills the spare bits of the byte too
    v.reallocate(16);
    std::vector<bool> model(16, false);
    for (int i = 0; i < 5; ++i)
        model[i] = true;
    expectMatchesModel(v, model);
}

TEST(cBitVector, RangesClipAndWorkAcrossBytes)
{
    cBitVector v(10);
    v.setRange(5, 2);
    EXPECT_EQ(v.count(1), 0u);
    v.setRange(3, 1000);
    EXPECT_EQ(setPositions(v), (std::vector<uint32_t> {3, 4, 5, 6, 7, 8, 9}));
    v.setRange(10, 12);  // a not below the size
    EXPECT_EQ(v.count(1), 7u);

    cBitVector w(40);
    w.setRange(0, 39);
    EXPECT_EQ(w.count(1), 40u);
    w.clearRange(7, 24);
    EXPECT_EQ(w.countRange(0, 39, 1), 22u);
    EXPECT_EQ(w.countRange(7, 24, 0), 18u);
    EXPECT_EQ(w.countRange(6, 25, 1), 2u);
    EXPECT_EQ(w.countRange(8, 15, 0), 8u);
    EXPECT_EQ(w.countRange(30, 10, 1), 0u);
    EXPECT_EQ(w.countRange(40, 50, 1), 0u);
    EXPECT_EQ(w.countRange(39, 1000, 1), 1u);
    w.flipRange(0, 15);
    EXPECT_EQ(w.countRange(0, 15, 1), 9u);  // 0-6 now clear, 7-15 set
    EXPECT_TRUE(w.test(7));
    EXPECT_FALSE(w.test(6));
    EXPECT_TRUE(w.anyInRange(7, 7));
    EXPECT_FALSE(w.anyInRange(16, 24));
    EXPECT_FALSE(w.anyInRange(0, 6));
    EXPECT_TRUE(w.anyInRange(20, 1000));
    EXPECT_FALSE(w.anyInRange(5, 4));
    EXPECT_FALSE(w.anyInRange(40, 41));
}

TEST(cBitVector, RangesReachingTheLastPossiblePosition)
{
    cBitVector v(64);
    v.setRange(56, 0xFFFFFFFFu);
    EXPECT_EQ(v.count(1), 8u);
    EXPECT_EQ(v.countRange(0, 0xFFFFFFFFu, 1), 8u);
    EXPECT_TRUE(v.anyInRange(60, 0xFFFFFFFFu));
    EXPECT_EQ(v.nextAfter(0xFFFFFFFEu, 1), kNone);
}

TEST(cBitVector, RandomChangesAgreeWithModel)
{
    std::mt19937 rng(7);
    for (uint32_t size : {1u, 7u, 8u, 9u, 63u, 64u, 65u, 200u, 1000u}) {
        cBitVector v(size);
        std::vector<bool> model(size, false);
        for (int step = 0; step < 60; ++step) {
            const uint32_t a = rng() % (size + 3);
            const uint32_t b = rng() % (size + 3);
            switch (rng() % 8) {
            case 0:
                v.set(a);
                if (a < size)
                    model[a] = true;
                break;
            case 1:
                v.clear(a);
                if (a < size)
                    model[a] = false;
                break;
            case 2:
            case 3:
            case 4: {
                const int op = static_cast<int>(rng() % 3);
                if (op == 0)
                    v.setRange(a, b);
                else if (op == 1)
                    v.clearRange(a, b);
                else
                    v.flipRange(a, b);
                if (a <= b && a < size)
                    for (uint32_t i = a; i <= std::min(b, size - 1); ++i)
                        model[i] = op == 0 ? true : op == 1 ? false : !model[i];
                break;
            }
            case 5:
                v.flipAll();
                model.flip();
                break;
            case 6: {
                uint32_t k = rng() % (v.count(1) + 1);
                (void)v.nth(k, 1);  // moves the cursor somewhere
                break;
            }
            default:
                EXPECT_EQ(v.countRange(std::min(a, b), std::max(a, b), 1), [&] {
                    uint32_t c = 0;
                    for (uint32_t i = std::min(a, b); i <= std::max(a, b) && i < size; ++i)
                        c += model[i];
                    return c;
                }());
            }
            if (step % 10 == 9)
                expectMatchesModel(v, model);
        }
        expectMatchesModel(v, model);
    }
}

TEST(cBitVector, NthWalksFromTheCursorOrFromTheNearerEnd)
{
    cBitVector v(31102);
    for (uint32_t p = 5; p < 31102; p += 97)
        v.set(p);
    const uint32_t total = v.count(1);
    // A fresh cache and a k in the upper half: the walk starts at the end.
    EXPECT_EQ(v.nth(total - 1, 1), 5u + 97u * (total - 1));
    EXPECT_EQ(v.cursorOrdinal(1), total - 1);
    EXPECT_EQ(v.nth(total - 2, 1), 5u + 97u * (total - 2));
    EXPECT_EQ(v.nth(3, 1), 5u + 97u * 3);
    EXPECT_EQ(v.nth(3, 1), 5u + 97u * 3);  // same k: no walk
    EXPECT_EQ(v.cursorPosition(1), 5u + 97u * 3);
    EXPECT_EQ(v.nth(total, 1), kNone);
}

TEST(cBitVector, SetOperationsAndUnequalSizes)
{
    cBitVector a = fromPositions(20, {1, 2, 3, 10, 19});
    const cBitVector b = fromPositions(20, {2, 3, 4, 19});
    cBitVector t = a;
    t.andVector(b);
    EXPECT_EQ(setPositions(t), (std::vector<uint32_t> {2, 3, 19}));
    t = a;
    t.orVector(b);
    EXPECT_EQ(setPositions(t), (std::vector<uint32_t> {1, 2, 3, 4, 10, 19}));
    t = a;
    t.xorVector(b);
    EXPECT_EQ(setPositions(t), (std::vector<uint32_t> {1, 4, 10}));
    t = a;
    t.mask(b);
    EXPECT_EQ(setPositions(t), (std::vector<uint32_t> {1, 10}));
    EXPECT_EQ(t.count(1), 2u);  // cache dropped and recomputed

    // A shorter operand: its missing bytes count as clear, nothing is read past it.
    const cBitVector shortOne = fromPositions(8, {1, 2});
    t = a;
    t.andVector(shortOne);
    EXPECT_EQ(setPositions(t), (std::vector<uint32_t> {1, 2}));
    t = a;
    t.orVector(shortOne);
    EXPECT_EQ(setPositions(t), (std::vector<uint32_t> {1, 2, 3, 10, 19}));
    t = a;
    t.mask(shortOne);
    EXPECT_EQ(setPositions(t), (std::vector<uint32_t> {3, 10, 19}));
    // A longer operand: only this vector's bytes are combined.
    cBitVector small = fromPositions(8, {0});
    small.orVector(a);
    EXPECT_EQ(small.size(), 8u);
    EXPECT_EQ(setPositions(small), (std::vector<uint32_t> {0, 1, 2, 3}));
    cBitVector empty;
    empty.orVector(a);
    EXPECT_EQ(empty.count(1), 0u);
}

TEST(cBitVector, WidenCoversTheNeighbourhood)
{
    cBitVector v = fromPositions(20, {10});
    v.widen(2);
    EXPECT_EQ(setPositions(v), (std::vector<uint32_t> {8, 9, 10, 11, 12}));
    v = fromPositions(20, {1});
    v.widen(2);
    EXPECT_EQ(setPositions(v), (std::vector<uint32_t> {0, 1, 2, 3}));
    v = fromPositions(20, {0, 4, 18});
    v.widen(1);
    EXPECT_EQ(setPositions(v), (std::vector<uint32_t> {0, 1, 3, 4, 5, 17, 18, 19}));
    v = fromPositions(20, {5});
    v.widen(0xFFFFFFFFu);
    EXPECT_EQ(v.count(1), 20u);
    v = fromPositions(20, {});
    v.widen(3);
    EXPECT_EQ(v.count(1), 0u);
    EXPECT_EQ(v.size(), 20u);
}

TEST(cBitVector, AssignCopiesBitsAndCache)
{
    cBitVector a = fromPositions(100, {4, 50, 99});
    EXPECT_EQ(a.nth(1, 1), 50u);
    cBitVector b(3);
    b.assign(a);
    EXPECT_EQ(b.size(), 100u);
    EXPECT_EQ(b.cursorPosition(1), 50u);
    EXPECT_EQ(b.cachedCount(1), 3u);
    b.set(0);
    EXPECT_FALSE(a.test(0));  // deep copy
    cBitVector moved(std::move(b));
    EXPECT_TRUE(moved.test(0));
    EXPECT_EQ(b.size(), 0u);
}

TEST(cBitVector, FileFormModeChoiceAndExactBytes)
{
    // 8 bits, one set: C1 = 1 is not below the byte count 1, so raw bytes.
    cBitVector v8 = fromPositions(8, {2});
    auto expected = le32({1, 8, 2});
    expected.push_back(0x20);
    append(expected, le32({kNone, kNone, kNone, kNone, 7, 1}));
    EXPECT_EQ(writeToBytes(v8), expected);

    // 16 bits, one set: a list of set positions, one byte each.
    cBitVector v16 = fromPositions(16, {9});
    EXPECT_EQ(v16.first(1), 9u);
    expected = le32({1, 16, 1, 1});
    expected.push_back(9);
    append(expected, le32({kNone, 0, kNone, 9, 15, 1}));
    EXPECT_EQ(writeToBytes(v16), expected);

    // All set: an empty list of clear positions.
    cBitVector all(24);
    all.setAll();
    expected = le32({1, 24, 0, 0});
    append(expected, le32({kNone, kNone, kNone, kNone, 0, 24}));
    EXPECT_EQ(writeToBytes(all), expected);

    // Position widths: 300 bits -> 2 bytes, 70000 bits -> 3 bytes.
    cBitVector v300 = fromPositions(300, {258});
    auto bytes = writeToBytes(v300);
    ASSERT_EQ(bytes.size(), 16u + 2u + 24u);
    EXPECT_EQ(bytes[16], 0x02);
    EXPECT_EQ(bytes[17], 0x01);
    cBitVector v70000 = fromPositions(70000, {69999});
    bytes = writeToBytes(v70000);
    ASSERT_EQ(bytes.size(), 16u + 3u + 24u);
    EXPECT_EQ(bytes[16], 0x6F);
    EXPECT_EQ(bytes[17], 0x11);
    EXPECT_EQ(bytes[18], 0x01);
    EXPECT_EQ(bitVectorPositionWidth(0xFFFFFFu), 3u);
    EXPECT_EQ(bitVectorPositionWidth(0x1000000u), 4u);
}

TEST(cBitVector, FileFormRoundTrips)
{
    std::mt19937 rng(11);
    for (uint32_t size : {0u, 1u, 8u, 16u, 255u, 256u, 300u, 4099u, 70000u}) {
        for (int density : {0, 1, 50, 99, 100}) {
            cBitVector v(size);
            std::vector<bool> model(size);
            for (uint32_t i = 0; i < size; ++i)
                if (static_cast<int>(rng() % 100) < density) {
                    v.set(i);
                    model[i] = true;
                }
            if (v.count(1) > 2)
                (void)v.nth(2, 1);
            const auto bytes = writeToBytes(v);
            cBitVector back(5);
            ASSERT_TRUE(readFromBytes(back, bytes)) << size << "/" << density;
            expectMatchesModel(back, model);
            EXPECT_EQ(writeToBytes(back).size(), bytes.size());
        }
    }
}

TEST(cBitVector, ReadingKeepsOnlyATrailerThatAgreesWithTheBits)
{
    cBitVector v = fromPositions(16, {3, 9});
    EXPECT_EQ(v.nth(1, 1), 9u);
    auto bytes = writeToBytes(v);
    cBitVector back;
    ASSERT_TRUE(readFromBytes(back, bytes));
    EXPECT_EQ(back.cursorPosition(1), 9u);
    EXPECT_EQ(back.cursorOrdinal(1), 1u);

    // Damage the trailer: wrong counts and a cursor on a clear bit.
    const std::size_t trailer = bytes.size() - 24;
    bytes[trailer + 4] = 0;     // ordinal of set bits 0 ...
    bytes[trailer + 12] = 4;    // ... at position 4, which is clear
    bytes[trailer + 20] = 200;  // count of set bits
    ASSERT_TRUE(readFromBytes(back, bytes));
    EXPECT_EQ(back.cursorPosition(1), kNone);
    EXPECT_EQ(back.count(1), 2u);
    EXPECT_EQ(back.nth(1, 1), 9u);
}

TEST(cBitVector, ReadingRejectsBadAndTruncatedRecords)
{
    cBitVector v = fromPositions(300, {1, 2, 299});
    const auto good = writeToBytes(v);
    for (std::size_t n = 0; n < good.size(); ++n) {
        cBitVector back;
        EXPECT_FALSE(readFromBytes(back, std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(n))))
            << "prefix " << n;
    }
    cBitVector raw = fromPositions(64, {0, 8, 16, 24, 32, 40, 48, 56, 63});
    const auto rawGood = writeToBytes(raw);
    ASSERT_EQ(rawGood[8], 2);
    for (std::size_t n = 0; n < rawGood.size(); ++n) {
        cBitVector back;
        EXPECT_FALSE(
            readFromBytes(back, std::vector<uint8_t>(rawGood.begin(), rawGood.begin() + static_cast<long>(n))));
    }

    auto bad = good;
    bad[0] = 2;  // unknown version
    cBitVector back;
    EXPECT_FALSE(readFromBytes(back, bad));

    // A list longer than the vector cannot be sound.
    auto tooMany = le32({1, 8, 1, 9});
    EXPECT_FALSE(readFromBytes(back, tooMany));

    // A huge declared size is refused before anything is allocated.
    EXPECT_FALSE(readFromBytes(back, le32({1, 0xFFFFFFF0u, 2})));

    // Listed positions past the end are skipped.
    auto odd = le32({1, 10, 1, 3});
    odd.push_back(4);
    odd.push_back(200);
    odd.push_back(9);
    append(odd, le32({kNone, kNone, kNone, kNone, kNone, kNone}));
    ASSERT_TRUE(readFromBytes(back, odd));
    EXPECT_EQ(setPositions(back), (std::vector<uint32_t> {4, 9}));

    // A mode other than the three the record knows is malformed.
    auto unknownMode = odd;
    unknownMode[8] = 7;
    EXPECT_FALSE(readFromBytes(back, unknownMode));

    EXPECT_FALSE(back.serialize(0, nullptr));
}
