#include "engine/bookfile/cBkStreamFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
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

// The process's file descriptors open on `path`, or on any file in it when it is a folder.
int descriptorsOf(const std::string& path)
{
    const std::string wanted = std::filesystem::canonical(path).string();
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error).string();
        if (target == wanted || target.starts_with(wanted + "/"))
            ++count;
    }
    return count;
}

uint32_t openBytes(cBkStreamFile& f, const TempDir& dir, const Bytes& bytes, const std::string& name = "c.tvk")
{
    return f.open(writeTemp(dir, name, bytes).c_str());
}

}  // namespace

TEST(BkStreamFile, TagsPutTheFirstCharacterInTheLowestByte)
{
    EXPECT_EQ(0x4F464E49u, bkTag("INFO"));
}

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
        EXPECT_LE(descriptorsOf(path), 25);
    }
    EXPECT_EQ(25, descriptorsOf(path));
    // The first file was closed to make room; reading it re-opens it and closes the oldest other.
    uint8_t v = 0;
    ASSERT_EQ(0u, files[0]->read(kData, 1, &v));
    EXPECT_EQ(42, v);
    EXPECT_EQ(25, descriptorsOf(path));
    ASSERT_EQ(0u, files[1]->seekAndRead(kData, 1, &v, 0));
    EXPECT_EQ(42, v);
    EXPECT_GT(files[1]->modificationTime(), 0);
    EXPECT_EQ(25, descriptorsOf(path));
    files.clear();
    EXPECT_EQ(0, descriptorsOf(path));
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
    EXPECT_EQ(30u, f.entryAt(30)->id);
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
    std::atomic<int> bad {0};
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

namespace {

// Bytes that differ at every position of a stream (and between streams, through `salt`).
Bytes patterned(size_t n, uint32_t salt)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) {
        // No zero bytes, so that no string ends inside the data.
        const uint8_t v = static_cast<uint8_t>((i * 131 + i / 251 + salt * 17) & 0xFF);
        b[i] = v == 0 ? 0x5A : v;
    }
    return b;
}

// Two streams back to back, each longer than two read windows.
struct TwoStreams {
    TempDir dir;
    Bytes a = patterned(2 * cBkStreamFile::kReadWindow + 1234, 1);
    Bytes b = patterned(cBkStreamFile::kReadWindow + 77, 2);
    std::string path;
    TwoStreams()
    {
        cTvkContainerWriter w;
        w.addStream(1, a);
        w.addStream(2, b);
        path = writeTemp(dir, "two.tvk", w.build());
    }
};

}  // namespace

TEST(BkStreamFile, WindowedReadsMatchTheFileAcrossWindowAndStreamBounds)
{
    TwoStreams s;
    cBkStreamFile f;
    ASSERT_EQ(0u, f.open(s.path.c_str()));
    const uint32_t W = cBkStreamFile::kReadWindow;
    const uint32_t len = static_cast<uint32_t>(s.a.size());
    // Reads that start before, on and after window-sized steps, of sizes around the window's, and
    // every read that ends exactly at the stream's end.
    const std::vector<uint32_t> starts = {0, 1, 511, 512, W - 1, W, W + 1, 2 * W - 3, len - W, len - 1};
    const std::vector<uint32_t> sizes = {1, 2, 100, W - 1, W, W + 1, 2 * W};
    for (bool backwards : {false, true}) {
        for (size_t i = 0; i < starts.size(); ++i) {
            const uint32_t at = starts[backwards ? starts.size() - 1 - i : i];
            for (uint32_t n : sizes) {
                Bytes got(n, 0xEE);
                const uint32_t r = f.seekAndRead(1, n, got.data(), at);
                if (static_cast<uint64_t>(at) + n > len) {
                    EXPECT_EQ(BkResult::kPastEnd, r) << at << "+" << n;
                    EXPECT_EQ(at, f.tell(1));
                    continue;
                }
                ASSERT_EQ(0u, r) << at << "+" << n;
                ASSERT_TRUE(std::equal(got.begin(), got.end(), s.a.begin() + at)) << at << "+" << n;
                EXPECT_EQ(at + n, f.tell(1));
            }
        }
    }
    // Interleaved byte reads of both streams never see the neighbour's bytes.
    for (uint32_t i = 0; i < s.b.size(); i += 97) {
        uint8_t x = 0, y = 0;
        ASSERT_EQ(0u, f.seekAndRead(1, 1, &x, len - 1 - i));
        ASSERT_EQ(0u, f.seekAndRead(2, 1, &y, i));
        ASSERT_EQ(s.a[len - 1 - i], x);
        ASSERT_EQ(s.b[i], y);
    }
    // Strings and bits through the window: the last byte of stream 1 is no string (no NUL before
    // the end), and the bits of a byte read from the window come most significant first.
    std::string text = "kept";
    EXPECT_EQ(BkResult::kPastEnd, f.readString(1, text, len - 1));
    EXPECT_EQ("kept", text);
    ASSERT_EQ(0u, f.seek(2, W + 76));
    uint8_t value = 0;
    for (int k = 0; k < 8; ++k)
        value = static_cast<uint8_t>((value << 1) | f.readBit(2));
    EXPECT_EQ(s.b[W + 76], value);
    EXPECT_EQ(BkResult::kPastEnd, f.readBit(2));
}

