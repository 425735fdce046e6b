// Two readers with one account edit every record type on both sides, sync in turns through the
// stand-in server and end with the same data; deletes travel as tombstones; the newer edit wins; a
// second account sees none of it.
#include "SyncHarness.h"

#include "cloud/protocol/SyncTime.h"
#include "engine/references/cBibleRef.h"
#include "userdata/cNoteDoc.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <atomic>
#include <thread>

#include "userdata/cBibleNoteStg.h"

using namespace sync_test;
using C = qs::cloud::SyncCommand;

namespace {

void editEverything(Reader& r, const QString& tag, int verse)
{
    const QString v = QString::number(verse);
    r.edit(C::BibleBookmarks, {"1", "2", v, ""});
    r.edit(C::BibleBookmarks, {"43", "3", v, "Gospel " + tag});
    r.edit(C::BibleHighlights, {"19", "23", v, "0", QString::number(3 + verse)});
    r.edit(C::BibleNotes, {"40", "5", v, "<p>note " + tag + " \xC3\xA9\xE2\x80\x94</p>"});
    r.edit(C::BookBookmarks, {"7", "12", "1", QString::number(100 + verse), "Study " + tag});
    r.edit(C::BookNotes, {"24326", "15184", "1", "1", "Journal " + tag, "Note", "entry " + tag});
    r.edit(C::DevotionalProgress, {"3", "4", QString::number(verse - 1), "1"});
    r.edit(C::DevotionalStartDate, {"3", "4", "2026-01-0" + QString::number(verse % 9 + 1) + " 00:00:00.000"});
    r.edit(C::HighlightColorNames, {QString::number(verse), "Colour " + tag});
}

}  // namespace

TEST(SyncTwoReaders, EditsOnBothSidesConverge)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    Reader b(QStringLiteral("device-b"));
    editEverything(a, QStringLiteral("A"), 1);
    editEverything(b, QStringLiteral("B"), 2);

    RecordingDelegate first = a.sync(server.syncPort());
    EXPECT_TRUE(first.errors.isEmpty()) << first.errors.join('\n').toStdString();
    EXPECT_EQ(first.loginValid, true);
    EXPECT_EQ(first.commStarted, 1);
    EXPECT_EQ(first.commFinished, 1);
    EXPECT_EQ(a.unsynced(), 0);
    ASSERT_FALSE(first.progress.empty());
    EXPECT_FLOAT_EQ(first.progress.back(), 1.0f);

    RecordingDelegate second = b.sync(server.syncPort());
    EXPECT_TRUE(second.errors.isEmpty()) << second.errors.join('\n').toStdString();
    EXPECT_TRUE(second.completed[QStringLiteral("BIBLENOTES")]) << "B received A's note";
    RecordingDelegate third = a.sync(server.syncPort());
    EXPECT_TRUE(third.errors.isEmpty()) << third.errors.join('\n').toStdString();

    EXPECT_EQ(a.unsynced(), 0);
    EXPECT_EQ(b.unsynced(), 0);
    const Dump da = a.dump();
    const Dump db = b.dump();
    EXPECT_EQ(da, db);
    EXPECT_EQ(da.at("BibleNotes").size(), 2u);
    EXPECT_EQ(da.at("BibleBookmarks").size(), 4u);
    EXPECT_EQ(da.at("DevDataInfo").size(), 1u) << "one start date per book: the newer one";

    // Another round in the other order changes nothing.
    b.sync(server.syncPort());
    EXPECT_EQ(b.dump(), db);
}

TEST(SyncTwoReaders, DeletesTravelAsTombstonesAndTheNewerEditWins)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    Reader b(QStringLiteral("device-b"));
    a.edit(C::BibleNotes, {"1", "1", "1", "first"});
    a.edit(C::BibleHighlights, {"1", "1", "2", "0", "5"});
    a.sync(server.syncPort());
    b.sync(server.syncPort());
    ASSERT_EQ(b.dump(false).at("BibleNotes"), std::set<std::string>({"1|1|1|first"}));

    // A deletes the highlight; B edits the note later than A does.
    a.edit(C::BibleHighlights, {"1", "1", "2", "0", "5"}, true);
    a.edit(C::BibleNotes, {"1", "1", "1", "older text"}, false, 5000);
    b.edit(C::BibleNotes, {"1", "1", "1", "newer text"});
    EXPECT_TRUE(a.sync(server.syncPort()).errors.isEmpty());
    EXPECT_TRUE(b.sync(server.syncPort()).errors.isEmpty());
    EXPECT_TRUE(a.sync(server.syncPort()).errors.isEmpty());

    for (Reader* r : {&a, &b}) {
        const Dump d = r->dump(false);
        EXPECT_EQ(d.at("BibleNotes"), std::set<std::string>({"1|1|1|newer text"}));
        EXPECT_EQ(d.at("VerseHighlights"), std::set<std::string>({"1|1|2|0|5 deleted"}));
    }
    EXPECT_EQ(a.dump(), b.dump());
}

