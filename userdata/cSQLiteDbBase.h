// cSQLiteDbBase: the base of every user-data store, and the one process-wide SQLite connection they
// share.
//
// The connection opens with the first store that opens and closes when the last share is closed;
// a store's open and close only change the share count once the file is open. Every statement runs
// under one process-wide statement lock, so two statements never run on the handle at once; opening
// and closing share a second lock, so the share count and the handle never change under each other.
//
// Statements keep their SQL texts, but values never go into the text: a statement marks each value
// with "?" and the caller passes the values, which are bound in order. A text with several statements
// hands each statement as many values as it has parameters.
//
// Result rows come back as lists of UTF-8 strings, one per result column; NULL becomes "".
//
// Threads. Any thread may use a store; all share the one connection and its rules:
// - Every statement runs under the statement lock (cSQLiteStatementLock, recursive); a transaction
//   holds it from its BEGIN to its end, so no other thread's statement joins it. Opening and closing
//   take the open/close lock first and the statement lock inside it, never the other way round.
// - The window thread (setWindowThread) never waits more than a moment: for another program's lock
//   it waits a few milliseconds, then its statement fails with SQLITE_BUSY and, for half a second
//   after, its statements fail at once instead of waiting again; it takes the statement lock itself
//   with the same short wait (takeStatementLock), so a worker that holds it never freezes the window.
// - Other threads wait up to five seconds for another program's lock. Outside a transaction they wait
//   between tries of their statement without the statement lock; inside one they wait holding it.
// - A read that failed is not a read that found nothing: callers tell them apart (SQLiteFailure::Watch,
//   the result code), and the change serial moves after a failure for want of the lock, so what was
//   read meanwhile is read again once the database answers (lockFailures, databaseAnswers).
// - The thread-local state (the last failure, the transaction depth) is each thread's own.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "engine/foundation/cLStringTmpl.h"

class cDBRecord;

// The lock every statement on the shared connection runs under. Recursive: a transaction holds it
// across its statements. It knows whether the calling thread holds it.
class cSQLiteStatementLock {
public:
    void lock();
    void unlock();
    bool try_lock_for(std::chrono::milliseconds wait);
    // The calling thread holds it.
    static bool heldHere();

private:
    std::recursive_timed_mutex m_mutex;
};

// One value bound to a "?" of a statement.
class cSQLValue {
public:
    cSQLValue() = default;  // NULL
    cSQLValue(std::int64_t value) : m_value(value) { }
    cSQLValue(std::int32_t value) : m_value(std::int64_t {value}) { }
    cSQLValue(std::uint32_t value) : m_value(std::int64_t {value}) { }
    cSQLValue(const char* text) : m_value(cLString8(text)) { }
    cSQLValue(const cLString8& text) : m_value(text) { }
    // A value bound as a blob of bytes.
    static cSQLValue blob(const void* bytes, std::int32_t size);

    void bind(sqlite3_stmt* statement, int index) const;

private:
    struct Blob {
        std::vector<unsigned char> bytes;
    };
    std::variant<std::monostate, std::int64_t, cLString8, Blob> m_value;
};

using cSQLValues = std::vector<cSQLValue>;

// Where the database stood at one moment: which opening of the connection, how many rows this
// connection has changed since it opened, and the file's data versions (which move with every commit
// to the file, by this connection or by any other, in this process or another). A reader that keeps
// answers drawn from the tables keeps the mark taken before it read them and drops them as soon as
// the current mark differs.
struct cSQLiteChangeMark {
    std::uint64_t opening = 0;
    std::int64_t ownChanges = 0;
    std::int64_t dataVersion = 0;
    std::uint32_t fileVersion = 0;
    bool operator==(const cSQLiteChangeMark&) const = default;
};
using cSQLRow = std::vector<cLString8>;
using cSQLRows = std::vector<cSQLRow>;

class cSQLiteDbBase {
public:
    static constexpr const char* kDatabaseFileName = "Tavrosen Data.db";

