#include "engine/bookfile/cBkEmbeddedFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "BookFileTestSupport.h"
#include "engine/bookfile/cPlatformImage.h"
#include "tools/tvkbuild/TvkEncode.h"

namespace {

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

Bytes pattern(size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(i * 31 + 7);
    return b;
}

struct Embedded {
    TempDir dir;
    cBkStreamFile book;
    cBkEmbeddedFiles files;
    uint32_t result;
    explicit Embedded(const std::vector<std::pair<std::string, Bytes>>& list)
    {
        cTvkContainerWriter w;
        w.addStream(bkTag("INFO"), {1});
        w.addStream(0x7F000001, TvkEncode::embeddedFiles(list), "BIBLEREF");
        EXPECT_EQ(0u, book.open(writeTemp(dir, "book.tvk", w.build()).c_str()));
        result = files.open(&book, book.streamIdForName("BIBLEREF"));
    }
};

}  // namespace

TEST(BkEmbeddedFiles, ExtractionWritesCompleteFilesOnce)
{
    Embedded e({{"Book+Names.csv", pattern(5000)}, {"empty.csv", {}}});
    ASSERT_EQ(0u, e.result);
    TempDir out;
    ASSERT_EQ(0u, e.files.extractToFile("Book Names.csv", out.path() + "/"));
    const std::string written = out.file("Book Names.csv");
    const Bytes expected = pattern(5000);
    EXPECT_EQ(std::string(expected.begin(), expected.end()), slurp(written));
    struct stat st;
    ASSERT_EQ(0, ::stat(written.c_str(), &st));
    EXPECT_EQ(0644u, st.st_mode & 0777);

    // A file already there is left alone.
    {
        std::ofstream(written, std::ios::trunc) << "mine";
    }
    EXPECT_EQ(0u, e.files.extractToFile("Book Names.csv", out.path()));
    EXPECT_EQ("mine", slurp(written));

    ASSERT_EQ(0u, e.files.extractToFile("empty.csv", out.path()));
    ASSERT_EQ(0, ::stat(out.file("empty.csv").c_str(), &st));
    EXPECT_EQ(0, st.st_size);
    EXPECT_EQ(BkResult::kNotFound, e.files.extractToFile("missing.csv", out.path()));
    EXPECT_EQ(BkResult::kCannotCreate, e.files.extractToFile("empty.csv", out.file("no/such/folder")));
}

TEST(BkEmbeddedFiles, FailedCopiesLeaveNothingBehind)
{
    // The embedded stream claims more bytes than the book file holds: the copy's read fails.
    // The book file shrinks after it was opened: the copy's reads fail part way.
    Embedded e({{"a.csv", pattern(100000)}});
    ASSERT_EQ(0u, e.result);
    TempDir out;
    const std::string bookPath = e.dir.file("book.tvk");
    ASSERT_EQ(0, ::truncate(bookPath.c_str(), 50000));
    uint32_t r = e.files.extractToFile("a.csv", out.path());
    EXPECT_EQ(BkResult::kReadFailed, r);
    struct stat st;
    EXPECT_NE(0, ::stat(out.file("a.csv").c_str(), &st));
}

TEST(BkEmbeddedFiles, ReadIntoMemory)
{
    Embedded e({{"pic.png", pattern(300)}});
    cPlatformMemPtr mem;
    ASSERT_EQ(0u, e.files.readIntoMemory("PIC.PNG", mem));
    ASSERT_EQ(300u, mem.size());
    EXPECT_EQ(pattern(300)[299], mem.data()[299]);
    EXPECT_EQ(BkResult::kNotFound, e.files.readIntoMemory("pic png", mem));
    cBkEmbeddedFiles none;
    EXPECT_EQ(BkResult::kNotOpen, none.readIntoMemory("x", mem));
    EXPECT_EQ(BkResult::kNotOpen, none.extractToFile("x", "/tmp"));
    EXPECT_EQ(BkResult::kNotOpen, none.open(nullptr, 1));
}

TEST(PlatformImage, PixelSizesFromPictureHeaders)
{
    Bytes png = {
        0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 1, 0x2C, 0, 0, 0, 0x50};
    cPlatformImage img;
    ASSERT_TRUE(img.loadFromBytes(png.data(), static_cast<uint32_t>(png.size()), "a.png"));
    EXPECT_EQ(300u, img.width());
    EXPECT_EQ(80u, img.height());
    Bytes other = png;
    other[19] = 0x10;
    // The same name and length keep the held picture.
    EXPECT_TRUE(img.loadFromBytes(other.data(), static_cast<uint32_t>(other.size()), "a.png"));
    EXPECT_EQ(300u, img.width());
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 10, 0, 20, 0};
    EXPECT_TRUE(img.loadFromBytes(gif.data(), 10, "g.gif"));
    EXPECT_EQ(10u, img.width());
    Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 0, 0, 0xFF, 0xC0, 0, 11, 8, 0, 33, 0, 44, 3};
    EXPECT_TRUE(img.loadFromBytes(jpeg.data(), static_cast<uint32_t>(jpeg.size()), "j.jpg"));
    EXPECT_EQ(44u, img.width());
    EXPECT_EQ(33u, img.height());
    Bytes bmp(30, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    bmp[14] = 40;
    bmp[18] = 7;
    bmp[22] = 0xFB;
    bmp[23] = bmp[24] = bmp[25] = 0xFF;  // height -5: top-down
    EXPECT_TRUE(img.loadFromBytes(bmp.data(), 30, "b.bmp"));
    EXPECT_EQ(7u, img.width());
    EXPECT_EQ(5u, img.height());
    Bytes junk = {1, 2, 3};
    EXPECT_FALSE(img.loadFromBytes(junk.data(), 3, "x.png"));
    EXPECT_EQ(50u, img.width());
    EXPECT_EQ(24u, img.height());
    EXPECT_EQ("", img.name());
    Bytes loopingJpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0};
    EXPECT_FALSE(img.loadFromBytes(loopingJpeg.data(), 6, "bad.jpg"));
}

TEST(PlatformImage, BitmapNames)
{
    EXPECT_TRUE(cPlatformImage::isBitmapFileName("MAP.BMP"));
    EXPECT_TRUE(cPlatformImage::isBitmapFileName("bmp"));
    EXPECT_FALSE(cPlatformImage::isBitmapFileName("x.bmp.png"));
    EXPECT_FALSE(cPlatformImage::isBitmapFileName("x.bm"));
}
