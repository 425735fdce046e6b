#include "engine/docbase/cRenderParams.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RenderParams, NewBlockAnswersNoneValues)
{
    cRenderParams p;
    EXPECT_EQ(p.options(), 0x4000u);
    EXPECT_EQ(p.requests(), 0u);
    EXPECT_EQ(p.firstBlockOfPair(), 0u);  // the block pair counts as present with both values 0
    EXPECT_EQ(p.secondBlockOfPair(), 0u);
    EXPECT_EQ(p.getOption0008(), 0xFFFFFFFFu);
    EXPECT_EQ(p.getOption0100(), 0xFFFFFFFFu);
    EXPECT_EQ(p.getOption8000First(), 0xFFFFFFFFu);
    EXPECT_EQ(p.getOption8000Second(), 0xFFFFFFFFu);
    EXPECT_EQ(p.getOption0002(), 0u);
    EXPECT_EQ(p.getOption01000000(), 0u);
    EXPECT_EQ(p.getOption0040Publisher(), 0);
    EXPECT_EQ(p.getOption0001(), nullptr);
    EXPECT_EQ(p.getOption0004(), nullptr);
    EXPECT_EQ(p.getOption0010(), nullptr);
    EXPECT_EQ(p.getOption0080(), nullptr);
    EXPECT_STREQ(p.getOption0020(), "");
    EXPECT_FALSE(p.testOptions(p.options(), 0));
    p.setOptions(0);
    EXPECT_TRUE(p.testOptions(p.options(), 0));
    p.setRequests(cRenderParams::kNextChapter);
    EXPECT_FALSE(p.testOptions(p.options(), 0));
    EXPECT_TRUE(p.testOptions(p.requests(), cRenderParams::kNextChapter | cRenderParams::kNextBook));
    EXPECT_FALSE(p.testOptions(p.requests(), cRenderParams::kPreviousVerse));
}

TEST(RenderParams, SettersSetTheirBitsAndGettersAnswerValues)
{
    cRenderParams p;
    p.setOption0001("John 3:16");
    p.setOption0002(0xFF2B0310);  // only the low 24 bits are a key
    p.setOption0004("bible:43:3:16");
    p.setOption0008(1234);
    p.setOption0010(cSimpleDate(2, 29, 2024));
    p.setOption0040(1, 101, 255);
    p.setOption0100(7);
    const unsigned short wide[] = {0x05D0, 0x05D1, 0};
    p.setOption0080(wide);
    p.setOption04000000(11);
    p.setOption08000000(12);
    EXPECT_STREQ(p.getOption0001(), "John 3:16");
    EXPECT_EQ(p.getOption0002(), 0x2B0310u);
    EXPECT_STREQ(p.getOption0004(), "bible:43:3:16");
    EXPECT_EQ(p.getOption0008(), 1234u);
    ASSERT_NE(p.getOption0010(), nullptr);
    EXPECT_EQ(p.getOption0010()->day(), 29);
    EXPECT_EQ(p.getOption0040Book(), 101);
    EXPECT_EQ(p.getOption0040Edition(), 255);
    EXPECT_EQ(p.getOption0100(), 7u);
    ASSERT_NE(p.getOption0080(), nullptr);
    EXPECT_EQ(p.getOption0080()[1], 0x05D1);
    EXPECT_EQ(p.getOption04000000(), 11u);
    EXPECT_EQ(p.getOption08000000(), 12u);
    EXPECT_EQ(p.options(), 0x1u | 0x2 | 0x4 | 0x8 | 0x10 | 0x40 | 0x80 | 0x100 | 0x4000 | 0x4000000 | 0x8000000);

    p.setOption0040WithValue(1, 23, 1, 42);
    EXPECT_EQ(p.getOption01000000(), 42u);
    EXPECT_TRUE(p.testOptions(p.options(), 0x00800000));
    p.setOption0200();
    p.setOption1000();
    EXPECT_TRUE(p.testOptions(p.options(), 0x200));
    EXPECT_TRUE(p.testOptions(p.options(), 0x1000));
}