// A note that shows nothing is no note on either side: one an older version left in the database goes
// up as a deletion, not as a note; one an older version elsewhere sends is kept as a deletion; and a
// synced note emptied in the editor is deleted in its own row, whose deletion replaces the server's
// record.
TEST(SyncTwoReaders, NotesThatShowNothingAreNoNotesOnEitherSide)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    Reader b(QStringLiteral("device-b"));
    a.edit(C::BibleNotes, {"43", "3", "16", "<p>written</p>"}, false, 5000);
    ASSERT_TRUE(a.sync(server.syncPort()).errors.isEmpty());
    ASSERT_TRUE(b.sync(server.syncPort()).errors.isEmpty());
    ASSERT_EQ(b.dump(false).at("BibleNotes"), std::set<std::string>({"43|3|16|<p>written</p>"}));

    a.activate();
    {
        cSQLiteDbBase db;
        ASSERT_TRUE(db.open(db.databasePath()));
        ASSERT_TRUE(db.exec("INSERT INTO BibleNotes (timestamp, booknum, chapter, verse, note, serverid, deleted) "
                            "VALUES ('2024:05:06:07:08:09:000:01', 43, 3, 17, '<p>&nbsp;</p><p> </p>', 0, 0)"));
        db.close();
    }
    qint64 emptied = 0;
    {
        cNoteDoc notes;
        ASSERT_TRUE(notes.openStores(cLString16()));
        EXPECT_FALSE(notes.hasBibleNoteInReference(cBibleRef((43u << 16) | (3u << 8) | 17u)));
        cBibleNote note;
        ASSERT_TRUE(notes.readBibleNoteInReference(cBibleRef((43u << 16) | (3u << 8) | 16u), note));
        emptied = note.recid;
        note.note.assign(cLString16("<p><br></p>"));
        ASSERT_TRUE(notes.saveBibleNote(note, false));
        notes.Close();
    }
    {
        standin_test::SyncClient older(server.syncPort());
        ASSERT_TRUE(older.greeting());
        ASSERT_TRUE(
            older.login(QStringLiteral("demo@quillstead.test"), QStringLiteral("demo"), "device-c").has_value());
        older.send("ADD", QStringLiteral("BIBLENOTES"),
            {QStringLiteral("1"), qs::cloud::formatSyncTime(qs::cloud::currentSyncTimeMs()), QStringLiteral("43"),
                QStringLiteral("3"), QStringLiteral("18"), QStringLiteral("<div><br></div>&nbsp;")});
        const auto added = older.next();
        ASSERT_TRUE(added.has_value());
        ASSERT_EQ(added->noun(), QStringLiteral("SUCCESS"));
    }

    RecordingDelegate run = a.sync(server.syncPort());
    EXPECT_TRUE(run.errors.isEmpty()) << run.errors.join('\n').toStdString();
    EXPECT_TRUE(b.sync(server.syncPort()).errors.isEmpty());
    EXPECT_EQ(a.unsynced(), 0);
    for (Reader* r : {&a, &b}) {
        const Dump d = r->dump(false);
        for (const std::string& row : d.at("BibleNotes"))
            EXPECT_TRUE(row.ends_with("| deleted")) << "a live note that shows nothing: " << row;
    }
    EXPECT_EQ(b.dump(false).at("BibleNotes").count("43|3|16|<p>written</p>"), 0u) << "the emptied note lives on";
    a.activate();
    SyncLocalData data;
    ASSERT_TRUE(data.open());
    const auto row = data.findByMatchKey(C::BibleNotes, {"43", "3", "16", ""});
    ASSERT_TRUE(row.has_value());
    EXPECT_EQ(row->recid, emptied) << "the deletion was written as another record";
    EXPECT_TRUE(row->deleted);
    data.close();
}

TEST(SyncTwoReaders, ASecondAccountNeverSeesTheFirstOnesRecords)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    const auto created = server.webScript(
        qs::cloud::WebScriptQueries::createAccount(QStringLiteral("other@example.org"), QStringLiteral("pw"),
            QStringLiteral("O"), QStringLiteral("T"), QString(), QString(), QStringLiteral("device-c"), 1, 2));
    ASSERT_TRUE(created.body.contains("<customerid>10002</customerid>")) << created.body.toStdString();

    Reader a(QStringLiteral("device-a"));
    editEverything(a, QStringLiteral("A"), 1);
    EXPECT_TRUE(a.sync(server.syncPort()).errors.isEmpty());

    Reader c(QStringLiteral("device-c"), Account {QStringLiteral("other@example.org"), QStringLiteral("pw"), 10002});
    c.edit(C::BibleNotes, {"2", "2", "2", "mine"});
    RecordingDelegate run = c.sync(server.syncPort());
    EXPECT_TRUE(run.errors.isEmpty()) << run.errors.join('\n').toStdString();
    const Dump d = c.dump(false);
    EXPECT_EQ(d.at("BibleNotes"), std::set<std::string>({"2|2|2|mine"}));
    for (const char* table : {"BibleBookmarks", "VerseHighlights", "BookNotes", "HighlightColorNames"})
        EXPECT_EQ(d.count(table), 0u) << table;
    // And the first account does not get the second one's note.
    a.sync(server.syncPort());
    EXPECT_EQ(a.dump(false).at("BibleNotes").count("2|2|2|mine"), 0u);
}

TEST(SyncTwoReaders, RefusedCredentialsAreReportedAndChangeNothing)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(
        QStringLiteral("device-a"), Account {QStringLiteral("demo@quillstead.test"), QStringLiteral("wrong"), 10001});
    a.edit(C::BibleNotes, {"1", "1", "1", "kept"});
    RecordingDelegate run = a.sync(server.syncPort());
    EXPECT_EQ(run.loginValid, false);
    ASSERT_FALSE(run.errors.isEmpty());
    EXPECT_EQ(a.unsynced(), 1);
}

TEST(SyncTwoReaders, ForgettingTheHistoryResendsEverythingAndRemovingTheDataRefillsIt)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    editEverything(a, QStringLiteral("A"), 1);
    a.edit(C::BibleNotes, {"9", "9", "9", "gone"}, true);
    ASSERT_TRUE(a.sync(server.syncPort()).errors.isEmpty());
    const Dump before = a.dump(false);

    // Combining with another account: every row goes up again, tombstones are purged.
    a.activate();
    {
        SyncManager engine;
        ASSERT_TRUE(engine.localData().open());
        EXPECT_TRUE(engine.localData().lastSyncTime(QStringLiteral("BibleNotes")).has_value());
        EXPECT_TRUE(engine.removeAllUserSyncHistory());
        EXPECT_FALSE(engine.localData().lastSyncTime(QStringLiteral("BibleNotes")).has_value());
        EXPECT_TRUE(engine.userHasUnsyncedData());
    }
    EXPECT_EQ(a.dump(false).at("BibleNotes").count("9|9|9|gone deleted"), 0u);
    EXPECT_TRUE(a.sync(server.syncPort()).errors.isEmpty());
    EXPECT_EQ(a.unsynced(), 0);

    // Replacing the local data: everything goes, and the next sync brings the account's data back.
    a.activate();
    RecordingDelegate told;
    {
        SyncManager engine;
        engine.setDelegate(&told);
        EXPECT_TRUE(engine.removeAllUserData());
        EXPECT_FALSE(engine.userHasSomeData());
    }
    EXPECT_TRUE(told.completed[QStringLiteral("BIBLENOTES")]);
    EXPECT_TRUE(a.dump(false).empty());
    EXPECT_TRUE(a.sync(server.syncPort()).errors.isEmpty());
    // Live rows come back; a tombstone of a record this reader no longer has is not needed.
    Dump expected = before;
    expected["BibleNotes"].erase("9|9|9|gone deleted");
    EXPECT_EQ(a.dump(false), expected);
}

