#include "engine/foundation/cLObjectArray.h"
#include "engine/foundation/cLPtrArray.h"
#include "engine/foundation/cLStringTmpl.h"

#include <gtest/gtest.h>

namespace {

// Counts live instances, so tests see every copy deleted exactly once.
struct Tracked {
    static inline int live = 0;
    int value;
    explicit Tracked(int v) : value(v) { ++live; }
    Tracked(const Tracked& o) : value(o.value) { ++live; }
    ~Tracked() { --live; }
    bool operator==(const Tracked& o) const { return value == o.value; }
};

}  // namespace

TEST(cLPtrArray, HoldsPointersWithoutOwningThem)
{
    int a = 1, b = 2;
    cLPtrArray p;
    EXPECT_EQ(p.lastIndex(), -1);
    EXPECT_EQ(p.append(&a), 1);
    EXPECT_EQ(p.append(&b), 1);
    EXPECT_EQ(p.elementAt(1), &b);
    EXPECT_EQ(p.at(0), &a);
    EXPECT_EQ(p.elementAt(2), nullptr);
    EXPECT_EQ(p.elementAt(-1), nullptr);
    EXPECT_EQ(p.find(&b), 1);
    p.setAt(4, &a);
    EXPECT_EQ(p.elementAt(3), nullptr);
    EXPECT_EQ(p.count(), 5);
}

TEST(cLObjectArray, OwnsCopiesAndDeletesThem)
{
    {
        cLObjectArray<Tracked> arr;
        Tracked one(1);
        EXPECT_EQ(arr.addCopy(one), 1);
        EXPECT_EQ(arr.addCopy(Tracked(2)), 1);
        EXPECT_EQ(Tracked::live, 3);
        EXPECT_NE(arr.elementAt(0), &one);
        EXPECT_EQ(arr.elementAt(1)->value, 2);
        EXPECT_EQ(arr.at(2), nullptr);
        EXPECT_EQ(arr.elementAt(-1), nullptr);

        EXPECT_EQ(arr.replaceAt(0, Tracked(10)), 1);
        EXPECT_EQ(arr.elementAt(0)->value, 10);
        EXPECT_EQ(Tracked::live, 3);
        EXPECT_EQ(arr.replaceAt(-1, Tracked(5)), 0);
        EXPECT_EQ(Tracked::live, 3);
        EXPECT_EQ(arr.replaceAt(3, Tracked(30)), 1);  // beyond the end: a null gap
        EXPECT_EQ(arr.elementAt(2), nullptr);
        EXPECT_EQ(arr.count(), 4);
        EXPECT_EQ(arr.indexOf(Tracked(30)), 3);
        EXPECT_EQ(arr.indexOf(Tracked(99)), -1);

        cLObjectArray<Tracked> copy(arr);  // the null gap is kept, so indexes match
        EXPECT_EQ(copy.count(), 4);
        EXPECT_EQ(copy.elementAt(2), nullptr);
        EXPECT_EQ(copy.elementAt(3)->value, 30);
        EXPECT_EQ(Tracked::live, 7);
        copy.removeAt(0);
        EXPECT_EQ(copy.elementAt(0)->value, 2);
        EXPECT_EQ(Tracked::live, 6);
        copy.setCapacity(1);  // drops, and deletes, the elements beyond
        EXPECT_EQ(copy.count(), 1);
        EXPECT_EQ(Tracked::live, 5);
        arr.removeAll();
        EXPECT_EQ(arr.count(), 0);
        EXPECT_EQ(Tracked::live, 2);
    }
    EXPECT_EQ(Tracked::live, 0);
}

TEST(cLObjectArray, StringsIndexOfIsCaseSensitive)
{
    cLObjectArray<cLStringTmpl<char>> arr;
    arr.addCopy(cLStringTmpl<char>("Alpha"));
    arr.addCopy(cLStringTmpl<char>("beta"));
    arr.addCopy(cLStringTmpl<char>(""));
    EXPECT_EQ(arr.indexOf(cLStringTmpl<char>("beta")), 1);
    EXPECT_EQ(arr.indexOf(cLStringTmpl<char>("alpha")), -1);
    EXPECT_EQ(arr.indexOf(cLStringTmpl<char>("")), 2);
    cLObjectArray<cLStringTmpl<char>> other;
    other.addCopy(cLStringTmpl<char>("x"));
    other.assign(arr);
    EXPECT_EQ(other.count(), 3);
    EXPECT_TRUE(other.elementAt(0)->equalsCStr("Alpha"));
    other.assign(other);
    EXPECT_EQ(other.count(), 3);
}
