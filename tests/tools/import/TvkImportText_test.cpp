// Reading exports: entry keys and text, the markup tokenizer and its errors, the clean-text check.

#include <gtest/gtest.h>

#include <fstream>

#include <stdlib.h>
#include <unistd.h>

#include "tools/tvkbuild/import/TvkImportText.h"

namespace {

TEST(TvkImportText, ExportSplitsIntoKeyedEntries)
{
    const auto entries = tvkParseExport("$$$Genesis 1:1\r\nIn the\nbeginning\n$$$Genesis 1:2\n\n$$$[ Heading ]\nx");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].key, "Genesis 1:1");
    EXPECT_EQ(entries[0].text, "In the\nbeginning");
    EXPECT_EQ(entries[1].text, "");
    EXPECT_EQ(entries[2].key, "[ Heading ]");
    EXPECT_TRUE(tvkParseExport("text before any key\n").empty());
}

TEST(TvkImportText, ReadingAFileChecksItIsAnExport)
{
    std::vector<TvkImpEntry> entries;
    std::string error;
    EXPECT_FALSE(tvkReadExport("/nonexistent/x.imp", entries, error));
    EXPECT_NE(error.find("cannot read"), std::string::npos);
    char name[] = "/tmp/tvkimport-text-XXXXXX";  // a file of its own: other runs of the test may be reading theirs
    close(mkstemp(name));
    const std::string path = name;
    std::ofstream(path) << "not an export\n";
    EXPECT_FALSE(tvkReadExport(path, entries, error));
    EXPECT_NE(error.find("not an export"), std::string::npos);
    std::ofstream(path) << "$$$A\nb\n";
    EXPECT_TRUE(tvkReadExport(path, entries, error));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].text, "b");
    std::remove(path.c_str());
}

TEST(TvkImportText, TokenizerReadsTagsAttributesAndEntities)
{
    std::vector<TvkMarkupToken> t;
    std::string error;
    ASSERT_TRUE(tvkTokenizeMarkup(
        "a &amp; <w lemma=\"strong:H1 strong:H2\" x='&lt;y&gt;'>b&#233;&#x41;</w><br/><!-- c -->", t, error))
        << error;
    ASSERT_EQ(t.size(), 5u);
    EXPECT_EQ(t[0].type, TvkMarkupToken::Text);
    EXPECT_EQ(t[0].text, "a & ");
    EXPECT_EQ(t[1].type, TvkMarkupToken::Open);
    EXPECT_EQ(t[1].name, "w");
    EXPECT_EQ(t[1].attr("lemma"), "strong:H1 strong:H2");
    EXPECT_EQ(t[1].attr("x"), "<y>");
    EXPECT_EQ(t[1].attr("missing"), "");
    EXPECT_EQ(t[2].text,
        "b\xC3\xA9"
        "A");
    EXPECT_EQ(t[3].type, TvkMarkupToken::Close);
    EXPECT_EQ(t[4].type, TvkMarkupToken::Empty);
    EXPECT_EQ(t[4].name, "br");
}

TEST(TvkImportText, TokenizerRejectsMalformedMarkup)
{
    std::vector<TvkMarkupToken> t;
    for (const char* bad : {"<div", "<div a=\"b", "<div a=b>", "< >", "a > b", "&bogus;", "&amp", "&#0;", "&#xD800;",
             "&#99999999;", "</a/>", "<!-- open", "<a =\"x\">"}) {
        std::string error;
        EXPECT_FALSE(tvkTokenizeMarkup(bad, t, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
}

TEST(TvkImportText, CleanTextCheck)
{
    EXPECT_TRUE(tvkCleanUtf8("plain, espíritu, אב, ἀγάπη\t\n"));
    EXPECT_FALSE(tvkCleanUtf8("\xC3"));               // cut short
    EXPECT_FALSE(tvkCleanUtf8("\xC0\xAF"));           // overlong
    EXPECT_FALSE(tvkCleanUtf8("\xED\xA0\x80"));       // surrogate
    EXPECT_FALSE(tvkCleanUtf8("a\x01z"));             // control character
    EXPECT_FALSE(tvkCleanUtf8("lost \xEF\xBF\xBD"));  // replacement character
    EXPECT_FALSE(tvkCleanUtf8("\xF8\x88\x80\x80\x80"));
}

}  // namespace