namespace {

// One scripted run of the note type against the stand-in, on `engine` (a new one when none; the
// program keeps one engine for its whole life); the delegate's record of it. `whileRunning` is called
// from a timer of the event loop while the run goes on. `userAsked`: a sync of every type the user
// asked for, whose script answers every type (userAskedScript).
RecordingDelegate runScripted(Reader& r, const standin_test::Server& server, const QJsonArray& script,
    SyncManager* engine = nullptr, const std::function<void(const RecordingDelegate&)>& whileRunning = {},
    bool userAsked = false)
{
    QJsonDocument doc(script);
    EXPECT_EQ(server.post(QStringLiteral("/_control/script"), doc.toJson(QJsonDocument::Compact)).status, 200);
    r.activate();
    RecordingDelegate delegate;
    std::optional<SyncManager> own;
    SyncManager& e = engine ? *engine : own.emplace();
    e.setServer(QStringLiteral("127.0.0.1"), server.syncPort());
    e.setDelegate(&delegate);
    QTimer ticks;
    if (whileRunning) {
        QObject::connect(&ticks, &QTimer::timeout, [&] { whileRunning(delegate); });
        ticks.start(0);
    }
    if (userAsked) {
        e.syncAll(true);
    } else {
        e.syncRecordType(C::BibleNotes, true);
        e.conditionallyStartSync(true);
    }
    Reader::waitIdle(e, 30000);
    ticks.stop();
    e.setDelegate(nullptr);
    // The next reader's database may be opened.
    e.localData().close();
    return delegate;
}

QJsonArray line(std::initializer_list<QString> parts)
{
    QJsonArray out;
    for (const QString& p : parts)
        out.append(p);
    return out;
}

// The script of a sync of every type the user asked for, by a reader with one unsynced Bible note and
// nothing else: the note type's entries (GET TIME onwards) between the counts of the others.
QJsonArray userAskedScript(const QJsonArray& bibleNoteEntries)
{
    auto nothing = [](const char* noun) { return QJsonArray {line({"COUNTED", noun, "0", "0"})}; };
    QJsonArray script {
        QJsonArray {line({"CONNECTED", "SUCCESS"})}, nothing("BIBLEBOOKMARKS"), nothing("BIBLEHIGHLIGHTS")};
    for (const QJsonValue& entry : bibleNoteEntries)
        script.append(entry);
    for (const char* noun :
        {"BOOKBOOKMARKS", "BOOKNOTES", "DEVOTIONALPROGRESS", "DEVOTIONALSTARTDATE", "HIGHLIGHTCOLORNAMES"})
        script.append(nothing(noun));
    script.append(QJsonArray {});  // DISCONNECT
    return script;
}

// Counts the commits of the user-data connection while the engine's share keeps it open.
void countCommits(SyncManager& engine, int* commits)
{
    ASSERT_TRUE(engine.localData().open());
    sqlite3_commit_hook(
        cSQLiteDbBase::connectionHandle(),
        [](void* counter) {
            ++*static_cast<int*>(counter);
            return 0;
        },
        commits);
}

}  // namespace

// The server asks to modify a record this reader edited since its last sync: the newer edit wins
// (the local one here, which then goes up in the same run); an older local edit gives way.
TEST(SyncTwoReaders, AServerModificationKeepsANewerUnsyncedLocalEdit)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    const qint64 recid = a.edit(C::BibleNotes, {"1", "1", "1", "synced text"});
    ASSERT_TRUE(a.sync(server.syncPort()).errors.isEmpty());
    ASSERT_EQ(a.unsynced(), 0);

    // Edited here after that sync; the server's modification is half a minute older.
    a.edit(C::BibleNotes, {"1", "1", "1", "my newer edit"});
    const QString older = SyncLocalData::wireTime(SyncLocalData::nowMs() - 30000);
    const QJsonArray keepLocal {QJsonArray {line({"CONNECTED", "SUCCESS"})},  // CONNECT
        QJsonArray {line({"GOT", "TIME", "$p0", "$now"})},                    // GET TIME
        QJsonArray {line({"GOT", "SERVERID", "$p0", "$p2", "1"})},            // GET SERVERID
        QJsonArray {line({"MODIFY", "BIBLENOTES", QString::number(recid), "777", older, "1", "1", "1", "server text"}),
            line({"SYNC", "COMPLETE"})},                                      // SYNC BIBLENOTES
        QJsonArray {line({"ADDED", "SUCCESS", "BIBLENOTES", "$p0", "777"})},  // the upload of the edit
        QJsonArray {}, QJsonArray {}};                                        // SYNC COMPLETE, DISCONNECT
    RecordingDelegate kept = runScripted(a, server, keepLocal);
    EXPECT_TRUE(kept.errors.isEmpty()) << kept.errors.join('\n').toStdString();
    EXPECT_EQ(a.dump(false).at("BibleNotes"), std::set<std::string>({"1|1|1|my newer edit"}));
    EXPECT_EQ(a.unsynced(), 0) << "the edit went up and was acknowledged";

    // An edit older than the server's modification gives way to it.
    a.edit(C::BibleNotes, {"1", "1", "1", "an old edit"}, false, 60000);
    const QString newer = SyncLocalData::wireTime(SyncLocalData::nowMs() - 1000);
    const QJsonArray takeServer {QJsonArray {line({"CONNECTED", "SUCCESS"})},
        QJsonArray {line({"GOT", "TIME", "$p0", "$now"})}, QJsonArray {line({"GOT", "SERVERID", "$p0", "$p2", "1"})},
        QJsonArray {line({"MODIFY", "BIBLENOTES", QString::number(recid), "778", newer, "1", "1", "1", "server text"}),
            line({"SYNC", "COMPLETE"})},
        QJsonArray {}, QJsonArray {}};
    RecordingDelegate replaced = runScripted(a, server, takeServer);
    EXPECT_TRUE(replaced.errors.isEmpty()) << replaced.errors.join('\n').toStdString();
    EXPECT_EQ(a.dump(false).at("BibleNotes"), std::set<std::string>({"1|1|1|server text"}));
    EXPECT_EQ(a.unsynced(), 0);
}

