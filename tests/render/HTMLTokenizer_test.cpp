#include "render/HTMLTokenizer.h"

#include <gtest/gtest.h>

namespace {

struct Tokenized {
    HTMLTagCode code = -999;
    cHTMLAttributeList attributes;
    std::string name;
};

Tokenized tokenize(std::string_view token, bool splitStyle = true)
{
    Tokenized t;
    t.attributes.addNamedStringValue("stale", "x");  // must be cleared
    tokenizeTag(token, t.code, t.attributes, &t.name, splitStyle);
    return t;
}

}  // namespace

TEST(HTMLTokenizer, TagCodes)
{
    EXPECT_EQ(tokenize("<br/>").code, 9);
    EXPECT_EQ(tokenize("</p>").code, -46);
    EXPECT_EQ(tokenize("<p/>").code, 46);
    EXPECT_EQ(tokenize("<H1>").code, 20);
    EXPECT_EQ(tokenize("<qs-sync type=verse>").code, 54);
    EXPECT_EQ(tokenize("<blink>").code, 0);
    EXPECT_EQ(tokenize("<p").code, 0);  // no closing bracket
    EXPECT_EQ(tokenize("<").code, 0);
    Tokenized empty = tokenize("");
    EXPECT_EQ(empty.code, 0);
    EXPECT_EQ(empty.attributes.count(), 0);
    Tokenized named = tokenize("</TD >");
    EXPECT_EQ(named.code, -66);
    EXPECT_EQ(named.name, "td");
    EXPECT_EQ(named.attributes.count(), 0);
}

TEST(HTMLTokenizer, Attributes)
{
    Tokenized a = tokenize("<a href='x y' target=_top>");
    EXPECT_EQ(a.code, 1);
    ASSERT_EQ(a.attributes.count(), 2);
    EXPECT_EQ(a.attributes.valueForName("href"), "x y");
    EXPECT_EQ(a.attributes.valueForName("target"), "_top");
    EXPECT_LT(a.attributes.rawValueForCode(60), 0);  // pooled

    Tokenized td = tokenize("<td align=left>");
    EXPECT_EQ(td.attributes.rawValueForCode(9), 47);  // value code of "left"

    Tokenized mixed = tokenize("<img SRC = \"a.png\" ismap alt='it\"s' width=10 class=a class=b>");
    EXPECT_EQ(mixed.attributes.valueForName("src"), "a.png");
    EXPECT_TRUE(mixed.attributes.hasName("ismap"));
    EXPECT_EQ(mixed.attributes.valueForName("ismap"), "");
    EXPECT_EQ(mixed.attributes.valueForName("alt"), "it\"s");
    EXPECT_EQ(mixed.attributes.valueForName("width"), "10");
    EXPECT_EQ(mixed.attributes.valueForName("class"), "b");  // later one wins, one entry
    EXPECT_EQ(mixed.attributes.count(), 5);

    Tokenized unterminated = tokenize("<a title='open>");
    EXPECT_EQ(unterminated.attributes.valueForName("title"), "open");
    Tokenized entities = tokenize("<a title='&amp;'>");  // values are taken as written
    EXPECT_EQ(entities.attributes.valueForName("title"), "&amp;");
}

TEST(HTMLTokenizer, StyleSplitting)
{
    Tokenized t = tokenize("<p style=\"color: red; font-size:12pt\">");
    EXPECT_FALSE(t.attributes.hasName("style"));
    EXPECT_EQ(t.attributes.valueForName("color"), "red");
    EXPECT_EQ(t.attributes.valueForName("font-size"), "12pt");
    EXPECT_EQ(t.attributes.count(), 2);
    Tokenized kept = tokenize("<p style=\"color: red\">", false);
    EXPECT_EQ(kept.attributes.valueForName("style"), "color: red");
    Tokenized noColon = tokenize("<p style=\"bogus\">");
    EXPECT_EQ(noColon.attributes.count(), 0);
}

TEST(HTMLTokenizer, TextTokens)
{
    auto text = [](std::string_view token) { return tokenize(token).attributes.valueForCode(112); };
    EXPECT_EQ(tokenize("a").code, 75);
    EXPECT_EQ(text("a \r\n  b"), "a b");
    EXPECT_EQ(text("a\nb"), "a\nb");
    EXPECT_EQ(text("x&lt;y&eacute;"), "x<y\xC3\xA9");
    EXPECT_EQ(text("&amp"), "&");
    EXPECT_EQ(text("&ampx &bogus; &#65 b"), "&ampx &bogus; A b");
    EXPECT_EQ(text("caf\xE9"), "caf\xC3\xA9");                // a stray Latin-1 byte becomes UTF-8
    EXPECT_EQ(text("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");  // characters above U+FFFF are kept
    Tokenized space = tokenize("  ");
    EXPECT_EQ(space.attributes.valueForCode(112), " ");
    EXPECT_EQ(space.attributes.rawValueForCode(65), 123);
    EXPECT_EQ(space.attributes.nameAt(0), "is_whitespace");
    EXPECT_FALSE(tokenize("a ").attributes.hasCode(65));
    EXPECT_EQ(tokenize("x").name, "");
}

TEST(HTMLTokenizer, AttributeCountIsBounded)
{
    std::string token = "<p";
    for (int i = 0; i < 5000; ++i)
        token += " a" + std::to_string(i) + "=" + std::to_string(i);
    token += ">";
    Tokenized t = tokenize(token);
    EXPECT_EQ(t.code, 46);
    EXPECT_EQ(t.attributes.count(), kMaxAttributesPerTag);
    EXPECT_EQ(t.attributes.valueForName("a0"), "0");
}
