#include "engine/bookfile/cBkStreamFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "BookFileTestSupport.h"

namespace {

constexpr uint32_t kInfo = bkTag("INFO");
constexpr uint32_t kData = bkTag("DATA");

// Container: stream 0, then DATA (header at 16, data right after it) holding `data`.
Bytes oneStream(const Bytes& data, const std::string& name = std::string())
{
    Bytes b(32, 0);
    b.insert(b.end(), name.begin(), name.end());
    if (!name.empty())
        b.push_back(0);
    const uint32_t start = static_cast<uint32_t>(b.size());
    b.insert(b.end(), data.begin(), data.end());
    putHeader(b, 0, 0, 0, static_cast<uint32_t>(b.size()), 16);
    putHeader(b, 16, kData, start, static_cast<uint32_t>(data.size()), 0);
    return b;
}

uint32_t openBytes(cBkStreamFile& f, const TempDir& dir, const Bytes& bytes, const std::string& name = "c.tvk")
{
    return f.open(writeTemp(dir, name, bytes).c_str());
}

}  // namespace

TEST(BkStreamFile, TagsPutTheFirstCharacterInTheLowestByte) { EXPECT_EQ(0x4F464E49u, bkTag("INFO")); }

TEST(BkStreamFile, ContainerOfStreamZeroAloneOpens)
{
    TempDir dir;
    Bytes b;
    putHeader(b, 0, 0, 0, 16, 0);
    cBkStreamFile f;
    ASSERT_EQ(0u, openBytes(f, dir, b));
    EXPECT_EQ(1u, f.entryCount());
    EXPECT_EQ(16u, f.size(0));
    EXPECT_EQ(0u, f.streamIdForName("IMAGES"));
    EXPECT_EQ(16u, f.fileLength());
}

TEST(BkStreamFile, LengthOneByteOffFailsWithBothLengthsRecorded)
{
    TempDir dir;
    for (int delta : {-1, 1}) {
        Bytes b = oneStream({1, 2, 3});
        const uint32_t real = static_cast<uint32_t>(b.size());
        if (delta > 0)
            b.push_back(0);
        else
            putLE(b, 8, real + 1);  // header claims one byte more than the file has
        cBkStreamFile f;
        EXPECT_EQ(BkResult::kWrongLength, openBytes(f, dir, b, "len" + std::to_string(delta)));
        EXPECT_EQ(static_cast<uint32_t>(b.size()), f.recordedLength());
        EXPECT_EQ(delta > 0 ? real : real + 1, f.foundLength());
    }
}

TEST(BkStreamFile, FirstHeaderMustBeStreamZeroAtStartZero)
{
    TempDir dir;
    Bytes start4 = oneStream({1});
    putLE(start4, 4, 4);
    Bytes id1 = oneStream({1});
    putLE(id1, 0, 1);
    cBkStreamFile f;
    EXPECT_EQ(BkResult::kMalformed, openBytes(f, dir, start4, "a"));
    EXPECT_EQ(BkResult::kMalformed, openBytes(f, dir, id1, "b"));
}

TEST(BkStreamFile, NamesLiveInTheGapBetweenHeaderAndData)
{
    TempDir dir;
    cBkStreamFile f;
    ASSERT_EQ(0u, openBytes(f, dir, oneStream({9}), "plain"));
    EXPECT_FALSE(f.entryAt(1)->hasExtra);
    EXPECT_EQ("", f.entryAt(1)->name());

    ASSERT_EQ(0u, openBytes(f, dir, oneStream({9}, "IMAGES"), "named"));
    const cBkStreamEntry* e = f.entryAt(1);
    ASSERT_TRUE(e->hasExtra);
    EXPECT_EQ(7u, e->extra.size());
    EXPECT_EQ(0, std::memcmp(e->extra.data(), "IMAGES\0", 7));
    EXPECT_EQ(kData, f.streamIdForName("images"));
    EXPECT_EQ(0u, f.streamIdForName("IMAGE"));
    uint8_t v = 0;
    EXPECT_EQ(0u, f.read(kData, 1, &v));
    EXPECT_EQ(9, v);
}