TEST(SyncTwoReaders, ManyRecordsAreStoredAFewTransactionsAtATime)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    Reader b(QStringLiteral("device-b"));
    const int n = 600;
    for (int i = 0; i < n; ++i)
        a.edit(C::BibleNotes, {"1", nthVerse(1, i).first, nthVerse(1, i).second, QStringLiteral("note %1").arg(i)});

    // Up: the acknowledgements are stored a batch at a time, not one commit each.
    int upCommits = 0;
    const RecordingDelegate up = a.sync(server.syncPort(), [&](SyncManager& e) { countCommits(e, &upCommits); });
    EXPECT_TRUE(up.errors.isEmpty()) << up.errors.join('\n').toStdString();
    EXPECT_EQ(a.unsynced(), 0);
    EXPECT_LT(upCommits, n / 10);

    // Down: the records that arrive together are applied in one transaction.
    int downCommits = 0;
    RecordingDelegate down = b.sync(server.syncPort(), [&](SyncManager& e) { countCommits(e, &downCommits); });
    EXPECT_TRUE(down.errors.isEmpty()) << down.errors.join('\n').toStdString();
    EXPECT_TRUE(down.completed[QStringLiteral("BIBLENOTES")]);
    EXPECT_LT(downCommits, n / 4);
    const Dump da = a.dump();
    EXPECT_EQ(da, b.dump());
    EXPECT_EQ(da.at("BibleNotes").size(), static_cast<size_t>(n));
}

TEST(SyncTwoReaders, AcknowledgementsBeforeADroppedConnectionAreKept)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    Reader b(QStringLiteral("device-b"));
    const int n = 400;
    for (int i = 0; i < n; ++i)
        a.edit(C::BookNotes, {"7", "9", "1", QString::number(i), "", "", QStringLiteral("book note %1").arg(i)});
    // The server hangs up in the middle of the upload, before a batch of acknowledgements is full.
    ASSERT_TRUE(server.fault(QStringLiteral("sync.closeAtLine=200")));
    const RecordingDelegate broken = a.sync(server.syncPort(), [](SyncManager& e) { e.setReplyTimeoutMs(2000); });
    EXPECT_FALSE(broken.errors.isEmpty());
    const qint64 left = a.unsynced();
    EXPECT_GT(left, 0);
    EXPECT_LT(left, n - 150) << "the rows the server acknowledged keep their server ids";
    server.post(QStringLiteral("/_control/reset"));

    // The rest goes up; nothing is doubled on the other reader.
    EXPECT_TRUE(a.sync(server.syncPort()).errors.isEmpty());
    EXPECT_EQ(a.unsynced(), 0);
    EXPECT_TRUE(b.sync(server.syncPort()).errors.isEmpty());
    const Dump da = a.dump();
    EXPECT_EQ(da, b.dump());
    EXPECT_EQ(da.at("BookNotes").size(), static_cast<size_t>(n));
}

namespace {

// Note texts whose ends and insides a line must carry as they are: the rich editor's two paragraphs,
// line breaks of every kind at the end and inside, "$" and the look-alikes of the separators.
const QStringList kAwkwardTexts = {
    QStringLiteral("<p>First paragraph.</p>\n<p>Second paragraph.</p>\n"),
    QStringLiteral("ends in a newline\n"),
    QStringLiteral("line one\r\nline two\r\n"),
    QStringLiteral("a lone CR at the end\r"),
    QStringLiteral("\n-\n"),  // a note of white space alone is no note: one visible character
    QStringLiteral("\r\n-\r\n\r\n"),
    QStringLiteral("$5 and $$, a$b$c$\n"),
    QString::fromUtf8(
        "\xE2\x90\x9F unit \xE2\x90\x9E record \xEF\xBC\x84 \xEF\xB9\xA9 \xC2\x85 \xE2\x80\xA8 \xE2\x80\xA9\n"),
    QString::fromUtf8("\xC2\x9F\xC2\x9E ends with a smile \xF0\x9F\x99\x82\n"),
};

QString noteOf(const Dump& d, const QString& place)
{
    QStringList found;
    for (const std::string& row : d.count("BibleNotes") ? d.at("BibleNotes") : std::set<std::string>()) {
        const QString text = QString::fromStdString(row);
        if (text.startsWith(place + QLatin1Char('|')))
            found.append(text.mid(place.size() + 1));
    }
    return found.size() == 1 ? found.first() : QStringLiteral("<%1 rows>").arg(found.size());
}

// An ADD of a Bible note (the field after the time: "3" or "5") as a server writes it, separators
// inside its text and all, which `line` would take apart.
QString rawBibleNoteLine(const QString& serverId, const char* field, const QString& verse, const QString& text)
{
    return QStringLiteral("00000099") +
        QStringList {
            "ADD", "BIBLENOTES", "0", serverId, QStringLiteral("2026-01-01 00:00:00.000"), field, "1", "1", verse, text}
            .join(QChar(C::kUnitSeparator)) +
        QChar(C::kRecordSeparator);
}

}  // namespace

// Notes ending in line breaks or holding "$" once made the server read the upload in the other line
// form: it refused the line and nothing after it went up. Every such note arrives on the other reader
// byte for byte, in both directions, and so does everything synced after it.
TEST(SyncTwoReaders, NotesOfSeveralParagraphsArriveByteExactBothWays)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    Reader b(QStringLiteral("device-b"));
    for (int i = 0; i < kAwkwardTexts.size(); ++i) {
        a.edit(C::BibleNotes, {"40", "5", QString::number(i + 1), kAwkwardTexts[i]});
        a.edit(C::BookNotes,
            {"7", "9", "1", QString::number(i + 1), QStringLiteral("Form $1"), QStringLiteral("Field\n"),
                kAwkwardTexts[i]});
    }
    // Records of a type synced after the notes.
    a.edit(C::HighlightColorNames, {"3", QStringLiteral("Sky $blue\r\n")});

    const RecordingDelegate up = a.sync(server.syncPort());
    EXPECT_TRUE(up.errors.isEmpty()) << up.errors.join('\n').toStdString();
    EXPECT_EQ(a.unsynced(), 0);
    const RecordingDelegate down = b.sync(server.syncPort());
    EXPECT_TRUE(down.errors.isEmpty()) << down.errors.join('\n').toStdString();
    Dump db = b.dump(false);
    for (int i = 0; i < kAwkwardTexts.size(); ++i)
        EXPECT_EQ(noteOf(db, QStringLiteral("40|5|%1").arg(i + 1)), kAwkwardTexts[i]) << "note " << i;
    EXPECT_EQ(db["BookNotes"].size(), size_t(kAwkwardTexts.size()));
    EXPECT_EQ(db["HighlightColorNames"], std::set<std::string>({"3|Sky $blue\r\n"}));
    EXPECT_EQ(a.dump(), b.dump());

    // And back: B rewrites every note (the texts shifted by one), A receives B's texts as they are.
    for (int i = 0; i < kAwkwardTexts.size(); ++i)
        b.edit(C::BibleNotes, {"40", "5", QString::number(i + 1), kAwkwardTexts[(i + 1) % kAwkwardTexts.size()]});
    const RecordingDelegate back = b.sync(server.syncPort());
    EXPECT_TRUE(back.errors.isEmpty()) << back.errors.join('\n').toStdString();
    EXPECT_EQ(b.unsynced(), 0);
    const RecordingDelegate again = a.sync(server.syncPort());
    EXPECT_TRUE(again.errors.isEmpty()) << again.errors.join('\n').toStdString();
    const Dump da = a.dump(false);
    for (int i = 0; i < kAwkwardTexts.size(); ++i)
        EXPECT_EQ(noteOf(da, QStringLiteral("40|5|%1").arg(i + 1)), kAwkwardTexts[(i + 1) % kAwkwardTexts.size()])
            << "note " << i;
    EXPECT_EQ(a.dump(), b.dump());
}

