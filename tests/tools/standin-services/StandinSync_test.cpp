#include "StandinTestServer.h"

#include "cloud/protocol/SyncRecordTypes.h"
#include "cloud/protocol/SyncTime.h"

#include <gtest/gtest.h>

using namespace standin_test;
using qs::cloud::SyncCommand;

namespace {

const QString kT1 = QStringLiteral("2026-01-02 03:04:05.000");
const QString kT0 = QStringLiteral("2026-01-01 00:00:00.000");

// One record of each type, by noun.
QMap<QString, QStringList> sampleRecords()
{
    return {
        {"BIBLEBOOKMARKS", {"43", "3", "16", "Favourites"}},
        {"BIBLEHIGHLIGHTS", {"43", "3", "16", "0", "3"}},
        {"BIBLENOTES", {"43", "3", "16", "<p>For God so loved \u00e9</p>"}},
        {"BOOKBOOKMARKS", {"1", "110", "1", "42", ""}},
        {"BOOKNOTES", {"24326", "15184", "1", "1", "Journal title", "Note", "<p>entry</p>"}},
        {"DEVOTIONALPROGRESS", {"1", "130", "0", "1"}},
        {"DEVOTIONALSTARTDATE", {"1", "130", "2026-01-01 00:00:00.000"}},
        {"HIGHLIGHTCOLORNAMES", {"3", "Promises"}},
    };
}

void logIn(SyncClient& c, const QString& device, const QString& customer = QStringLiteral("10001"),
    const QString& password = QStringLiteral("demo"))
{
    EXPECT_TRUE(c.greeting());
    const auto reply = c.login(customer, password, device);
    EXPECT_TRUE(reply && reply->verb() == QLatin1String("CONNECTED") && reply->noun() == QLatin1String("SUCCESS"));
}

}  // namespace

TEST(StandinSync, LogsInAndTellsTheTime)
{
    Server server;
    ASSERT_TRUE(server.running());
    SyncClient c(server.syncPort());
    ASSERT_TRUE(c.greeting());
    // Nothing but CONNECT works before the log-in.
    c.send("COUNT", QStringLiteral("BIBLENOTES"), {"-1"});
    auto r = c.next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->verb(), QStringLiteral("COUNTED"));
    EXPECT_EQ(r->noun(), QStringLiteral("ERROR"));
    EXPECT_EQ(r->paramAtIndex(0), QStringLiteral("Log in first."));
    r = c.login(QStringLiteral("10001"), QStringLiteral("wrong"));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->fields(), QStringList({"CONNECTED", "ERROR", "2", "Invalid customer ID or password."}));
    c.send("CONNECT", QStringLiteral("USER"), {QStringLiteral("not scrambled")});
    r = c.next();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->paramAtIndex(0), QStringLiteral("4"));
    c.send("CONNECT", QStringLiteral("USER"));
    EXPECT_EQ(c.next()->paramAtIndex(0), QStringLiteral("4"));
    r = c.login(QStringLiteral("demo@quillstead.test"), QStringLiteral("demo"));
    EXPECT_EQ(r->fields(), QStringList({"CONNECTED", "SUCCESS"}));
    const QString sent = qs::cloud::formatSyncTime(qs::cloud::currentSyncTimeMs() / 1000 * 1000);
    c.send("GET", QStringLiteral("TIME"), {sent});
    const auto raw = c.nextRaw();
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->left(8), QByteArray("00000006"));  // the lead field counts the lines sent
    r = SyncCommand::fromReceivedBytes(*raw);
    EXPECT_EQ(r->verb(), QStringLiteral("GOT"));
    EXPECT_EQ(r->paramAtIndex(0), sent);
    const auto serverTime = qs::cloud::parseSyncTime(r->paramAtIndex(1));
    ASSERT_TRUE(serverTime);
    EXPECT_LT(std::abs(*serverTime - qs::cloud::currentSyncTimeMs()), 5000);
    c.send("GET", QStringLiteral("TIME"));
    EXPECT_EQ(c.next()->fields().mid(0, 2), QStringList({"GOT", "ERROR"}));
    c.send("GET", QStringLiteral("VERSION"));
    EXPECT_EQ(c.next()->noun(), QStringLiteral("ERROR"));
    c.send("DISCONNECT", QString());
    EXPECT_TRUE(c.closedWithin(3000));
}

