// Which mappings an idle process hands back, that their contents survive it, and when it happens.
#include <gtest/gtest.h>

#include "platform/IdlePageTrim.h"

#include <QFile>
#include <QTemporaryDir>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

TEST(IdlePageTrim, OnlyUnwrittenReadOnlyPrivateFileMappingsAreDroppable)
{
    const QByteArray smaps =
        "7f0000000000-7f0000010000 r-xp 00000000 fd:01 123   /usr/lib/libcode.so\n"
        "Size:                 64 kB\n"
        "Rss:                  48 kB\n"
        "Anonymous:             0 kB\n"
        "VmFlags: rd ex mr mw me\n"
        // The loader's relocated data: read-only now, but written.
        "7f0000010000-7f0000012000 r--p 00010000 fd:01 123   /usr/lib/libcode.so\n"
        "Rss:                   8 kB\n"
        "Anonymous:             8 kB\n"
        "7f0000012000-7f0000013000 rw-p 00012000 fd:01 123   /usr/lib/libcode.so\n"
        "Rss:                   4 kB\n"
        "Anonymous:             0 kB\n"
        "7f0000020000-7f0000030000 r--s 00000000 00:01 77    /memfd:shared (deleted)\n"
        "Rss:                  64 kB\n"
        "Anonymous:             0 kB\n"
        "7f0000030000-7f0000031000 r--p 00000000 00:05 9     /dev/dri/card0\n"
        "Rss:                   4 kB\n"
        "Anonymous:             0 kB\n"
        "7f0000040000-7f0000042000 r--p 00000000 fd:01 456   /home/a user/My Books/KJV.tvk (deleted)\n"
        "Rss:                   8 kB\n"
        "Anonymous:             0 kB\n"
        "7f0000050000-7f0000051000 r--p 00000000 fd:01 457   /usr/share/fonts/cold.ttf\n"
        "Rss:                   0 kB\n"
        "Anonymous:             0 kB\n"
        "7f0000060000-7f0000061000 r--p 00000000 fd:01 458   /usr/lib/locked.so\n"
        "Rss:                   4 kB\n"
        "Anonymous:             0 kB\n"
        "VmFlags: rd mr mw me lo\n"
        "55aa00000000-55aa00100000 rw-p 00000000 00:00 0     [heap]\n"
        "Rss:                1024 kB\n"
        "Anonymous:          1024 kB\n"
        "7ffd00000000-7ffd00001000 r--p 00000000 00:00 0     [vvar]\n"
        "Rss:                   4 kB\n"
        "Anonymous:             0 kB\n"
        "garbage line without a range\n";
    const std::vector<IdlePageTrim::Range> ranges = IdlePageTrim::droppableRanges(smaps);
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[0].start, quintptr(0x7f0000000000));
    EXPECT_EQ(ranges[0].end, quintptr(0x7f0000010000));
    EXPECT_EQ(ranges[0].residentKiB, 48);
    EXPECT_EQ(ranges[1].start, quintptr(0x7f0000040000));
    EXPECT_EQ(ranges[1].residentKiB, 8);
    EXPECT_TRUE(IdlePageTrim::droppableRanges(QByteArray()).empty());
}

#if defined(__linux__)
qint64 residentKiBAt(const void* address)
{
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray start = QByteArray::number(quintptr(address), 16) + '-';
    bool inside = false;
    for (const QByteArray& line : smaps.readAll().split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (space > 0 && line.left(space).contains('-') && !line.left(space).contains(':'))
            inside = false;  // the next mapping's first line
        if (line.startsWith(start))
            inside = true;
        else if (inside && line.startsWith("Rss:"))
            return line.mid(4).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}
#endif

TEST(IdlePageTrim, DroppedPagesComeBackWithTheirContentsAndWrittenPagesAreKept)
{
#if !defined(__linux__)
    GTEST_SKIP() << "Linux only";
#else
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("pages.bin"));
    constexpr int kSize = 1 << 20;
    QByteArray bytes(kSize, '\0');
    for (int i = 0; i < kSize; ++i)
        bytes[i] = char(i * 7 + i / 4096);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), kSize);
    }
    const int fd = open(QFile::encodeName(path).constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    auto* readOnly = static_cast<const char*>(mmap(nullptr, kSize, PROT_READ, MAP_PRIVATE, fd, 0));
    auto* written = static_cast<char*>(mmap(nullptr, kSize, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0));
    close(fd);
    ASSERT_NE(readOnly, MAP_FAILED);
    ASSERT_NE(written, MAP_FAILED);
    long sum = 0;
    for (int i = 0; i < kSize; i += 4096)
        sum += readOnly[i] + written[i];
    written[5] = 'X';  // a private copy of one page, then read-only like relocated data
    ASSERT_EQ(mprotect(written, kSize, PROT_READ), 0);
    EXPECT_GE(residentKiBAt(readOnly), 1000) << sum;

    EXPECT_GE(IdlePageTrim::dropNow(), 1000);
    EXPECT_EQ(residentKiBAt(readOnly), 0);
    EXPECT_EQ(QByteArray(readOnly, kSize), bytes);
    EXPECT_EQ(written[5], 'X');
    EXPECT_EQ(QByteArray(written + 6, kSize - 6), bytes.mid(6));
    munmap(const_cast<char*>(readOnly), kSize);
    munmap(written, kSize);
#endif
}

TEST(IdlePageTrim, DropsOnceAfterEachSpellOfWork)
{
    IdlePageTrim::IdleWatch watch(2000, 10);
    std::vector<qint64> dropsAt;
    qint64 cpu = 0;
    // 500 ms samples: start, idle to 3 s, work at 5 s (40 ms), idle to 10 s, a trickle (5 ms a
    // sample, under the limit) to 14 s, work at 15 s.
    for (qint64 now = 0; now <= 20000; now += 500) {
        if (now == 5000 || now == 15000)
            cpu += 40;
        else if (now > 10000 && now <= 14000)
            cpu += 5;
        if (watch.sample(now, cpu))
            dropsAt.push_back(now);
    }
    EXPECT_EQ(dropsAt, (std::vector<qint64> {2000, 7000, 17000}));
}

}  // namespace
