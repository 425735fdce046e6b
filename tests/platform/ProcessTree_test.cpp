// The process tree's memory figures read from /proc, on this test process and a child it starts.
#include <gtest/gtest.h>

#include "platform/ProcessTree.h"

#include <QCoreApplication>
#include <QProcess>

#include <cstring>
#include <memory>

namespace {

TEST(ProcessTree, OwnFiguresAreOrderedAndTheHeapCountsAllocations)
{
#if !defined(__linux__)
    GTEST_SKIP() << "Linux only";
#endif
    const ProcessTree::Summary before = ProcessTree::summarize(QCoreApplication::applicationPid());
    EXPECT_GE(before.processes, 1);
    EXPECT_GT(before.ownRssKiB, 0);
    // Unique pages are part of the proportional share, which is part of the resident set.
    EXPECT_GT(before.ownUssKiB, 0);
    EXPECT_LE(before.ownUssKiB, before.ownPssKiB);
    EXPECT_LE(before.ownPssKiB, before.ownRssKiB);
    EXPECT_LE(before.ussKiB, before.pssKiB);
    EXPECT_GE(before.otherEngineProcesses, 0);

    // 32 MB written: the heap in use and the unique pages both grow by about that much.
    const qint64 heapBefore = ProcessTree::heapInUseKiB();
    constexpr size_t kSize = 32u << 20;
    std::unique_ptr<char[]> block(new char[kSize]);
    std::memset(block.get(), 1, kSize);
    const qint64 heapAfter = ProcessTree::heapInUseKiB();
    const ProcessTree::Summary after = ProcessTree::summarize(QCoreApplication::applicationPid());
    // glibc's own count; a sanitizer's allocator takes the place of glibc's and keeps its own.
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    EXPECT_GE(heapAfter - heapBefore, 32 * 1024 - 64);
#else
    (void)heapBefore;
    (void)heapAfter;
#endif
    // (Less than the block: the kernel may reclaim or share a few of the process's other pages
    // meanwhile.)
    EXPECT_GE(after.ownUssKiB - before.ownUssKiB, 28 * 1024);
    block.reset();
}

TEST(ProcessTree, AChildIsCountedInTheTree)
{
#if !defined(__linux__)
    GTEST_SKIP() << "Linux only";
#endif
    QProcess child;
    child.start(QStringLiteral("sleep"), {QStringLiteral("5")});
    ASSERT_TRUE(child.waitForStarted(5000));
    const ProcessTree::Summary tree = ProcessTree::summarize(QCoreApplication::applicationPid());
    const ProcessTree::Summary alone = ProcessTree::summarize(child.processId());
    EXPECT_GE(tree.processes, 2);
    EXPECT_EQ(alone.processes, 1);
    EXPECT_EQ(tree.renderers, 0);
    EXPECT_GT(alone.ownRssKiB, 0);
    EXPECT_GE(tree.rssKiB, alone.ownRssKiB);
    child.kill();
    child.waitForFinished(5000);
}

}  // namespace
