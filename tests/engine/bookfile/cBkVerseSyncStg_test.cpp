#include "engine/bookfile/cBkVerseSyncStg.h"

#include <gtest/gtest.h>

#include "BookFileTestSupport.h"
#include "tools/tvkbuild/TvkEncode.h"

using BkSyncFormat::bibleKey;

namespace {
// Genesis 1:1-3, 2:1-2, Exodus 1:1, Revelation 22:20-21 as sections 1..8.
std::vector<std::pair<uint32_t, uint32_t>> records()
{
    return {{0, 0}, {bibleKey(1, 1, 1), 101}, {bibleKey(1, 1, 2), 102}, {bibleKey(1, 1, 3), 103},
        {bibleKey(1, 2, 1), 104}, {bibleKey(1, 2, 2), 105}, {bibleKey(2, 1, 1), 106}, {bibleKey(66, 22, 20), 107},
        {bibleKey(66, 22, 21), 108}};
}
struct Sync {
    StreamFixture fx;
    cBkVerseSyncStg st;
    uint32_t result;
    Sync(const Bytes& b, uint8_t major = 1, uint8_t minor = 36) : fx({{"SYNC", b}})
    {
        result = st.openVersioned(&fx.file, major, minor);
    }
};
}  // namespace

TEST(BkVerseSyncStg, KeysFindTheirRecords)
{
    Sync s(TvkEncode::verseSync(records()));
    ASSERT_EQ(0u, s.result);
    EXPECT_EQ(9u, s.st.recordCount());
    uint32_t rec = 99, value = 99;
    s.st.sectionForKey(bibleKey(1, 2, 2), rec, value);
    EXPECT_EQ(5u, rec);
    EXPECT_EQ(105u, value);
    s.st.sectionForKey(bibleKey(1, 1, 9), rec, value);  // scan stops at the next book
    EXPECT_EQ(0u, rec);
    s.st.sectionForKey(bibleKey(1, 7, 1), rec, value);  // group not in the index
    EXPECT_EQ(0u, rec);
    s.st.sectionForKey(bibleKey(70, 1, 1), rec, value);
    EXPECT_EQ(0u, rec);
    uint8_t key[4] = {};
    s.st.readRecord(6, key, value);
    EXPECT_EQ(bibleKey(2, 1, 1), bkGetLE(key, 3));
    EXPECT_EQ(106u, value);
    EXPECT_EQ(bibleKey(66, 22, 21), s.st.keyOfRecord(8));
    value = 5;
    s.st.readRecord(9, key, value);
    EXPECT_EQ(5u, value);
}

TEST(BkVerseSyncStg, LastVerseAndLastChapterKeys)
{
    Sync s(TvkEncode::verseSync(records()));
    ASSERT_EQ(0u, s.result);
    uint32_t rec = 0, value = 0;
    s.st.lastSectionForAmbiguousKey(bibleKey(1, 1, 254), 0, rec, value);
    EXPECT_EQ(3u, rec);
    EXPECT_EQ(103u, value);
    s.st.lastSectionForAmbiguousKey(bibleKey(1, 2, 254), 0, rec, value);
    EXPECT_EQ(5u, rec);
    s.st.lastSectionForAmbiguousKey(bibleKey(1, 254, 1), 0, rec, value);
    EXPECT_EQ(5u, rec);
    s.st.lastSectionForAmbiguousKey(bibleKey(66, 22, 254), 0, rec, value);  // scans back from R - 1
    EXPECT_EQ(8u, rec);
    s.st.lastSectionForAmbiguousKey(bibleKey(66, 254, 1), 0, rec, value);
    EXPECT_EQ(8u, rec);
    // A whole-book end key (chapter and verse both at the marker) finds the book's last record.
    s.st.lastSectionForAmbiguousKey(bibleKey(1, 254, 254), 0, rec, value);
    EXPECT_EQ(5u, rec);
    s.st.lastSectionForAmbiguousKey(bibleKey(66, 254, 254), 0, rec, value);
    EXPECT_EQ(8u, rec);
    s.st.lastSectionForAmbiguousKey(bibleKey(1, 1, 2), 0, rec, value);
    EXPECT_EQ(2u, rec);
    s.st.lastSectionForAmbiguousKey(bibleKey(40, 1, 254), 0, rec, value);
    EXPECT_EQ(0u, rec);
}

