// Every fault switch of the stand-in, at every step of a run: the run ends (reported), both
// databases stay consistent, and the next runs complete with nothing lost.
#include "FillingDisk.h"
#include "SyncHarness.h"

#include <QTcpServer>

#include <atomic>
#include <map>

using namespace sync_test;
using C = qs::cloud::SyncCommand;

namespace {

struct FaultCase {
    const char* name;
    int maxLine;
};

// Runs one faulty sync of `a` per line number, each after a new local edit on both readers, then
// clean runs; checks that every edit made so far is on both sides and nothing is left unsynced.
void runFaultAtEveryLine(const QString& fault, const QString& extra, int firstLine, int lastLine, int step = 1)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    Reader b(QStringLiteral("device-b"));
    std::set<std::string> expected;
    int brokenRuns = 0;
    int runs = 0;
    for (int line = firstLine; line <= lastLine; line += step) {
        SCOPED_TRACE(fault.toStdString() + " at line " + std::to_string(line));
        const QString na = QStringLiteral("a%1").arg(line);
        const QString nb = QStringLiteral("b%1").arg(line);
        a.edit(C::BibleNotes, {"1", "1", QString::number(line), na});
        a.edit(C::BibleHighlights, {"2", "2", QString::number(line), "0", "7"});
        b.edit(C::BookNotes, {"5", "6", "1", QString::number(line), "", "", nb});
        expected.insert(QStringLiteral("1|1|%1|%2").arg(line).arg(na).toStdString());

        ASSERT_TRUE(server.fault(QStringLiteral("sync.%1=%2%3").arg(fault).arg(line).arg(extra)));
        RecordingDelegate broken = a.sync(server.syncPort(), [](SyncManager& e) { e.setReplyTimeoutMs(700); });
        EXPECT_EQ(broken.commFinished, broken.commStarted);
        ++runs;
        if (!broken.errors.isEmpty())
            ++brokenRuns;
        if (fault == QLatin1String("restartAtLine")) {
            ASSERT_TRUE(server.waitForSyncListening()) << "the sync service did not come back";
        }
        server.post(QStringLiteral("/_control/reset"));

        // The databases are still sound: every row readable and the edits there.
        const Dump mid = a.dump(false);
        for (const std::string& note : expected)
            EXPECT_EQ(mid.at("BibleNotes").count(note), 1u) << note;

        for (Reader* r : {&a, &b, &a}) {
            RecordingDelegate clean = r->sync(server.syncPort());
            EXPECT_TRUE(clean.errors.isEmpty()) << clean.errors.join('\n').toStdString();
        }
        EXPECT_EQ(a.unsynced(), 0);
        EXPECT_EQ(b.unsynced(), 0);
        const Dump da = a.dump();
        EXPECT_EQ(da, b.dump());
        EXPECT_EQ(da.at("BibleNotes").size(), expected.size());
        EXPECT_EQ(da.at("BookNotes").size(), expected.size());
    }
    // The fault hit (and was reported in) every run but the few it missed by its place.
    EXPECT_GE(brokenRuns, runs - 1) << brokenRuns << " of " << runs;
}

// A port nobody listens on.
quint16 unusedPort()
{
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

}  // namespace

TEST(SyncFaults, DroppedConnectionAtEveryStep)
{
    runFaultAtEveryLine(QStringLiteral("closeAtLine"), QString(), 1, 12);
}

TEST(SyncFaults, GarbageLineAtEveryStep)
{
    runFaultAtEveryLine(QStringLiteral("garbageAtLine"), QString(), 1, 12);
}

TEST(SyncFaults, StallPastTheReplyTimer)
{
    runFaultAtEveryLine(QStringLiteral("stallAtLine"), QStringLiteral("&sync.stallMs=1500"), 1, 10, 3);
}

TEST(SyncFaults, ServerRestartInTheMiddle)
{
    runFaultAtEveryLine(QStringLiteral("restartAtLine"), QStringLiteral("&sync.restartDelayMs=200"), 1, 10, 3);
}

