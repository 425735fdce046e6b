#include "engine/foundation/cLStringDictionary.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> split(const char* text, const char* separator)
{
    cLObjectArray<cLStringTmpl<char>> pieces;
    pieces.addCopy(cLStringTmpl<char>("stale"));
    splitStringIntoArray(cLStringTmpl<char>(text), separator, pieces);
    std::vector<std::string> out;
    for (std::int32_t i = 0; i < pieces.count(); ++i)
        out.emplace_back(pieces.elementAt(i)->chars());
    return out;
}

}  // namespace

TEST(cLStringDictionary, SetFindReplace)
{
    cLStringDictionary d;
    cLStringTmpl<char> out("stale");
    EXPECT_TRUE(d.isEmpty());
    EXPECT_EQ(d.findValue("a", out), 0);
    EXPECT_TRUE(out.isEmpty());

    EXPECT_EQ(d.setValue("a", "1"), 1);
    EXPECT_EQ(d.setValue("B", "2"), 1);
    EXPECT_EQ(d.setValue("a", "3"), 1);  // existing key: the value is replaced
    EXPECT_EQ(d.count(), 2);
    EXPECT_EQ(d.findValue("a", out), 1);
    EXPECT_TRUE(out.equalsCStr("3"));
    EXPECT_EQ(d.findValue("b", out), 0);  // case-sensitive
    std::int32_t index = 99;
    EXPECT_EQ(d.findValueIndex("B", out, index), 1);
    EXPECT_EQ(index, 1);
    EXPECT_TRUE(out.equalsCStr("2"));
    EXPECT_EQ(d.findValueIndex("zz", out, index), 0);
    EXPECT_EQ(index, -1);

    EXPECT_EQ(d.setValue(nullptr, nullptr), 1);  // the empty key
    EXPECT_EQ(d.findValue("", out), 1);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(d.valueAt(1)->equalsCStr("2"));

    cLStringDictionary copy;
    copy.setValue("x", "y");
    copy.assign(d);
    EXPECT_EQ(copy.count(), 3);
    EXPECT_EQ(copy.findValue("x", out), 0);
    d.removeAll();
    EXPECT_TRUE(d.isEmpty());
    EXPECT_EQ(copy.findValue("B", out), 1);
}

TEST(cLStringDictionary, SplitStringIntoArray)
{
    EXPECT_EQ(split("a,b,", ","), (std::vector<std::string> {"a", "b", ""}));
    EXPECT_EQ(split("a,b", ","), (std::vector<std::string> {"a", "b"}));
    EXPECT_EQ(split("", ","), (std::vector<std::string> {""}));
    EXPECT_EQ(split(",", ","), (std::vector<std::string> {"", ""}));
    EXPECT_EQ(split("a,,b", ","), (std::vector<std::string> {"a", "", "b"}));
    EXPECT_EQ(split("one--two--", "--"), (std::vector<std::string> {"one", "two", ""}));
    EXPECT_EQ(split("a-b", "--"), (std::vector<std::string> {"a-b"}));
    EXPECT_EQ(split("abc", ""), (std::vector<std::string> {"abc"}));
    EXPECT_EQ(split("abc", nullptr), (std::vector<std::string> {"abc"}));
}
