// When the history's snapshots reach the disk: a go-to records its state in memory, and the files
// follow a moment later, when the history file is written, or when the history goes. The stacks
// follow their snapshots a moment later too, so that a kill keeps Back and Forward; a snapshot that
// leaves its stack leaves the disk, after the history file that no longer names it, also at the
// stack's cap; Back reads what the held worker has not written yet.
#include "library/NavigationHistory.h"

#include "GoToPanesDouble.h"
#include "platform/FileWriteQueue.h"
#include "platform/KeyedArchive.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const QString kA = QStringLiteral("AAAAAAAA-1111-2222-3333-444444444444");

void ensureApplication()
{
    static int argc = 1;
    static char name[] = "NavigationHistoryWrites_test";
    static char* argv[] = {name, nullptr};
    if (QCoreApplication::instance() == nullptr)
        new QCoreApplication(argc, argv);  // kept for the process
}

bool waitFor(const std::function<bool()>& condition, int msecs = 10000)
{
    QDeadlineTimer deadline(msecs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class NavigationHistoryWritesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ensureApplication();
        ASSERT_TRUE(m_cache.isValid());
        LayoutDouble a;
        a.uuid = kA;
        a.panes.resize(1);
        m_panes.layouts = {a};
    }

    void record(NavigationHistory& h, int state)
    {
        m_panes.layouts[0].state = state;
        h.addStateToHistory(true, kA);
    }

    QString newest(const NavigationHistory& h) const { return h.absolutePath(h.stackForLayout(kA)->entries.last()); }

    static int stateIn(const QString& path)
    {
        return KeyedUnarchiver(KeyedArchive::readFile(path)).decodeInt32(QStringLiteral("state"), -1);
    }

    QStringList snapshotFiles(const QString& cache) const
    {
        return QDir(QDir(cache).filePath(QStringLiteral("history/") + kA))
            .entryList({QStringLiteral("*.plist")}, QDir::Files);
    }

    QTemporaryDir m_cache;
    GoToPanesDouble m_panes;
};

// The stack of layout A as the history file on disk names it (cursor, then entries); empty when the
// file does not name it.
QVariantList stackOnDisk(const NavigationHistory& h)
{
    const QVariant stacks =
        KeyedUnarchiver(KeyedArchive::readFile(h.historyFilePath())).decodeValue(QStringLiteral("stacks"));
    return stacks.toMap().value(kA).toList();
}

// Holds the shared write queue's worker in a write of its own until released (also when the test
// fails), so that what is queued behind it stays off the disk.
class HeldWorker {
public:
    explicit HeldWorker(const QString& path)
    {
        FileWriteQueue::shared().write(
            path,
            [this] {
                std::unique_lock lock(m_mutex);
                m_holding = true;
                m_changed.notify_all();
                m_changed.wait(lock, [this] { return m_released; });
                return FileWriteQueue::Content {QByteArray("held"), QString(), false};
            },
            QStringLiteral("a held file"));
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_holding; });
    }
    ~HeldWorker() { release(); }
    void release()
    {
        {
            std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_changed.notify_all();
        FileWriteQueue::shared().finish();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_holding = false;
    bool m_released = false;
};

TEST_F(NavigationHistoryWritesTest, ARecordedStateIsWrittenAMomentLaterAndABurstTogether)
{
    NavigationHistory h(m_panes, m_cache.path());
    record(h, 1);
    const QString first = newest(h);
    EXPECT_FALSE(QFileInfo::exists(first));  // not on the go-to's time
    record(h, 2);
    const QString second = newest(h);
    EXPECT_FALSE(QFileInfo::exists(second));
    ASSERT_TRUE(waitFor([&] { return QFileInfo::exists(first) && QFileInfo::exists(second); }));
    EXPECT_EQ(stateIn(first), 1);
    EXPECT_EQ(stateIn(newest(h)), 2);
}

TEST_F(NavigationHistoryWritesTest, SavingTheHistoryOrEndingItWritesEveryState)
{
    QString saved;
    {
        NavigationHistory h(m_panes, m_cache.path());
        record(h, 3);
        saved = newest(h);
        ASSERT_TRUE(h.saveHistoryToFile());
        EXPECT_EQ(stateIn(saved), 3);
        record(h, 4);
        saved = newest(h);
        EXPECT_FALSE(QFileInfo::exists(saved));
    }
    EXPECT_EQ(stateIn(saved), 4);  // written as the history went
}

TEST_F(NavigationHistoryWritesTest, BackReachesAStateNotYetWritten)
{
    NavigationHistory h(m_panes, m_cache.path());
    record(h, 5);
    record(h, 6);
    m_panes.layouts[0].state = 7;
    h.goBackInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 5);
    EXPECT_EQ(h.stackForLayout(kA)->cursor, 1u);
}

