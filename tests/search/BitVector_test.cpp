#include "search/core/BitVector.h"

#include <gtest/gtest.h>

TEST(BitVector, WithoutAVectorEverythingIsNeutral)
{
    BitVector none;
    EXPECT_EQ(none.getCBitVector(), nullptr);
    EXPECT_EQ(none.size(), 0u);
    EXPECT_EQ(none.count(true), 0u);
    EXPECT_EQ(none.countFrom(0, 10, true), 0u);
    EXPECT_FALSE(none.anyFrom(0, 10));
    EXPECT_EQ(none.first(true), cBitVector::kNone);
    EXPECT_EQ(none.nextAfter(cBitVector::kNone, true), cBitVector::kNone);
    EXPECT_EQ(none.nth(0, true), cBitVector::kNone);
    EXPECT_EQ(none.andBit(true, 0), 0u);
    BitVector other(10);
    none.setFromPosition(1, 2);
    none.clearAll();
    none.clear(1);
    none.flip();
    none.reallocate(20);
    none.andVector(other);
    none.orVector(other);
    none.copy(other);
    none.mask(&other);
    other.andVector(none);  // an argument without a vector changes nothing
    other.mask(nullptr);
    EXPECT_EQ(other.count(false), 10u);
}

TEST(BitVector, ForwardsToTheWrappedVector)
{
    BitVector a(20), b(20);
    a.setFromPosition(3, 3);  // one bit, with equal ends
    a.setFromPosition(10, 12);
    b.setFromPosition(11, 15);
    EXPECT_EQ(a.count(true), 4u);
    EXPECT_EQ(a.first(true), 3u);
    EXPECT_EQ(a.nextAfter(3, true), 10u);
    EXPECT_EQ(a.nth(3, true), 12u);
    EXPECT_TRUE(a.anyFrom(0, 3));
    EXPECT_EQ(a.countFrom(9, 11, false), 1u);

    BitVector c(20);
    c.copy(a);
    c.andVector(b);
    EXPECT_EQ(c.count(true), 2u);
    c.copy(a);
    c.orVector(b);
    EXPECT_EQ(c.count(true), 7u);
    c.copy(a);
    c.mask(&b);
    EXPECT_EQ(c.count(true), 2u);
    c.flip();
    EXPECT_EQ(c.count(true), 18u);
    c.clear(0);
    EXPECT_EQ(c.andBit(false, 1), 0u);
    EXPECT_EQ(c.count(true), 16u);
    c.clearAll();
    EXPECT_EQ(c.count(true), 0u);
    c.reallocate(40);
    EXPECT_EQ(c.size(), 40u);

    auto* replacement = new cBitVector(5);
    c.setCBitVector(replacement);  // takes ownership
    EXPECT_EQ(c.getCBitVector(), replacement);
    EXPECT_EQ(c.size(), 5u);
    c.setCBitVector(replacement);  // the same vector again is not destroyed
    EXPECT_EQ(c.size(), 5u);
}
