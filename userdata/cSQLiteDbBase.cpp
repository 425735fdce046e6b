#include "userdata/cSQLiteDbBase.h"
#include "engine/foundation/cMsgBox.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <string>
#include <utility>

#include "userdata/SQLiteFailure.h"
#include "userdata/cDBRecord.h"

namespace {

// Process-wide connection state. The statement lock is recursive so that a transaction can hold it
// across the statements it runs.
struct Connection {
    sqlite3* handle = nullptr;
    cLString16 path;
    int openCount = 0;
    std::mutex openCloseLock;
    std::recursive_mutex statementLock;
    std::mutex folderLock;
    cLString16 dataFolder;
};

Connection& connection()
{
    static Connection* instance = new Connection();  // lives until exit; stores may close late
    return *instance;
}

constexpr const char* kNoInformation = "Additional information is not available.";

const char* const kMessages[] = {
    "INTERNAL PROGRAM ERROR: an illegal parameter or condition has been detected.",
    kNoInformation,
    "SQL error or missing database.",
    kNoInformation,
    "Access permission denied",
    kNoInformation,
    "The database file is locked.",
    "A table in the database is locked.",
    "Out of memory.",
    "Attempt to write a readonly database.",
    kNoInformation,
    "Disk I/O error.",
    "The database disk image is malformed.",
    kNoInformation,
    "The database is full.",
    "Unable to open the database file.",
    "Database lock protocol error.",
    "Database is empty.",
    "The database schema changed.",
    kNoInformation,
    "Abort due to contraint violation.",
    "Data type mismatch.",
    "INTERNAL PROGRAM ERROR: Library used incorrectly.",
    "Uses OS features not supported on host.",
    "Authorization denied.",
    "Auxiliary database format error.",
    "2nd parameter to sqlite3_bind out of range.",
    "File opened that is not a database file.",
};
static_assert(sizeof(kMessages) / sizeof(kMessages[0]) == 28, "codes -1 to 26");

// The database is the profile's own file, wherever a link in its place points. SQLite writes through
// a symbolic link (and keeps its journal beside the file the link names), so a link planted in the
// profile would have every note written into a file outside it. As with the settings file, the link
// is replaced before the open by a file of its own holding a copy of the database it names (a link
// the user made keeps its notes), and what it named is never written. A link to anything that is no
// database is only removed. Links in the places of the journal and write-ahead files (SQLite never
// makes any) are removed. A FIFO, device or folder in the database's place is not opened (opening a
// FIFO would wait for ever). Answers SQLITE_OK, or the code the open fails with.
int claimDatabasePath(const std::string& path)
{
    struct stat info { };
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        const std::string beside = path + suffix;
        if (::lstat(beside.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
            ::unlink(beside.c_str());
    }
    if (::lstat(path.c_str(), &info) != 0)
        return SQLITE_OK;  // no file yet: SQLite makes it
    if (S_ISREG(info.st_mode))
        return SQLITE_OK;
    if (!S_ISLNK(info.st_mode))
        return SQLITE_CANTOPEN;
    struct stat target { };
    const bool regular = ::stat(path.c_str(), &target) == 0 && S_ISREG(target.st_mode);
    int rc = SQLITE_NOTADB;
    const std::string copy = path + "-copy";
    if (regular) {
        ::unlink(copy.c_str());
        sqlite3* from = nullptr;
        sqlite3* to = nullptr;
        rc = sqlite3_open_v2(path.c_str(), &from, SQLITE_OPEN_READONLY, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_open_v2(copy.c_str(), &to, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
            if (backup == nullptr) {
                rc = sqlite3_errcode(to);
            } else {
                sqlite3_backup_step(backup, -1);
                rc = sqlite3_backup_finish(backup);
            }
        }
        sqlite3_close(from);
        if (sqlite3_close(to) != SQLITE_OK && rc == SQLITE_OK)
            rc = SQLITE_IOERR;
    }
    if (rc == SQLITE_OK) {
        // rename replaces the link itself, never what it names.
        if (::rename(copy.c_str(), path.c_str()) == 0)
            return SQLITE_OK;
        ::unlink(copy.c_str());
        return SQLITE_CANTOPEN;
    }
    ::unlink(copy.c_str());
    // A database that could not be copied for want of room or memory keeps its link until it can be:
    // the notes it holds must not seem gone. Anything else behind the link (nothing, a file that is
    // no database, one this user cannot read) is no database of this profile.
    const int primary = rc & 0xff;
    if (primary == SQLITE_FULL || primary == SQLITE_IOERR || primary == SQLITE_NOMEM || primary == SQLITE_BUSY ||
        primary == SQLITE_LOCKED)
        return rc;
    return ::unlink(path.c_str()) == 0 ? SQLITE_OK : SQLITE_CANTOPEN;
}

// The last failure of a statement on this thread, and whether one since `clear` was for want of room
// (SQLiteFailure.h).
thread_local int t_lastFailure = 0;
thread_local bool t_diskFullSinceClear = false;

void noteFailure(int rc)
{
    t_lastFailure = rc & 0xff;
    if (t_lastFailure == SQLITE_FULL)
        t_diskFullSinceClear = true;
}

}  // namespace

int SQLiteFailure::lastOnThisThread()
{
    return t_lastFailure;
}

void SQLiteFailure::clear()
{
    t_lastFailure = 0;
    t_diskFullSinceClear = false;
}

bool SQLiteFailure::diskFullSinceClear()
{
    return t_diskFullSinceClear;
}

bool SQLiteFailure::lastWasDiskFull()
{
    return t_lastFailure == SQLITE_FULL;
}

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
    // moment; wait for it rather than failing the user's edit.
    sqlite3_busy_timeout(handle, 5000);
    c.handle = handle;
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
        std::lock_guard<std::recursive_mutex> statements(c.statementLock);
        sqlite3_close(c.handle);
        c.handle = nullptr;
        c.path.release();
    }
}