TEST(BkStreamFile, LaterHeaderWithTheSameIdReplacesTheEarlier)
{
    TempDir dir;
    Bytes b(48, 0);
    b.push_back(0xAA);
    b.push_back(0xBB);
    putHeader(b, 0, 0, 0, 50, 16);
    putHeader(b, 16, kData, 48, 1, 32);
    putHeader(b, 32, kData, 49, 1, 0);
    cBkStreamFile f;
    ASSERT_EQ(0u, openBytes(f, dir, b));
    EXPECT_EQ(2u, f.entryCount());
    uint8_t v = 0;
    ASSERT_EQ(0u, f.read(kData, 1, &v));
    EXPECT_EQ(0xBB, v);
}

TEST(BkStreamFile, ReadsAndSeeksStayInsideTheStream)
{
    TempDir dir;
    cBkStreamFile f;
    ASSERT_EQ(0u, openBytes(f, dir, oneStream({1, 2, 3, 4})));
    uint8_t buf[8] = {};
    ASSERT_EQ(0u, f.read(kData, 1, buf));
    EXPECT_EQ(BkResult::kPastEnd, f.read(kData, 4, buf));
    EXPECT_EQ(1u, f.tell(kData));
    EXPECT_EQ(0u, f.read(kData, 3, buf));
    EXPECT_EQ(4, buf[2]);
    EXPECT_EQ(0u, f.read(kData, 0, buf));
    EXPECT_EQ(0u, f.seek(kData, 4));
    EXPECT_EQ(BkResult::kPastEnd, f.seek(kData, 5));
    EXPECT_EQ(4u, f.tell(kData));
    EXPECT_EQ(0u, f.seekAndRead(kData, 2, buf, 1));
    EXPECT_EQ(2, buf[0]);
    EXPECT_EQ(3, buf[1]);
    EXPECT_EQ(BkResult::kNotFound, f.read(kInfo, 1, buf));
    EXPECT_EQ(BkResult::kNotFound, f.tell(kInfo));
    EXPECT_EQ(BkResult::kNotFound, f.size(kInfo));
    f.close();
    EXPECT_EQ(BkResult::kNotOpen, f.read(kData, 1, buf));
    EXPECT_EQ(BkResult::kNotOpen, f.tell(kData));
    EXPECT_EQ(BkResult::kNotOpen, f.size(kData));
    EXPECT_EQ(BkResult::kNotOpen, f.readBit(kData));
    EXPECT_EQ(0u, f.streamIdForName("x"));
}

TEST(BkStreamFile, BitsComeMostSignificantFirstAndBytesRestartThem)
{
    TempDir dir;
    cBkStreamFile f;
    ASSERT_EQ(0u, openBytes(f, dir, oneStream({0xA5, 0x80, 0x00})));
    const uint32_t expected[] = {1, 0, 1, 0, 0, 1, 0, 1, 1, 0};
    for (uint32_t bit : expected)
        EXPECT_EQ(bit, f.readBit(kData));
    EXPECT_EQ(2u, f.tell(kData));
    // A byte read drops the half-used byte; the next bit comes from a fresh one.
    ASSERT_EQ(0u, f.seek(kData, 0));
    EXPECT_EQ(1u, f.readBit(kData));
    uint8_t v;
    ASSERT_EQ(0u, f.read(kData, 1, &v));
    EXPECT_EQ(0x80, v);
    EXPECT_EQ(0u, f.readBit(kData));
    // A seek to the current position keeps the bit state: the byte's remaining bits come first.
    EXPECT_EQ(0u, f.seek(kData, 3));
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(0u, f.readBit(kData));
    EXPECT_EQ(BkResult::kPastEnd, f.readBit(kData));
}

