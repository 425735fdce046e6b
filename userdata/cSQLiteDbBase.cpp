#include "userdata/cSQLiteDbBase.h"
#include "engine/foundation/cMsgBox.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "userdata/NoteText.h"
#include "userdata/SQLiteConnectionState.h"
#include "userdata/SQLiteFailure.h"
#include "userdata/cDBRecord.h"

namespace qs_sqlite {

Connection& connection()
{
    static Connection* instance = new Connection();  // lives until exit; stores may close late
    return *instance;
}

// The last failure of a statement on this thread, and whether one since `clear` was for want of room
// (SQLiteFailure.h).
thread_local int t_lastFailure = 0;
thread_local bool t_diskFullSinceClear = false;
thread_local unsigned long long t_failures = 0;
// The depth of transactions this thread runs, and whether it holds one across calls.
thread_local int t_transactionDepth = 0;
thread_local bool t_holdsTransaction = false;
// The last failure of a statement on this thread was for a file moved under the connection.
thread_local bool t_movedFile = false;

void noteFailure(int rc, bool movedFile)
{
    t_movedFile = movedFile;
    t_lastFailure = rc & 0xff;
    ++t_failures;
    if (t_lastFailure == SQLITE_FULL)
        t_diskFullSinceClear = true;
}

}  // namespace qs_sqlite

using namespace qs_sqlite;

void cSQLValue::bind(sqlite3_stmt* statement, int index) const
{
    if (const auto* number = std::get_if<std::int64_t>(&m_value)) {
        sqlite3_bind_int64(statement, index, *number);
    } else if (const auto* text = std::get_if<cLString8>(&m_value)) {
        sqlite3_bind_text(statement, index, text->chars(), text->length(), SQLITE_TRANSIENT);
    } else if (const auto* bytes = std::get_if<Blob>(&m_value)) {
        sqlite3_bind_blob(
            statement, index, bytes->bytes.data(), static_cast<int>(bytes->bytes.size()), SQLITE_TRANSIENT);
    } else {
        sqlite3_bind_null(statement, index);
    }
}

cSQLValue cSQLValue::blob(const void* bytes, std::int32_t size)
{
    cSQLValue value;
    Blob b;
    if (bytes && size > 0) {
        const auto* p = static_cast<const unsigned char*>(bytes);
        b.bytes.assign(p, p + size);
    }
    value.m_value = std::move(b);
    return value;
}

cSQLiteDbBase::~cSQLiteDbBase()
{
    close();
}

void cSQLiteDbBase::setEngineDataFolder(const cLString16& folder)
{
    Connection& c = connection();
    std::lock_guard<std::mutex> guard(c.folderLock);
    c.dataFolder.assign(folder);
    if (!c.dataFolder.isEmpty() && c.dataFolder.chars()[c.dataFolder.length() - 1] != '/')
        c.dataFolder.appendChar('/');
}

cLString16 cSQLiteDbBase::engineDataFolder()
{
    Connection& c = connection();
    std::lock_guard<std::mutex> guard(c.folderLock);
    return c.dataFolder;
}

cLString16 cSQLiteDbBase::databasePath() const
{
    cLString16 path = engineDataFolder();
    // Without a data folder there is no database: a tool that never set one must not leave a file in
    // whatever folder it runs in.
    if (path.isEmpty())
        return path;
    path.append(cLString16(kDatabaseFileName));
    return path;
}