// A server that cannot read one upload (it answers with an error line of its own) refuses that row
// only: the rows after it go up in the same run, and the refused one stays unsynced for the next.
TEST(SyncTwoReaders, AnUploadTheServerCannotReadHoldsBackOnlyItsOwnRow)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    const qint64 first = a.edit(C::BibleNotes, {"1", "1", "1", "unreadable for this server"});
    const qint64 second = a.edit(C::BibleNotes, {"1", "1", "2", "fine"});
    const QJsonArray script {QJsonArray {line({"CONNECTED", "SUCCESS"})},    // CONNECT
        QJsonArray {line({"GOT", "TIME", "$p0", "$now"})},                   // GET TIME
        QJsonArray {line({"SYNC", "COMPLETE"})},                             // SYNC BIBLENOTES 0
        QJsonArray {line({"SYNC", "ERROR", "Unrecognized command."})},       // the first ADD
        QJsonArray {line({"ADDED", "SUCCESS", "BIBLENOTES", "$p0", "41"})},  // the second ADD
        QJsonArray {}, QJsonArray {}};                                       // SYNC COMPLETE, DISCONNECT
    const RecordingDelegate run = runScripted(a, server, script);
    EXPECT_EQ(run.errors, QStringList({QStringLiteral("Server reported error: Unrecognized command.")}));
    EXPECT_EQ(a.unsynced(), 1);
    a.activate();
    SyncLocalData data;
    ASSERT_TRUE(data.open());
    EXPECT_EQ(data.readByRecid(C::BibleNotes, first)->serverid, 0);
    EXPECT_EQ(data.readByRecid(C::BibleNotes, second)->serverid, 41);
    EXPECT_FALSE(data.lastSyncTime(QStringLiteral("BibleNotes")).has_value())
        << "a type with a row held back is not in step";
    data.close();

    // The next run (an ordinary server) sends the held-back row.
    const RecordingDelegate next = a.sync(server.syncPort());
    EXPECT_TRUE(next.errors.isEmpty()) << next.errors.join('\n').toStdString();
    EXPECT_EQ(a.unsynced(), 0);
}

// The stores stamp an edit to the whole second. An edit of the only row of a type, stamped in the
// second its last sync ended, is not taken for synced by the catch-up that follows (GET SERVERID):
// it goes up and reaches the other reader.
TEST(SyncTwoReaders, AnEditStampedInTheSecondOfTheLastSyncStillGoesUp)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    Reader b(QStringLiteral("device-b"));
    // Stamped as the note store stamps, to the whole second (and well before the edit below).
    const qint64 recid = a.edit(C::BibleNotes, {"1", "1", "1", "first"}, false, SyncLocalData::nowMs() % 1000 + 2000);
    ASSERT_TRUE(a.sync(server.syncPort()).errors.isEmpty());
    a.activate();
    {
        SyncLocalData data;
        ASSERT_TRUE(data.open());
        const std::optional<QString> last = data.lastSyncTime(QStringLiteral("BibleNotes"));
        ASSERT_TRUE(last.has_value());
        const std::optional<qint64> lastMs = SyncLocalData::parseTime(*last);
        ASSERT_TRUE(lastMs.has_value());
        // As the note store stamps it: the sync's second, without its milliseconds.
        const QString stamp = SyncLocalData::colonTime(*lastMs / 1000 * 1000);
        ASSERT_TRUE(
            data.updateRow(C::BibleNotes, recid, {"1", "1", "1", "<p>edited</p>\n<p>at once</p>\n"}, stamp, 0, false));
        data.close();
    }
    const RecordingDelegate run = a.sync(server.syncPort());
    EXPECT_TRUE(run.errors.isEmpty()) << run.errors.join('\n').toStdString();
    EXPECT_EQ(a.unsynced(), 0);
    EXPECT_TRUE(b.sync(server.syncPort()).errors.isEmpty());
    EXPECT_EQ(noteOf(b.dump(false), QStringLiteral("1|1|1")), QStringLiteral("<p>edited</p>\n<p>at once</p>\n"));
}

// A note too large for one line of the protocol (the server refuses lines over its limit and closes
// the connection) stays on its device and is named in the run's one message; the note after it and
// the types after it go up in the same run, and once shortened it goes up too.
TEST(SyncTwoReaders, ANoteTooLargeToSyncIsNamedAndHoldsBackOnlyItself)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    Reader b(QStringLiteral("device-b"));
    const QString large = QStringLiteral("<p>") + QString(5600000, QLatin1Char('w')) + QStringLiteral("</p>");
    a.edit(C::BibleNotes, {"1", "1", "1", large});
    a.edit(C::BibleNotes, {"1", "1", "2", "<p>small</p>"});
    a.edit(C::HighlightColorNames, {"5", "After the notes"});

    const RecordingDelegate run = a.sync(server.syncPort());
    ASSERT_EQ(run.errors.size(), 1) << run.errors.join('\n').toStdString();
    EXPECT_EQ(run.errors.first(),
        QStringLiteral(
            "The Bible note on Genesis 1:1 is too large to sync (5.3 MB; the Cloud server takes at most 4 "
            "MB). It is kept on this device; shorten it to sync it. The rest of your data syncs without it."));
    EXPECT_EQ(a.unsynced(), 1);

    const RecordingDelegate down = b.sync(server.syncPort());
    EXPECT_TRUE(down.errors.isEmpty()) << down.errors.join('\n').toStdString();
    const Dump db = b.dump(false);
    EXPECT_EQ(db.at("BibleNotes"), std::set<std::string>({"1|1|2|<p>small</p>"}));
    EXPECT_EQ(db.at("HighlightColorNames"), std::set<std::string>({"5|After the notes"}));

    a.edit(C::BibleNotes, {"1", "1", "1", "<p>shortened</p>"});
    // The deletion of a note that was too large goes up without its text.
    a.edit(C::BibleNotes, {"1", "1", "9", large}, true);
    const RecordingDelegate mended = a.sync(server.syncPort());
    EXPECT_TRUE(mended.errors.isEmpty()) << mended.errors.join('\n').toStdString();
    EXPECT_EQ(a.unsynced(), 0);
    EXPECT_TRUE(b.sync(server.syncPort()).errors.isEmpty());
    EXPECT_EQ(b.dump(false).at("BibleNotes"), std::set<std::string>({"1|1|1|<p>shortened</p>", "1|1|2|<p>small</p>"}));
}