TEST_F(NavigationHistoryWritesTest, BackReadsSnapshotsWhileTheWriteThreadIsHeld)
{
    NavigationHistory h(m_panes, m_cache.path());
    for (int state = 1; state <= 3; ++state)
        record(h, state);
    const QStringList entries = h.stackForLayout(kA)->entries;
    {
        HeldWorker held(QDir(m_cache.path()).filePath(QStringLiteral("held")));
        h.queueRecordedStates();  // handed to the worker, which cannot write them yet
        for (const QString& e : entries)
            ASSERT_FALSE(QFileInfo::exists(h.absolutePath(e)));
        h.goBackInHistory();
        EXPECT_EQ(m_panes.layouts[0].state, 2);
        h.goBackInHistory();
        EXPECT_EQ(m_panes.layouts[0].state, 1);
        EXPECT_EQ(h.stackForLayout(kA)->entries, entries) << "a snapshot on its way to the disk was dropped";
        EXPECT_TRUE(snapshotFiles(m_cache.path()).isEmpty());
    }
    // Written now, and read from the disk on the way forward.
    EXPECT_EQ(snapshotFiles(m_cache.path()).size(), 3);
    h.goForwardInHistory();
    h.goForwardInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 3);
    EXPECT_EQ(h.stackForLayout(kA)->cursor, 3u);
}

TEST_F(NavigationHistoryWritesTest, AKillKeepsBackAndForwardUpToTheLastMoment)
{
    {
        // A first run that quits.
        NavigationHistory run(m_panes, m_cache.path());
        run.loadHistoryFromFile();
        for (int state = 1; state <= 3; ++state)
            record(run, state);
        ASSERT_TRUE(run.saveHistoryToFile());
    }
    // A second run: ten go-tos and a Back, then killed, with no quit and no save. The disk holds
    // its stack a moment later, as it is when the run is killed.
    QTemporaryDir killed;
    ASSERT_TRUE(killed.isValid());
    {
        NavigationHistory run(m_panes, m_cache.path());
        run.loadHistoryFromFile();
        for (int state = 10; state < 20; ++state)
            record(run, state);
        run.goBackInHistory();
        ASSERT_EQ(m_panes.layouts[0].state, 18);
        const NavigationHistory::Stack stack = *run.stackForLayout(kA);
        ASSERT_EQ(stack.entries.size(), 13);
        QVariantList expected {QVariant::fromValue<qulonglong>(12)};
        for (const QString& e : stack.entries)
            expected.append(e);
        ASSERT_TRUE(waitFor([&] { return stackOnDisk(run) == expected; }))
            << "the history file names " << stackOnDisk(run).size() - 1 << " entries";
        FileWriteQueue::shared().finish();
        // What a kill leaves: the history folder as it is now.
        const QDir from(QDir(m_cache.path()).filePath(QStringLiteral("history")));
        QDirIterator walk(from.path(), QDir::Files, QDirIterator::Subdirectories);
        while (walk.hasNext()) {
            const QString path = walk.next();
            const QString to = QDir(killed.path()).filePath(QStringLiteral("history/") + from.relativeFilePath(path));
            QDir().mkpath(QFileInfo(to).absolutePath());
            ASSERT_TRUE(QFile::copy(path, to));
        }
    }
    // The third run opens where the kill left the screen, and Back reaches the second run's places
    // and then the first's; no snapshot the history names is gone.
    NavigationHistory run(m_panes, killed.path());
    run.loadHistoryFromFile();
    EXPECT_EQ(snapshotFiles(killed.path()).size(), 13);
    ASSERT_TRUE(run.stackForLayout(kA));
    EXPECT_EQ(run.stackForLayout(kA)->cursor, 12u);
    QList<int> backs;
    while (run.canGoBackInHistory()) {
        run.goBackInHistory();
        backs.append(m_panes.layouts[0].state);
    }
    EXPECT_EQ(backs, (QList<int> {17, 16, 15, 14, 13, 12, 11, 10, 3, 2, 1}));
    run.goForwardInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 2);
}