bool cSQLiteDbBase::open(const cLString16& path, int* rcOut)
{
    Connection& c = connection();
    std::lock_guard<std::mutex> guard(c.openCloseLock);
    if (m_opened)
        return true;
    if (c.openCount > 0) {
        ++c.openCount;
        m_opened = true;
        if (rcOut)
            *rcOut = 0;
        return true;
    }
    if (path.isEmpty()) {
        // SQLite would open a private temporary database for an empty name; no store wants that.
        if (rcOut)
            *rcOut = SQLITE_CANTOPEN;
        return false;
    }
    const cLString8 utf8(path);
    sqlite3* handle = nullptr;
    int rc = claimDatabasePath(std::string(utf8.chars(), static_cast<std::size_t>(utf8.length())));
    if (rc == SQLITE_OK)
        rc = sqlite3_open(utf8.chars(), &handle);
    if (rcOut)
        *rcOut = rc;
    if (rc != SQLITE_OK) {
        noteFailure(rc);
        sqlite3_close(handle);
        return false;
    }
    // Another process (a second copy of the reader, a crash-test child) may hold a write lock for a
    // moment; wait for it, as long as the thread may wait.
    sqlite3_busy_handler(handle, &waitForLock, nullptr);
    {
        std::lock_guard<cSQLiteStatementLock> statements(c.statementLock);
        c.handle = handle;
        ++c.openings;
        c.dataVersionRead = false;
    }
    c.path.assign(path);
    c.openCount = 1;
    m_opened = true;
    return true;
}

void cSQLiteDbBase::close()
{
    Connection& c = connection();
    std::lock_guard<std::mutex> guard(c.openCloseLock);
    if (!m_opened)
        return;
    m_opened = false;
    if (c.openCount > 0 && --c.openCount == 0) {
        std::lock_guard<cSQLiteStatementLock> statements(c.statementLock);
        sqlite3_finalize(c.dataVersion);
        c.dataVersion = nullptr;
        sqlite3_close(c.handle);
        c.handle = nullptr;
        c.path.release();
        c.moved = false;
        c.schemas.clear();
    }
}

sqlite3* cSQLiteDbBase::connectionHandle()
{
    return connection().handle;
}

cSQLiteStatementLock& cSQLiteDbBase::statementLock()
{
    return connection().statementLock;
}

bool cSQLiteDbBase::changeMark(cSQLiteChangeMark& mark, bool lookAtFile)
{
    Connection& c = connection();
    std::unique_lock<cSQLiteStatementLock> guard;
    if (!takeStatements(guard))
        return false;
    if (c.handle == nullptr || sqlite3_get_autocommit(c.handle) == 0)
        return false;
    if (lookAtFile || !c.dataVersionRead) {
        if (c.dataVersion == nullptr &&
            sqlite3_prepare_v3(
                c.handle, "PRAGMA data_version", -1, SQLITE_PREPARE_PERSISTENT, &c.dataVersion, nullptr) != SQLITE_OK) {
            sqlite3_finalize(c.dataVersion);
            c.dataVersion = nullptr;
            return false;
        }
        // The statement starts a read, which is when SQLite looks whether another connection has
        // committed; the file's own version below is only current after that.
        const bool read = sqlite3_step(c.dataVersion) == SQLITE_ROW;
        c.lastDataVersion = read ? sqlite3_column_int64(c.dataVersion, 0) : 0;
        sqlite3_reset(c.dataVersion);
        c.dataVersionRead = read;
        if (!read)
            return false;
    }
    unsigned int fileVersion = 0;
    if (sqlite3_file_control(c.handle, "main", SQLITE_FCNTL_DATA_VERSION, &fileVersion) != SQLITE_OK)
        return false;
    mark.dataVersion = c.lastDataVersion;
    mark.fileVersion = fileVersion;
    mark.opening = c.openings;
    mark.ownChanges = sqlite3_total_changes64(c.handle);
    return true;
}

std::uint64_t cSQLiteDbBase::changeSerial()
{
    Connection& c = connection();
    std::unique_lock<cSQLiteStatementLock> guard;
    if (!takeStatements(guard))
        return c.serial;  // counted as a lock failure: the serial moves at the next look
    cSQLiteChangeMark now;
    if (c.lockFailed.exchange(false))
        ++c.serial;
    if (!changeMark(now, true)) {
        if (c.handle != nullptr)
            ++c.serial;  // inside a transaction: nothing read now is final
        return c.serial;
    }
    if (!c.serialMarked || !(now == c.serialMark)) {
        ++c.serial;
        c.serialMark = now;
        c.serialMarked = true;
    }
    return c.serial;
}

