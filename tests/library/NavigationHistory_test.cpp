#include "library/NavigationHistory.h"

#include "GoToPanesDouble.h"
#include "platform/KeyedArchive.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

const QString kA = QStringLiteral("AAAAAAAA-1111-2222-3333-444444444444");
const QString kB = QStringLiteral("BBBBBBBB-1111-2222-3333-444444444444");

class NavigationHistoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_cache.isValid());
        LayoutDouble a;
        a.uuid = kA;
        a.panes.resize(2);
        LayoutDouble b;
        b.uuid = kB;
        b.panes.resize(1);
        m_panes.layouts = {a, b};
    }

    // Records states 1..n of layout A, each after a change of pane 0.
    void recordStates(NavigationHistory& h, int n, int first = 1)
    {
        for (int i = first; i < first + n; ++i) {
            m_panes.layouts[0].state = i;
            h.addStateToHistory(true, kA);
        }
        h.writeRecordedStates();
    }

    QStringList snapshotFiles(const QString& uuid) const
    {
        return QDir(QDir(m_cache.path()).filePath(QStringLiteral("history/") + uuid))
            .entryList({QStringLiteral("*.plist")}, QDir::Files);
    }

    int stateOfEntry(const NavigationHistory& h, const QString& uuid, int index) const
    {
        const auto stack = h.stackForLayout(uuid);
        KeyedUnarchiver u(KeyedArchive::readFile(h.absolutePath(stack->entries.at(index))));
        return u.decodeInt32(QStringLiteral("state"), -1);
    }

    QTemporaryDir m_cache;
    GoToPanesDouble m_panes;
};

TEST_F(NavigationHistoryTest, RecordingKeepsThirtyEntriesAndTheirFiles)
{
    NavigationHistory h(m_panes, m_cache.path());
    recordStates(h, 30);
    const QString oldest = h.absolutePath(h.stackForLayout(kA)->entries.first());
    ASSERT_TRUE(QFileInfo::exists(oldest));
    recordStates(h, 1, 31);
    const auto stack = h.stackForLayout(kA);
    ASSERT_TRUE(stack);
    EXPECT_EQ(stack->entries.size(), 30);
    EXPECT_EQ(stack->cursor, 30u);
    EXPECT_FALSE(QFileInfo::exists(oldest));
    EXPECT_EQ(snapshotFiles(kA).size(), 30);
    EXPECT_EQ(stateOfEntry(h, kA, 0), 2);
    EXPECT_EQ(stateOfEntry(h, kA, 29), 31);
    for (const QString& e : stack->entries) {
        EXPECT_TRUE(e.startsWith(kA + u'/')) << e.toStdString();
        EXPECT_FALSE(QDir::isAbsolutePath(e));
    }
}

TEST_F(NavigationHistoryTest, UnforcedRecordingOnlyWhenSomethingChanged)
{
    NavigationHistory h(m_panes, m_cache.path());
    h.addStateToHistory(false, kA);  // empty stack: records
    EXPECT_EQ(h.stackForLayout(kA)->entries.size(), 1);
    h.addStateToHistory(false, kA);  // nothing changed
    EXPECT_EQ(h.stackForLayout(kA)->entries.size(), 1);
    m_panes.layouts[0].panes[1].dirty = true;
    h.addStateToHistory(false, kA);
    EXPECT_EQ(h.stackForLayout(kA)->entries.size(), 2);
    EXPECT_EQ(m_panes.layouts[0].panes[1].captured, 1);
    EXPECT_FALSE(m_panes.layouts[0].panes[1].dirty);
    h.addStateToHistory(true, kA);  // forced
    EXPECT_EQ(h.stackForLayout(kA)->entries.size(), 3);
    h.addStateToHistory(true, QStringLiteral("no-such-layout"));
    h.addStateToHistory(true, QStringLiteral("../../etc"));
    EXPECT_EQ(h.stacks().size(), 1);
    EXPECT_FALSE(QFileInfo::exists(QDir(m_cache.path()).filePath(QStringLiteral("etc"))));
}

