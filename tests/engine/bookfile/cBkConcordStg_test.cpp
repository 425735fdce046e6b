#include "engine/bookfile/cBkConcordStg.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "BookFileTestSupport.h"
#include "search/core/cBitVector.h"
#include "tools/tvkbuild/TvkEncode.h"

namespace {
struct Conc {
    StreamFixture fx;
    cBkConcordStg st {bkTag("CONC")};
    uint32_t result;
    explicit Conc(const Bytes& b) : fx({{"CONC", b}}) { result = st.open(&fx.file); }
};

std::vector<uint32_t> sectionsOf(cBkConcordStg& c, uint32_t w)
{
    std::vector<uint32_t> out;
    uint32_t count = 0;
    c.forEachSection(w, count, [&](uint32_t s) { out.push_back(s); });
    EXPECT_EQ(count, out.size());
    return out;
}
}  // namespace

TEST(BkConcordStg, GolombParameters)
{
    auto p = BkConcordFormat::golombParameters(3, 10);
    EXPECT_EQ(2u, p.b);
    EXPECT_EQ(1u, p.k);
    EXPECT_EQ(0u, p.t);
    p = BkConcordFormat::golombParameters(10, 10);
    EXPECT_EQ(1u, p.b);
    EXPECT_EQ(0u, p.k);
    p = BkConcordFormat::golombParameters(2, 10);  // 690 / 200 = 3
    EXPECT_EQ(3u, p.b);
    EXPECT_EQ(2u, p.k);
    EXPECT_EQ(1u, p.t);
}

TEST(BkConcordStg, HandMadeEntries)
{
    // Entry 0: c = 2 plain even when compressed. Entry 1: c = 3, s = 10, f = 5: b = 2, k = 1, t = 0;
    // the gap 4 is q = 1, then x = 1: bits 1 0 1 -> 0xA0. Entry 2: dense, b = 1: gaps 1, 2 -> 0 10.
    Bytes b(40, 0);
    b[4] = 1;
    b[5] = 1;
    b[7] = 1;
    const uint32_t e0 = static_cast<uint32_t>(b.size());
    b.insert(b.end(), {2, 7, 9});
    const uint32_t e1 = static_cast<uint32_t>(b.size());
    b.insert(b.end(), {3, 10, 5, 0xA0});
    const uint32_t e2 = static_cast<uint32_t>(b.size());
    b.insert(b.end(), {4, 4, 20, 0x40});
    const uint32_t ix = static_cast<uint32_t>(b.size());
    b.insert(b.end(), {static_cast<uint8_t>(e0), static_cast<uint8_t>(e1), static_cast<uint8_t>(e2)});
    putLE(b, 0, 3);
    putLE(b, 8, ix);
    putLE(b, 24, 3);
    Conc c(b);
    ASSERT_EQ(0u, c.result);
    EXPECT_EQ((std::vector<uint32_t> {7, 9}), sectionsOf(c.st, 0));
    EXPECT_EQ((std::vector<uint32_t> {5, 9, 14}), sectionsOf(c.st, 1));
    EXPECT_EQ((std::vector<uint32_t> {20, 21, 23, 23}), sectionsOf(c.st, 2));
    EXPECT_EQ(3u, c.st.sectionCount(1));
    EXPECT_EQ(0u, c.st.sectionCount(3));
    EXPECT_EQ((Bytes {0xA0}), TvkEncode::golombBits({5, 9, 14}));
}

TEST(BkConcordStg, RoundTripOfManyLists)
{
    std::mt19937 rng(7);
    std::vector<std::vector<uint32_t>> lists;
    for (int i = 0; i < 200; ++i) {
        std::vector<uint32_t> l;
        uint32_t s = rng() % 50;
        const int n = static_cast<int>(rng() % 40);
        const uint32_t spread = 1 + rng() % 300;
        for (int k = 0; k < n; ++k) {
            l.push_back(s);
            s += 1 + rng() % spread;
        }
        lists.push_back(l);
    }
    for (bool compressed : {true, false}) {
        Conc c(TvkEncode::concordance(lists, compressed));
        ASSERT_EQ(0u, c.result);
        ASSERT_EQ(lists.size(), c.st.entryCount());
        for (uint32_t w = 0; w < lists.size(); ++w)
            ASSERT_EQ(lists[w], sectionsOf(c.st, w)) << w;
    }
}

TEST(BkConcordStg, BitVectorsAndRawLists)
{
    Conc c(TvkEncode::concordance({{1, 4, 9, 12, 200}, {}, {3}}));
    ASSERT_EQ(0u, c.result);
    cBitVector v(100);
    v.set(50);
    uint32_t count = 0;
    c.st.lookupWord(0, count, v);
    EXPECT_EQ(5u, count);
    EXPECT_TRUE(v.test(1) && v.test(4) && v.test(9) && v.test(12));
    EXPECT_FALSE(v.test(50));
    EXPECT_EQ(4u, v.count(1));
    c.st.lookupWord(1, count, v);
    EXPECT_EQ(0u, count);
    EXPECT_EQ(0u, v.count(1));
    v.set(5);
    count = 77;
    c.st.lookupWord(3, count, v);
    EXPECT_EQ(77u, count);
    EXPECT_TRUE(v.test(5));
    cBitVector none;
    c.st.lookupWord(0, count, none);
    EXPECT_FALSE(none.isAllocated());
}