TEST(RenderParams, AnchorAndTexts)
{
    cRenderParams p;
    p.setOption0020("2b0310");
    EXPECT_STREQ(p.getOption0020(), "2b0310");
    p.setOption0020(nullptr);  // null changes nothing
    EXPECT_STREQ(p.getOption0020(), "2b0310");
    p.setOption0020("");
    EXPECT_FALSE(p.testOptions(p.options(), cRenderParams::kAnchor));
    EXPECT_STREQ(p.getOption0020(), "");
    p.setOption0001("x");
    p.setOption0001(nullptr);
    EXPECT_EQ(p.getOption0001(), nullptr);

    p.setLocationName("Search Results");
    cLString8 name;
    p.getLocationName(name);
    EXPECT_STREQ(name.chars(), "Search Results");
    p.reset();
    p.getLocationName(name);  // copied whatever the bit
    EXPECT_STREQ(name.chars(), "Search Results");
}

TEST(RenderParams, BlockPairAndRangePair)
{
    cRenderParams p;
    p.setOption8000(3, 4);
    EXPECT_EQ(p.getOption8000First(), 3u);
    EXPECT_EQ(p.getOption8000Second(), 4u);
    p.setBlockPair(10, 12);
    EXPECT_FALSE(p.testOptions(p.options(), cRenderParams::kRangePair));
    EXPECT_EQ(p.getOption8000First(), 0xFFFFFFFFu);
    EXPECT_EQ(p.firstBlockOfPair(), 10u);
    EXPECT_EQ(p.secondBlockOfPair(), 12u);
    p.setOptions(0);
    EXPECT_EQ(p.firstBlockOfPair(), 0xFFFFFFFFu);
}

TEST(RenderParams, ResetKeepsValuesButMarksThemAbsent)
{
    cRenderParams p;
    p.setOption0008(99);
    p.setBlockPair(5, 6);
    p.setRequests(cRenderParams::kPreviousBook);
    p.pairs().setValue("anchor1", "");
    p.reset();
    EXPECT_EQ(p.options(), 0x4000u);
    EXPECT_EQ(p.requests(), 0u);
    EXPECT_EQ(p.firstBlockOfPair(), 0u);
    EXPECT_EQ(p.secondBlockOfPair(), 0u);
    EXPECT_EQ(p.getOption0008(), 0xFFFFFFFFu);
    EXPECT_TRUE(p.pairs().isEmpty());
    p.setOptions(p.options() | cRenderParams::kSection);  // the stored value comes back with its bit
    EXPECT_EQ(p.getOption0008(), 99u);
}

TEST(RenderParams, CopyAndAssignCopyEverything)
{
    cRenderParams a;
    a.setOption0001("Ps 23:1");
    a.setOption0008(5);
    a.setOption0020("x1");
    a.setBlockPair(1, 2);
    a.setRequests(cRenderParams::kNextVerse);
    a.pairs().setValue("k", "v");
    cRenderParams b(a);
    cRenderParams c;
    c.assign(a);
    for (const cRenderParams* p : {&b, &c}) {
        EXPECT_STREQ(p->getOption0001(), "Ps 23:1");
        EXPECT_EQ(p->getOption0008(), 5u);
        EXPECT_STREQ(p->getOption0020(), "x1");
        EXPECT_EQ(p->secondBlockOfPair(), 2u);
        EXPECT_EQ(p->requests(), cRenderParams::kNextVerse);
        cLString8 v;
        EXPECT_EQ(p->pairs().findValue("k", v), 1);
        EXPECT_STREQ(v.chars(), "v");
    }
    // The copy owns its texts.
    a.setOption0001("Gen 1:1");
    EXPECT_STREQ(b.getOption0001(), "Ps 23:1");
    c.assign(c);
    EXPECT_STREQ(c.getOption0001(), "Ps 23:1");
}

}  // namespace