TEST_F(NavigationHistoryTest, BackForwardAndRecordingDropsForwardEntries)
{
    NavigationHistory h(m_panes, m_cache.path());
    EXPECT_FALSE(h.canGoBackInHistory());
    h.goBackInHistory();  // no stack: nothing
    recordStates(h, 5);
    EXPECT_TRUE(h.canGoBackInHistory());
    EXPECT_FALSE(h.canGoForwardInHistory());
    h.goBackInHistory();
    h.goBackInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 3);
    EXPECT_EQ(h.stackForLayout(kA)->cursor, 3u);
    EXPECT_TRUE(h.canGoForwardInHistory());
    h.goForwardInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 4);
    h.goBackInHistory();
    const QStringList forward = h.stackForLayout(kA)->entries.mid(3);
    ASSERT_EQ(forward.size(), 2);
    m_panes.layouts[0].state = 9;
    h.addStateToHistory(true, kA);
    h.writeRecordedStates();
    const auto stack = h.stackForLayout(kA);
    EXPECT_EQ(stack->entries.size(), 4);
    EXPECT_EQ(stack->cursor, 4u);
    for (const QString& e : forward)
        EXPECT_FALSE(QFileInfo::exists(h.absolutePath(e)));
    EXPECT_EQ(snapshotFiles(kA).size(), 4);
    EXPECT_FALSE(h.canGoForwardInHistory());

    // Back to the first state, and no further.
    for (int i = 0; i < 6; ++i)
        h.goBackInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 1);
    EXPECT_EQ(h.stackForLayout(kA)->cursor, 1u);
    EXPECT_FALSE(h.canGoBackInHistory());
}

TEST_F(NavigationHistoryTest, BackWithUnrecordedChangesReturnsToTheRecordedStateFirst)
{
    NavigationHistory h(m_panes, m_cache.path());
    recordStates(h, 1);
    EXPECT_FALSE(h.canGoBackInHistory());
    m_panes.layouts[0].state = 77;  // scrolled since
    m_panes.layouts[0].panes[0].dirty = true;
    EXPECT_TRUE(h.canGoBackInHistory());
    recordStates(h, 1, 2);
    m_panes.layouts[0].state = 50;
    m_panes.layouts[0].panes[0].dirty = true;
    h.goBackInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 2);
    EXPECT_EQ(h.stackForLayout(kA)->cursor, 2u);
    h.goBackInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 1);
}

TEST_F(NavigationHistoryTest, PanesReReportingAfterBackDoNotHoldTheNextBack)
{
    NavigationHistory h(m_panes, m_cache.path());
    m_panes.comparePlaces = true;  // as the real panes do: a re-report leaves the places as they were
    recordStates(h, 4);
    h.goBackInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 3);
    // The restored pages tell where they landed, a few points off: the panes look changed.
    m_panes.layouts[0].panes[0].dirty = true;
    h.goBackInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 2);
    m_panes.layouts[0].panes[1].dirty = true;
    // An unforced recording of the shown state adds nothing and keeps the states ahead.
    h.addStateToHistory(false, kA);
    EXPECT_EQ(h.stackForLayout(kA)->entries.size(), 4);
    EXPECT_TRUE(h.canGoForwardInHistory());
    h.goForwardInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 3);
    // A new place recorded after it: Back with unrecorded changes returns to it first again.
    m_panes.layouts[0].state = 8;
    h.addStateToHistory(true, kA);
    m_panes.layouts[0].state = 9;
    m_panes.layouts[0].panes[0].dirty = true;
    h.goBackInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 8);
}