    cSQLiteDbBase() = default;
    cSQLiteDbBase(const cSQLiteDbBase&) = delete;
    cSQLiteDbBase& operator=(const cSQLiteDbBase&) = delete;
    // Closes this object's share of the connection.
    virtual ~cSQLiteDbBase();

    // The engine data folder (ends with "/"), set once at start-up before any store is used.
    static void setEngineDataFolder(const cLString16& folder);
    static cLString16 engineDataFolder();

    // The engine data folder followed by "Tavrosen Data.db"; empty while no folder is set (and an
    // empty path never opens).
    virtual cLString16 databasePath() const;
    virtual bool isOpen() const { return m_opened; }
    // "DELETE FROM <table> ", opening on demand.
    virtual bool deleteAllRows(const char* table);
    // "DELETE FROM <table> WHERE <column> <> 0 ", opening on demand.
    virtual bool deleteRowsWhereNonZero(const char* table, const char* column);

    // Takes a share of the connection. Only the first opener's path names the file. A symbolic link
    // in the file's place that names a database (or an empty file) is opened where it points; any
    // other link (a target missing, a loop, a folder, a file that is no database) is refused with
    // SQLITE_CANTOPEN and left as it is, with what it names (linkProblem says why). Links at the
    // journal's places beside a file of the profile's own are removed; a FIFO, device or folder in the
    // file's place is not opened. `rcOut` receives the SQLite result of opening the file (0 when only
    // the count changed) and is left alone when this object was open already.
    bool open(const cLString16& path, int* rcOut = nullptr);
    void close();
    // Why the symbolic link at `path` (UTF-8) is refused as the database: one paragraph naming the
    // link, its target, what is wrong with it and what the user can do. Empty when `path` is no link
    // or names a database.
    static std::string linkProblem(const std::string& path);

    // The raw handle, for stores that prepare statements themselves (under `statementLock`).
    static sqlite3* connectionHandle();
    // The lock every statement runs under. A reader may hold it across a check of the change mark and
    // the reads that follow, so that no write on the connection comes between them. The window
    // thread takes it with takeStatementLock.
    static cSQLiteStatementLock& statementLock();
    // Takes the statement lock into `held`. The window thread waits for it no longer than it waits for
    // another program's lock (not at all for a moment after such a wait failed); false then, and the
    // calling thread's last failure is SQLITE_BUSY, as for another program's lock. Other threads
    // wait as long as it takes.
    static bool takeStatementLock(std::unique_lock<cSQLiteStatementLock>& held);
    // The current change mark (one small read of the file's header, under the statement lock). False
    // while no connection is open or a transaction is running on it (a transaction's rows are not
    // final until it commits, and a rollback leaves no mark): nothing may be kept then. Without
    // `lookAtFile` the file is not read: other connections' commits count as far as the last read of
    // this connection saw them (this connection's own changes always count).
    static bool changeMark(cSQLiteChangeMark& mark, bool lookAtFile = true);
    // A number that moves whenever the change mark does (the file is looked at), and at every call
    // while no mark can be taken inside a transaction: something that keeps what it showed of the
    // tables under one number shows them again when the number has moved. Stays put while no
    // connection is open.
    static std::uint64_t changeSerial();

    // The calling thread draws the window: its statements wait only a few milliseconds for another
    // program's lock (other threads up to five seconds), then fail with SQLITE_BUSY, so the window
    // never freezes; the serial moves after such a failure, so what was read then is read again.
    static void setWindowThread(std::thread::id id = std::this_thread::get_id());
    // The longest the window thread waited for a lock in one attempt since the last reset (ms, the
    // waits added up).
    static int longestWindowWaitMs();
    static void resetLongestWindowWait();
    // How many statements have failed for want of the lock (on any thread) since the process started:
    // what was read then is owed, and is read again once databaseAnswers.
    static std::uint64_t lockFailures();
    // Whether the file can be read now (one small read; the calling thread waits as it may). False
    // with no connection open, or inside a transaction.
    static bool databaseAnswers();
    // All the window thread's waits for a lock since the last reset, added up (ms).
    static int totalWindowWaitMs();
    // For tests: `locked` is asked before each statement run through exec, and when it answers true
    // the statement meets another program's lock (it waits as its thread may, then fails with
    // SQLITE_BUSY). Empty: no statement is made to fail.
    static void setLockFaultForTests(std::function<bool(const char* sql)> locked);

