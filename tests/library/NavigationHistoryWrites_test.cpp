// When the history's snapshots reach the disk: a go-to records its state in memory, and the files
// follow a moment later, when the history file is written, or when the history goes.
#include "library/NavigationHistory.h"

#include "GoToPanesDouble.h"
#include "platform/KeyedArchive.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
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

    QTemporaryDir m_cache;
    GoToPanesDouble m_panes;
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
