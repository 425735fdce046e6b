// The engine's view of the local tables: acknowledgements that only stick to the state sent, the
// wire conversions of each type, and store requests reaching the engine on the main thread.
#include "SyncHarness.h"

#include "cloud/sync/SyncEntryPoints.h"
#include "platform/MainThread.h"

#include <thread>

using namespace sync_test;
using C = qs::cloud::SyncCommand;
using qs::cloud::SyncLocalRow;

TEST(SyncLocalData, AnAcknowledgementOnlySticksToTheStateThatWasSent)
{
    Reader r(QStringLiteral("device-a"));
    const qint64 recid = r.edit(C::BibleNotes, {"1", "2", "3", "sent"});
    r.activate();
    SyncLocalData data;
    ASSERT_TRUE(data.open());
    const SyncLocalRow sent = *data.readByRecid(C::BibleNotes, recid);

    // Edited (same second, other text) while the reply was on its way: stays unsynced.
    QString error;
    data.updateRow(C::BibleNotes, recid, *data.columnsFromWire(C::BibleNotes, {"1", "2", "3", "edited"}, &error),
        sent.timestamp, 0, false);
    EXPECT_TRUE(data.markSynced(C::BibleNotes, sent, 41));
    EXPECT_EQ(data.readByRecid(C::BibleNotes, recid)->serverid, 0);
    // Deleted meanwhile: the same.
    data.updateRow(C::BibleNotes, recid, sent.columns, sent.timestamp, 0, true);
    data.markSynced(C::BibleNotes, sent, 41);
    EXPECT_EQ(data.readByRecid(C::BibleNotes, recid)->serverid, 0);
    // Unchanged: acknowledged.
    data.updateRow(C::BibleNotes, recid, sent.columns, sent.timestamp, 0, false);
    data.markSynced(C::BibleNotes, sent, 41);
    EXPECT_EQ(data.readByRecid(C::BibleNotes, recid)->serverid, 41);
    data.close();
}

TEST(SyncLocalData, WireFieldsOfEveryConvertedType)
{
    Reader r(QStringLiteral("device-a"));
    const qint64 progress = r.edit(C::DevotionalProgress, {"3", "4", "0", "1"});
    const qint64 highlight = r.edit(C::BibleHighlights, {"66", "22", "21", "1", "9"});
    const qint64 bookmark = r.edit(C::BibleBookmarks, {"1", "1", "1", "Psalms"});
    const qint64 plain = r.edit(C::BibleBookmarks, {"1", "1", "2", ""});
    r.activate();
    SyncLocalData data;
    ASSERT_TRUE(data.open());
    QString error;
    // Reading 1 is stored as 1 and travels as 0; a live row's read flag is "1".
    const SyncLocalRow p = *data.readByRecid(C::DevotionalProgress, progress);
    EXPECT_EQ(p.columns, QStringList({"3", "4", "1"}));
    EXPECT_EQ(*data.wireFields(C::DevotionalProgress, p, &error), QStringList({"3", "4", "0", "1"}));
    const SyncLocalRow h = *data.readByRecid(C::BibleHighlights, highlight);
    EXPECT_EQ(h.columns.first(), QString::number((66 << 16) | (22 << 8) | 21));
    EXPECT_EQ(*data.wireFields(C::BibleHighlights, h, &error), QStringList({"66", "22", "21", "1", "9"}));
    const SyncLocalRow b = *data.readByRecid(C::BibleBookmarks, bookmark);
    EXPECT_NE(b.columns.at(3), QStringLiteral("0"));
    EXPECT_EQ(data.wireFields(C::BibleBookmarks, b, &error)->at(3), QStringLiteral("Psalms"));
    EXPECT_EQ(data.readByRecid(C::BibleBookmarks, plain)->columns.at(3), QStringLiteral("0"));
    // The same category name in another case finds the same category.
    EXPECT_EQ(data.columnsFromWire(C::BibleBookmarks, {"1", "1", "1", "PSALMS"}, &error)->at(3), b.columns.at(3));
    // A start date that is no date is refused with the protocol's message.
    EXPECT_FALSE(data.columnsFromWire(C::DevotionalStartDate, {"1", "2", "someday"}, &error));
    EXPECT_EQ(error, QStringLiteral("Bad record received from server. Devotional start date invalid."));
    data.close();
}

namespace {

class ThreadCheckingDelegate : public qs::cloud::SyncManagerDelegate {
public:
    std::atomic<int> calls {0};
    std::atomic<bool> offMain {false};
    bool syncAutomatically() override
    {
        ++calls;
        if (!isMainThread())
            offMain = true;
        return false;  // nothing is queued
    }
};

}  // namespace

TEST(SyncEntryPoints, StoreRequestsFromAnyThreadReachTheEngineOnTheMainThread)
{
    standin_test::ensureApplication();
    ThreadCheckingDelegate delegate;
    SyncManager engine;
    qs::cloud::installSyncEngine(engine, &delegate);
    std::thread worker([] { requestSyncBibleHighlights(0); });
    worker.join();
    requestSyncBookNotesEditing(1, 57);
    for (int i = 0; i < 50 && delegate.calls < 2; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(delegate.calls, 2);
    EXPECT_FALSE(delegate.offMain);
    EXPECT_EQ(engine.goal(), SyncManager::Idle);  // nothing was queued to start
    qs::cloud::installSyncEngine(engine, nullptr);
}