// NUL is an ordinary character on the wire: a note holding one travels and is stored whole both ways.
// The line format cannot carry the unit and record separators: a note or name holding them goes up
// without them, and the sending reader keeps what went up, so both copies are the same.
// A received record that cannot be read whole (a stray record separator cut its text and left the rest
// as a line of its own; a stray unit separator gave it a field too many) is not stored, and its type
// is not taken for synced; the records around it are kept whole.
TEST(SyncTwoReaders, NotesHoldingNulOrSeparatorsAreStoredWholeOrNotAtAll)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader a(QStringLiteral("device-a"));
    Reader b(QStringLiteral("device-b"));
    const QString withNul = QStringLiteral("<p>before") + QChar(0) + QStringLiteral("after</p>");
    a.edit(C::BibleNotes, {"2", "2", "2", withNul});
    const QString nul(QChar(0));
    a.edit(C::BibleNotes,
        {"2", "2", "3",
            "a" + nul +
                "b\x1f"
                "c\x1e"
                "d"});
    a.edit(C::BookNotes, {"7", "9", "1", "4", "Form\x1e", "Field", "x\x1fy"});
    a.edit(C::HighlightColorNames, {"6", "Sea\x1fgreen"});
    EXPECT_TRUE(a.sync(server.syncPort()).errors.isEmpty());
    EXPECT_EQ(a.unsynced(), 0) << "the note holding NUL is acknowledged as it was sent";
    EXPECT_TRUE(b.sync(server.syncPort()).errors.isEmpty());
    EXPECT_EQ(noteOf(b.dump(false), QStringLiteral("2|2|2")), withNul);
    EXPECT_EQ(noteOf(a.dump(false), QStringLiteral("2|2|3")), "a" + nul + "bcd");
    EXPECT_EQ(a.dump(), b.dump());
    EXPECT_EQ(b.dump(false).at("HighlightColorNames"), std::set<std::string>({"6|Seagreen"}));
    EXPECT_EQ(b.dump(false).at("BookNotes"), std::set<std::string>({"7|9|1|4|Form|Field|xy"}));

    const QString time = QStringLiteral("2026-01-01 00:00:00.000");
    const QString us = QString(QChar(C::kUnitSeparator));
    const QString rs = QString(QChar(C::kRecordSeparator));
    auto raw = [](const QString& serverId, const QString& verse, const QString& text) {
        return rawBibleNoteLine(serverId, "3", verse, text);
    };
    b.activate();
    std::optional<QString> lastSynced;
    {
        SyncLocalData data;
        ASSERT_TRUE(data.open());
        lastSynced = data.lastSyncTime(QStringLiteral("BibleNotes"));
        data.close();
    }
    ASSERT_TRUE(lastSynced.has_value());
    const QJsonArray cut {QJsonArray {line({"CONNECTED", "SUCCESS"})},  // CONNECT
        QJsonArray {line({"COUNTED", "BIBLENOTES", "103", "3"})},       // COUNT
        QJsonArray {line({"GOT", "TIME", "$p0", "$now"})},              // GET TIME
        QJsonArray {line({"ADD", "BIBLENOTES", "0", "101", time, "3", "1", "1", "1",
                        QStringLiteral("kept") + QChar(0) + QStringLiteral("whole")}),
            raw(QStringLiteral("102"), QStringLiteral("2"), QStringLiteral("the first half") + rs + "and the rest"),
            line({"SYNC", "COMPLETE"})},  // SYNC BIBLENOTES
        QJsonArray {}, QJsonArray {}};
    const RecordingDelegate cutRun = runScripted(b, server, cut);
    ASSERT_EQ(cutRun.errors.size(), 1) << cutRun.errors.join('\n').toStdString();
    EXPECT_EQ(
        cutRun.errors.first(), QStringLiteral("1 Bible note from the server could not be read and was left out."));
    Dump db = b.dump(false);
    EXPECT_EQ(noteOf(db, QStringLiteral("1|1|1")), QStringLiteral("kept") + QChar(0) + QStringLiteral("whole"));
    EXPECT_EQ(db.at("BibleNotes").size(), 3u) << "nothing of the cut record is stored";

    const QJsonArray split {QJsonArray {line({"CONNECTED", "SUCCESS"})},
        QJsonArray {line({"COUNTED", "BIBLENOTES", "103", "2"})}, QJsonArray {line({"GOT", "TIME", "$p0", "$now"})},
        QJsonArray {line({"ADD", "BIBLENOTES", "0", "104", time, "2", "1", "1", "4", "before the split one"}),
            raw(QStringLiteral("103"), QStringLiteral("3"), QStringLiteral("one") + us + "two"),
            line({"SYNC", "COMPLETE"})},
        QJsonArray {}, QJsonArray {}};
    const RecordingDelegate splitRun = runScripted(b, server, split);
    ASSERT_EQ(splitRun.errors.size(), 1) << splitRun.errors.join('\n').toStdString();
    EXPECT_EQ(
        splitRun.errors.first(), QStringLiteral("1 Bible note from the server could not be read and was left out."));
    db = b.dump(false);
    EXPECT_EQ(noteOf(db, QStringLiteral("1|1|4")), QStringLiteral("before the split one"));
    EXPECT_EQ(db.at("BibleNotes").size(), 4u);
    EXPECT_EQ(noteOf(db, QStringLiteral("1|1|2")), QStringLiteral("<0 rows>"));
    EXPECT_EQ(noteOf(db, QStringLiteral("1|1|3")), QStringLiteral("<0 rows>"));
    // Neither run counts as a sync of the type: a catch-up by time must not pass over those records.
    b.activate();
    SyncLocalData data;
    ASSERT_TRUE(data.open());
    EXPECT_EQ(data.lastSyncTime(QStringLiteral("BibleNotes")), lastSynced);
    data.close();
}