sqlite3* cSQLiteDbBase::connectionHandle()
{
    return connection().handle;
}

int cSQLiteDbBase::openCount()
{
    Connection& c = connection();
    std::lock_guard<std::mutex> guard(c.openCloseLock);
    return c.openCount;
}

bool cSQLiteDbBase::exec(
    const char* sql, const cSQLValues& values, cSQLRows* rows, bool report, int* rcOut, std::int64_t* lastRowidOut)
{
    Connection& c = connection();
    int rc = SQLITE_OK;
    {
        std::lock_guard<std::recursive_mutex> guard(c.statementLock);
        if (c.handle == nullptr) {
            rc = SQLITE_MISUSE;
        } else {
            const char* tail = sql ? sql : "";
            std::size_t nextValue = 0;
            while (rc == SQLITE_OK && *tail) {
                sqlite3_stmt* statement = nullptr;
                rc = sqlite3_prepare_v2(c.handle, tail, -1, &statement, &tail);
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
                sqlite3_finalize(statement);
            }
            if (rc == SQLITE_OK && lastRowidOut)
                *lastRowidOut = sqlite3_last_insert_rowid(c.handle);
        }
    }
    if (rcOut)
        *rcOut = rc;
    if (rc != SQLITE_OK)
        noteFailure(rc);
    if (rc != SQLITE_OK && report)
        reportError(rc);
    return rc == SQLITE_OK;
}

namespace {

// The depth of transactions this thread runs (a held transaction counts as one): an inner one becomes
// a savepoint of the outer.
thread_local int t_transactionDepth = 0;
// Whether this thread holds a transaction open across calls (beginHeldTransaction).
thread_local bool t_holdsTransaction = false;

}  // namespace

bool cSQLiteDbBase::runInTransaction(const std::function<bool()>& work, bool report)
{
    Connection& c = connection();
    std::lock_guard<std::recursive_mutex> guard(c.statementLock);
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
    if (ok && exec(nested ? "RELEASE nested" : "COMMIT", {}, nullptr, report))
        return true;
    exec(nested ? "ROLLBACK TO nested; RELEASE nested" : "ROLLBACK");
    return false;
}

bool cSQLiteDbBase::beginHeldTransaction(bool report)
{
    Connection& c = connection();
    if (t_holdsTransaction || t_transactionDepth > 0)
        return false;
    c.statementLock.lock();
    if (!exec("BEGIN IMMEDIATE", {}, nullptr, report)) {
        c.statementLock.unlock();
        return false;
    }
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

const char* cSQLiteDbBase::messageForCode(int code)
{
    if (code < -1 || code > 26)
        return kNoInformation;
    return kMessages[code + 1];
}

cLString16 cSQLiteDbBase::composeErrorReport(int code)
{
    Connection& c = connection();
    std::lock_guard<std::recursive_mutex> guard(c.statementLock);
    if (code == 0 && c.handle)
        code = sqlite3_errcode(c.handle);
    if (code == 0)
        return cLString16();
    cLString8 text("Error ");
    text.formatInt32(code, 10, true);
    text.appendCStr(" accessing database \"");
    text.append(cLString8(c.path));
    text.appendCStr("\"\r\n\r\n");
    text.appendCStr(messageForCode(code));
    const char* sqliteMessage = c.handle ? sqlite3_errmsg(c.handle) : nullptr;
    if (sqliteMessage && std::strcmp(sqliteMessage, "not an error") != 0) {
        text.appendCStr("\r\n\r\n");
        text.appendCStr(sqliteMessage);
    }
    return cLString16(text);
}

void cSQLiteDbBase::reportError(int code)
{
    const cLString16 text = composeErrorReport(code);
    if (text.isEmpty())
        return;
    cMsgBox box;
    box.showDatabaseError(text);
}

void cSQLiteDbBase::reportOpenFailure(const cLString16& path, int code)
{
    if (!path.isEmpty())
        reportError(code);
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
    std::lock_guard<std::recursive_mutex> guard(connection().statementLock);
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
