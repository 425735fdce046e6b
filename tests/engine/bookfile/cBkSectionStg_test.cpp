#include "engine/bookfile/cBkSectionStg.h"

#include <gtest/gtest.h>

#include "BookFileTestSupport.h"
#include "engine/bookfile/cBkTextIndexStg.h"
#include "engine/bookfile/cBkTextStg.h"
#include "tools/tvkbuild/TvkEncode.h"

namespace {
struct Sections {
    StreamFixture fx;
    cBkSectionStg st;
    uint32_t result;
    explicit Sections(const Bytes& b) : fx({{"SECT", b}}) { result = st.open(&fx.file); }
};
}  // namespace

TEST(BkSectionStg, BlocksSharedBySeveralSections)
{
    Sections s(TvkEncode::sections({{0, 4}, {3, 10}, {3, 20}, {3, 30}, {7, 40}}, 1, 2));
    ASSERT_EQ(0u, s.result);
    EXPECT_EQ(5u, s.st.sectionCount());
    EXPECT_EQ(1u, s.st.sectionForBlock(3));
    EXPECT_EQ(3u, s.st.lastSectionForBlock(3));
    EXPECT_EQ(3u, s.st.sectionForBlock(5));
    EXPECT_EQ(3u, s.st.lastSectionForBlock(5));
    EXPECT_EQ(4u, s.st.sectionForBlock(8));
    EXPECT_EQ(0u, s.st.sectionForBlock(0));
    uint32_t section = 99;
    s.st.sectionEndingBeforeBlock(3, section);
    EXPECT_EQ(0u, section);
    s.st.sectionEndingBeforeBlock(5, section);
    EXPECT_EQ(3u, section);
    s.st.sectionEndingBeforeBlock(0, section);
    EXPECT_EQ(0u, section);
}

TEST(BkSectionStg, TextOffsetsAndStarts)
{
    Sections s(TvkEncode::sections({{0, 4}, {1, 10}, {2, 300}}));
    ASSERT_EQ(0u, s.result);
    EXPECT_EQ(BkResult::kNone, s.st.sectionForTextOffset(3));
    EXPECT_EQ(0u, s.st.sectionForTextOffset(4));
    EXPECT_EQ(0u, s.st.sectionForTextOffset(9));
    EXPECT_EQ(1u, s.st.sectionForTextOffset(10));
    EXPECT_EQ(2u, s.st.sectionForTextOffset(100000));
    uint32_t block = 77, offset = 88;
    s.st.getSectionStart(2, block, offset);
    EXPECT_EQ(2u, block);
    EXPECT_EQ(300u, offset);
    block = 77;
    offset = 88;
    s.st.getSectionStart(3, block, offset);
    EXPECT_EQ(77u, block);
    EXPECT_EQ(88u, offset);
}

TEST(BkSectionStg, EmptyAndMalformed)
{
    Sections empty(TvkEncode::sections({}));
    ASSERT_EQ(0u, empty.result);
    EXPECT_EQ(BkResult::kNone, empty.st.sectionForBlock(0));
    EXPECT_EQ(BkResult::kNone, empty.st.lastSectionForBlock(0));
    EXPECT_EQ(BkResult::kNone, empty.st.sectionForTextOffset(0));
    for (uint8_t width : {0, 5}) {
        Bytes b = TvkEncode::sections({{0, 4}});
        b[8] = width;
        Sections bad(b);
        EXPECT_EQ(BkResult::kMalformed, bad.result);
    }
    const Bytes whole = TvkEncode::sections({{0, 4}});
    for (size_t n = 0; n < 10; ++n) {
        Sections cut(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n)));
        EXPECT_EQ(BkResult::kPastEnd, cut.result);
    }
    // A count of more records than the stream holds is malformed.
    Bytes lying = TvkEncode::sections({{0, 4}, {5, 9}});
    putLE(lying, 0, 3);
    Sections l(lying);
    EXPECT_EQ(BkResult::kMalformed, l.result);
}

TEST(BkTextStg, SmallReadsGoThroughTheCache)
{
    Bytes tokens;
    for (int i = 0; i < 250; ++i)
        tokens.push_back(static_cast<uint8_t>(i));
    StreamFixture fx({{"TEXT", TvkEncode::text(tokens)}, {"PAGE", TvkEncode::page()}});
    cBkTextStg t;
    ASSERT_EQ(0u, t.open(&fx.file));
    EXPECT_EQ(254u, t.textSize());
    uint8_t buf[200] = {};
    uint32_t n = 0;
    t.readText(0, buf, n);
    EXPECT_EQ(0u, n);
    n = 3;
    t.readText(10, buf, n);
    ASSERT_EQ(3u, n);
    EXPECT_EQ(6, buf[0]);
    n = 2;
    t.readText(50, buf, n);  // inside the cached window
    EXPECT_EQ(46, buf[0]);
    n = 10;
    t.readText(250, buf, n);  // runs past the text end: nothing
    EXPECT_EQ(0u, n);
    n = 4;
    t.readText(250, buf, n);
    ASSERT_EQ(4u, n);
    EXPECT_EQ(249, buf[3]);
    n = 150;
    t.readText(4, buf, n);  // bypasses the cache
    ASSERT_EQ(150u, n);
    EXPECT_EQ(149, buf[149]);
    n = 150;
    t.readText(200, buf, n);
    EXPECT_EQ(0u, n);
    n = 2;
    t.readText(252, buf, n);
    ASSERT_EQ(2u, n);
    EXPECT_EQ(248, buf[0]);

    cBkTextIndexStg page;
    EXPECT_EQ(0u, page.open(&fx.file));
    StreamFixture shortPage({{"PAGE", Bytes(35, 0)}});
    cBkTextIndexStg bad;
    EXPECT_EQ(BkResult::kPastEnd, bad.open(&shortPage.file));
}

