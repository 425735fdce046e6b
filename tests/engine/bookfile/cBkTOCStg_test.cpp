#include "engine/bookfile/cBkTOCStg.h"

#include <gtest/gtest.h>

#include "BookFileTestSupport.h"
#include "tools/tvkbuild/TvkEncode.h"

namespace {
std::vector<TvkEncode::TocEntry> tree()
{
    return {{0, "Root"}, {1, "Book One"}, {2, "Chapter A"}, {3, "Deep"}, {2, "Back\\slash"}, {1, "Book Two"},
        {2, "Chapter A"}, {1, "Book Three"}};
}
struct Toc {
    StreamFixture fx;
    cBkTOCStg st;
    uint32_t result;
    explicit Toc(const Bytes& b) : fx({{"TOFC", b}}) { result = st.open(&fx.file); }
};
}  // namespace

TEST(BkTOCStg, EntriesAndLinks)
{
    Toc t(TvkEncode::toc(tree(), 0, 2, 3));
    ASSERT_EQ(0u, t.result);
    EXPECT_EQ(8u, t.st.entryCount());
    uint8_t level = 0;
    std::string title;
    ASSERT_EQ(0, t.st.readEntry(4, level, title));
    EXPECT_EQ(2, level);
    EXPECT_EQ("Back\\slash", title);
    EXPECT_EQ(-1, t.st.readEntry(8, level, title));
    uint32_t l1, l2, l3;
    ASSERT_EQ(0, t.st.readLinks(2, l2, l1, l3));
    EXPECT_EQ(4u, l1);
    EXPECT_EQ(BkResult::kNone, l2);
    EXPECT_EQ(1u, l3);
    ASSERT_EQ(0, t.st.readLinks(4, l2, l1, l3));
    EXPECT_EQ(BkResult::kNone, l1);
    EXPECT_EQ(2u, l2);
    EXPECT_EQ(-1, t.st.readLinks(8, l2, l1, l3));
}

TEST(BkTOCStg, PathsOfTitles)
{
    Toc t(TvkEncode::toc(tree()));
    ASSERT_EQ(0u, t.result);
    EXPECT_EQ(6, t.st.sectionForTocPath("Book Two\\Chapter A"));
    EXPECT_EQ(6, t.st.sectionForTocPath("\\book two\\CHAPTER a"));
    EXPECT_EQ(2, t.st.sectionForTocPath("Book One\\Chapter A"));
    EXPECT_EQ(4, t.st.sectionForTocPath("Book One\\Back\\\\slash"));
    EXPECT_EQ(3, t.st.sectionForTocPath("Book One\\Chapter A\\Deep"));
    EXPECT_EQ(-1, t.st.sectionForTocPath("Book One\\Deep"));
    EXPECT_EQ(-1, t.st.sectionForTocPath("Book Four"));
    EXPECT_EQ(-1, t.st.sectionForTocPath(""));
}

TEST(BkTOCStg, UntrustedLinksCannotLoop)
{
    // Entry 2 says its next sibling is entry 1: a path search must end.
    std::vector<TvkEncode::TocEntry> flat = {{0, "R"}, {1, "A"}, {1, "B"}};
    Bytes b = TvkEncode::toc(flat, 1);
    // Entry 2 starts after entry 0 (3 + 1 + 2 bytes) and entry 1 (3 + 1 + 2 bytes).
    const size_t entry2 = 44 + 6 + 6;
    ASSERT_EQ('B', b[entry2 + 4]);
    b[entry2] = 1;
    Toc t(b);
    ASSERT_EQ(0u, t.result);
    EXPECT_EQ(-1, t.st.sectionForTocPath("C"));
}

TEST(BkTOCStg, HeaderChecks)
{
    Bytes bad = TvkEncode::toc(tree());
    bad[42] = 0;
    Toc zero(bad);
    EXPECT_EQ(BkResult::kMalformed, zero.result);
    const Bytes whole = TvkEncode::toc(tree());
    for (size_t n = 0; n < 44; ++n) {
        Toc cut(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n)));
        EXPECT_EQ(BkResult::kPastEnd, cut.result);
    }
    EXPECT_THROW(TvkEncode::toc({{0, "R"}, {2, "Too deep"}}), std::invalid_argument);
}

TEST(BkTOCStg, CountsBeyondTheStreamAreMalformed)
{
    Bytes b = TvkEncode::toc(tree());
    putLE(b, 0, 0x10000000u);
    Toc t(b);
    EXPECT_EQ(BkResult::kMalformed, t.result);
}
