#include "engine/bookfile/cBkWordAttributeDefs.h"

#include <gtest/gtest.h>

TEST(BkWordAttributeDefs, FieldsByPosition)
{
    cBkWordAttributeDefs d("a=1,Lemma,L:,,lemma:");
    ASSERT_EQ(1, d.definitionCount());
    EXPECT_EQ("a", d.key(0));
    EXPECT_EQ(1, d.fieldAsInteger(0));
    EXPECT_EQ("Lemma", d.humanReadableName(0));
    EXPECT_EQ("L:", d.searchPrefix(0));
    EXPECT_EQ("", d.renderField(0));
    EXPECT_EQ("lemma:", d.syncPrefix(0));
    EXPECT_EQ("", d.testamentScope(0));
    EXPECT_TRUE(d.flagField(0));
    EXPECT_EQ(1, d.maxFieldValue());
}

TEST(BkWordAttributeDefs, RecordsWithoutEqualsAreSkipped)
{
    cBkWordAttributeDefs d("m=7,Morph,M:,r,s,OT,x,link,No&junk&x=12,Lex,X:,,,both,,,TRUE");
    ASSERT_EQ(2, d.definitionCount());
    EXPECT_EQ("m", d.key(0));
    EXPECT_EQ("x", d.key(1));
    EXPECT_EQ("ot", d.testamentScope(0));
    EXPECT_EQ("", d.testamentScope(1));
    EXPECT_EQ("link", d.linkType(0));
    EXPECT_FALSE(d.flagField(0));
    EXPECT_TRUE(d.flagField(1));
    EXPECT_EQ(12, d.maxFieldValue());
    EXPECT_EQ("", d.key(2));
    EXPECT_EQ("", d.key(-1));
    EXPECT_EQ("", d.field(2, 0));
    EXPECT_EQ("", d.field(0, 9));
    EXPECT_EQ("", d.field(0, -1));
}

TEST(BkWordAttributeDefs, EmptyAndNegative)
{
    cBkWordAttributeDefs empty("");
    EXPECT_EQ(0, empty.definitionCount());
    EXPECT_EQ(0, empty.maxFieldValue());
    cBkWordAttributeDefs negative("a=-5&b=x=y");
    EXPECT_EQ(2, negative.definitionCount());
    EXPECT_EQ(0, negative.maxFieldValue());
    EXPECT_EQ("x", negative.field(1, 0));
}
