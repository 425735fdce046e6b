#include "engine/references/cBibleRefTableReader.h"

#include "engine/references/ReferenceTestSupport.h"
#include "engine/references/cBibleRefTables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Reader = cBibleRefTableReader;

class TableReader : public ::testing::Test {
protected:
    void SetUp() override { resetAllReferenceTables(); }
    void TearDown() override { resetAllReferenceTables(); }
};

// Comment lines that bring `text` to exactly `size` bytes (each line shorter than the line limit).
std::string padTo(std::string text, std::size_t size)
{
    EXPECT_TRUE(size == text.size() || size >= text.size() + 4);
    while (text.size() + 4 <= size) {
        const std::size_t remaining = size - text.size();
        // A line and its ending; never leave less than a comment line's four bytes.
        std::size_t take = remaining;
        if (take > 1001)
            take = remaining - 1001 >= 4 ? 1001 : remaining - 4;
        text += "***" + std::string(take - 4, '.') + "\n";
    }
    return text;
}

// The start of a table whose first data row begins exactly at `offset`.
std::string headerEndingAt(std::size_t offset)
{
    const std::string header = "+++ Header\nVersion=5\nCount=1\n--- End\n+++ Data\n\"Title\"\n";
    return padTo("", offset - header.size()) + header;
}

TEST_F(TableReader, RowsAcrossReadChunksArriveWhole)
{
    // The largest table there is, blank-padded fields and CRLF endings: several read chunks, with rows
    // cut at every chunk boundary.
    std::string rows;
    for (int t = 1; t <= kMaxTranslations; ++t)
        for (int p = 0; p < 60; ++p)
            rows += "\"" + std::to_string(t) + "\",\" " + std::to_string(p) + " \"," + std::to_string(p == 0 ? 67 : p) +
                "   \n";
    rows.pop_back();
    const std::string text = tableText(11, kMaxTranslations, rows, "\r\n");
    ASSERT_GT(text.size(), 4 * Reader::kChunkSize);

    auto file = tableFile(text);
    ASSERT_EQ(cBibleRefTables::loadBibleBooks(file.get()), kBibleRefLoadOk);
    const auto t = cBibleRefTables::current();
    EXPECT_EQ(t->translationCount(), kMaxTranslations);
    for (int translation : {1, 2, 128, kMaxTranslations}) {
        EXPECT_EQ(t->bookAtPosition(translation, 0), 67) << translation;
        EXPECT_EQ(t->bookAtPosition(translation, 59), 59) << translation;
        EXPECT_EQ(t->positionOfBook(translation, 33), 33) << translation;
    }

    // The same text read into stored rows.
    auto again = tableFile(text);
    const Reader::Result r = Reader(again.get()).readStrict(0, true);
    ASSERT_EQ(r.code, kBibleRefLoadOk);
    ASSERT_EQ(r.rows.size(), static_cast<std::size_t>(kMaxTranslations * 60));
    EXPECT_EQ(r.rowsRead, r.rows.size());
    EXPECT_EQ(r.rows.back(), (Reader::Row {std::to_string(kMaxTranslations), " 59 ", "59"}));
}