    // After SQLite said the file at the path is no longer the one opened (SQLITE_READONLY_DBMOVED:
    // moved, replaced or deleted), the connection opens the path again (a new file gets the stores'
    // tables) and says what happened (cDatabaseErrorReporter::databaseNotice): at once outside a
    // transaction, else as soon as it has ended. The statement that met it fails unreported (what
    // it was to change was read from the old file), so its caller keeps what it meant to save and
    // its next try reads and writes the file at the path. False when nothing was moved, inside a
    // transaction, or when the path cannot be opened (the old handle stays).
    bool reopenMovedFile();

    // Runs the statement text (one or several statements separated by ";"), binding `values` to its
    // "?" marks in order. Rows are appended to `rows` when given. With `report`, a failure is
    // reported (reportError). `rcOut` gets the SQLite result code; `lastRowidOut` the last inserted
    // row id on success. True exactly when every statement succeeded.
    bool exec(const char* sql, const cSQLValues& values = {}, cSQLRows* rows = nullptr, bool report = false,
        int* rcOut = nullptr, std::int64_t* lastRowidOut = nullptr);
    bool exec(const cLString8& sql, const cSQLValues& values = {}, cSQLRows* rows = nullptr, bool report = false,
        int* rcOut = nullptr, std::int64_t* lastRowidOut = nullptr)
    {
        return exec(sql.chars(), values, rows, report, rcOut, lastRowidOut);
    }

    // Runs `work` inside one transaction: committed when it answers true, rolled back otherwise (or
    // when the commit fails). No other thread's statement runs on the connection meanwhile. Called
    // inside a transaction this thread already runs, `work` runs in a savepoint of it: its changes
    // are undone when it fails, and the outer transaction decides about the rest.
    bool runInTransaction(const std::function<bool()>& work, bool report = false);

    // A transaction held open across calls on this thread, for a batch of writes that arrive one by
    // one (the sync engine's received records): begin opens it, commit ends it. This thread holds the
    // statement lock meanwhile, so other threads' statements wait; this thread's statements and
    // runInTransaction calls in between join it. begin answers false when this thread already runs a
    // transaction or BEGIN fails; commit answers false (everything rolled back) when the commit
    // fails, and true when none is held.
    bool beginHeldTransaction(bool report = false);
    bool commitHeldTransaction(bool report = false);

    // The parts of one statement text, joined.
    static cLString8 sqlOf(std::initializer_list<const char*> parts);

    // The error report for `code` (0: the connection's current error code; nothing when that is 0
    // too), handed to the engine's message box.
    void reportError(int code);
    // After open(path) failed with `code`: the error report (naming a refused link and its target),
    // unless the path was empty. An empty path
    // is a program without a data folder (a command-line tool, a benchmark), which has no database
    // to open: nothing failed that the user should hear about, and nothing was opened.
    void reportOpenFailure(const cLString16& path, int code);
    // The report's text: "Error <code> accessing database "<path>"", the code's message and, when
    // SQLite has one, its own message. Empty when there is nothing to report.
    static cLString16 composeErrorReport(int code);
    // The message of a result code (-1 to 26); "Additional information is not available." otherwise.
    static const char* messageForCode(int code);