TEST_F(NavigationHistoryTest, AStateWithThePlacesShownLastIsNoStepAndEveryBackShowsAChange)
{
    NavigationHistory h(m_panes, m_cache.path());
    m_panes.comparePlaces = true;
    recordStates(h, 3);
    // A click between panes records the places shown already: no new step, the state is kept up
    // to date in place.
    m_panes.layouts[0].panes[1].dirty = true;
    h.addStateToHistory(false, kA);
    h.addStateToHistory(true, kA);
    EXPECT_EQ(h.stackForLayout(kA)->entries.size(), 3);
    EXPECT_EQ(h.stackForLayout(kA)->cursor, 3u);
    // After Back the same: the states ahead stay.
    h.goBackInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 2);
    h.addStateToHistory(true, kA);
    EXPECT_EQ(h.stackForLayout(kA)->entries.size(), 3);
    ASSERT_TRUE(h.canGoForwardInHistory());
    h.goForwardInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 3);
    // A change that left every place where it was offers no Back to the recorded state itself.
    m_panes.layouts[0].panes[0].dirty = true;
    h.goBackInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 2);
    h.writeRecordedStates();
    EXPECT_EQ(snapshotFiles(kA).size(), 3);
    // A history written before states were compared: Back passes over a state with the places shown.
    m_panes.comparePlaces = false;
    recordStates(h, 2, 7);
    m_panes.layouts[0].state = 8;
    h.addStateToHistory(true, kA);
    m_panes.comparePlaces = true;
    h.goBackInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 7);
    EXPECT_EQ(h.stackForLayout(kA)->cursor, 3u);
}

TEST_F(NavigationHistoryTest, UnreadableSnapshotIsDroppedAndTheNextOneTried)
{
    NavigationHistory h(m_panes, m_cache.path());
    recordStates(h, 4);
    const auto before = h.stackForLayout(kA);
    QFile damaged(h.absolutePath(before->entries[2]));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("<?xml garbage");
    damaged.close();
    h.goBackInHistory();  // entry 3 is damaged: entry 2 is shown
    EXPECT_EQ(m_panes.layouts[0].state, 2);
    auto stack = h.stackForLayout(kA);
    EXPECT_EQ(stack->entries.size(), 3);
    EXPECT_EQ(stack->cursor, 2u);
    EXPECT_EQ(stateOfEntry(h, kA, 1), 2);
    // Its file goes after the history file that no longer names it.
    EXPECT_TRUE(h.writeRecordedStates());
    EXPECT_FALSE(QFileInfo::exists(damaged.fileName()));

    QFile::remove(h.absolutePath(stack->entries[2]));
    h.goForwardInHistory();  // the only forward entry is gone: nothing to show
    EXPECT_EQ(m_panes.layouts[0].state, 2);
    stack = h.stackForLayout(kA);
    EXPECT_EQ(stack->entries.size(), 2);
    EXPECT_EQ(stack->cursor, 2u);
    EXPECT_FALSE(h.canGoForwardInHistory());

    m_panes.failRestore = true;  // the pane manager cannot read any snapshot
    h.goBackInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 2);
    EXPECT_EQ(h.stackForLayout(kA)->cursor, 1u);
    EXPECT_EQ(h.stackForLayout(kA)->entries.size(), 1);
}

TEST_F(NavigationHistoryTest, HistorySurvivesARestartWithItsLimits)
{
    {
        NavigationHistory h(m_panes, m_cache.path());
        recordStates(h, 35);
        m_panes.layouts[1].state = 5;
        h.addStateToHistory(true, kB);
        EXPECT_TRUE(h.saveHistoryToFile());
    }
    NavigationHistory h(m_panes, m_cache.path());
    h.loadHistoryFromFile();
    ASSERT_TRUE(h.stackForLayout(kA));
    EXPECT_EQ(h.stackForLayout(kA)->entries.size(), 30);
    EXPECT_EQ(h.stackForLayout(kA)->cursor, 30u);
    EXPECT_EQ(h.stackForLayout(kB)->entries.size(), 1);
    EXPECT_EQ(stateOfEntry(h, kA, 0), 6);
    recordStates(h, 1, 36);
    EXPECT_EQ(h.stackForLayout(kA)->entries.size(), 30);
    EXPECT_EQ(snapshotFiles(kA).size(), 30);
    h.goBackInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 35);

    // The stored paths are relative: a moved cache folder keeps its history.
    ASSERT_TRUE(h.saveHistoryToFile());
    QTemporaryDir moved;
    ASSERT_TRUE(QDir().rename(QDir(m_cache.path()).filePath(QStringLiteral("history")),
        QDir(moved.path()).filePath(QStringLiteral("history"))));
    NavigationHistory m(m_panes, moved.path());
    m.loadHistoryFromFile();
    EXPECT_EQ(m.stackForLayout(kA)->entries.size(), 30);
    m.goBackInHistory();
    EXPECT_EQ(m_panes.layouts[0].state, 34);
}