TEST(SyncFaults, RejectedUploadsStayUnsyncedAndGoUpLater)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    a.edit(C::HighlightColorNames, {"4", "Green"});
    ASSERT_TRUE(server.fault(QStringLiteral("sync.rejectUploads=1")));
    RecordingDelegate rejected = a.sync(server.syncPort());
    ASSERT_FALSE(rejected.errors.isEmpty());
    EXPECT_TRUE(rejected.errors.first().startsWith(QStringLiteral("Error while adding HIGHLIGHTCOLORNAMES record")))
        << rejected.errors.first().toStdString();
    EXPECT_EQ(a.unsynced(), 1);
    server.post(QStringLiteral("/_control/reset"));
    EXPECT_TRUE(a.sync(server.syncPort()).errors.isEmpty());
    EXPECT_EQ(a.unsynced(), 0);
}

TEST(SyncFaults, ClockDifferenceBeyondAMinuteStopsBeforeAnyRecord)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    a.edit(C::BibleNotes, {"1", "1", "1", "x"});
    ASSERT_TRUE(server.fault(QStringLiteral("sync.clockSkewMs=90000")));
    RecordingDelegate run = a.sync(server.syncPort());
    ASSERT_EQ(run.errors.size(), 1);
    EXPECT_TRUE(run.errors.first().startsWith(QStringLiteral("The system clock difference")));
    EXPECT_EQ(a.unsynced(), 1);
}

TEST(SyncFaults, NoServerEndsTheRunAndBacksOff)
{
    Reader a(QStringLiteral("device-a"));
    a.edit(C::BibleNotes, {"1", "1", "1", "x"});
    a.activate();
    RecordingDelegate delegate;
    {
        SyncManager engine;
        engine.setServer(QStringLiteral("127.0.0.1"), unusedPort());
        engine.setDelegate(&delegate);
        engine.syncAll(true);
        Reader::waitIdle(engine, 10000);
        // One failure, one report (not the refusal and then a lost connection), as the user's.
        ASSERT_EQ(delegate.errors.size(), 1) << delegate.errors.join('\n').toStdString();
        EXPECT_EQ(
            delegate.errors.first(), QStringLiteral("Cloud Sync could not reach the server (connection refused)."));
        EXPECT_EQ(delegate.errorsUserAsked, QList<bool> {true});
        // An automatic request during the back-off opens no connection; the user's sync does.
        engine.syncRecordTypeRequest(C::BibleNotes, true);
        EXPECT_FALSE(engine.hasConnection());
        engine.syncAll(true);
        EXPECT_TRUE(engine.hasConnection());
        Reader::waitIdle(engine, 10000);
        EXPECT_EQ(delegate.errorsUserAsked, (QList<bool> {true, true}));
    }
    {
        // An automatic run fails alike, reported as automatic.
        SyncManager engine;
        engine.setServer(QStringLiteral("127.0.0.1"), unusedPort());
        engine.setDelegate(&delegate);
        engine.syncRecordTypeRequest(C::BibleNotes, true);
        EXPECT_TRUE(engine.hasConnection());
        Reader::waitIdle(engine, 10000);
        EXPECT_EQ(delegate.errorsUserAsked, (QList<bool> {true, true, false}));
    }
    EXPECT_EQ(a.unsynced(), 1);
}