// A damaged record among sound ones (a server that wrote a note's separators into its line) stops
// nothing: the sound records around it are stored, the local notes go up in the same run, and the
// damaged records are said once, in one sentence, not again when they come back at the next sync.
TEST(SyncTwoReaders, ADamagedRecordIsPassedOverAndSaidOnce)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader b(QStringLiteral("device-b"));
    const QString us = QString(QChar(C::kUnitSeparator));
    const QString rs = QString(QChar(C::kRecordSeparator));
    auto record = [](const QString& serverId, const QString& verse, const QString& text) {
        return rawBibleNoteLine(serverId, "5", verse, text);
    };
    // Two sound records, one cut short by a record separator (its rest read as two lines), one split
    // by a unit separator, one with a time that does not read, and a last sound one.
    const QJsonArray received {record("201", "1", "sound one"), record("202", "2", "cut" + rs + "short" + rs + "twice"),
        record("203", "3", "sound two"), record("204", "4", "one" + us + "two"),
        line({"ADD", "BIBLENOTES", "0", "205", "yesterday", "5", "1", "1", "5", "no time"}),
        record("206", "6", "sound three"), line({"SYNC", "COMPLETE"})};
    auto script = [&](const QString& acknowledgedId) {
        return QJsonArray {QJsonArray {line({"CONNECTED", "SUCCESS"})},                    // CONNECT
            QJsonArray {line({"GOT", "TIME", "$p0", "$now"})},                             // GET TIME
            received,                                                                      // SYNC BIBLENOTES
            QJsonArray {line({"ADDED", "SUCCESS", "BIBLENOTES", "$p0", acknowledgedId})},  // the local note
            QJsonArray {}, QJsonArray {}};                                                 // SYNC COMPLETE, DISCONNECT
    };
    const qint64 first = b.edit(C::BibleNotes, {"9", "9", "1", "mine"});
    SyncManager engine;
    const RecordingDelegate run = runScripted(b, server, script(QStringLiteral("301")), &engine);
    EXPECT_EQ(run.errors,
        QStringList({QStringLiteral("3 Bible notes from the server could not be read and were left out.")}));
    const std::set<std::string> sound {"1|1|1|sound one", "1|1|3|sound two", "1|1|6|sound three", "9|9|1|mine"};
    EXPECT_EQ(b.dump(false).at("BibleNotes"), sound);
    EXPECT_EQ(b.unsynced(), 0) << "the local note went up";

    // The same records come again with the next sync, which uploads a new note and says nothing.
    const qint64 second = b.edit(C::BibleNotes, {"9", "9", "2", "mine too"});
    const RecordingDelegate again = runScripted(b, server, script(QStringLiteral("302")), &engine);
    EXPECT_TRUE(again.errors.isEmpty()) << again.errors.join('\n').toStdString();
    EXPECT_EQ(b.unsynced(), 0);
    b.activate();
    SyncLocalData data;
    ASSERT_TRUE(data.open());
    EXPECT_EQ(data.readByRecid(C::BibleNotes, first)->serverid, 301);
    EXPECT_EQ(data.readByRecid(C::BibleNotes, second)->serverid, 302);
    data.close();
    EXPECT_EQ(b.dump(false).at("BibleNotes").size(), sound.size() + 1);

    // A sync the user asks for says what it left out, said before or not.
    b.edit(C::BibleNotes, {"9", "9", "3", "mine as well"});
    const RecordingDelegate asked = runScripted(b, server,
        userAskedScript({QJsonArray {line({"GOT", "TIME", "$p0", "$now"})}, received,
            QJsonArray {line({"ADDED", "SUCCESS", "BIBLENOTES", "$p0", "303"})}, QJsonArray {}}),
        &engine, {}, true);
    EXPECT_EQ(asked.errors,
        QStringList({QStringLiteral("3 Bible notes from the server could not be read and were left out.")}));
    EXPECT_EQ(asked.errorsUserAsked, QList<bool>({true}));
    EXPECT_EQ(b.unsynced(), 0);
}

// A server that sends hundreds of records the reader cannot take (unreadable ones, one longer than a
// line may be, notes at places no Bible has: a book, a chapter 0, a verse past its chapter's end) among
// sound ones: the run goes on to its end, stores every sound record and uploads the local note, says
// what it left out in one sentence, and the event loop runs between the lines meanwhile.
TEST(SyncTwoReaders, AFloodOfRecordsTheReaderCannotTakeIsSaidInOneSentence)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader b(QStringLiteral("device-b"));
    const QString time = QStringLiteral("2026-01-01 00:00:00.000");
    const int pairs = 500;
    // The sound notes are on the first verses of Exodus, in order.
    QJsonArray received;
    for (int i = 0; i < pairs; ++i) {
        received.append(line({"ADD", "BIBLENOTES", "0", QString::number(1000 + i), time, "1", "2", nthVerse(2, i).first,
            nthVerse(2, i).second, QStringLiteral("<p>sound %1</p>").arg(i)}));
        if (i % 2 == 0)
            received.append(line(
                {"ADD", "BIBLENOTES", "0", QString::number(5000 + i), "yesterday", "1", "3", "1", "1", "no time"}));
        else
            received.append(rawBibleNoteLine(QString::number(5000 + i), "1", QStringLiteral("1"),
                QStringLiteral("one") + QChar(C::kUnitSeparator) + "two"));
        if (i == pairs / 2) {
            received.append(line({"ADD", "BIBLENOTES", "0", "7000", time, "1", "3", "1", "2", "$fill:5242880"}));
            received.append(line({"ADD", "BIBLENOTES", "0", "7001", time, "1", "999", "1", "1", "nowhere"}));
            received.append(line({"ADD", "BIBLENOTES", "0", "7002", time, "1", "3", "0", "0", "nowhere"}));
            received.append(line({"ADD", "BIBLENOTES", "0", "7003", time, "1", "2", "5", "100", "past the end"}));
        }
    }
    received.append(line({"SYNC", "COMPLETE"}));
    const QJsonArray script {QJsonArray {line({"CONNECTED", "SUCCESS"})},  // CONNECT
        QJsonArray {line({"GOT", "TIME", "$p0", "$now"})},                 // GET TIME
        received,                                                          // SYNC BIBLENOTES
        QJsonArray {line({"ADDED", "SUCCESS", "BIBLENOTES", "$p0", "301"})}, QJsonArray {}, QJsonArray {}};
    b.edit(C::BibleNotes, {"9", "9", "1", "mine"});
    // The turns of the event loop that came while some but not all sound records were in.
    int turnsAmidTheRecords = 0;
    const RecordingDelegate run = runScripted(b, server, script, nullptr, [&](const RecordingDelegate& d) {
        if (d.progress.size() > 20 && d.progress.size() < size_t(pairs - 20))
            ++turnsAmidTheRecords;
    });
    EXPECT_EQ(run.errors,
        QStringList({QStringLiteral("504 Bible notes from the server were left out: 500 could not be read, 1 was "
                                    "longer than the 4 MB a line may hold, 3 are for a place no Bible has.")}));
    const std::set<std::string> stored = b.dump(false).at("BibleNotes");
    EXPECT_EQ(stored.size(), size_t(pairs + 1));
    EXPECT_EQ(stored.count("2|1|1|<p>sound 0</p>"), 1u);
    const auto [lastChapter, lastVerse] = nthVerse(2, pairs - 1);
    EXPECT_EQ(stored.count(QStringLiteral("2|%1|%2|<p>sound 499</p>").arg(lastChapter, lastVerse).toStdString()), 1u);
    EXPECT_EQ(stored.count("2|5|100|past the end"), 0u);
    EXPECT_EQ(stored.count("9|9|1|mine"), 1u);
    EXPECT_EQ(b.unsynced(), 0) << "the local note went up";
    EXPECT_GT(turnsAmidTheRecords, 0) << "the event loop did not run while the records came";
}