TEST_F(NavigationHistoryTest, LoadRepairsStacksWhoseFilesAreGone)
{
    {
        NavigationHistory h(m_panes, m_cache.path());
        recordStates(h, 5);
        h.goBackInHistory();  // cursor 4, state 4
        QFile::remove(h.absolutePath(h.stackForLayout(kA)->entries[1]));
        ASSERT_TRUE(h.saveHistoryToFile());
    }
    NavigationHistory h(m_panes, m_cache.path());
    h.loadHistoryFromFile();
    const auto stack = h.stackForLayout(kA);
    ASSERT_TRUE(stack);
    EXPECT_EQ(stack->entries.size(), 4);
    EXPECT_EQ(stack->cursor, 3u);
    EXPECT_EQ(stateOfEntry(h, kA, 2), 4);  // the cursor still names the same snapshot
}

TEST_F(NavigationHistoryTest, DamagedHistoryFilesAreDropped)
{
    const QString folder = QDir(m_cache.path()).filePath(QStringLiteral("history"));
    const QString file = QDir(folder).filePath(QStringLiteral("dictionary.plist"));
    QDir().mkpath(folder + u'/' + kA);
    QDir().mkpath(folder + QStringLiteral("/stray-folder"));
    const QString outside = QDir(m_cache.path()).filePath(QStringLiteral("precious.plist"));
    {
        QFile f(outside);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    auto writeRaw = [&](const QByteArray& bytes) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    };

    for (const QByteArray& bytes : {QByteArray("not a property list"), QByteArray(), QByteArray("\x00\xff\xfe", 3),
             QByteArray("<?xml version=\"1.0\"?><plist><dict><key>$archiver</key><string>x</string></dict></plist>")}) {
        writeRaw(bytes);
        NavigationHistory h(m_panes, m_cache.path());
        h.loadHistoryFromFile();
        EXPECT_TRUE(h.stacks().isEmpty());
        EXPECT_FALSE(h.canGoBackInHistory());
        h.addStateToHistory(true, kA);  // still works
        EXPECT_EQ(h.stackForLayout(kA)->entries.size(), 1);
    }
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/stray-folder")));

    // Well-formed archive, hostile and damaged contents.
    QVariantMap stacks;
    stacks.insert(kA,
        QVariantList {QStringLiteral("three"), QStringLiteral("../precious.plist"), 12, QStringLiteral("/etc/passwd"),
            QStringLiteral("%1/../../precious.plist").arg(kA)});
    stacks.insert(QStringLiteral("../.."), QVariantList {0});
    stacks.insert(kB, QStringLiteral("not a list"));
    KeyedArchiver a(QStringLiteral("NavigationHistory"));
    a.encodeValue(QStringLiteral("stacks"), stacks);
    ASSERT_TRUE(KeyedArchive::writeFile(file, a.archivedObject()));
    NavigationHistory h(m_panes, m_cache.path());
    h.loadHistoryFromFile();
    ASSERT_EQ(h.stacks().keys(), QStringList {kA});
    EXPECT_EQ(h.stackForLayout(kA)->entries.size(), 0);
    EXPECT_EQ(h.stackForLayout(kA)->cursor, 0u);
    EXPECT_TRUE(QFileInfo::exists(outside));
    h.addOrRemoveLayoutsFromHistory();
    EXPECT_TRUE(QFileInfo::exists(outside));
    EXPECT_TRUE(QFileInfo::exists(m_cache.path()));
}