TEST_F(TableReader, LineLimitHoldsAcrossAChunkBoundary)
{
    // A row of exactly the longest line, starting just before the end of the first chunk.
    const std::size_t start = Reader::kChunkSize - 10;
    const std::string atLimit = "\"1\",\"" + std::string(Reader::kMaxLineLength - 6, 'x') + "\"";
    ASSERT_EQ(atLimit.size(), Reader::kMaxLineLength);
    auto fits = tableFile(headerEndingAt(start) + atLimit + "\n--- End\n");
    const Reader::Result ok = Reader(fits.get()).readStrict(0, true);
    ASSERT_EQ(ok.code, kBibleRefLoadOk);
    ASSERT_EQ(ok.rows.size(), 1u);
    EXPECT_EQ(ok.rows[0][1].size(), Reader::kMaxLineLength - 6);

    // One byte more (a line ending's CR counts until it is stripped) is malformed.
    auto tooLong = tableFile(headerEndingAt(start) + atLimit + "\r\n--- End\n");
    EXPECT_EQ(Reader(tooLong.get()).readStrict(0, true).code, kBibleRefLoadMalformed);

    // A last line that ends with the file, without a line ending, exactly at a chunk's end.
    std::string text = headerEndingAt(Reader::kChunkSize - 20) + "\"1\",\"2\"\n";
    text = padTo(text, Reader::kChunkSize - 7) + "--- End";
    ASSERT_EQ(text.size(), Reader::kChunkSize);
    auto atEnd = tableFile(text);
    const Reader::Result ended = Reader(atEnd.get()).readStrict(0, true);
    EXPECT_EQ(ended.code, kBibleRefLoadOk);
    EXPECT_EQ(ended.rows, (std::vector<Reader::Row> {{"1", "2"}}));
}

TEST_F(TableReader, AFaultOfTheFileIsReportedBeforeAFaultOfItsRows)
{
    const std::string badFirst = "1,0,67\n1,5,1\n2,0,67\n2,1,40";
    // Rows out of order, and the data never ends: the file is malformed.
    const std::string unended = tableText(10, 2, badFirst).substr(0, tableText(10, 2, badFirst).size() - 8);
    auto file = tableFile(unended);
    EXPECT_EQ(cBibleRefTables::loadBibleBooks(file.get()), kBibleRefLoadMalformed);
    // The same rows in a whole file: they do not match the table.
    auto whole = tableFile(tableText(10, 2, badFirst));
    EXPECT_EQ(cBibleRefTables::loadBibleBooks(whole.get()), kBibleRefLoadMismatch);
    // A short row after good ones, and a row count that disagrees with the header.
    auto shortRow = tableFile(tableText(10, 2, "1,0,67\n1,1,1\n2,0"));
    EXPECT_EQ(cBibleRefTables::loadBibleBooks(shortRow.get()), kBibleRefLoadMalformed);
    auto counted = tableFile(tableText(10, 3, "1,0,67\n2,0,67"));
    EXPECT_EQ(cBibleRefTables::loadBibleBooks(counted.get()), kBibleRefLoadMismatch);
    // None of them replaced the table.
    EXPECT_EQ(cBibleRefTables::current()->translationCount(), 54);
    EXPECT_EQ(cBibleRefTables::version(BibleRefTable::BibleBooks), 9u);

    // More rows than the reader takes, handed to a row handler: refused without reading them all.
    std::string many;
    for (std::size_t i = 0; i <= Reader::kMaxRows; ++i)
        many += "1,0,1\n";
    auto huge = tableFile(tableText(10, 1, many));
    std::size_t handed = 0;
    const Reader::Result r = Reader(huge.get()).readStrict(0, true, [&](const Reader::Fields&) { ++handed; });
    EXPECT_EQ(r.code, kBibleRefLoadMismatch);
    EXPECT_EQ(handed, Reader::kMaxRows);
    EXPECT_TRUE(r.rows.empty());
}

TEST(TableReaderRows, FieldsLoseTheirQuotesOnly)
{
    EXPECT_EQ(Reader::splitRow("\"a\",b,\"\",,\"\"\"\",\"x\"y\"\", \"z\" "),
        (Reader::Row {"a", "b", "", "", "", "x\"y", " \"z\" "}));
    EXPECT_EQ(Reader::splitRow(""), (Reader::Row {""}));
    EXPECT_EQ(Reader::splitRow(","), (Reader::Row {"", ""}));
    std::int64_t v = 0;
    EXPECT_TRUE(Reader::parseNumber(" -12 ", v));
    EXPECT_EQ(v, -12);
    for (const char* bad : {"", " ", "-", "1 2", "12x", "99999999999999"})
        EXPECT_FALSE(Reader::parseNumber(bad, v)) << bad;
}

}  // namespace