int cSQLiteDbBase::openCount()
{
    Connection& c = connection();
    std::lock_guard<std::mutex> guard(c.openCloseLock);
    return c.openCount;
}

namespace {

// Runs the statement text on the open handle (under the statement lock).
// `completed` counts the statements of the text that ran to their end.
int runStatements(sqlite3* handle, const char* sql, const cSQLValues& values, cSQLRows* rows,
    std::int64_t* lastRowidOut, int& completed)
{
    int rc = SQLITE_OK;
    const char* tail = sql ? sql : "";
    std::size_t nextValue = 0;
    while (rc == SQLITE_OK && *tail) {
        sqlite3_stmt* statement = nullptr;
        rc = sqlite3_prepare_v2(handle, tail, -1, &statement, &tail);
        if (rc != SQLITE_OK || statement == nullptr)
            break;  // an error, or only blanks left
        const int parameters = sqlite3_bind_parameter_count(statement);
        for (int i = 1; i <= parameters; ++i) {
            if (nextValue < values.size()) {
                values[nextValue++].bind(statement, i);
            } else {
                sqlite3_bind_null(statement, i);
            }
        }
        int step;
        while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
            if (!rows)
                continue;
            cSQLRow row;
            const int columns = sqlite3_column_count(statement);
            row.reserve(static_cast<std::size_t>(columns));
            for (int col = 0; col < columns; ++col) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, col));
                cLString8 value;
                if (text)
                    value.appendChars(text, sqlite3_column_bytes(statement, col));
                row.push_back(std::move(value));
            }
            rows->push_back(std::move(row));
        }
        if (step != SQLITE_DONE)
            rc = step;
        else
            ++completed;
        sqlite3_finalize(statement);
    }
    if (rc == SQLITE_OK && lastRowidOut)
        *lastRowidOut = sqlite3_last_insert_rowid(handle);
    return rc;
}

}  // namespace