TEST(BkStreamFile, StringsEndAtTheirNul)
{
    TempDir dir;
    Bytes data = {'x'};
    const std::string longText(45, 'a');
    data.insert(data.end(), longText.begin(), longText.end());
    data.push_back(0);
    data.push_back('z');
    cBkStreamFile f;
    ASSERT_EQ(0u, openBytes(f, dir, oneStream(data)));
    std::string s = "old";
    ASSERT_EQ(0u, f.readString(kData, s, 1));
    EXPECT_EQ(longText, s);
    EXPECT_EQ(47u, f.tell(kData));
    ASSERT_EQ(0u, f.seek(kData, 5));
    s = "old";
    EXPECT_EQ(BkResult::kPastEnd, f.readString(kData, s, 47));
    EXPECT_EQ("old", s);
    EXPECT_EQ(5u, f.tell(kData));
    EXPECT_EQ(BkResult::kPastEnd, f.readString(kData, s, 49));
}

TEST(BkStreamFile, UntrustedChainsEndWithAResultCode)
{
    TempDir dir;
    cBkStreamFile f;
    Bytes loop = oneStream({1});
    putLE(loop, 28, 16);  // DATA's next points back at itself
    EXPECT_EQ(BkResult::kMalformed, openBytes(f, dir, loop, "loop"));

    Bytes beyond = oneStream({1});
    putLE(beyond, 28, 5000);
    EXPECT_EQ(BkResult::kPastEnd, openBytes(f, dir, beyond, "beyond"));

    Bytes hugeGap = oneStream({1});
    putLE(hugeGap, 20, 0xF0000000u);  // a "name" of gigabytes
    EXPECT_EQ(BkResult::kPastEnd, openBytes(f, dir, hugeGap, "gap"));

    Bytes longStream = oneStream({1});
    putLE(longStream, 24, 1000);  // data past the container's end
    EXPECT_EQ(BkResult::kPastEnd, openBytes(f, dir, longStream, "long"));

    Bytes zeroLater = oneStream({1});
    putLE(zeroLater, 16, 0);
    EXPECT_EQ(BkResult::kMalformed, openBytes(f, dir, zeroLater, "zero"));

    EXPECT_EQ(BkResult::kCannotOpen, f.open(dir.file("missing").c_str()));
}

TEST(BkStreamFile, EveryTruncationFailsCleanly)
{
    TempDir dir;
    const Bytes whole = oneStream({1, 2, 3}, "NAME");
    for (size_t n = 0; n < whole.size(); ++n) {
        Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
        if (n >= 16)
            putLE(cut, 8, static_cast<uint32_t>(n));  // a consistent length, a cut chain
        cBkStreamFile f;
        EXPECT_NE(0u, openBytes(f, dir, cut, "cut" + std::to_string(n))) << n;
    }
}

TEST(BkStreamFile, SubFilesShareTheParentsFileAndCountFromTheirStream)
{
    TempDir dir;
    cTvkContainerWriter inner;
    inner.addStream(1, {7, 8}, "first.csv");
    inner.addStream(2, {9}, "second one");
    cTvkContainerWriter outer;
    outer.addStream(kInfo, {0, 0, 0});
    outer.addStream(kData, inner.build(), "BIBLEREF");
    cBkStreamFile parent, sub, unopened;
    ASSERT_EQ(0u, parent.open(writeTemp(dir, "outer.tvk", outer.build()).c_str()));
    EXPECT_EQ(BkResult::kNotOpen, sub.openSubFile(unopened, kData));
    EXPECT_EQ(BkResult::kBadArgument, sub.openSubFile(parent, 0));
    EXPECT_EQ(BkResult::kBadArgument, sub.openSubFile(parent, bkTag("NONE")));
    ASSERT_EQ(0u, sub.openSubFile(parent, kData));
    EXPECT_TRUE(sub.isSubFile());
    EXPECT_EQ(2u, sub.streamIdForName("SECOND ONE"));
    uint8_t v[2];
    ASSERT_EQ(0u, sub.read(1, 2, v));
    EXPECT_EQ(7, v[0]);
    EXPECT_EQ(8, v[1]);
    sub.close();
    // Closing a sub-file leaves the parent's file open.
    ASSERT_EQ(0u, parent.seekAndRead(kInfo, 1, v, 0));
}