TEST_F(NavigationHistoryWritesTest, ASnapshotBroughtUpToDateAndThenDroppedLeavesTheDisk)
{
    m_panes.comparePlaces = true;
    NavigationHistory h(m_panes, m_cache.path());
    record(h, 1);
    record(h, 2);
    ASSERT_TRUE(h.writeRecordedStates());
    const QString second = newest(h);
    ASSERT_TRUE(QFileInfo::exists(second));
    // A click between panes: the same places, so the state shown is brought up to date in memory.
    m_panes.layouts[0].panes[0].dirty = true;
    h.addStateToHistory(true, kA);
    ASSERT_EQ(h.stackForLayout(kA)->entries.size(), 2);
    // Back, and a new place: the state brought up to date leaves its stack, and its file the disk
    // once the history file no longer names it.
    h.goBackInHistory();
    record(h, 5);
    ASSERT_TRUE(h.writeRecordedStates());
    EXPECT_FALSE(QFileInfo::exists(second));
    EXPECT_EQ(snapshotFiles(m_cache.path()).size(), 2);
}

TEST_F(NavigationHistoryWritesTest, AtTheCapTheHistoryFileNeverNamesASnapshotThatIsGone)
{
    NavigationHistory h(m_panes, m_cache.path());
    for (int state = 1; state <= NavigationHistory::kMaxEntries; ++state)
        record(h, state);
    ASSERT_TRUE(h.saveHistoryToFile());
    // What a kill would leave at this moment: every snapshot the history file names is on disk.
    const auto namedAreOnDisk = [&] {
        const QVariantList stack = stackOnDisk(h);
        if (stack.size() != NavigationHistory::kMaxEntries + 1)
            return false;
        for (qsizetype i = 1; i < stack.size(); ++i) {
            if (!QFileInfo(h.absolutePath(stack[i].toString())).isFile())
                return false;
        }
        return true;
    };
    ASSERT_TRUE(namedAreOnDisk());
    const QString oldest = h.absolutePath(h.stackForLayout(kA)->entries.first());
    record(h, 31);  // the oldest state leaves the full stack
    EXPECT_TRUE(namedAreOnDisk()) << "a kill now leaves the history naming a snapshot that is gone";
    {
        HeldWorker held(QDir(m_cache.path()).filePath(QStringLiteral("held")));
        h.queueRecordedStates();
        EXPECT_TRUE(namedAreOnDisk());
    }
    EXPECT_TRUE(namedAreOnDisk());
    ASSERT_TRUE(h.writeRecordedStates());
    EXPECT_TRUE(namedAreOnDisk());
    EXPECT_FALSE(QFileInfo::exists(oldest));
    EXPECT_EQ(snapshotFiles(m_cache.path()).size(), NavigationHistory::kMaxEntries);
    EXPECT_EQ(stateIn(h.absolutePath(stackOnDisk(h).last().toString())), 31);
}

TEST_F(NavigationHistoryWritesTest, ADroppedStateIsNeverWritten)
{
    NavigationHistory h(m_panes, m_cache.path());
    record(h, 1);
    record(h, 2);
    const QString dropped = newest(h);
    h.goBackInHistory();
    record(h, 9);  // recording from an earlier state drops the later one
    EXPECT_FALSE(h.stackForLayout(kA)->entries.contains(
        QDir(QDir(m_cache.path()).filePath(QStringLiteral("history"))).relativeFilePath(dropped)));
    ASSERT_TRUE(h.writeRecordedStates());
    EXPECT_FALSE(QFileInfo::exists(dropped));
    EXPECT_EQ(stateIn(newest(h)), 9);
}

TEST_F(NavigationHistoryWritesTest, AStateThatCannotBeWrittenLeavesItsStack)
{
    NavigationHistory h(m_panes, m_cache.path());
    record(h, 1);
    ASSERT_TRUE(h.writeRecordedStates());
    record(h, 2);
    // The layout's folder replaced by a file: nothing can be written into it.
    const QString folder = QFileInfo(newest(h)).absolutePath();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_FALSE(h.writeRecordedStates());
    const auto stack = h.stackForLayout(kA);
    ASSERT_TRUE(stack);
    EXPECT_EQ(stack->entries.size(), 1);
    EXPECT_EQ(stack->cursor, 1u);
    EXPECT_TRUE(h.writeRecordedStates());  // the state that failed is no longer waiting
}

}  // namespace