bool cSQLiteDbBase::exec(
    const char* sql, const cSQLValues& values, cSQLRows* rows, bool report, int* rcOut, std::int64_t* lastRowidOut)
{
    Connection& c = connection();
    int rc = SQLITE_OK;
    bool moved = false;
    // A thread other than the window's, outside any transaction and any hold of the statement lock,
    // waits for another program's lock between tries, without the statement lock: the window
    // thread's statements run meanwhile.
    const bool waitOutside = !isWindowThread() && t_transactionDepth == 0 && !cSQLiteStatementLock::heldHere();
    const auto start = std::chrono::steady_clock::now();
    const std::size_t rowsBefore = rows != nullptr ? rows->size() : 0;
    for (;;) {
        int completed = 0;
        {
            std::unique_lock<cSQLiteStatementLock> guard;
            if (!takeStatements(guard)) {
                rc = SQLITE_BUSY;  // counted as a lock failure already
                break;
            }
            if (c.moved && t_transactionDepth == 0)
                reopenMovedFile();
            if (c.handle == nullptr) {
                rc = SQLITE_MISUSE;
            } else if (lockFault() && lockFault()(sql)) {
                // Met as a lock of another program is met: the thread waits as long as it may, then fails.
                t_shortWait = waitOutside;
                for (int attempt = 0; waitForLock(nullptr, attempt) != 0; ++attempt) { }
                t_shortWait = false;
                rc = SQLITE_BUSY;
            } else {
                t_shortWait = waitOutside;
                rc = runStatements(c.handle, sql, values, rows, lastRowidOut, completed);
                t_shortWait = false;
                if (rc != SQLITE_OK && sqlite3_extended_errcode(c.handle) == SQLITE_READONLY_DBMOVED) {
                    // The statement is not run again in the file now at the path: what it was to change
                    // was read from the old one (a row's id, a note's earlier text). It fails; the file at
                    // the path is opened (now, or once the transaction has ended) and what happened is
                    // said, and the caller's next try reads and writes there.
                    c.moved = true;
                    moved = true;
                    report = false;
                    if (t_transactionDepth == 0)
                        reopenMovedFile();
                }
            }
        }
        const bool busy = (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
        if (busy && waitOutside && completed == 0 &&
            std::chrono::steady_clock::now() - start < std::chrono::milliseconds(kOtherWaitMs)) {
            if (rows)
                rows->resize(rowsBefore);
            std::this_thread::sleep_for(std::chrono::milliseconds(kOutsideWaitStepMs));
            continue;
        }
        if (busy)
            countLockFailure();
        break;
    }
    if (rcOut)
        *rcOut = rc;
    if (rc != SQLITE_OK)
        noteFailure(rc, moved);
    if (rc != SQLITE_OK && report)
        reportError(rc);
    return rc == SQLITE_OK;
}

bool cSQLiteDbBase::runInTransaction(const std::function<bool()>& work, bool report)
{
    Connection& c = connection();
    std::unique_lock<cSQLiteStatementLock> guard;
    if (!takeStatements(guard)) {
        noteFailure(SQLITE_BUSY);
        if (report)
            reportError(SQLITE_BUSY);
        return false;
    }
    if (runTransactionOnce(work, report))
        return true;
    // A transaction that met a file moved under the connection failed: the file at the path is
    // opened once it has ended.
    if (c.moved && t_transactionDepth == 0)
        reopenMovedFile();
    return false;
}

bool cSQLiteDbBase::runTransactionOnce(const std::function<bool()>& work, bool report)
{
    Connection& c = connection();
    std::lock_guard<cSQLiteStatementLock> guard(c.statementLock);
    const bool nested = t_transactionDepth > 0;
    // A nested one is a savepoint: when it fails, its own changes are undone and the outer
    // transaction goes on without them.
    if (!exec(nested ? "SAVEPOINT nested" : "BEGIN IMMEDIATE", {}, nullptr, report))
        return false;
    ++t_transactionDepth;
    bool ok = false;
    try {
        ok = work();
    } catch (...) {
        --t_transactionDepth;
        exec(nested ? "ROLLBACK TO nested; RELEASE nested" : "ROLLBACK");
        throw;
    }
    --t_transactionDepth;
    if (ok && exec(nested ? "RELEASE nested" : "COMMIT", {}, nullptr, report)) {
        if (!nested)
            g_busySaid = false;  // the database takes writes again
        return true;
    }
    exec(nested ? "ROLLBACK TO nested; RELEASE nested" : "ROLLBACK");
    return false;
}

bool cSQLiteDbBase::beginHeldTransaction(bool report)
{
    if (t_holdsTransaction || t_transactionDepth > 0)
        return false;
    std::unique_lock<cSQLiteStatementLock> held;
    if (!takeStatements(held)) {
        noteFailure(SQLITE_BUSY);
        if (report)
            reportError(SQLITE_BUSY);
        return false;
    }
    if (!exec("BEGIN IMMEDIATE", {}, nullptr, report))
        return false;
    held.release();  // held until commitHeldTransaction
    t_holdsTransaction = true;
    ++t_transactionDepth;
    return true;
}

bool cSQLiteDbBase::commitHeldTransaction(bool report)
{
    if (!t_holdsTransaction)
        return true;
    const bool ok = exec("COMMIT", {}, nullptr, report);
    if (!ok)
        exec("ROLLBACK");
    t_holdsTransaction = false;
    --t_transactionDepth;
    connection().statementLock.unlock();
    return ok;
}

bool cSQLiteDbBase::openOnDemand(bool& openedHere)
{
    openedHere = false;
    if (isOpen())
        return true;
    if (!open(databasePath()))
        return false;
    openedHere = true;
    return true;
}

bool cSQLiteDbBase::hasColumn(const char* table, const char* column)
{
    cSQLRows rows;
    if (!exec(sqlOf({"PRAGMA table_info(", table, ")"}), {}, &rows, true))
        return false;
    for (const cSQLRow& row : rows) {
        if (row.size() >= 2 && row[1].equalsCStr(column))
            return true;
    }
    return false;
}

bool cSQLiteDbBase::tableHasRows(const char* table, const char* orderColumn)
{
    cSQLiteOnDemand share(*this);
    if (!share.ok())
        return false;
    cSQLRows rows;
    return exec(sqlOf({"SELECT * FROM ", table, " ORDER BY ", orderColumn, " LIMIT 1 "}), {}, &rows) && !rows.empty();
}

std::int64_t cSQLiteDbBase::countRowsWhereZero(const char* table, const char* column)
{
    cSQLiteOnDemand share(*this);
    if (!share.ok())
        return 0;
    return selectNumber(sqlOf({"SELECT COUNT(*) FROM ", table, " WHERE ", column, " = 0"}).chars(), {}, 0);
}

bool cSQLiteDbBase::sweepRowsAddedSinceLastSweep(const char* table, const char* updateSql)
{
    return runInTransaction([&] {
        if (!exec("CREATE TABLE IF NOT EXISTS StoreSweeps ( tablename TEXT PRIMARY KEY, sweptrecid INTEGER )"))
            return false;
        std::int64_t swept = selectNumber("SELECT sweptrecid FROM StoreSweeps WHERE tablename = ?", {table}, 0);
        const std::int64_t highest = selectNumber(sqlOf({"SELECT MAX(recid) FROM ", table}).chars(), {}, 0);
        if (highest == swept)
            return true;
        if (highest < swept)
            swept = 0;
        return exec(updateSql, {swept, highest}) &&
            exec("INSERT OR REPLACE INTO StoreSweeps ( tablename, sweptrecid ) VALUES ( ?, ? )", {table, highest});
    });
}

std::int64_t cSQLiteDbBase::selectNumber(const char* sql, const cSQLValues& values, std::int64_t whenEmpty)
{
    cSQLRows rows;
    if (!exec(sql, values, &rows))
        return 0;
    if (rows.empty() || rows[0].empty())
        return whenEmpty;
    return rows[0][0].toInt64();
}

cLString8 cSQLiteDbBase::sqlOf(std::initializer_list<const char*> parts)
{
    cLString8 out;
    for (const char* part : parts)
        out.appendCStr(part);
    return out;
}

bool cSQLiteDbBase::selectFirstRow(
    const char* sql, const cSQLValues& values, std::size_t minColumns, cSQLRow& row, bool report)
{
    cSQLRows rows;
    if (!exec(sql, values, &rows, report) || rows.empty() || rows[0].size() < minColumns)
        return false;
    row = std::move(rows[0]);
    return true;
}

void cSQLiteDbBase::readSyncColumns(const cSQLRow& row, cDBRecord& record, std::size_t recid, std::size_t timestamp,
    std::size_t serverid, std::size_t deleted)
{
    record.recid = row[recid].toInt64();
    record.parseTimestamp(row[timestamp].chars());
    record.serverid = row[serverid].toInt64();
    record.deleted = row[deleted].toInt32();
}

bool cSQLiteDbBase::requireStored(const cDBRecord& record, bool report)
{
    if (record.recid != 0)
        return true;
    if (report)
        reportError(-1);
    return false;
}

bool cSQLiteDbBase::writeRecord(cDBRecord& record, const char* updateSql, const cSQLValues& updateValues,
    const std::function<bool()>& clearPlace, const char* insertSql, const cSQLValues& insertValues, bool report,
    bool reportTransaction)
{
    const std::int64_t originalRecid = record.recid;
    const bool ok = runInTransaction(
        [&] {
            record.recid = originalRecid;
            if (originalRecid != 0)
                return exec(updateSql, updateValues, nullptr, report);
            std::int64_t rowid = 0;
            if (!clearPlace() || !exec(insertSql, insertValues, nullptr, report, nullptr, &rowid))
                return false;
            record.recid = rowid;
            return true;
        },
        // A database that cannot be written fails at the transaction's start or commit (read-only,
        // locked, disk full): that is reported like a failed statement.
        report || reportTransaction);
    if (!ok)
        record.recid = originalRecid;
    return ok;
}

bool cSQLiteDbBase::updateColumnUpToTime(const char* table, const char* timeText, const char* column,
    const char* timeColumn, std::int64_t number, bool onlyWhereZero)
{
    cSQLiteOnDemand share(*this);
    if (!share.ok())
        return false;
    if (!tableHasRows(table, column))
        return true;
    cLString8 sql = sqlOf({"UPDATE ", table, " SET ", column, " = ? WHERE ", timeColumn, " <= ? "});
    if (onlyWhereZero)
        sql.append(sqlOf({"AND ", column, " = 0 "}));
    return exec(sql, {number, timeText}, nullptr, true);
}

bool cSQLiteDbBase::deleteAllRows(const char* table)
{
    cSQLiteOnDemand share(*this);
    return share.ok() && exec(sqlOf({"DELETE FROM ", table, " "}));
}

bool cSQLiteDbBase::deleteRowsWhereNonZero(const char* table, const char* column)
{
    cSQLiteOnDemand share(*this);
    return share.ok() && exec(sqlOf({"DELETE FROM ", table, " WHERE ", column, " <> 0 "}));
}

bool cSQLiteDbBase::checkTable(const TableSchema& table, bool report)
{
    // Probe and creation form one step: two threads checking a missing table at once must not both
    // try to create it (the second would fail with "table already exists").
    Connection& c = connection();
    std::lock_guard<cSQLiteStatementLock> guard(c.statementLock);
    if (std::none_of(c.schemas.begin(), c.schemas.end(),
            [&](const TableSchema& known) { return std::strcmp(known.name, table.name) == 0; }))
        c.schemas.push_back(table);
    int rc = 0;
    const char* change = nullptr;
    if (exec(sqlOf({"SELECT * FROM ", table.name, " WHERE 0"}), {}, nullptr, false, &rc)) {
        if (table.columnCount <= 0)
            return true;
        cSQLRows columns;
        if (!exec(sqlOf({"PRAGMA table_info(", table.name, ")"}), {}, &columns, report))
            return false;
        if (static_cast<int>(columns.size()) >= table.columnCount)
            return true;
        change = table.alterSql;
    } else if (rc == SQLITE_ERROR) {
        change = table.createSql;
    } else {
        if (report)
            reportError(rc);
        return false;
    }
    // The new columns (or the new table) and its indexes land together: a crash between two ALTER
    // statements would otherwise leave a table that every later upgrade fails on.
    return runInTransaction(
        [&] {
            return (change == nullptr || exec(change, {}, nullptr, report)) &&
                (table.indexSql == nullptr || exec(table.indexSql, {}, nullptr, report));
        },
        report);
}

bool cSQLiteDbBase::checkTables(const cLString16& path, std::initializer_list<TableSchema> tables, bool report)
{
    int rc = 0;
    if (!open(path, &rc)) {
        if (report)
            reportOpenFailure(path, rc);
        return false;
    }
    for (const TableSchema& table : tables) {
        if (!checkTable(table, report)) {
            close();
            return false;
        }
    }
    return true;
}

bool cSQLiteDbBase::probeTables(const cLString16& path, std::initializer_list<const char*> tables, bool report)
{
    int rc = 0;
    if (!open(path, &rc)) {
        if (report)
            reportOpenFailure(path, rc);
        return false;
    }
    for (const char* table : tables) {
        if (!exec(sqlOf({"SELECT * FROM ", table, " WHERE 0"}), {}, nullptr, false, &rc)) {
            if (report && rc != SQLITE_ERROR)
                reportError(rc);
            close();
            return false;
        }
    }
    return true;
}
