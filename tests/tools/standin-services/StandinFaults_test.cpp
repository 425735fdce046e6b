#include "StandinTestServer.h"

#include "cloud/protocol/SyncTime.h"

#include <gtest/gtest.h>

using namespace standin_test;

namespace {

std::optional<qs::cloud::SyncCommand> login(SyncClient& c)
{
    c.greeting();
    return c.login(QStringLiteral("10001"), QStringLiteral("demo"));
}

}  // namespace

TEST(StandinFaults, SyncLineFaults)
{
    Server server;
    ASSERT_TRUE(server.running());
    {
        // Close instead of answering line 2; the fault is used up by that connection.
        ASSERT_TRUE(server.fault(QStringLiteral("sync.closeAtLine=2")));
        SyncClient c(server.syncPort());
        EXPECT_EQ(login(c)->noun(), QStringLiteral("SUCCESS"));
        c.send("COUNT", QStringLiteral("BIBLENOTES"), {"-1"});
        EXPECT_FALSE(c.next(2000));
        EXPECT_TRUE(c.closedWithin(2000));
        SyncClient d(server.syncPort());
        EXPECT_EQ(login(d)->noun(), QStringLiteral("SUCCESS"));
        d.send("COUNT", QStringLiteral("BIBLENOTES"), {"-1"});
        EXPECT_EQ(d.next()->verb(), QStringLiteral("COUNTED"));
    }
    {
        ASSERT_TRUE(server.fault(QStringLiteral("sync.garbageAtLine=1")));
        SyncClient c(server.syncPort());
        const auto reply = login(c);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->verbNumber(), qs::cloud::SyncCommand::kNotFound);
    }
    {
        // Stall line 2 past a client's patience, then answer.
        ASSERT_TRUE(server.fault(QStringLiteral("sync.stallAtLine=2&sync.stallMs=1500")));
        SyncClient c(server.syncPort());
        login(c);
        c.send("COUNT", QStringLiteral("BIBLENOTES"), {"-1"});
        EXPECT_FALSE(c.next(900));
        const auto late = c.next(3000);
        ASSERT_TRUE(late);
        EXPECT_EQ(late->verb(), QStringLiteral("COUNTED"));
    }
    {
        ASSERT_TRUE(server.fault(QStringLiteral("sync.refuseLogin=4&sync.refuseMessage=Account%20locked")));
        SyncClient c(server.syncPort());
        EXPECT_EQ(login(c)->fields(), QStringList({"CONNECTED", "ERROR", "4", "Account locked"}));
    }
    {
        // Uploads refused on every connection until reset.
        ASSERT_TRUE(server.fault(QStringLiteral("sync.rejectUploads=1&sync.times=-1")));
        for (int i = 0; i < 2; ++i) {
            SyncClient c(server.syncPort());
            login(c);
            c.send("ADD", QStringLiteral("HIGHLIGHTCOLORNAMES"), {"5", "2026-01-02 03:04:05.000", "1", "Red"});
            EXPECT_EQ(c.next()->fields().mid(0, 2), QStringList({"ADDED", "ERROR"}));
        }
        ASSERT_EQ(server.post(QStringLiteral("/_control/reset")).status, 200);
        SyncClient c(server.syncPort());
        login(c);
        c.send("ADD", QStringLiteral("HIGHLIGHTCOLORNAMES"), {"5", "2026-01-02 03:04:05.000", "1", "Red"});
        EXPECT_EQ(c.next()->noun(), QStringLiteral("SUCCESS"));
    }
    {
        ASSERT_TRUE(server.fault(QStringLiteral("sync.clockSkewMs=60001&sync.greeting=0")));
        SyncClient c(server.syncPort());
        EXPECT_FALSE(c.greeting());
        c.login(QStringLiteral("10001"), QStringLiteral("demo"));
        const qint64 now = qs::cloud::currentSyncTimeMs();
        c.send("GET", QStringLiteral("TIME"), {qs::cloud::formatSyncTime(now)});
        const qint64 server_ = *qs::cloud::parseSyncTime(c.next()->paramAtIndex(1));
        EXPECT_NEAR(double(server_ - now), 60001.0, 3000.0);
        server.post(QStringLiteral("/_control/reset"));
    }
}

TEST(StandinFaults, RestartDropsConnectedClientsAndComesBack)
{
    Server server;
    ASSERT_TRUE(server.running());
    ASSERT_TRUE(server.fault(QStringLiteral("sync.restartAtLine=2&sync.restartDelayMs=300")));
    SyncClient c(server.syncPort());
    login(c);
    c.send("COUNT", QStringLiteral("BIBLENOTES"), {"-1"});
    EXPECT_TRUE(c.closedWithin(3000));
    EXPECT_EQ(server.state().value("syncRestarts").toInt(), 1);
    ASSERT_TRUE(server.waitForSyncListening()) << "the sync service did not come back";
    {
        SyncClient d(server.syncPort());
        EXPECT_TRUE(d.connected());
        const auto reply = login(d);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->noun(), QStringLiteral("SUCCESS"));
    }
    // The control endpoint restarts at once too, with a client connected.
    SyncClient e(server.syncPort());
    login(e);
    ASSERT_EQ(server.post(QStringLiteral("/_control/restart?delayMs=100")).status, 200);
    EXPECT_TRUE(e.closedWithin(3000));
    ASSERT_TRUE(server.waitForSyncListening()) << "the sync service did not come back";
    SyncClient f(server.syncPort());
    EXPECT_EQ(login(f)->noun(), QStringLiteral("SUCCESS"));
}

