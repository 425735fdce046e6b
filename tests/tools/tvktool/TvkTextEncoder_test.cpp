#include "tools/tvkbuild/TvkTextEncoder.h"

#include <gtest/gtest.h>

#include "engine/bookfile/BkTextFormat.h"
#include "tools/tvkbuild/cTvkBookBuilder.h"

namespace {

using namespace BkTextFormat;

TEST(TvkTextEncoder, CurlyQuotesAreMarksAndApostrophesStayInWords)
{
    const auto pieces = tvkCutText("\xE2\x80\x9CPharaoh\xE2\x80\x99s don't\xE2\x80\x9D \xE2\x80\x94 go");
    ASSERT_EQ(6u, pieces.size());
    EXPECT_FALSE(pieces[0].word);
    EXPECT_EQ("\xE2\x80\x9C", pieces[0].text);
    EXPECT_TRUE(pieces[1].word);
    EXPECT_EQ("pharaoh\xE2\x80\x99s", pieces[1].text);
    EXPECT_EQ(kCapitalInitial, pieces[1].capital);
    EXPECT_EQ("don't", pieces[2].text);
    EXPECT_FALSE(pieces[3].word);  // the closing quote, glued to the word before it
    EXPECT_FALSE(pieces[3].blankBefore);
    EXPECT_TRUE(pieces[3].blankAfter);
    EXPECT_FALSE(pieces[4].word);  // the dash between blanks
    EXPECT_TRUE(pieces[4].blankBefore);
    EXPECT_EQ("go", pieces[5].text);
}

TEST(TvkTextEncoder, TokenWriterNumbersAndEncodes)
{
    const std::map<std::string, uint32_t> words {{"the", 5}, {"lord", 2}, {"zebra", 1}};
    const std::map<std::string, uint32_t> marks {{",", 3}, {".", 1}};
    const cTvkTokenWriter writer(words, marks, kWordEscapeBase);
    EXPECT_EQ((std::vector<std::string> {"lord", "the", "zebra"}), writer.words());
    // Most frequent first: "the" (1), "lord" (0), "zebra" (2).
    EXPECT_EQ((std::vector<uint32_t> {1, 0, 2}), writer.wordShortValues());
    TvkEncode::Bytes tokens;
    TvkTextPiece lord {true, "lord", kCapitalAll, 0, false, false};
    EXPECT_EQ(0u, writer.appendWord(tokens, lord));
    EXPECT_EQ((TvkEncode::Bytes {static_cast<uint8_t>(kCapitalFirst | kCapitalAll), 1}), tokens);
    tokens.clear();
    writer.appendPunctuation(tokens, TvkTextPiece {false, ",", 0, 0, false, true});
    ASSERT_EQ(1u, tokens.size());
    EXPECT_EQ(kPunctuation | kPunctBlankAfter, tokens[0] & 0xF0);
    EXPECT_THROW(writer.appendWord(tokens, TvkTextPiece {true, "unknown", 0, 0, false, false}), std::out_of_range);
}

TEST(TvkTextEncoder, BuilderAndRichBookCutAlike)
{
    // The plain-text compiler keeps "don't" one word, as the importers do.
    cTvkBookBuilder b;
    b.info.bookName = "Test";
    b.addSection({"One", 1, "They don't know.", 0});
    const auto bytes = b.build();
    const std::string file(bytes.begin(), bytes.end());
    EXPECT_NE(std::string::npos, file.find("don't"));  // one entry of the word list
}

}  // namespace