// Bookmarks, highlights and notes the server holds for a book no versification of the reference
// tables has (book 200, or 254, which still fits a verse key's byte) would be live rows that no Bible
// ever shows: each type leaves them out, counts them in its summary, and stores the sound ones.
TEST(SyncTwoReaders, RecordsForABookNoBibleHasAreLeftOutAndCounted)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader b(QStringLiteral("device-b"));
    const QString time = QStringLiteral("2026-01-01 00:00:00.000");
    // Sound records at John 3:16, then the same place in books 200 and 254.
    auto records = [&](const char* noun, int firstId, const QStringList& rest) {
        QJsonArray lines;
        int id = firstId;
        for (const char* book : {"43", "200", "254"}) {
            QJsonArray record = line({"ADD", noun, "0", QString::number(id++), time, "3", book, "3", "16"});
            for (const QString& field : rest)
                record.append(field);
            lines.append(record);
        }
        lines.append(line({"SYNC", "COMPLETE"}));
        return lines;
    };
    auto counted = [](const char* noun, const char* n) { return QJsonArray {line({"COUNTED", noun, n, n})}; };
    QJsonArray script {QJsonArray {line({"CONNECTED", "SUCCESS"})}, counted("BIBLEBOOKMARKS", "3"),
        QJsonArray {line({"GOT", "TIME", "$p0", "$now"})}, records("BIBLEBOOKMARKS", 401, {"Gospel"}), QJsonArray {},
        counted("BIBLEHIGHLIGHTS", "3"), records("BIBLEHIGHLIGHTS", 501, {"0", "4"}), QJsonArray {},
        counted("BIBLENOTES", "3"), records("BIBLENOTES", 601, {"<p>for God so loved</p>"}), QJsonArray {}};
    for (const char* noun :
        {"BOOKBOOKMARKS", "BOOKNOTES", "DEVOTIONALPROGRESS", "DEVOTIONALSTARTDATE", "HIGHLIGHTCOLORNAMES"})
        script.append(counted(noun, "0"));
    script.append(QJsonArray {});  // DISCONNECT
    const RecordingDelegate run = runScripted(b, server, script, nullptr, {}, true);
    EXPECT_EQ(run.errors,
        QStringList({QStringLiteral("2 Bible bookmarks from the server were left out: 2 are for a place no Bible has."),
            QStringLiteral("2 Bible highlights from the server were left out: 2 are for a place no Bible has."),
            QStringLiteral("2 Bible notes from the server were left out: 2 are for a place no Bible has.")}));
    const Dump stored = b.dump(false);
    EXPECT_EQ(stored.at("BibleBookmarks"), std::set<std::string>({"43|3|16|Gospel"}));
    EXPECT_EQ(stored.at("VerseHighlights"), std::set<std::string>({"43|3|16|0|4"}));
    EXPECT_EQ(stored.at("BibleNotes"), std::set<std::string>({"43|3|16|<p>for God so loved</p>"}));
}

// The engine holds no lock of the user-data connection while it waits for the server: a note saved on
// another thread while the server stalls in the middle of its records is stored at once, while the
// run still waits, not after it.
TEST(SyncTwoReaders, ANoteIsSavedWhileTheServerStallsInTheMiddleOfItsRecords)
{
    standin_test::Server server;
    ASSERT_TRUE(server.running());
    Reader b(QStringLiteral("device-b"));
    const int records = 300;
    ASSERT_EQ(server
                  .post(QStringLiteral("/_control/script"),
                      QJsonDocument(stallAfterNotesScript(records)).toJson(QJsonDocument::Compact))
                  .status,
        200);
    b.activate();
    RecordingDelegate delegate;
    delegate.device = QStringLiteral("device-b");
    SyncManager engine;
    engine.setServer(QStringLiteral("127.0.0.1"), server.syncPort());
    engine.setDelegate(&delegate);
    engine.syncRecordType(C::BibleNotes, true);
    engine.conditionallyStartSync(true);
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000 && engine.goal() == SyncManager::Syncing &&
        localRecids(C::BibleNotes).size() < size_t(records - 1))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(localRecids(C::BibleNotes).size(), size_t(records - 1));
    ASSERT_EQ(engine.goal(), SyncManager::Syncing) << "the run waits for the rest";

    std::atomic<bool> saved {false};
    std::thread writer([&saved] {
        cBibleNoteStg notes;
        cBibleNote typed;
        typed.booknum = 66;
        typed.chapter = 22;
        typed.verse = 21;
        typed.note.assign(cLString16("typed while the server stalled"));
        saved = notes.openOrCreate(cLString16(), false) && notes.addBibleNote(typed, false, false, false);
        notes.close();
    });
    bool runWaiting = true;
    while (!saved && runWaiting) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        runWaiting = engine.goal() == SyncManager::Syncing && engine.hasConnection();
    }
    writer.join();
    EXPECT_TRUE(saved);
    EXPECT_TRUE(runWaiting) << "the save waited for the run to end";
    EXPECT_TRUE(delegate.errors.isEmpty()) << delegate.errors.join('\n').toStdString();
}