TEST_F(NavigationHistoryTest, OverlongStacksInTheFileKeepTheirNewestEntries)
{
    QString last;
    {
        NavigationHistory h(m_panes, m_cache.path());
        recordStates(h, 3);
        last = h.stackForLayout(kA)->entries.last();
    }
    // 20000 entries naming the same file, then the cursor on the newest one.
    QVariantList list {20000};
    for (int i = 0; i < 20000; ++i)
        list.append(last);
    KeyedArchiver a(QStringLiteral("NavigationHistory"));
    a.encodeValue(QStringLiteral("stacks"), QVariantMap {{kA, list}});
    ASSERT_TRUE(KeyedArchive::writeFile(
        QDir(m_cache.path()).filePath(QStringLiteral("history/dictionary.plist")), a.archivedObject()));
    NavigationHistory h(m_panes, m_cache.path());
    h.loadHistoryFromFile();
    const auto stack = h.stackForLayout(kA);
    ASSERT_TRUE(stack);
    EXPECT_EQ(stack->entries, QStringList {last});  // duplicates of one snapshot count once
    EXPECT_EQ(stack->cursor, 1u);
}

TEST_F(NavigationHistoryTest, LoadDeletesSnapshotsNoStackNames)
{
    QString kept;
    {
        NavigationHistory h(m_panes, m_cache.path());
        recordStates(h, 2);
        m_panes.layouts[1].state = 3;
        h.addStateToHistory(true, kB);
        kept = h.stackForLayout(kA)->entries[0];
        ASSERT_TRUE(h.saveHistoryToFile());
    }
    const QString folder = QDir(m_cache.path()).filePath(QStringLiteral("history"));
    QFile(QDir(folder).filePath(kA + QStringLiteral("/ORPHAN.plist"))).open(QIODevice::WriteOnly);
    QFile(QDir(folder).filePath(QStringLiteral("toplevel.plist"))).open(QIODevice::WriteOnly);
    QDir().mkpath(folder + QStringLiteral("/CCCCCCCC"));
    NavigationHistory h(m_panes, m_cache.path());
    h.loadHistoryFromFile();
    EXPECT_FALSE(QFileInfo::exists(QDir(folder).filePath(kA + QStringLiteral("/ORPHAN.plist"))));
    EXPECT_FALSE(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("toplevel.plist"))));
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/CCCCCCCC")));
    EXPECT_TRUE(QFileInfo::exists(h.absolutePath(kept)));
    EXPECT_TRUE(QFileInfo::exists(h.historyFilePath()));

    // A layout deleted from the layout manager loses its stack and folder.
    m_panes.layouts.erase(m_panes.layouts.begin() + 1);
    h.addOrRemoveLayoutsFromHistory();
    EXPECT_FALSE(h.stackForLayout(kB));
    EXPECT_TRUE(h.writeRecordedStates());
    EXPECT_FALSE(QFileInfo::exists(folder + u'/' + kB));
    EXPECT_TRUE(h.stackForLayout(kA));
}

TEST_F(NavigationHistoryTest, SaveWithoutHistoryRemovesTheFile)
{
    NavigationHistory h(m_panes, m_cache.path());
    h.loadHistoryFromFile();
    recordStates(h, 1);
    ASSERT_TRUE(h.saveHistoryToFile());
    ASSERT_TRUE(QFileInfo::exists(h.historyFilePath()));
    NavigationHistory empty(m_panes, m_cache.path());
    EXPECT_TRUE(empty.saveHistoryToFile());
    EXPECT_FALSE(QFileInfo::exists(empty.historyFilePath()));
}

}  // namespace
