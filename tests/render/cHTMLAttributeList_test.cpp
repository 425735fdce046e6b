#include "render/cHTMLAttributeList.h"

#include <gtest/gtest.h>

TEST(cHTMLAttributeList, CodedAndPooledEntries)
{
    cHTMLAttributeList list;
    EXPECT_EQ(list.addNamedStringValue("ALIGN", "left"), 1);
    EXPECT_EQ(list.addNamedStringValue("data-Id", "Left"), 1);
    EXPECT_EQ(list.addCodedCodedValue(46, 63), 1);
    EXPECT_EQ(list.addCodedStringValue(112, ""), 1);
    ASSERT_EQ(list.count(), 4);
    EXPECT_EQ(list.nameEntryAt(0), 9);
    EXPECT_EQ(list.valueEntryAt(0), 47);
    EXPECT_LT(list.nameEntryAt(1), 0);
    EXPECT_LT(list.valueEntryAt(1), 0);
    EXPECT_EQ(list.nameAt(1), "data-Id");  // pooled as given
    EXPECT_EQ(list.valueAt(1), "Left");
    EXPECT_EQ(list.valueForName("DATA-ID"), "Left");
    EXPECT_EQ(list.valueForCode(46), "now");
    EXPECT_EQ(list.rawValueForCode(46), 63);
    EXPECT_LT(list.rawValueForCode(112), 0);  // the empty text is pooled, never coded
    EXPECT_EQ(list.valueForCode(112), "");
    EXPECT_EQ(list.rawValueForCode(3), 0);
    EXPECT_EQ(list.nameAt(9), "");
    EXPECT_EQ(list.valueAt(-1), "");
    EXPECT_TRUE(list.hasName("Align"));
    EXPECT_TRUE(list.hasCode(112));
    EXPECT_FALSE(list.hasCode(3));
    EXPECT_EQ(list.indexOfName("nothing"), -1);
}

TEST(cHTMLAttributeList, NegativeCodesAreRefused)
{
    cHTMLAttributeList list;
    EXPECT_EQ(list.addCodedCodedValue(-1, 3), 0);
    EXPECT_EQ(list.addCodedCodedValue(3, -1), 0);
    EXPECT_EQ(list.addNamedCodedValue("x", -5), 0);
    EXPECT_EQ(list.addCodedStringValue(-2, "v"), 0);
    EXPECT_EQ(list.count(), 0);
    EXPECT_STREQ(cHTMLAttributeList::attributeNameForCode(-3), "");
    EXPECT_STREQ(cHTMLAttributeList::valueTextForCode(-3), "");
}

TEST(cHTMLAttributeList, NamesStayUnique)
{
    cHTMLAttributeList list;
    list.addNamedStringValue("class", "a");
    list.addNamedStringValue("Class", "b");
    list.addNamedStringValue("x-y", "1");
    list.addNamedStringValue("X-Y", "2");
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.valueForName("class"), "b");
    EXPECT_EQ(list.valueForName("x-y"), "2");
    EXPECT_EQ(list.nameAt(1), "X-Y");
}

TEST(cHTMLAttributeList, RemovalKeepsTheOtherTexts)
{
    cHTMLAttributeList list;
    list.addNamedStringValue("n1", "v1");
    list.addNamedStringValue("href", "v2");
    list.addNamedStringValue("n3", "");
    list.addNamedStringValue("n4", "v4");
    list.removeAt(0);
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.valueForName("href"), "v2");
    EXPECT_EQ(list.nameAt(2), "n4");
    EXPECT_EQ(list.valueAt(2), "v4");
    EXPECT_EQ(list.removeByName("n3"), 1);
    EXPECT_EQ(list.removeByName("absent"), 1);
    EXPECT_EQ(list.removeByCode(60), 1);
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list.nameAt(0), "n4");
    EXPECT_EQ(list.valueAt(0), "v4");
    list.removeAt(5);
    EXPECT_EQ(list.count(), 1);
    cHTMLAttributeList copy(list);
    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(copy.valueForName("n4"), "v4");
}

TEST(cHTMLAttributeList, LongTextsDoNotSpillIntoOtherFields)
{
    // A packed offset/length would wrap at 32 KB of pool or 64 KB of text.
    cHTMLAttributeList list;
    const std::string big(70000, 'x');
    const std::string other(40000, 'y');
    list.addCodedStringValue(112, big);
    list.addNamedStringValue("title-x", other);
    list.addNamedStringValue("after", "tail");
    EXPECT_EQ(list.valueForCode(112), big);
    EXPECT_EQ(list.valueForName("title-x"), other);
    EXPECT_EQ(list.valueForName("after"), "tail");
    list.removeByCode(112);
    EXPECT_EQ(list.valueForName("title-x"), other);
    EXPECT_EQ(list.valueForName("after"), "tail");
}