TEST(BkTextStg, TruncatedHeaders)
{
    const Bytes text = TvkEncode::text({1, 2, 0xCE});
    const Bytes page = TvkEncode::page();
    for (size_t n = 0; n < 36; ++n) {
        StreamFixture fx(
            {{"TEXT",
                 Bytes(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(n, text.size())))},
                {"PAGE", Bytes(page.begin(), page.begin() + static_cast<std::ptrdiff_t>(n))}});
        cBkTextStg t;
        // Cut inside the text, the stream no longer holds what the text end claims.
        EXPECT_EQ(n < 4 ? BkResult::kPastEnd : n < text.size() ? BkResult::kMalformed : 0u, t.open(&fx.file));
        cBkTextIndexStg p;
        EXPECT_EQ(BkResult::kPastEnd, p.open(&fx.file));
    }
}

TEST(BkSectionStg, RecordsOutOfOrderAreRefused)
{
    // Repeated first blocks and repeated text offsets (empty sections) are in order.
    Sections equal(TvkEncode::sections({{0, 4}, {2, 9}, {2, 9}, {5, 30}}));
    ASSERT_EQ(0u, equal.result);
    EXPECT_EQ(30u, equal.st.lastTextOffset());
    // A record copied from further on makes one section span the rest: both columns are checked.
    Sections offsets(TvkEncode::sections({{0, 4}, {1, 300}, {2, 20}, {3, 400}}));
    EXPECT_EQ(BkResult::kMalformed, offsets.result);
    Sections blocks(TvkEncode::sections({{0, 4}, {9, 10}, {2, 20}, {10, 30}}));
    EXPECT_EQ(BkResult::kMalformed, blocks.result);
    // Only the last record out of order, in a table longer than one read chunk of the check.
    std::vector<std::pair<uint32_t, uint32_t>> many;
    for (uint32_t i = 0; i < 5000; ++i)
        many.emplace_back(i, 4 + 3 * i);
    Sections ordered(TvkEncode::sections(many, 4, 4));
    ASSERT_EQ(0u, ordered.result);
    EXPECT_EQ(4 + 3 * 4999u, ordered.st.lastTextOffset());
    many.back().second = 5;
    Sections last(TvkEncode::sections(many, 4, 4));
    EXPECT_EQ(BkResult::kMalformed, last.result);
}

TEST(BkTextStg, TextEndBeyondTheStreamIsRefused)
{
    // The text end may not claim more than the stream holds: every text reader sizes its reads by it.
    Bytes text = TvkEncode::text({1, 2, 0xCE});
    for (uint32_t end : {7u, 8u, 3000000000u, 0xFFFFFFFFu}) {
        putLE(text, 0, end);
        StreamFixture fx({{"TEXT", text}});
        cBkTextStg t;
        EXPECT_EQ(end <= 7 ? 0u : BkResult::kMalformed, t.open(&fx.file)) << end;
    }
}

TEST(BkSectionStg, EveryFieldWidthIsReadWhole)
{
    // Values that fill each width, so a byte taken from the neighbouring field, or left out, shows.
    for (uint8_t a = 1; a <= 4; ++a)
        for (uint8_t b = 1; b <= 4; ++b) {
            const uint32_t topA = a == 4 ? 0xFFFFFFFFu : (1u << (8 * a)) - 1;
            const uint32_t topB = b == 4 ? 0xFFFFFFFFu : (1u << (8 * b)) - 1;
            // More records than one read chunk of the check holds, for every record width.
            const uint32_t n = 9000;
            std::vector<std::pair<uint32_t, uint32_t>> records;
            for (uint32_t i = 0; i + 1 < n; ++i)
                records.emplace_back(
                    static_cast<uint32_t>(uint64_t {topA} * i / n), static_cast<uint32_t>(uint64_t {topB} * i / n));
            records.emplace_back(topA, topB);
            Sections ordered(TvkEncode::sections(records, a, b));
            ASSERT_EQ(0u, ordered.result) << int(a) << "," << int(b);
            EXPECT_EQ(topB, ordered.st.lastTextOffset()) << int(a) << "," << int(b);

            // One column falls in its top byte (0x0100.. then 0x00FF..) at the first record of the
            // second chunk; the other column ascends.
            const uint32_t second = 16384 / (a + b);
            for (const bool blockColumn : {true, false}) {
                std::vector<std::pair<uint32_t, uint32_t>> bad = records;
                const uint32_t step = 1u << (8 * ((blockColumn ? a : b) - 1));
                for (uint32_t i = 0; i < n; ++i) {
                    uint32_t& field = blockColumn ? bad[i].first : bad[i].second;
                    field = i < second - 1 ? 0 : i == second - 1 ? step : step - 1;
                }
                Sections refused(TvkEncode::sections(bad, a, b));
                EXPECT_EQ(BkResult::kMalformed, refused.result) << int(a) << "," << int(b) << " " << blockColumn;
            }
        }
}
