#include "engine/bookfile/cBkSubstorageSupport.h"

#include <gtest/gtest.h>

#include "BookFileTestSupport.h"
#include "tools/tvkbuild/TvkEncode.h"

namespace {
class RawStorage : public cBkSubstorageSupport {
public:
    RawStorage() : cBkSubstorageSupport(bkTag("RAWS"), m_hdr, sizeof m_hdr) { }
    uint8_t m_hdr[6] = {};
    uint32_t entry(uint32_t i, const uint32_t counts[4], const uint32_t bases[4])
    {
        return lookupIndex(i, counts, bases);
    }
};
}  // namespace

TEST(BkTieredOffsetIndex, EntriesFallThroughTheFourTiers)
{
    // counts {3, 2, 0, 1}: three 1-byte entries at 8, two 2-byte at 11, one 4-byte at 15.
    Bytes s = {1, 2, 3, 4, 5, 6, 0, 0, 10, 11, 12, 0x34, 0x12, 0x78, 0x56, 0xEF, 0xCD, 0xAB, 0x89};
    StreamFixture fx({{"RAWS", s}});
    RawStorage st;
    ASSERT_EQ(0u, st.open(&fx.file));
    EXPECT_EQ(1, st.m_hdr[0]);
    const uint32_t counts[4] = {3, 2, 0, 1}, bases[4] = {8, 11, 15, 15};
    EXPECT_EQ(10u, st.entry(0, counts, bases));
    EXPECT_EQ(12u, st.entry(2, counts, bases));
    EXPECT_EQ(0x1234u, st.entry(3, counts, bases));
    EXPECT_EQ(0x5678u, st.entry(4, counts, bases));
    EXPECT_EQ(0x89ABCDEFu, st.entry(5, counts, bases));
    EXPECT_EQ(0xFFFFFFFFu, st.entry(6, counts, bases));
    const uint32_t badBases[4] = {900, 11, 15, 15};
    EXPECT_EQ(0u, st.entry(0, counts, badBases));
}

TEST(BkTieredOffsetIndex, WriterPicksTheNarrowestTiersInOrder)
{
    Bytes s(4, 0);
    TvkEncode::TieredIndex ix = TvkEncode::appendTieredIndex(s, {5, 300, 7, 70000, 1});
    EXPECT_EQ(1u, ix.counts[0]);
    EXPECT_EQ(2u, ix.counts[1]);
    EXPECT_EQ(2u, ix.counts[2]);
    EXPECT_EQ(0u, ix.counts[3]);
    EXPECT_EQ((Bytes {0, 0, 0, 0, 5, 0x2C, 1, 7, 0, 0x70, 0x11, 1, 1, 0, 0}), s);
}

TEST(BkSubstorageSupport, HeaderReadsAndTheirFailures)
{
    StreamFixture fx({{"RAWS", {1, 2, 3}}});
    RawStorage st;
    EXPECT_FALSE(st.isAttached());
    EXPECT_EQ(BkResult::kNotOpen, st.readHeader());
    EXPECT_EQ(BkResult::kPastEnd, st.open(&fx.file));  // 3 bytes, header of 6
    EXPECT_TRUE(st.isOpened());

    RawStorage named;
    EXPECT_EQ(BkResult::kNotFound, named.openNamed(&fx.file, "NOSUCH"));
    EXPECT_TRUE(named.isOpened());
    EXPECT_FALSE(named.isAttached());

    cBkStreamFile closed;
    RawStorage onClosed;
    EXPECT_EQ(BkResult::kNotOpen, onClosed.open(&closed));
}
