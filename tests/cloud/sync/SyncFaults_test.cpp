// Every fault switch of the stand-in, at every step of a run: the run ends (reported), both
// databases stay consistent, and the next runs complete with nothing lost.
#include "SyncHarness.h"

#include <QTcpServer>

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
        EXPECT_EQ(delegate.errorsUserAsked, QList<bool> {true});
        EXPECT_GT(engine.backoffUntil(), 0);
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