TEST(StandinSync, TwoReadersOfOneAccountConvergeAndOthersSeeNothing)
{
    Server server;
    ASSERT_TRUE(server.running());
    const QMap<QString, QStringList> records = sampleRecords();
    SyncClient a(server.syncPort());
    logIn(a, QStringLiteral("device-a"));
    // Reader A uploads one record of every type.
    qint64 recId = 100;
    for (auto it = records.begin(); it != records.end(); ++it) {
        a.send("COUNT", it.key(), {"-1"});
        EXPECT_EQ(a.next()->fields(), QStringList({"COUNTED", it.key(), "0", "0"}));
        a.send("SYNC", it.key(), {"-1"});
        EXPECT_EQ(a.next()->fields(), QStringList({"SYNC", "COMPLETE"}));
        a.send("ADD", it.key(), QStringList {QString::number(++recId), kT1} + it.value());
        EXPECT_EQ(a.next()->fields(), QStringList({"ADDED", "SUCCESS", it.key(), QString::number(recId), "1"}));
        a.send("SYNC", QStringLiteral("COMPLETE"));
    }
    // Reader B of the same account receives them all; its own device is not echoed a record id.
    SyncClient b(server.syncPort());
    logIn(b, QStringLiteral("device-b"));
    for (auto it = records.begin(); it != records.end(); ++it) {
        b.send("COUNT", it.key(), {"-1"});
        EXPECT_EQ(b.next()->fields(), QStringList({"COUNTED", it.key(), "1", "1"}));
        b.send("SYNC", it.key(), {"0"});
        const auto add = b.next();
        ASSERT_TRUE(add);
        EXPECT_EQ(add->fields(), QStringList({"ADD", it.key(), "0", "1", kT1, "1"}) + it.value());
        EXPECT_EQ(b.next()->fields(), QStringList({"SYNC", "COMPLETE"}));
    }
    // B deletes the note; A receives the tombstone (not its own record: no record id).
    b.send("DELETE", QStringLiteral("BIBLENOTES"),
        QStringList {"7", QStringLiteral("2026-01-03 00:00:00.000")} + records.value("BIBLENOTES"));
    EXPECT_EQ(b.next()->fields(), QStringList({"DELETED", "SUCCESS", "BIBLENOTES", "7", "2"}));
    a.send("SYNC", QStringLiteral("BIBLENOTES"), {"1"});
    EXPECT_EQ(a.next()->fields(),
        QStringList({"DELETE", "BIBLENOTES", "0", "2", "2026-01-03 00:00:00.000", "1"}) + records.value("BIBLENOTES"));
    EXPECT_EQ(a.next()->noun(), QStringLiteral("COMPLETE"));
    a.send("SYNC", QStringLiteral("HIGHLIGHTCOLORNAMES"), {"0"});
    EXPECT_EQ(a.next()->paramAtIndex(0), QStringLiteral("108"));  // A's own record comes back with its record id
    EXPECT_EQ(a.next()->noun(), QStringLiteral("COMPLETE"));
    // An upload older than the stored record is acknowledged below it, and the newer record goes out again.
    a.send("ADD", QStringLiteral("BIBLENOTES"), QStringList {"200", kT0} + records.value("BIBLENOTES"));
    EXPECT_EQ(a.next()->fields(), QStringList({"ADDED", "SUCCESS", "BIBLENOTES", "200", "3"}));
    a.send("SYNC", QStringLiteral("BIBLENOTES"), {"3"});
    const auto reissued = a.next();
    EXPECT_EQ(reissued->verb(), QStringLiteral("DELETE"));
    EXPECT_EQ(reissued->paramAtIndex(1), QStringLiteral("4"));
    EXPECT_EQ(a.next()->noun(), QStringLiteral("COMPLETE"));
    // The catch-up asks for the highest id given out by a time.
    a.send("GET", QStringLiteral("SERVERID"),
        {"BIBLENOTES", kT0, qs::cloud::formatSyncTime(qs::cloud::currentSyncTimeMs() + 60000)});
    EXPECT_EQ(a.next()->fields(), QStringList({"GOT", "SERVERID", "BIBLENOTES", kT0, "4"}));
    a.send("GET", QStringLiteral("SERVERID"), {"BIBLENOTES", kT0, kT0});
    EXPECT_EQ(a.next()->paramAtIndex(2), QStringLiteral("0"));
    a.send("COUNT", QStringLiteral("PROGRAMSETTINGS"), {"9223372036854775807"});
    EXPECT_EQ(a.next()->fields(), QStringList({"COUNTED", "PROGRAMSETTINGS", "0", "0"}));
    a.send("SYNC", QStringLiteral("PROGRAMSETTINGS"), {"9223372036854775807"});
    EXPECT_EQ(a.next()->fields(), QStringList({"SYNC", "COMPLETE"}));

    // A second account sees none of it.
    const auto created = server.webScript(
        qs::cloud::WebScriptQueries::createAccount(QStringLiteral("b@example.org"), QStringLiteral("pw"),
            QStringLiteral("B"), QStringLiteral("C"), QString(), QString(), QStringLiteral("d"), 1, 2));
    ASSERT_TRUE(created.body.contains("<customerid>10002</customerid>"));
    SyncClient other(server.syncPort());
    logIn(other, QStringLiteral("device-a"), QStringLiteral("b@example.org"), QStringLiteral("pw"));
    for (auto it = records.begin(); it != records.end(); ++it) {
        other.send("COUNT", it.key(), {"-1"});
        EXPECT_EQ(other.next()->fields(), QStringList({"COUNTED", it.key(), "0", "0"}));
        other.send("SYNC", it.key(), {"-1"});
        EXPECT_EQ(other.next()->fields(), QStringList({"SYNC", "COMPLETE"}));
    }
}