// Rows that cannot go up (one the server refuses, one that cannot be written as a line) hold back
// only themselves: the rows after them and the types after them go up in the same run, the first
// refusal is reported once, and the held-back rows go up once they are mended.
TEST(SyncFaults, ARefusedRowHoldsBackOnlyItself)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    Reader b(QStringLiteral("device-b"));
    a.edit(C::BibleBookmarks, {"1", "1", "1", ""});
    a.edit(C::DevotionalStartDate, {"3", "4", "2026-01-02 00:00:00.000"});
    a.activate();
    qint64 lostCategory = 0;
    qint64 badDate = 0;
    {
        SyncLocalData data;
        ASSERT_TRUE(data.open());
        const QString now = SyncLocalData::colonTime(SyncLocalData::nowMs());
        // A bookmark whose category is gone, and a start date the server cannot read.
        lostCategory = data.insertRow(C::BibleBookmarks, {"1", "1", "2", "999"}, now, 0, false);
        badDate = data.insertRow(C::DevotionalStartDate, {"5", "6", "not a date", "0"}, now, 0, false);
        data.close();
    }
    ASSERT_GT(lostCategory, 0);
    ASSERT_GT(badDate, 0);
    a.edit(C::BibleBookmarks, {"1", "1", "3", ""});
    a.edit(C::DevotionalStartDate, {"7", "8", "2026-01-03 00:00:00.000"});
    a.edit(C::HighlightColorNames, {"2", "After them"});

    const RecordingDelegate run = a.sync(server.syncPort());
    ASSERT_EQ(run.errors.size(), 1) << run.errors.join('\n').toStdString();
    EXPECT_EQ(run.errors.first(), QStringLiteral("Error looking up bookmark category."));
    EXPECT_EQ(a.unsynced(), 2);
    a.activate();
    {
        SyncLocalData data;
        ASSERT_TRUE(data.open());
        EXPECT_EQ(data.readByRecid(C::BibleBookmarks, lostCategory)->serverid, 0);
        EXPECT_EQ(data.readByRecid(C::DevotionalStartDate, badDate)->serverid, 0);
        EXPECT_FALSE(data.lastSyncTime(QStringLiteral("BibleBookmarks")).has_value());
        EXPECT_FALSE(data.lastSyncTime(QStringLiteral("DevotionalStartDate")).has_value());
        EXPECT_TRUE(data.lastSyncTime(QStringLiteral("HighlightColorNames")).has_value());
        data.close();
    }
    EXPECT_TRUE(b.sync(server.syncPort()).errors.isEmpty());
    const Dump db = b.dump(false);
    EXPECT_EQ(db.at("BibleBookmarks"), std::set<std::string>({"1|1|1|", "1|1|3|"}));
    EXPECT_EQ(
        db.at("DevDataInfo"), std::set<std::string>({"3|4|2026-01-02 00:00:00.000", "7|8|2026-01-03 00:00:00.000"}));
    EXPECT_EQ(db.at("HighlightColorNames"), std::set<std::string>({"2|After them"}));

    // The next run holds them back again and says so once; mended, both go up.
    const RecordingDelegate again = a.sync(server.syncPort());
    ASSERT_EQ(again.errors.size(), 1);
    a.edit(C::BibleBookmarks, {"1", "1", "2", ""});
    a.edit(C::DevotionalStartDate, {"5", "6", "2026-01-04 00:00:00.000"});
    a.activate();
    {
        SyncLocalData data;
        ASSERT_TRUE(data.open());
        EXPECT_TRUE(data.removeRow(C::BibleBookmarks, lostCategory));
        data.close();
    }
    const RecordingDelegate mended = a.sync(server.syncPort());
    EXPECT_TRUE(mended.errors.isEmpty()) << mended.errors.join('\n').toStdString();
    EXPECT_EQ(a.unsynced(), 0);
    EXPECT_TRUE(b.sync(server.syncPort()).errors.isEmpty());
    EXPECT_EQ(a.dump(), b.dump());
}

