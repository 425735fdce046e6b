#include "userdata/cSQLiteDbBase.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "engine/foundation/cMsgBox.h"
#include "tests/userdata/UserDataTestSupport.h"
#include "userdata/SQLiteFailure.h"
#include "userdata/cBibleNoteStg.h"
#include "userdata/cDevotionalDataStg.h"
#include "userdata/cHighlightColorNameStg.h"
#include "userdata/cSyncCustomerDb.h"

namespace {

using namespace qs::userdata::testsupport;

class SQLiteDbBaseTest : public UserDataTest {
protected:
    SQLiteDbBaseTest() : UserDataTest("userdata") { }
};

TEST_F(SQLiteDbBaseTest, DatabasePathIsInTheEngineDataFolder)
{
    cSQLiteDbBase db;
    EXPECT_EQ(text(db.databasePath()), m_folder + "/Tavrosen Data.db");
}

TEST_F(SQLiteDbBaseTest, NoDataFolderMeansNoDatabase)
{
    cSQLiteDbBase::setEngineDataFolder(cLString16());
    cSQLiteDbBase db;
    EXPECT_TRUE(db.databasePath().isEmpty());
    int rc = 0;
    EXPECT_FALSE(db.open(db.databasePath(), &rc));
    EXPECT_EQ(rc, SQLITE_CANTOPEN);
    EXPECT_FALSE(db.tableHasRows("T", "x"));  // opening on demand fails the same way
    EXPECT_EQ(cSQLiteDbBase::openCount(), 0);
    cSQLiteDbBase::setEngineDataFolder(cLString16(m_folder.c_str()));
}

TEST_F(SQLiteDbBaseTest, WithoutADataFolderStoresFailQuietlyAndOpenNothing)
{
    // A tool that never set a data folder has no database: its stores answer "nothing" and report
    // no error (an open of the empty path would be reported as "Error 14 accessing database """).
    cSQLiteDbBase::setEngineDataFolder(cLString16());
    const std::uint32_t shownBefore = cMsgBox::shownCount();
    {
        cDatabaseErrorCapture capture;
        cDevotionalDataStg devotional;
        cDateTimeValue start;
        std::uint32_t readings = 0;
        EXPECT_FALSE(devotional.readStartDate(1, 130, start, readings, nullptr, false));
        EXPECT_FALSE(devotional.isOpen());
        cHighlightColorNameStg colors;
        EXPECT_FALSE(colors.create());
        cSyncCustomerDb customer;
        EXPECT_FALSE(customer.create());
        EXPECT_FALSE(capture.captured()) << text(capture.text());
    }
    EXPECT_EQ(cMsgBox::shownCount(), shownBefore);
    EXPECT_EQ(cSQLiteDbBase::openCount(), 0);
    cSQLiteDbBase::setEngineDataFolder(cLString16(m_folder.c_str()));

    // With a data folder, a database that cannot be opened is still reported.
    cSQLiteDbBase::setEngineDataFolder(cLString16("/nonexistent-folder/x"));
    {
        cDatabaseErrorCapture capture;
        cHighlightColorNameStg colors;
        EXPECT_FALSE(colors.create());
        ASSERT_TRUE(capture.captured());
        EXPECT_EQ(text(capture.text()).rfind("Error 14 accessing database", 0), 0u) << text(capture.text());
    }
    cSQLiteDbBase::setEngineDataFolder(cLString16(m_folder.c_str()));
}

TEST_F(SQLiteDbBaseTest, SharesOneConnectionAndClosesWithTheLastShare)
{
    {
        cSQLiteDbBase a;
        int rc = -5;
        ASSERT_TRUE(a.open(a.databasePath(), &rc));
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(cSQLiteDbBase::openCount(), 1);
        sqlite3* handle = cSQLiteDbBase::connectionHandle();
        ASSERT_NE(handle, nullptr);

        cSQLiteDbBase b;
        rc = -5;
        // The path only matters to the first opener.
        ASSERT_TRUE(b.open(cLString16("/nonexistent/elsewhere.db"), &rc));
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(cSQLiteDbBase::openCount(), 2);
        EXPECT_EQ(cSQLiteDbBase::connectionHandle(), handle);
        rc = -5;
        EXPECT_TRUE(b.open(b.databasePath(), &rc));  // already open: nothing changes
        EXPECT_EQ(rc, -5);
        EXPECT_EQ(cSQLiteDbBase::openCount(), 2);

        cSQLiteDbBase never;
        never.close();  // never opened: nothing changes
        EXPECT_EQ(cSQLiteDbBase::openCount(), 2);
        b.close();
        EXPECT_EQ(cSQLiteDbBase::openCount(), 1);
    }  // a's destructor closes the last share
    EXPECT_EQ(cSQLiteDbBase::openCount(), 0);
    EXPECT_EQ(cSQLiteDbBase::connectionHandle(), nullptr);
}

TEST_F(SQLiteDbBaseTest, FailedFirstOpenLeavesNoHandle)
{
    cSQLiteDbBase db;
    int rc = 0;
    EXPECT_FALSE(db.open(cLString16("/nonexistent-folder/x/y.db"), &rc));
    EXPECT_EQ(rc, SQLITE_CANTOPEN);
    EXPECT_EQ(cSQLiteDbBase::openCount(), 0);
    EXPECT_EQ(cSQLiteDbBase::connectionHandle(), nullptr);
    EXPECT_FALSE(db.isOpen());
}

std::string fileBytes(const std::string& path)
{
    std::string bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.append(buffer, n);
        std::fclose(f);
    }
    return bytes;
}