TEST(BkVerseSyncStg, OldFilesHaveNoValues)
{
    Sync s(TvkEncode::verseSync(records(), 3, 4, true), 1, 25);
    ASSERT_EQ(0u, s.result);
    EXPECT_EQ(50u, s.st.headerLength());
    uint32_t rec = 0, value = 9;
    s.st.sectionForKey(bibleKey(1, 1, 3), rec, value);
    EXPECT_EQ(3u, rec);
    EXPECT_EQ(0u, value);
}

TEST(BkVerseSyncStg, UntrustedHeaders)
{
    Bytes wide = TvkEncode::verseSync(records());
    wide[48] = 9;
    Sync w(wide);
    EXPECT_EQ(BkResult::kMalformed, w.result);
    Bytes noKeys = TvkEncode::verseSync(records());
    noKeys[48] = 0;
    noKeys[50] = 0;
    putLE(noKeys, 0, 0xFFFFFFFFu);
    Sync huge(noKeys);
    EXPECT_EQ(BkResult::kMalformed, huge.result);
    putLE(noKeys, 0, 40);
    Sync n(noKeys);
    ASSERT_EQ(0u, n.result);
    uint32_t rec = 1, value = 1;
    n.st.sectionForKey(0, rec, value);
    EXPECT_EQ(0u, rec);
    n.st.lastSectionForAmbiguousKey(bibleKey(1, 1, 254), 0, rec, value);
    EXPECT_EQ(0u, rec);
    Bytes lying = TvkEncode::verseSync(records());
    putLE(lying, 0, 0x7FFFFFFFu);
    Sync l(lying);
    EXPECT_EQ(BkResult::kMalformed, l.result);
    const Bytes whole = TvkEncode::verseSync(records());
    for (size_t n2 = 0; n2 < 51; ++n2) {
        Sync cut(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n2)));
        EXPECT_EQ(BkResult::kPastEnd, cut.result);
    }
}

TEST(BkDateSyncStg, ReadingsAndSections)
{
    StreamFixture fx({{"DATE", TvkEncode::dateSync({3, 5, 9, 300}, 1, 15, 7)}});
    cBkDateSyncStg d;
    ASSERT_EQ(0u, d.open(&fx.file));
    EXPECT_EQ(4u, d.readingCount());
    EXPECT_EQ(5u, d.sectionOfReading(1));
    EXPECT_EQ(300u, d.sectionOfReading(3));
    EXPECT_EQ(0xFFFFFFFFu, d.sectionOfReading(4));
    EXPECT_EQ(-1, d.readingForSection(2));
    EXPECT_EQ(0, d.readingForSection(3));
    EXPECT_EQ(0, d.readingForSection(4));
    EXPECT_EQ(2, d.readingForSection(299));
    EXPECT_EQ(3, d.readingForSection(1000));
    uint8_t m, day, third;
    d.defaultStart(m, day, third);
    EXPECT_EQ(1, m);
    EXPECT_EQ(15, day);
    EXPECT_EQ(7, third);
    cBkDateSyncStg missing;
    StreamFixture other({{"OTHR", {1}}});
    EXPECT_EQ(BkResult::kNotFound, missing.open(&other.file));
    EXPECT_EQ(0u, missing.readingCount());
    EXPECT_EQ(-1, missing.readingForSection(0));
    const Bytes whole = TvkEncode::dateSync({3}, 1, 1);
    for (size_t n = 0; n < 40; ++n) {
        StreamFixture cutFx({{"DATE", Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n))}});
        cBkDateSyncStg cut;
        EXPECT_EQ(BkResult::kPastEnd, cut.open(&cutFx.file));
    }
}