// A full disk fails the records' store: the run says so (once, in words the user can act on), and the
// first sync once there is room again stores everything.
TEST(SyncFaults, AFullDiskIsSaidAndTheNextSyncRecovers)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    Reader b(QStringLiteral("device-b"));
    for (int i = 0; i < 200; ++i)
        a.edit(C::BibleNotes, {"19", nthVerse(19, i).first, nthVerse(19, i).second, QString(400, 'n')});
    ASSERT_TRUE(a.sync(server.syncPort()).errors.isEmpty());

    b.activate();
    // The database may not grow past its size now: SQLite answers as on a full disk.
    SyncLocalData held;
    ASSERT_TRUE(held.open());
    sqlite3* handle = cSQLiteDbBase::connectionHandle();
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(handle, "PRAGMA page_count", -1, &statement, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    const int pages = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    const QByteArray limit = "PRAGMA max_page_count = " + QByteArray::number(pages + 1);
    ASSERT_EQ(sqlite3_exec(handle, limit.constData(), nullptr, nullptr, nullptr), SQLITE_OK);

    RecordingDelegate delegate;
    delegate.device = QStringLiteral("device-b");
    {
        SyncManager engine;
        engine.setServer(QStringLiteral("127.0.0.1"), server.syncPort());
        engine.setDelegate(&delegate);
        engine.syncAll(true);
        Reader::waitIdle(engine, 30000);
        EXPECT_EQ(delegate.errors,
            QStringList({QStringLiteral(
                "Cloud Sync could not save your Bible notes: the disk is full. Free some space on it, then sync "
                "again.")}));
        // Room again: the user's next sync stores every note.
        ASSERT_EQ(sqlite3_exec(handle, "PRAGMA max_page_count = 1073741823", nullptr, nullptr, nullptr), SQLITE_OK);
        delegate.errors.clear();
        engine.syncAll(true);
        Reader::waitIdle(engine, 30000);
        EXPECT_TRUE(delegate.errors.isEmpty()) << delegate.errors.join('\n').toStdString();
    }
    held.close();
    EXPECT_EQ(b.dump(false).at("BibleNotes").size(), 200u);
    EXPECT_EQ(a.dump(), b.dump());
}

// The disk fills in the middle of an automatic sync: the first failure is for want of room, and what
// fails after it (the rollback of the lost batch, the sync log's own write, the upload's reads) must not
// hide that: every word of the run says the disk is full. With room again, nothing is lost.
TEST(SyncFaults, AFullDiskIsSaidAsSuchWhateverFailsAfterIt)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    Reader b(QStringLiteral("device-b"));
    for (int i = 0; i < 300; ++i)
        a.edit(C::BibleNotes, {"20", nthVerse(20, i).first, nthVerse(20, i).second, QString(2000, 'n')});
    ASSERT_TRUE(a.sync(server.syncPort()).errors.isEmpty());
    b.edit(C::BibleNotes, {"9", "9", "9", "mine"});

    FillingDisk disk;
    b.activate();
    // A delegate that writes the sync log as the program's does: on the full disk that fails too.
    class LoggingDelegate : public RecordingDelegate {
    public:
        void syncErrorOccurred(const QString& message, bool userAsked) override
        {
            RecordingDelegate::syncErrorOccurred(message, userAsked);
            SyncLocalData().recordSyncTime(QStringLiteral("BibleNotes"), SyncLocalData::nowMs(), 1, message);
        }
    } delegate;
    delegate.device = QStringLiteral("device-b");
    {
        SyncManager engine;
        engine.setServer(QStringLiteral("127.0.0.1"), server.syncPort());
        engine.setDelegate(&delegate);
        ASSERT_TRUE(engine.localData().open());
        // Room for the first records' journal, not for the records themselves.
        FillingDisk::room = 64 * 1024;
        engine.syncRecordTypeRequest(C::BibleNotes, true);
        Reader::waitIdle(engine, 30000);
        ASSERT_FALSE(delegate.errors.isEmpty());
        for (const QString& error : delegate.errors)
            EXPECT_EQ(error.toStdString(),
                QStringLiteral("Cloud Sync could not save your Bible notes: the disk is full. Free some space on it, "
                               "then sync again.")
                    .toStdString());
        FillingDisk::room = -1;
        delegate.errors.clear();
        engine.syncAll(true);
        Reader::waitIdle(engine, 30000);
        EXPECT_TRUE(delegate.errors.isEmpty()) << delegate.errors.join('\n').toStdString();
        engine.localData().close();
    }
    EXPECT_EQ(b.dump(false).at("BibleNotes").size(), 301u);
    EXPECT_EQ(b.unsynced(), 0);
}