TEST(BkConcordStg, MalformedHeadersAndEntries)
{
    for (size_t at : {5u, 7u}) {
        Bytes b = TvkEncode::concordance({{1, 2, 3}});
        b[at] = 0;
        Conc zero(b);
        EXPECT_EQ(BkResult::kMalformed, zero.result);
        b[at] = 5;
        Conc wide(b);
        EXPECT_EQ(BkResult::kMalformed, wide.result);
    }
    // A count far beyond the stream's bits ends when the bits run out.
    Bytes b = TvkEncode::concordance({{1, 2, 3}});
    putLE(b, 40, 0xFFFF);
    Conc lying(b);
    ASSERT_EQ(0u, lying.result);
    std::vector<uint32_t> got;
    uint32_t count = 0;
    lying.st.forEachSection(0, count, [&](uint32_t s) { got.push_back(s); });
    EXPECT_EQ(255u, count);
    EXPECT_LT(got.size(), 40u);
    const Bytes whole = TvkEncode::concordance({{1}});
    for (size_t n = 0; n < 40; ++n) {
        Conc cut(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n)));
        EXPECT_EQ(BkResult::kPastEnd, cut.result);
    }
}

namespace {
// A long entry (dense and sparse stretches, so gaps of one bit and of many) and two short ones.
std::vector<std::vector<uint32_t>> longLists()
{
    std::vector<uint32_t> l;
    std::mt19937 rng(11);
    uint32_t s = 3;
    for (int i = 0; i < 5000; ++i) {
        l.push_back(s);
        s += 1 + (i % 700 < 600 ? rng() % 3 : rng() % 900);
    }
    return {l, {2, 9, 40}, {7}};
}
}  // namespace

TEST(BkConcordStg, DecodingStopsAtTheStreamsEndNotTheFilesEnd)
{
    // A lying count, with a following stream of zero bytes (each a run of short gaps) in the file.
    Bytes b = TvkEncode::concordance({{1, 2, 3}});
    putLE(b, 40, 0xFFFF);
    StreamFixture fx({{"CONC", b}, {"ZZZZ", Bytes(4096, 0)}});
    cBkConcordStg st {bkTag("CONC")};
    ASSERT_EQ(0u, st.open(&fx.file));
    std::vector<uint32_t> got;
    uint32_t count = 0;
    st.forEachSection(0, count, [&](uint32_t s) { got.push_back(s); });
    EXPECT_EQ(255u, count);
    EXPECT_LT(got.size(), 40u);
    // The stream stays usable: the next look-up starts afresh.
    Conc c(TvkEncode::concordance(longLists()));
    ASSERT_EQ(0u, c.result);
    for (uint32_t w : {2u, 0u, 1u, 0u})
        EXPECT_EQ(longLists()[w], sectionsOf(c.st, w)) << w;
}

TEST(BkConcordStg, EntriesEndAtTheBooksLastSection)
{
    // A damaged count over a long stream of gap bits: without a limit the entry runs on through the
    // stream; with the book's section count it decodes no more sections than the book has, and none
    // from that number on.
    const auto lists = longLists();
    Bytes b = TvkEncode::concordance(lists);
    putLE(b, 40, 0xFFFFFF);
    Conc c(b);
    ASSERT_EQ(0u, c.result);
    uint32_t count = 0, unbounded = 0;
    c.st.forEachSection(0, count, [&](uint32_t) { ++unbounded; });
    EXPECT_GT(unbounded, 1000u);
    c.st.setSectionLimit(100);
    std::vector<uint32_t> got;
    c.st.forEachSection(0, count, [&](uint32_t s) { got.push_back(s); });
    ASSERT_GE(got.size(), 2u);
    EXPECT_LE(got.size(), 101u);
    for (size_t i = 0; i + 1 < got.size(); ++i)
        EXPECT_LT(got[i], 100u);
    // Sound entries are unchanged by the limit.
    EXPECT_EQ(lists[1], sectionsOf(c.st, 1));
    EXPECT_EQ(lists[2], sectionsOf(c.st, 2));
    Conc sound(TvkEncode::concordance(lists));
    sound.st.setSectionLimit(lists[0].back() + 1);
    EXPECT_EQ(lists[0], sectionsOf(sound.st, 0));

    // The plain form: a count of numbers that follow as they are.
    Bytes raw = TvkEncode::concordance(lists);
    raw[4] = 0;
    Conc plain(raw);
    ASSERT_EQ(0u, plain.result);
    plain.st.setSectionLimit(3);
    got.clear();
    plain.st.forEachSection(0, count, [&](uint32_t s) { got.push_back(s); });
    EXPECT_EQ(3u, got.size());
}

TEST(BkConcordStg, ThreadsLookingUpWordsOfOneBook)
{
    const auto lists = longLists();
    Conc c(TvkEncode::concordance(lists));
    ASSERT_EQ(0u, c.result);
    std::atomic<int> bad {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            cBitVector v(1 << 22);
            for (int i = 0; i < 40; ++i) {
                const uint32_t w = static_cast<uint32_t>(i + t) % 3;
                uint32_t count = 0;
                if (t % 2 == 0) {
                    c.st.lookupWord(w, count, v);
                    bool same = v.count(1) == lists[w].size();
                    for (uint32_t s : lists[w])
                        same = same && v.test(s);
                    bad += same ? 0 : 1;
                } else {
                    std::vector<uint32_t> got;
                    c.st.forEachSection(w, count, [&](uint32_t s) { got.push_back(s); });
                    bad += got == lists[w] ? 0 : 1;
                }
                bad += count == lists[w].size() ? 0 : 1;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(0, bad.load());
}