TEST(BkStreamFile, SubFileMayNotClaimMoreThanItsStream)
{
    TempDir dir;
    cTvkContainerWriter inner;
    inner.addStream(1, {7, 8});
    Bytes innerBytes = inner.build();
    putLE(innerBytes, 8, static_cast<uint32_t>(innerBytes.size() + 100));
    cTvkContainerWriter outer;
    outer.addStream(kData, innerBytes, "IMAGES");
    outer.addStream(kInfo, Bytes(200, 0));
    cBkStreamFile parent, sub;
    ASSERT_EQ(0u, parent.open(writeTemp(dir, "outer.tvk", outer.build()).c_str()));
    EXPECT_EQ(BkResult::kPastEnd, sub.openSubFile(parent, kData));
}

TEST(BkStreamFile, AtMostTwentyFiveFilesStayOpen)
{
    TempDir dir;
    const std::string path = writeTemp(dir, "shared.tvk", oneStream({42}));
    std::vector<std::unique_ptr<cBkStreamFile>> files;
    for (int i = 0; i < 26; ++i) {
        files.push_back(std::make_unique<cBkStreamFile>());
        ASSERT_EQ(0u, files.back()->open(path.c_str()));
        EXPECT_LE(cBkStreamFile::openFileCount(), 25);
    }
    EXPECT_EQ(25, cBkStreamFile::openFileCount());
    const int64_t firstHandle = files[0]->cacheHandle();
    const int64_t secondHandle = files[1]->cacheHandle();
    uint8_t v = 0;
    ASSERT_EQ(0u, files[0]->read(kData, 1, &v));
    EXPECT_EQ(42, v);
    EXPECT_GT(files[0]->cacheHandle(), firstHandle);
    EXPECT_EQ(25, cBkStreamFile::openFileCount());
    // The oldest file still cached was closed to make room; reading it re-opens it too.
    ASSERT_EQ(0u, files[1]->seekAndRead(kData, 1, &v, 0));
    EXPECT_GT(files[1]->cacheHandle(), secondHandle);
    EXPECT_GT(files[1]->modificationTime(), 0);
    files.clear();
    EXPECT_LE(cBkStreamFile::openFileCount(), 25);
}

TEST(BkStreamFile, DirectoryGrowsByItsStep)
{
    cTvkContainerWriter w;
    for (uint32_t i = 1; i <= 30; ++i)
        w.addStream(i, {static_cast<uint8_t>(i)});
    TempDir dir;
    cBkStreamFile f;
    f.setGrowthStep(0);
    ASSERT_EQ(0u, f.open(writeTemp(dir, "many.tvk", w.build()).c_str()));
    EXPECT_EQ(31u, f.entryCount());
    EXPECT_EQ(35u, f.directoryCapacity());
    EXPECT_EQ(nullptr, f.entryAt(31));
}

TEST(BkStreamFile, ConcurrentReadersUnderTheContainerMutex)
{
    TempDir dir;
    Bytes data(4096);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    cBkStreamFile f;
    ASSERT_EQ(0u, openBytes(f, dir, oneStream(data)));
    std::vector<std::thread> threads;
    std::atomic<int> bad{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (uint32_t i = 0; i < 2000; ++i) {
                const uint32_t at = (i * 13 + static_cast<uint32_t>(t) * 101) % 4000;
                uint8_t b[4];
                std::lock_guard<cPlatformMutex> lock(f.mutex());
                if (f.seekAndRead(kData, 4, b, at) != 0 || b[3] != data[at + 3])
                    ++bad;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(0, bad.load());
}
