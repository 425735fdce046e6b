#include "engine/foundation/cLIntArray.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

std::vector<std::int32_t> values(const cLIntArray& a)
{
    std::vector<std::int32_t> out;
    for (std::int32_t i = 0; i < a.count(); ++i)
        out.push_back(a.getAt(i));
    return out;
}

}  // namespace

TEST(cLIntArray, GrowsOnWriteAndAnswersZeroOutsideTheRange)
{
    cLIntArray a;
    EXPECT_EQ(a.count(), 0);
    EXPECT_EQ(a.lastIndex(), -1);
    EXPECT_EQ(a.capacity(), 0);
    EXPECT_EQ(a.getAt(0), 0);

    EXPECT_EQ(a.setAt(5, 42), 1);
    EXPECT_EQ(a.capacity(), 6);
    EXPECT_EQ(a.count(), 6);
    EXPECT_EQ(a.getAt(5), 42);
    EXPECT_EQ(a.at(5), 42);
    EXPECT_EQ(a.getAt(-1), 0);
    EXPECT_EQ(a.getAt(6), 0);
    EXPECT_EQ(a.getAt(INT_MAX), 0);
    EXPECT_EQ(a.getAt(INT_MIN), 0);
    // The slots a write skips over read as 0, even after earlier values were removed there.
    EXPECT_EQ(values(a), (std::vector<std::int32_t> {0, 0, 0, 0, 0, 42}));
    a.removeAt(5);
    a.removeAt(4);
    a.setAt(5, 7);
    EXPECT_EQ(values(a), (std::vector<std::int32_t> {0, 0, 0, 0, 0, 7}));

    EXPECT_EQ(a.setAt(-1, 1), 0);
    EXPECT_EQ(a.add(8), 1);
    EXPECT_EQ(a.capacity(), 7);  // grow step 1
    a.setCapacity(10, 4);
    a.add(9);
    a.add(10);
    a.add(11);
    a.add(12);
    EXPECT_EQ(a.count(), 11);
    EXPECT_EQ(a.capacity(), 14);  // grew by the new step
    EXPECT_EQ(a.growBy(), 4);
    a.setCapacity(20, 0);  // a step of 0 keeps the old one
    EXPECT_EQ(a.growBy(), 4);
}

TEST(cLIntArray, SetCapacity)
{
    cLIntArray a;
    for (int i = 0; i < 5; ++i)
        a.add(i * 10);
    EXPECT_EQ(a.setCapacity(5), 1);
    EXPECT_EQ(a.setCapacity(-1), 0);
    EXPECT_EQ(a.count(), 5);
    EXPECT_EQ(a.setCapacity(2), 1);
    EXPECT_EQ(values(a), (std::vector<std::int32_t> {0, 10}));
    EXPECT_EQ(a.setCapacity(0), 1);
    EXPECT_EQ(a.count(), 0);
    EXPECT_EQ(a.capacity(), 0);
    EXPECT_EQ(a.setCapacity(cLIntArray::kMaxElements + 1), 0);
    EXPECT_EQ(a.setAt(INT_MAX, 1), 0);  // refused instead of allocating 8 GB
    EXPECT_EQ(a.insertAt(INT_MAX, 1), 0);
    EXPECT_EQ(a.count(), 0);
}

TEST(cLIntArray, InsertRemoveFind)
{
    cLIntArray a;
    EXPECT_EQ(a.insertAt(-1, 1), 0);
    EXPECT_EQ(a.insertAt(2, 30), 1);  // beyond the end: stored there
    EXPECT_EQ(values(a), (std::vector<std::int32_t> {0, 0, 30}));
    EXPECT_EQ(a.insertAt(0, 10), 1);
    EXPECT_EQ(a.insertAt(2, 20), 1);
    EXPECT_EQ(values(a), (std::vector<std::int32_t> {10, 0, 20, 0, 30}));
    a.removeAt(1);
    a.removeAt(-1);
    a.removeAt(4);
    EXPECT_EQ(values(a), (std::vector<std::int32_t> {10, 20, 0, 30}));
    a.add(20);

    EXPECT_EQ(a.find(20), 1);
    EXPECT_EQ(a.find(20, 0, -1), 1);
    EXPECT_EQ(a.find(20, 2), 4);
    EXPECT_EQ(a.find(20, 3, 10), 4);
    EXPECT_EQ(a.find(20, 2, 2), -1);
    EXPECT_EQ(a.find(20, 0, 0), -1);
    EXPECT_EQ(a.find(20, -1), -1);
    EXPECT_EQ(a.find(20, 5), -1);
    EXPECT_EQ(a.find(99), -1);

    cLIntArray b;
    b.add(1);
    EXPECT_EQ(b.assign(a), 1);
    EXPECT_EQ(values(b), values(a));
    cLIntArray c(a);
    a.removeAll();
    EXPECT_EQ(a.count(), 0);
    EXPECT_EQ(a.capacity(), 0);
    EXPECT_EQ(values(c), values(b));
}

TEST(cLIntStack, PushPopReserve)
{
    cLIntStack s;
    std::int32_t out = -7;
    EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(s.pop(out), 0);
    EXPECT_EQ(out, -7);
    s.push(1);
    s.push(2);
    s.push(3);
    EXPECT_EQ(s.topIndex(), 2);
    EXPECT_EQ(s.valueAt(0), 1);
    EXPECT_EQ(s.valueAt(9), 0);
    EXPECT_EQ(s.reserve(2), 0);  // would drop pushed values
    EXPECT_EQ(s.reserve(-1), 0);
    EXPECT_EQ(s.reserve(16, 8), 1);
    EXPECT_EQ(s.pop(out), 1);
    EXPECT_EQ(out, 3);
    EXPECT_EQ(s.pop(out), 1);
    EXPECT_EQ(out, 2);
    s.clear();
    EXPECT_TRUE(s.isEmpty());
    EXPECT_EQ(s.topIndex(), -1);
    EXPECT_EQ(s.pop(out), 0);
}