TEST(StandinSync, BadLinesGetErrorRepliesAndTheServerStays)
{
    Server server;
    ASSERT_TRUE(server.running());
    SyncClient c(server.syncPort());
    logIn(c, QStringLiteral("d"));
    c.sendRaw("NONSENSE\x1f\x1e");
    EXPECT_EQ(c.next()->fields(), QStringList({"SYNC", "ERROR", "Unrecognized command."}));
    c.sendRaw("ADD\x1f"
              "BIBLENOTES\x1f"
              "1\x1f\xff\xfe\x1e");
    EXPECT_EQ(c.next()->fields().mid(0, 2), QStringList({"ADDED", "ERROR"}));
    c.send("ADD", QStringLiteral("BIBLENOTES"), {"1", kT1, "43", "3"});
    auto r = c.next();
    EXPECT_EQ(r->fields(),
        QStringList({"ADDED", "ERROR", "BIBLENOTES", "1", "", "Not enough record fields for BIBLENOTES."}));
    c.send("ADD", QStringLiteral("BIBLENOTES"), {"x", kT1, "43", "3", "16", "n"});
    EXPECT_EQ(c.next()->paramAtIndex(3), QStringLiteral("The record id is not a number."));
    c.send("DELETE", QStringLiteral("BIBLENOTES"), {"1", "yesterday", "43", "3", "16", "n"});
    EXPECT_EQ(c.next()->fields().mid(0, 2), QStringList({"DELETED", "ERROR"}));
    c.send("ADD", QStringLiteral("BIBLEHIGHLIGHTS"), {"1", kT1, "John", "3", "16", "0", "1"});
    EXPECT_EQ(c.next()->verb(), QStringLiteral("ADDED"));
    c.send("ADD", QStringLiteral("PROGRAMSETTINGS"), {"1", kT1});
    EXPECT_EQ(c.next()->paramAtIndex(3), QStringLiteral("Unknown record type."));
    c.send("COUNT", QStringLiteral("NOTATYPE"), {"1"});
    EXPECT_EQ(c.next()->fields().mid(0, 2), QStringList({"COUNTED", "ERROR"}));
    c.send("SYNC", QStringLiteral("BIBLENOTES"), {"high"});
    EXPECT_EQ(c.next()->fields().mid(0, 2), QStringList({"SYNC", "ERROR"}));
    c.send("GET", QStringLiteral("SERVERID"), {"BIBLENOTES"});
    EXPECT_EQ(c.next()->fields().mid(0, 2), QStringList({"GOT", "ERROR"}));
    // Nothing was stored by the refused lines.
    c.send("COUNT", QStringLiteral("BIBLENOTES"), {"-1"});
    EXPECT_EQ(c.next()->paramAtIndex(1), QStringLiteral("0"));
    // A line past the length limit ends the connection; the server goes on.
    c.sendRaw(QByteArray(5 * 1024 * 1024, 'x'));
    r = c.next(10000);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->fields(), QStringList({"SYNC", "ERROR", "The line is too long."}));
    EXPECT_TRUE(c.closedWithin(5000));
    SyncClient again(server.syncPort());
    logIn(again, QStringLiteral("d"));
    again.send("COUNT", QStringLiteral("BIBLEHIGHLIGHTS"), {"-1"});
    EXPECT_EQ(again.next()->paramAtIndex(1), QStringLiteral("0"));
}