    // "PRAGMA table_info(<table>)": whether the table has the column (exact name).
    bool hasColumn(const char* table, const char* column);
    // Whether "SELECT * FROM <table> ORDER BY <orderColumn> LIMIT 1 " returns a row; opens on demand.
    bool tableHasRows(const char* table, const char* orderColumn);
    // "SELECT COUNT(*) FROM <table> WHERE <column> = 0"; 0 when the statement fails. Opens on demand.
    std::int64_t countRowsWhereZero(const char* table, const char* column);
    // "UPDATE <table> SET <column> = <number> WHERE <timeColumn> <= '<timeText>' " (and, with
    // onlyWhereZero, "AND <column> = 0 "). Succeeds without running anything on an empty table.
    // Used to forget all sync state (time text "X", number 0).
    bool updateColumnUpToTime(const char* table, const char* timeText, const char* column, const char* timeColumn,
        std::int64_t number, bool onlyWhereZero);
    // The first column of the first row as a number: 0 when the statement fails, `whenEmpty` when it
    // returns no row.
    std::int64_t selectNumber(const char* sql, const cSQLValues& values = {}, std::int64_t whenEmpty = -1);
    // The first result row, when the statement succeeds and that row has at least `minColumns` columns.
    bool selectFirstRow(
        const char* sql, const cSQLValues& values, std::size_t minColumns, cSQLRow& row, bool report = false);
    // Sets a record's recid, timestamp, serverid and deleted from the row's columns at those places.
    static void readSyncColumns(const cSQLRow& row, cDBRecord& record, std::size_t recid, std::size_t timestamp,
        std::size_t serverid, std::size_t deleted);
    // False for a record not stored yet (recid 0), reporting error -1 when asked.
    bool requireStored(const cDBRecord& record, bool report);
    // Writes one record in one transaction: a stored record (recid set) through `updateSql`; a new one
    // by `clearPlace`, which removes whatever rows stand where it goes, then `insertSql`, whose row id
    // becomes its recid. On failure the record keeps the recid it had. The statements get `report`;
    // the transaction's own start and commit report with `report` or `reportTransaction`.
    bool writeRecord(cDBRecord& record, const char* updateSql, const cSQLValues& updateValues,
        const std::function<bool()>& clearPlace, const char* insertSql, const cSQLValues& insertValues, bool report,
        bool reportTransaction = false);

    // Schema check and migration of one table: creates it when missing, adds the columns an older
    // version lacks (when it has fewer than `columnCount`) and rebuilds its indexes after either.
    // On failure the share is closed.
    struct TableSchema {
        const char* name;
        int columnCount;
        const char* createSql;
        const char* alterSql;  // may be null
        const char* indexSql;  // may be null
    };
    bool checkTables(const cLString16& path, std::initializer_list<TableSchema> tables, bool report);
    // The same for one table on a share that is already open (the share stays open on failure). The
    // probe and the creation run as one step under the statement lock, so two threads never both
    // create the table. A `columnCount` of 0 skips the column check.
    bool checkTable(const TableSchema& table, bool report);
    // Only whether each table exists (codes other than "no such table" reported when asked).
    bool probeTables(const cLString16& path, std::initializer_list<const char*> tables, bool report);

    // Runs `updateSql`, an UPDATE of `table` whose WHERE clause ends in "recid > ? AND recid <= ?",
    // over the rows added since it last ran on this database: the highest recid it went up to is
    // kept in the database (table StoreSweeps, under `table`), so a sweep reads each row once however
    // often the store opens. A table whose highest recid fell below the mark (made again) is swept
    // whole. Answers whether the sweep and its mark were stored (in one transaction).
    bool sweepRowsAddedSinceLastSweep(const char* table, const char* updateSql);

    // For tests: the current share count of the process-wide connection.
    static int openCount();

    // Opens on demand (at databasePath) when the store is not open: answers whether it is open
    // afterwards, and tells whether this call opened it (so the caller closes it again).
    bool openOnDemand(bool& openedHere);

private:
    bool runTransactionOnce(const std::function<bool()>& work, bool report);

    bool m_opened = false;
};

// Closes an on-demand share when it goes out of scope.
class cSQLiteOnDemand {
public:
    explicit cSQLiteOnDemand(cSQLiteDbBase& store) : m_store(store) { m_ok = m_store.openOnDemand(m_openedHere); }
    ~cSQLiteOnDemand()
    {
        if (m_openedHere)
            m_store.close();
    }
    bool ok() const { return m_ok; }

private:
    cSQLiteDbBase& m_store;
    bool m_openedHere = false;
    bool m_ok = false;
};