TEST(BkStreamFile, WindowsStayRightWhenTheCacheClosesAndReopensFiles)
{
    TempDir dir;
    constexpr int kBooks = 26;
    std::vector<std::string> paths;
    std::vector<std::unique_ptr<cBkStreamFile>> files;
    for (int i = 0; i < kBooks; ++i) {
        paths.push_back(writeTemp(dir, "book" + std::to_string(i) + ".tvk",
            oneStream(patterned(3 * cBkStreamFile::kReadWindow, static_cast<uint32_t>(i)))));
        files.push_back(std::make_unique<cBkStreamFile>());
        ASSERT_EQ(0u, files.back()->open(paths.back().c_str()));
    }
    // Every round touches all 26 books in turn, so each read may find its file closed.
    for (uint32_t round = 0; round < 6; ++round) {
        for (int i = 0; i < kBooks; ++i) {
            const Bytes expected = patterned(3 * cBkStreamFile::kReadWindow, static_cast<uint32_t>(i));
            const uint32_t at = (round * 5003 + static_cast<uint32_t>(i) * 389) % (3 * cBkStreamFile::kReadWindow - 40);
            uint8_t got[40];
            ASSERT_EQ(0u, files[i]->seekAndRead(kData, 40, got, at)) << i;
            ASSERT_TRUE(std::equal(got, got + 40, expected.begin() + at)) << i << " " << at;
            EXPECT_LE(descriptorsOf(dir.path()), 25);
        }
    }
    // A file replaced while it was closed is read afresh after the re-open, not from old windows.
    uint8_t before = 0;
    ASSERT_EQ(0u, files[0]->seekAndRead(kData, 1, &before, 10));
    for (int i = 1; i < kBooks; ++i)
        ASSERT_EQ(0u, files[i]->seekAndRead(kData, 1, &before, 0));
    const Bytes replaced = patterned(3 * cBkStreamFile::kReadWindow, 99);
    writeTemp(dir, "book0.tvk", oneStream(replaced));
    uint8_t after = 0;
    ASSERT_EQ(0u, files[0]->seekAndRead(kData, 1, &after, 11));
    EXPECT_EQ(replaced[11], after);
}

TEST(BkStreamFile, CutFilesAnswerReadFailedAndPastEndAsBefore)
{
    TwoStreams s;
    cBkStreamFile f;
    ASSERT_EQ(0u, f.open(s.path.c_str()));
    // Cut the file inside stream 1 after the container was opened.
    const uint32_t cut = 5000;
    const uint32_t streamStart = f.directory()[1].absoluteStart;
    ASSERT_EQ(0, truncate(s.path.c_str(), static_cast<off_t>(streamStart + cut)));
    // Bytes before the cut read; a read reaching past it fails with 224 and leaves the position.
    Bytes got(2 * cBkStreamFile::kReadWindow);
    ASSERT_EQ(0u, f.seekAndRead(1, 100, got.data(), cut - 100));
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 100, s.a.begin() + cut - 100));
    EXPECT_EQ(BkResult::kReadFailed, f.seekAndRead(1, 2, got.data(), cut - 1));
    EXPECT_EQ(cut - 1, f.tell(1));
    EXPECT_EQ(BkResult::kReadFailed, f.seekAndRead(1, 100, got.data(), cut + 10));
    EXPECT_EQ(BkResult::kReadFailed, f.seekAndRead(1, static_cast<uint32_t>(got.size()), got.data(), 0));
    uint8_t x = 0;
    ASSERT_EQ(0u, f.seekAndRead(1, 1, &x, cut - 1));
    EXPECT_EQ(s.a[cut - 1], x);
    EXPECT_EQ(BkResult::kReadFailed, f.readBit(1));
    EXPECT_EQ(BkResult::kReadFailed, f.seekAndRead(2, 1, &x, 0));
    EXPECT_EQ(0u, f.tell(2));
    // Reads past a stream's end are refused before the file is touched.
    EXPECT_EQ(BkResult::kPastEnd, f.seekAndRead(2, 2, &x, static_cast<uint32_t>(s.b.size() - 1)));
    std::string text = "kept";
    EXPECT_EQ(BkResult::kReadFailed, f.readString(1, text, cut - 30));
    EXPECT_EQ("kept", text);
    EXPECT_EQ(cut, f.tell(1));
    // A fresh container on the cut file refuses it by its length.
    cBkStreamFile again;
    EXPECT_EQ(BkResult::kWrongLength, again.open(s.path.c_str()));
}

TEST(BkStreamFile, ThreadsReadingOneContainerGetTheirOwnBytes)
{
    TwoStreams s;
    cBkStreamFile f;
    ASSERT_EQ(0u, f.open(s.path.c_str()));
    std::atomic<int> bad {0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            const uint32_t id = t % 2 == 0 ? 1 : 2;
            const Bytes& expected = id == 1 ? s.a : s.b;
            for (uint32_t i = 0; i < 3000; ++i) {
                const uint32_t n = 1 + (i * 7 + static_cast<uint32_t>(t)) % 300;
                const uint32_t at =
                    (i * 4099 + static_cast<uint32_t>(t) * 131) % static_cast<uint32_t>(expected.size() - n);
                uint8_t got[300];
                std::lock_guard<cPlatformMutex> lock(f.mutex());
                if (f.seekAndRead(id, n, got, at) != 0 || !std::equal(got, got + n, expected.begin() + at))
                    ++bad;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(0, bad.load());
}