TEST(StandinFaults, ScriptedConversation)
{
    Server server;
    ASSERT_TRUE(server.running());
    EXPECT_EQ(server.post(QStringLiteral("/_control/script"), R"([[1]])").status, 400);
    ASSERT_EQ(server
                  .post(QStringLiteral("/_control/script"),
                      R"([[["CONNECTED","SUCCESS"]], [["GOT","TIME","$p0","$now"], "raw\u001e"], []])")
                  .status,
        200);
    SyncClient c(server.syncPort());
    c.greeting();
    // A wrong password is accepted: the script answers.
    EXPECT_EQ(c.login(QStringLiteral("10001"), QStringLiteral("wrong"))->noun(), QStringLiteral("SUCCESS"));
    c.send("GET", QStringLiteral("TIME"), {"2026-01-01 00:00:00.000"});
    const auto got = c.next();
    EXPECT_EQ(got->paramAtIndex(0), QStringLiteral("2026-01-01 00:00:00.000"));
    EXPECT_TRUE(qs::cloud::parseSyncTime(got->paramAtIndex(1)));
    EXPECT_EQ(c.nextRaw(), QByteArray("raw\x1e"));
    c.send("COUNT", QStringLiteral("BIBLENOTES"), {"-1"});  // line 3: answered with nothing
    // After the script the server answers as usual (the script's log-in does not count): the first
    // answer after line 3 is line 4's refusal.
    c.send("COUNT", QStringLiteral("BIBLENOTES"), {"-1"});
    const auto after = c.next();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->fields().mid(0, 2), QStringList({"COUNTED", "ERROR"}));
    // The next connection is ordinary again.
    SyncClient d(server.syncPort());
    d.greeting();
    EXPECT_EQ(d.login(QStringLiteral("10001"), QStringLiteral("wrong"))->noun(), QStringLiteral("ERROR"));
}

TEST(StandinFaults, HttpFaults)
{
    if (!haveSampleLibrary())
        GTEST_SKIP() << "the sample library is not built";
    Server server;
    ASSERT_TRUE(server.running());
    // A status for the next request only.
    ASSERT_TRUE(server.fault(QStringLiteral("http.status=503")));
    HttpResult r = server.get(QStringLiteral("/api/ping"));
    EXPECT_EQ(r.status, 503);
    EXPECT_TRUE(r.body.startsWith("<error>"));
    EXPECT_EQ(server.get(QStringLiteral("/api/ping")).status, 200);
    // Only requests whose path matches, twice.
    ASSERT_TRUE(server.fault(QStringLiteral("http.status=404&http.path=QuillsteadUpdate&http.times=2")));
    EXPECT_EQ(server.get(QStringLiteral("/api/ping")).status, 200);
    EXPECT_EQ(server.get(QStringLiteral("/mac/QuillsteadUpdate.xml")).status, 404);
    EXPECT_EQ(server.get(QStringLiteral("/mac/QuillsteadUpdate.xml")).status, 404);
    EXPECT_EQ(server.get(QStringLiteral("/mac/QuillsteadUpdate.xml")).status, 200);
    // A truncated body announces the whole length.
    ASSERT_TRUE(server.fault(QStringLiteral("http.truncate=100")));
    const qs::cloud::WebScriptCaller demo {QStringLiteral("MacOS"), QStringLiteral("10001"), QStringLiteral("demo"),
        QStringLiteral("0.1"), QStringLiteral("d")};
    r = server.webScript(
        qs::cloud::WebScriptQueries::download(demo, QString(), QStringLiteral("KJV.tvk"), QString(), QString(), 1, 2));
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body.size(), 100);
    EXPECT_GT(r.headers.value("content-length").toLongLong(), 100);
    EXPECT_FALSE(r.complete);
    // A stall, then garbage; control requests are never faulted.
    ASSERT_TRUE(server.fault(QStringLiteral("http.stallMs=1200")));
    EXPECT_EQ(server.get(QStringLiteral("/_control/state")).status, 200);
    EXPECT_EQ(server.get(QStringLiteral("/api/ping"), 600).status, 0);
    ASSERT_TRUE(server.fault(QStringLiteral("http.garbage=1")));
    r = server.get(QStringLiteral("/mac/QuillsteadUpdate.xml"));
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.body.startsWith(QByteArray("\x00\xff\xfe", 3)));
    EXPECT_FALSE(server.state().value("faults").toObject().value("http.garbage").toBool());
}

TEST(StandinFaults, CommandLineFaultsAndErrors)
{
    Server server({"--fault", "sync.refuseLogin=2", "--no-demo"});
    ASSERT_TRUE(server.running());
    EXPECT_EQ(server.state().value("accounts").toInt(), 0);
    EXPECT_EQ(server.state().value("faults").toObject().value("sync.refuseLogin").toInt(), 2);
    SyncClient c(server.syncPort());
    EXPECT_EQ(login(c)->paramAtIndex(0), QStringLiteral("2"));
    ASSERT_EQ(server.post(QStringLiteral("/_control/quit")).status, 200);
    EXPECT_TRUE(server.process().waitForFinished(5000));
    EXPECT_EQ(server.process().exitCode(), 0);

    Server bad({"--fault", "no.such.fault=1"});
    EXPECT_FALSE(bad.running());
    bad.process().waitForFinished(5000);
    EXPECT_EQ(bad.process().exitCode(), 1);
    Server badPort({"--http-port", "70000"});
    EXPECT_FALSE(badPort.running());
}