// A record whose last field ends in line breaks (a note of two paragraphs) or holds "$" is read in
// the standard form: stored as sent and sent back byte for byte, ahead of the line's separator.
TEST(StandinSync, NotesEndingInLineBreaksAreStoredAndSentBackByteForByte)
{
    Server server;
    ASSERT_TRUE(server.running());
    const QByteArray note = QByteArray("<p>One $1</p>\r\n<p>Two \xE2\x90\x9F</p>\n");
    SyncClient a(server.syncPort());
    logIn(a, QStringLiteral("device-a"));
    a.sendRaw("ADD\x1f"
              "BIBLENOTES\x1f"
              "5\x1f" +
        kT1.toUtf8() + "\x1f" + "40\x1f" + "5\x1f" + "3\x1f" + note + "\x1e");
    const auto added = a.next();
    ASSERT_TRUE(added);
    EXPECT_EQ(added->fields(), QStringList({"ADDED", "SUCCESS", "BIBLENOTES", "5", "1"}));
    // A second line of the same kind in the same read is answered too.
    a.sendRaw("ADD\x1f"
              "BIBLENOTES\x1f"
              "6\x1f" +
        kT1.toUtf8() + "\x1f" + "40\x1f" + "5\x1f" + "4\x1f" + "\n\x1e" + "SYNC\x1f" + "COMPLETE\x1e");
    EXPECT_EQ(a.next()->fields(), QStringList({"ADDED", "SUCCESS", "BIBLENOTES", "6", "2"}));

    SyncClient b(server.syncPort());
    logIn(b, QStringLiteral("device-b"));
    b.send("SYNC", QStringLiteral("BIBLENOTES"), {"0"});
    const auto first = b.nextRaw();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->endsWith("\x1f"
                                "40\x1f"
                                "5\x1f"
                                "3\x1f" +
        note + "\x1e"))
        << first->toStdString();
    const auto second = b.nextRaw();
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->endsWith("\x1f"
                                 "4\x1f"
                                 "\n\x1e"));
    EXPECT_EQ(b.next()->fields(), QStringList({"SYNC", "COMPLETE"}));
}