bool isLink(const std::string& path)
{
    struct stat info { };
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// The database may be kept elsewhere through a link. One that names a database is honoured: notes
// typed later reach the file it names and the link stays a link. One whose target is missing (a
// disk not mounted), a folder, a loop of links or a file that is no database is refused: the open
// fails, the report names the link's target and says what to do, and the link and its target stay
// as they were. A FIFO in the database's place is not opened.
TEST_F(SQLiteDbBaseTest, ALinkAtTheDatabaseIsHonouredOrRefusedNeverReplaced)
{
    const std::string db = text(m_raw.databasePath());
    const std::string outsideDb = m_folder + "/outside.db";
    const std::string outsideText = m_folder + "/outside.txt";
    const std::string missing = m_folder + "/unmounted-disk/notes.db";
    const std::string folder = m_folder + "/a-folder";
    const std::string loop = m_folder + "/loop";
    {
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(outsideDb.c_str(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "CREATE TABLE Kept (x TEXT); INSERT INTO Kept VALUES ('theirs')", nullptr,
                      nullptr, nullptr),
            SQLITE_OK);
        sqlite3_close(other);
        std::FILE* f = std::fopen(outsideText.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("not a database\n", f);
        std::fclose(f);
        ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
        ASSERT_EQ(::symlink(db.c_str(), loop.c_str()), 0);  // the database's link names this one
    }
    const std::string textBefore = fileBytes(outsideText);

    // Refused: the open fails and names the target; nothing is made, moved or removed.
    const std::pair<std::string, const char*> refused[] = {{missing, "which does not exist"},
        {folder, "which is a folder"}, {loop, "which leads round a loop of links"},
        {outsideText, "which is not an SQLite database"}};
    for (const auto& [target, why] : refused) {
        SCOPED_TRACE(target);
        ASSERT_EQ(::symlink(target.c_str(), db.c_str()), 0);
        {
            cDatabaseErrorCapture capture;
            cBibleNoteStg notes;
            EXPECT_FALSE(notes.openOrCreate(cLString16(), true));
            EXPECT_FALSE(notes.isOpen());
            ASSERT_TRUE(capture.captured());
            const std::string report = text(capture.text());
            EXPECT_NE(report.find("is a link to \"" + target + "\", " + why), std::string::npos) << report;
            EXPECT_NE(report.find("Connect the disk"), std::string::npos) << report;
        }
        EXPECT_EQ(cSQLiteDbBase::openCount(), 0);
        EXPECT_NE(cSQLiteDbBase::linkProblem(db).find(target), std::string::npos);
        EXPECT_TRUE(isLink(db));
        struct stat info { };
        EXPECT_NE(::lstat(missing.c_str(), &info), 0);
        EXPECT_NE(::lstat((m_folder + "/unmounted-disk").c_str(), &info), 0);
        EXPECT_EQ(::lstat((folder + "/Tavrosen Data.db").c_str(), &info), -1);
        EXPECT_EQ(fileBytes(outsideText), textBefore);
        ASSERT_EQ(::unlink(db.c_str()), 0);
    }

    // Honoured: the notes go into the linked database, beside what it held, and the link stays.
    ASSERT_EQ(::symlink(outsideDb.c_str(), db.c_str()), 0);
    EXPECT_EQ(cSQLiteDbBase::linkProblem(db), "");
    {
        cBibleNoteStg notes;
        ASSERT_TRUE(notes.openOrCreate(cLString16(), true));
        cBibleNote typed;
        typed.booknum = 43;
        typed.chapter = 3;
        typed.verse = 16;
        typed.note.assign(cLString16("typed through the link"));
        ASSERT_TRUE(notes.addBibleNote(typed, false, true, false));
    }
    EXPECT_EQ(cSQLiteDbBase::openCount(), 0);
    EXPECT_TRUE(isLink(db));
    struct stat info { };
    EXPECT_NE(::lstat((db + "-journal").c_str(), &info), 0);
    {
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open_v2(outsideDb.c_str(), &other, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        std::vector<std::string> seen;
        sqlite3_exec(
            other, "SELECT x FROM Kept UNION ALL SELECT note FROM BibleNotes",
            [](void* out, int, char** values, char**) {
                static_cast<std::vector<std::string>*>(out)->push_back(values[0] ? values[0] : "");
                return 0;
            },
            &seen, nullptr);
        sqlite3_close(other);
        EXPECT_EQ(seen, (std::vector<std::string> {"theirs", "typed through the link"}));
    }
    ASSERT_EQ(::unlink(db.c_str()), 0);

    ASSERT_EQ(::mkfifo(db.c_str(), 0600), 0);
    cSQLiteDbBase fifo;
    int rc = 0;
    EXPECT_FALSE(fifo.open(fifo.databasePath(), &rc));
    EXPECT_EQ(rc, SQLITE_CANTOPEN);
    EXPECT_EQ(cSQLiteDbBase::openCount(), 0);
    ::unlink(db.c_str());
}

TEST_F(SQLiteDbBaseTest, ValuesAreBoundAndRowsComeBackAsText)
{
    cSQLiteDbBase db;
    ASSERT_TRUE(db.open(db.databasePath()));
    ASSERT_TRUE(db.exec("CREATE TABLE T (recid INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT, n INTEGER)"));
    std::int64_t rowid = 0;
    const char* tricky = "O'Brien's \"note\"; DROP TABLE T; -- \xF0\x9F\x99\x8F";
    ASSERT_TRUE(db.exec("INSERT INTO T (name, n) VALUES (?, ?)", {tricky, std::int64_t {-9007199254740993}}, nullptr,
        false, nullptr, &rowid));
    EXPECT_EQ(rowid, 1);
    ASSERT_TRUE(db.exec("INSERT INTO T (name, n) VALUES (?, ?)", {cSQLValue(), 7}, nullptr, false, nullptr, &rowid));
    EXPECT_EQ(rowid, 2);
    cSQLRows rows;
    ASSERT_TRUE(db.exec("SELECT name, n FROM T ORDER BY recid", {}, &rows));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(text(rows[0][0]), tricky);
    EXPECT_EQ(text(rows[0][1]), "-9007199254740993");
    EXPECT_EQ(text(rows[1][0]), "");  // NULL reads as ""
    // Several statements take their values in order.
    rows.clear();
    ASSERT_TRUE(db.exec("UPDATE T SET n = ? WHERE recid = ?; SELECT n FROM T WHERE recid = ?", {42, 2, 2}, &rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(text(rows[0][0]), "42");
    db.close();
}

TEST_F(SQLiteDbBaseTest, FailuresAnswerFalseWithTheCodeAndReport)
{
    cSQLiteDbBase db;
    int rc = 0;
    EXPECT_FALSE(db.exec("SELECT 1", {}, nullptr, false, &rc));  // no connection
    EXPECT_EQ(rc, SQLITE_MISUSE);
    ASSERT_TRUE(db.open(db.databasePath()));
    const std::uint32_t shown = cMsgBox::shownCount();
    EXPECT_FALSE(db.exec("SELECT * FROM Missing", {}, nullptr, true, &rc));
    EXPECT_EQ(rc, SQLITE_ERROR);
    EXPECT_EQ(cMsgBox::shownCount(), shown + 1);
    EXPECT_FALSE(db.exec("SELECT * FROM Missing", {}, nullptr, false, &rc));
    EXPECT_EQ(cMsgBox::shownCount(), shown + 1);  // no report unless asked

    const std::string report = text(cSQLiteDbBase::composeErrorReport(1));
    EXPECT_EQ(report.rfind("Error 1 accessing database \"" + m_folder +
                      "/Tavrosen Data.db\"\r\n\r\n"
                      "SQL error or missing database.\r\n\r\nno such table: Missing",
                  0),
        0u)
        << report;
    db.close();
}

TEST_F(SQLiteDbBaseTest, MessagesForCodes)
{
    EXPECT_STREQ(cSQLiteDbBase::messageForCode(-1),
        "INTERNAL PROGRAM ERROR: an illegal parameter or condition has been detected.");
    EXPECT_STREQ(cSQLiteDbBase::messageForCode(5), "The database file is locked.");
    EXPECT_STREQ(cSQLiteDbBase::messageForCode(19), "Abort due to contraint violation.");
    EXPECT_STREQ(cSQLiteDbBase::messageForCode(26), "File opened that is not a database file.");
    EXPECT_STREQ(cSQLiteDbBase::messageForCode(27), "Additional information is not available.");
    EXPECT_STREQ(cSQLiteDbBase::messageForCode(-2), "Additional information is not available.");
    EXPECT_TRUE(cSQLiteDbBase::composeErrorReport(0).isEmpty());  // no connection, no error
}

TEST_F(SQLiteDbBaseTest, MaintenanceStatementsOpenOnDemand)
{
    {
        cSQLiteDbBase setup;
        ASSERT_TRUE(setup.open(setup.databasePath()));
        ASSERT_TRUE(setup.exec("CREATE TABLE N (recid INTEGER PRIMARY KEY, serverid INTEGER, deleted INTEGER, "
                               "timestamp TEXT)"));
    }
    cSQLiteDbBase db;  // not open: each call opens and closes again
    EXPECT_FALSE(db.tableHasRows("N", "recid"));
    EXPECT_TRUE(db.updateColumnUpToTime("N", "X", "serverid", "timestamp", 0, false));  // empty: nothing run
    EXPECT_EQ(cSQLiteDbBase::openCount(), 0);
    ASSERT_TRUE(db.open(db.databasePath()));
    ASSERT_TRUE(db.exec("INSERT INTO N VALUES (1, 0, 0, '2024:01:05:07:08:09:000:05'), "
                        "(2, 0, 1, '2024:01:05:07:08:10:000:05'), (3, 9, 0, '2024:01:06:00:00:00:000:06')"));
    EXPECT_TRUE(db.hasColumn("N", "serverid"));
    EXPECT_FALSE(db.hasColumn("N", "ServerID"));
    EXPECT_EQ(db.countRowsWhereZero("N", "serverid"), 2);
    EXPECT_EQ(db.countRowsWhereZero("Missing", "serverid"), 0);
    // Forgetting all sync state: every timestamp sorts below "X".
    EXPECT_TRUE(db.updateColumnUpToTime("N", "X", "serverid", "timestamp", 0, false));
    EXPECT_EQ(db.countRowsWhereZero("N", "serverid"), 3);
    EXPECT_TRUE(db.deleteRowsWhereNonZero("N", "deleted"));
    EXPECT_EQ(db.countRowsWhereZero("N", "deleted"), 2);
    EXPECT_TRUE(db.deleteAllRows("N"));
    EXPECT_FALSE(db.tableHasRows("N", "recid"));
    db.close();
}

TEST_F(SQLiteDbBaseTest, SchemaCheckCreatesMigratesAndLeavesCurrentTablesAlone)
{
    const char* create = "CREATE TABLE S (recid INTEGER PRIMARY KEY, a TEXT, serverid INTEGER DEFAULT 0, "
                         "deleted INTEGER DEFAULT 0)";
    const char* alter = "ALTER TABLE S ADD COLUMN serverid INTEGER DEFAULT 0; "
                        "ALTER TABLE S ADD COLUMN deleted INTEGER DEFAULT 0";
    const char* index = "DROP INDEX IF EXISTS SOld; CREATE INDEX IF NOT EXISTS SDeletedIndex ON S (deleted, a)";
    {
        cSQLiteDbBase old;
        ASSERT_TRUE(old.open(old.databasePath()));
        ASSERT_TRUE(old.exec("CREATE TABLE S (recid INTEGER PRIMARY KEY, a TEXT); CREATE INDEX SOld ON S (a); "
                             "INSERT INTO S (a) VALUES ('kept')"));
    }
    cSQLiteDbBase db;
    ASSERT_TRUE(db.checkTables(db.databasePath(), {{"S", 4, create, alter, index}}, true));
    cSQLRows rows;
    ASSERT_TRUE(db.exec("SELECT a, serverid, deleted FROM S", {}, &rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(text(rows[0][0]), "kept");
    EXPECT_EQ(text(rows[0][1]), "0");
    rows.clear();
    ASSERT_TRUE(db.exec("SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name", {}, &rows));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(text(rows[0][0]), "SDeletedIndex");
    db.close();

    // A missing table is created; a current one is left as it is.
    cSQLiteDbBase again;
    ASSERT_TRUE(again.checkTables(again.databasePath(),
        {{"S", 4, create, alter, "CREATE INDEX Bad ON Nowhere (x)"},
            {"Fresh", 2, "CREATE TABLE Fresh (x, y)", nullptr, nullptr}},
        true));
    EXPECT_TRUE(again.probeTables(again.databasePath(), {"S", "Fresh"}, true));
    again.close();
    cSQLiteDbBase missing;
    EXPECT_FALSE(missing.probeTables(missing.databasePath(), {"S", "Nope"}, false));
    EXPECT_FALSE(missing.isOpen());
    // A failing creation closes the share.
    cSQLiteDbBase broken;
    EXPECT_FALSE(broken.checkTables(broken.databasePath(), {{"Broken", 1, "CREATE TABLE (", nullptr, nullptr}}, false));
    EXPECT_FALSE(broken.isOpen());
}

TEST_F(SQLiteDbBaseTest, TransactionsCommitOrRollBack)
{
    cSQLiteDbBase db;
    ASSERT_TRUE(db.open(db.databasePath()));
    ASSERT_TRUE(db.exec("CREATE TABLE T (x INTEGER)"));
    EXPECT_TRUE(db.runInTransaction([&] { return db.exec("INSERT INTO T VALUES (1)"); }));
    EXPECT_FALSE(db.runInTransaction([&] { return db.exec("INSERT INTO T VALUES (2)") && db.exec("BAD SQL"); }));
    // An inner transaction joins the outer one: the outer failure rolls back the inner work too.
    EXPECT_FALSE(db.runInTransaction(
        [&] { return db.runInTransaction([&] { return db.exec("INSERT INTO T VALUES (3)"); }) && false; }));
    EXPECT_TRUE(
        db.runInTransaction([&] { return db.runInTransaction([&] { return db.exec("INSERT INTO T VALUES (4)"); }); }));
    cSQLRows rows;
    ASSERT_TRUE(db.exec("SELECT x FROM T ORDER BY x", {}, &rows));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(text(rows[0][0]), "1");
    EXPECT_EQ(text(rows[1][0]), "4");
    db.close();
}

TEST_F(SQLiteDbBaseTest, AFailedInnerTransactionUndoesOnlyItsOwnWork)
{
    cSQLiteDbBase db;
    ASSERT_TRUE(db.open(db.databasePath()));
    ASSERT_TRUE(db.exec("CREATE TABLE T (x INTEGER)"));
    EXPECT_TRUE(db.runInTransaction([&] {
        EXPECT_TRUE(db.exec("INSERT INTO T VALUES (1)"));
        EXPECT_FALSE(db.runInTransaction([&] { return db.exec("INSERT INTO T VALUES (2)") && db.exec("BAD SQL"); }));
        EXPECT_TRUE(db.runInTransaction([&] { return db.exec("INSERT INTO T VALUES (3)"); }));
        return true;
    }));
    cSQLRows rows;
    ASSERT_TRUE(db.exec("SELECT x FROM T ORDER BY x", {}, &rows));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(text(rows[0][0]), "1");
    EXPECT_EQ(text(rows[1][0]), "3");
    db.close();
}

TEST_F(SQLiteDbBaseTest, AHeldTransactionSpansCallsAndHoldsOtherThreadsBack)
{
    cSQLiteDbBase db;
    ASSERT_TRUE(db.open(db.databasePath()));
    ASSERT_TRUE(db.exec("CREATE TABLE T (x INTEGER)"));
    EXPECT_TRUE(db.commitHeldTransaction());  // none held: nothing to do
    ASSERT_TRUE(db.beginHeldTransaction());
    EXPECT_FALSE(db.beginHeldTransaction());  // one at a time
    EXPECT_TRUE(db.exec("INSERT INTO T VALUES (1)"));
    EXPECT_TRUE(db.runInTransaction([&] { return db.exec("INSERT INTO T VALUES (2)"); }));
    EXPECT_FALSE(db.runInTransaction([&] { return db.exec("INSERT INTO T VALUES (3)") && false; }));
    // Another thread's statement waits until the held transaction ends, then sees all of it.
    std::atomic<bool> counted {false};
    cSQLRows seen;
    std::thread other([&] {
        cSQLiteDbBase store;
        EXPECT_TRUE(store.open(store.databasePath()));
        EXPECT_TRUE(store.exec("SELECT COUNT(*) FROM T", {}, &seen));
        counted = true;
        store.close();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(counted.load());
    EXPECT_TRUE(db.exec("INSERT INTO T VALUES (4)"));
    EXPECT_TRUE(db.commitHeldTransaction());
    other.join();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(text(seen[0][0]), "3");
    // A held transaction that cannot commit loses its work and releases the connection.
    ASSERT_TRUE(db.beginHeldTransaction());
    EXPECT_TRUE(db.exec("INSERT INTO T VALUES (5)"));
    EXPECT_TRUE(db.exec("ROLLBACK"));
    EXPECT_FALSE(db.commitHeldTransaction());
    cSQLRows rows;
    ASSERT_TRUE(db.exec("SELECT COUNT(*) FROM T", {}, &rows));
    EXPECT_EQ(text(rows[0][0]), "3");
    db.close();
}

// What the database says to the user, kept.
class RecordedNotices final : public cDatabaseErrorReporter {
public:
    void databaseNotice(const cLString16& title, const cLString16& words) override
    {
        titles.push_back(text(title));
        texts.push_back(text(words));
    }
    std::vector<std::string> titles;
    std::vector<std::string> texts;
};

TEST_F(SQLiteDbBaseTest, TheWindowThreadWaitsOnlyAMomentWhileAnotherProgramHoldsTheDatabase)
{
    cSQLiteDbBase db;
    ASSERT_TRUE(db.open(db.databasePath()));
    ASSERT_TRUE(db.exec("CREATE TABLE T (x INTEGER); INSERT INTO T VALUES (1)"));
    auto notices = std::make_shared<RecordedNotices>();
    cDatabaseErrorReporter::install(notices);
    cSQLiteDbBase::setWindowThread();
    cSQLiteDbBase::resetLongestWindowWait();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(text(db.databasePath()).c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    const std::uint64_t serialBefore = cSQLiteDbBase::changeSerial();

    // Reads and writes fail at once with "busy", however often they are tried.
    cSQLRows rows;
    int rc = 0;
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(db.exec("SELECT x FROM T", {}, &rows, false, &rc));
        EXPECT_EQ(rc, SQLITE_BUSY);
        EXPECT_FALSE(db.runInTransaction([&] { return db.exec("INSERT INTO T VALUES (2)"); }));
    }
    EXPECT_GT(cSQLiteDbBase::longestWindowWaitMs(), 0) << "no wait at all: a commit of a moment fails";
    EXPECT_LE(cSQLiteDbBase::longestWindowWaitMs(), 16) << "the window waits longer than a frame";
    // A save that says its own failure is given these words; otherwise they are said once.
    {
        cDatabaseErrorCapture capture;
        EXPECT_FALSE(db.exec("INSERT INTO T VALUES (3)", {}, nullptr, true));
        ASSERT_TRUE(capture.captured());
        EXPECT_NE(text(capture.text()).find("another program holds the database"), std::string::npos)
            << text(capture.text());
    }
    EXPECT_TRUE(notices->titles.empty());
    EXPECT_FALSE(db.exec("INSERT INTO T VALUES (3)", {}, nullptr, true));
    EXPECT_FALSE(db.exec("INSERT INTO T VALUES (3)", {}, nullptr, true));
    ASSERT_EQ(notices->titles.size(), 1u);
    EXPECT_EQ(notices->titles[0], "Another program is using your notes database.");

    // Once the other program lets go, what failed for want of the lock is read again: the serial moved.
    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_NE(cSQLiteDbBase::changeSerial(), serialBefore);
    rows.clear();
    EXPECT_TRUE(db.exec("SELECT x FROM T", {}, &rows));
    EXPECT_EQ(rows.size(), 1u);

    // Another thread waits for the lock rather than failing at once.
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::atomic<bool> written {false};
    std::thread worker([&] { written = db.runInTransaction([&] { return db.exec("INSERT INTO T VALUES (4)"); }); });
    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    worker.join();
    EXPECT_TRUE(written.load());
    EXPECT_LE(cSQLiteDbBase::longestWindowWaitMs(), 16);
    sqlite3_close(other);
    cSQLiteDbBase::setWindowThread(std::thread::id());
    cDatabaseErrorReporter::install(nullptr);
    db.close();
}

// The reader's own worker threads wait for another program's lock too: one waiting inside a
// transaction holds the statement lock meanwhile, another waits between tries of a statement. The
// window thread's own statements, transactions and change serials come back within a moment
// whatever they hold (failing as for a lock), and the workers' writes land once the lock goes.
TEST_F(SQLiteDbBaseTest, TheWindowThreadDoesNotWaitBehindAWorkerThatWaitsForTheLock)
{
    cSQLiteDbBase db;
    ASSERT_TRUE(db.open(db.databasePath()));
    ASSERT_TRUE(db.exec("CREATE TABLE T (x INTEGER)"));
    cSQLiteDbBase::setWindowThread();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(text(db.databasePath()).c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::atomic<bool> inTransaction {false};
    std::atomic<bool> alone {false};
    std::thread holder(
        [&] { inTransaction = db.runInTransaction([&] { return db.exec("INSERT INTO T VALUES (1)"); }); });
    std::thread single([&] { alone = db.exec("INSERT INTO T VALUES (2)"); });
    // The holder is in its transaction's wait once the statement lock is taken.
    for (int i = 0; i < 2000; ++i) {
        if (!cSQLiteDbBase::statementLock().try_lock_for(std::chrono::milliseconds(0)))
            break;
        cSQLiteDbBase::statementLock().unlock();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    const auto start = std::chrono::steady_clock::now();
    int failed = 0;
    for (int i = 0; i < 20; ++i) {
        failed += db.exec("SELECT x FROM T") ? 0 : 1;
        failed += db.runInTransaction([&] { return db.exec("INSERT INTO T VALUES (3)"); }) ? 0 : 1;
        cSQLiteDbBase::changeSerial();
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(failed, 40);
    EXPECT_LT(elapsed, 1000) << "the window thread waited behind a worker";

    ASSERT_EQ(sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);
    holder.join();
    single.join();
    EXPECT_TRUE(inTransaction.load());
    EXPECT_TRUE(alone.load());
    cSQLRows rows;
    ASSERT_TRUE(db.exec("SELECT x FROM T ORDER BY x", {}, &rows));
    EXPECT_EQ(asTable(rows), (Table {{"1"}, {"2"}}));
    sqlite3_close(other);
    cSQLiteDbBase::setWindowThread(std::thread::id());
    db.close();
}

TEST_F(SQLiteDbBaseTest, TheSerialMovesOnAnotherConnectionsWriteAndInsideATransaction)
{
    cSQLiteDbBase db;
    ASSERT_TRUE(db.open(db.databasePath()));
    ASSERT_TRUE(db.exec("CREATE TABLE T (x INTEGER)"));
    const std::uint64_t first = cSQLiteDbBase::changeSerial();
    EXPECT_EQ(cSQLiteDbBase::changeSerial(), first) << "the serial moved with nothing changed";
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(text(db.databasePath()).c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "INSERT INTO T VALUES (1)", nullptr, nullptr, nullptr), SQLITE_OK);
    const std::uint64_t afterOther = cSQLiteDbBase::changeSerial();
    EXPECT_NE(afterOther, first) << "another connection's write left the serial";
    EXPECT_EQ(cSQLiteDbBase::changeSerial(), afterOther);
    ASSERT_TRUE(db.exec("INSERT INTO T VALUES (2)"));
    const std::uint64_t afterOwn = cSQLiteDbBase::changeSerial();
    EXPECT_NE(afterOwn, afterOther);
    // Inside a transaction nothing read is final: every look gives a new number.
    std::uint64_t inside = 0;
    EXPECT_TRUE(db.runInTransaction([&] {
        inside = cSQLiteDbBase::changeSerial();
        return db.exec("INSERT INTO T VALUES (3)") && cSQLiteDbBase::changeSerial() != inside;
    })) << "the serial stood still inside a transaction";
    EXPECT_NE(inside, afterOwn);
    const std::uint64_t committed = cSQLiteDbBase::changeSerial();
    EXPECT_NE(committed, inside);
    EXPECT_EQ(cSQLiteDbBase::changeSerial(), committed);
    sqlite3_close(other);
    db.close();
}

TEST_F(SQLiteDbBaseTest, AFileReplacedOrDeletedUnderTheConnectionIsOpenedAgainAtItsPath)
{
    auto notices = std::make_shared<RecordedNotices>();
    cDatabaseErrorReporter::install(notices);
    const std::string path = text(cSQLiteDbBase().databasePath());
    cSQLiteDbBase db;
    ASSERT_TRUE(db.checkTables(db.databasePath(), {{"T", 1, "CREATE TABLE T (x INTEGER)", nullptr, nullptr}}, true));
    ASSERT_TRUE(db.exec("INSERT INTO T VALUES (1)"));
    const auto valuesInFile = [&path] {
        sqlite3* reader = nullptr;
        std::string values;
        if (sqlite3_open_v2(path.c_str(), &reader, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK)
            sqlite3_exec(
                reader, "SELECT x FROM T ORDER BY x",
                [](void* out, int, char** columns, char**) {
                    *static_cast<std::string*>(out) += std::string(columns[0]) + " ";
                    return 0;
                },
                &values, nullptr);
        sqlite3_close(reader);
        return values;
    };

    // Another program puts a database of its own in the file's place.
    const std::string replacement = path + ".new";
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(replacement.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "CREATE TABLE T (x INTEGER); INSERT INTO T VALUES (7)", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(other);
    ASSERT_EQ(std::rename(replacement.c_str(), path.c_str()), 0);
    // The write that meets it fails, unreported (what it changes was read from the old file), and
    // the file in its place is opened and the user told; the caller's next try is stored there.
    cDatabaseErrorCapture unseen;  // a save's own failure report would land here
    EXPECT_FALSE(db.exec("INSERT INTO T VALUES (2)", {}, nullptr, true));
    EXPECT_TRUE(SQLiteFailure::lastWasAnotherProgram());
    ASSERT_EQ(notices->titles.size(), 1u);
    EXPECT_EQ(notices->titles[0], "Your notes database was replaced while Quillstead was running.");
    EXPECT_NE(notices->texts[0].find(path), std::string::npos);
    EXPECT_TRUE(db.exec("INSERT INTO T VALUES (2)", {}, nullptr, true)) << text(unseen.text());
    EXPECT_EQ(valuesInFile(), "2 7 ");

    // The file deleted: a transaction fails and a new file is made at the path, with the stores'
    // tables; the next one is saved there.
    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_FALSE(db.runInTransaction([&] { return db.exec("INSERT INTO T VALUES (3)", {}, nullptr, true); }, true));
    EXPECT_TRUE(SQLiteFailure::lastWasAnotherProgram());
    ASSERT_EQ(notices->titles.size(), 2u);
    EXPECT_EQ(notices->titles[1], "Your notes database was moved or deleted while Quillstead was running.");
    EXPECT_TRUE(db.runInTransaction([&] { return db.exec("INSERT INTO T VALUES (3)", {}, nullptr, true); }, true));
    EXPECT_EQ(valuesInFile(), "3 ");
    EXPECT_FALSE(unseen.captured()) << text(unseen.text());
    EXPECT_TRUE(db.exec("INSERT INTO T VALUES (4)"));
    EXPECT_EQ(valuesInFile(), "3 4 ");
    EXPECT_EQ(notices->titles.size(), 2u);
    cDatabaseErrorReporter::install(nullptr);
    db.close();
}

TEST_F(SQLiteDbBaseTest, ManyThreadsOpenWriteAndClose)
{
    {
        cSQLiteDbBase setup;
        ASSERT_TRUE(setup.open(setup.databasePath()));
        ASSERT_TRUE(setup.exec("CREATE TABLE T (thread INTEGER, i INTEGER)"));
    }
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i) {
                cSQLiteDbBase store;  // short-lived stores, as the application makes them
                if (!store.open(store.databasePath()))
                    std::abort();
                if (!store.exec("INSERT INTO T VALUES (?, ?)", {t, i}))
                    std::abort();
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    cSQLiteDbBase db;
    EXPECT_EQ(db.countRowsWhereZero("T", "0"), 400);
}

}  // namespace
