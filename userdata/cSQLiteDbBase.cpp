#include "userdata/cSQLiteDbBase.h"
#include "engine/foundation/cMsgBox.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "userdata/NoteText.h"
#include "userdata/SQLiteFailure.h"
#include "userdata/cDBRecord.h"

namespace {

// Process-wide connection state. The statement lock is recursive so that a transaction can hold it
// across the statements it runs.
struct Connection {
    sqlite3* handle = nullptr;
    cLString16 path;
    int openCount = 0;
    // Counts the connection's openings, for the change mark.
    std::uint64_t openings = 0;
    // "PRAGMA data_version", kept prepared while the connection is open, and what it answered last
    // (under the statement lock).
    sqlite3_stmt* dataVersion = nullptr;
    std::int64_t lastDataVersion = 0;
    bool dataVersionRead = false;
    // changeSerial's number and the mark it last moved at (under the statement lock).
    std::atomic<std::uint64_t> serial {1};
    cSQLiteChangeMark serialMark;
    bool serialMarked = false;
    // SQLite said the file at the path is no longer the one opened (moved, replaced or deleted): the
    // next statement outside a transaction opens the path again (under the statement lock).
    bool moved = false;
    // A statement failed for want of the lock since changeSerial last looked: what was read then
    // may be missing rows (under the statement lock).
    std::atomic<bool> lockFailed {false};
    // The tables the stores checked, made again in a new file at the path (under the statement lock).
    std::vector<cSQLiteDbBase::TableSchema> schemas;
    std::mutex openCloseLock;
    cSQLiteStatementLock statementLock;
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

// SQLite writes every database file, and those its header marks as such start with these 16 bytes.
constexpr char kSQLiteHeader[] = "SQLite format 3";  // with its terminating zero: 16 bytes

// The target a symbolic link names, as written in it; a relative one is made absolute beside the
// link.
std::string linkTarget(const std::string& path)
{
    std::string target(4096, '\0');
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0)
        return std::string();
    target.resize(static_cast<std::size_t>(n));
    if (target[0] != '/') {
        const std::size_t slash = path.rfind('/');
        if (slash != std::string::npos)
            target = path.substr(0, slash + 1) + target;
    }
    return target;
}

// Whether the regular file at `path` (followed through links) can be the database: empty (SQLite
// makes a database of an empty file) or starting with the SQLite header. Empty text when it can,
// else what it is.
std::string whyNotADatabase(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return std::string("which cannot be read (") + std::strerror(errno) + ")";
    char header[sizeof kSQLiteHeader] = {};
    const std::size_t n = std::fread(header, 1, sizeof header, f);
    std::fclose(f);
    if (n == 0 || (n == sizeof header && std::memcmp(header, kSQLiteHeader, sizeof header) == 0))
        return std::string();
    return "which is not an SQLite database";
}

// The database may lie outside the profile: a symbolic link in its place that names a database
// (on another disk, in a synced folder) is the user's own choice, opened and written where it
// points, as SQLite does (the journal goes beside the file it names). A link whose target is
// missing, a loop, a folder or anything that is no database is refused and left as it is, with
// what it names: the notes may be on a disk not mounted yet, and a new database in the link's
// place would hide them. Links in the places of the journal and write-ahead files beside a database
// of the profile's own (SQLite never makes any) are removed. A FIFO, device or folder in the
// database's place is not opened (opening a FIFO would wait for ever). Answers SQLITE_OK, or the
// code the open fails with.
int claimDatabasePath(const std::string& path)
{
    struct stat info { };
    if (::lstat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) {
        for (const char* suffix : {"-journal", "-wal", "-shm"}) {
            const std::string beside = path + suffix;
            struct stat other { };
            if (::lstat(beside.c_str(), &other) == 0 && S_ISLNK(other.st_mode))
                ::unlink(beside.c_str());
        }
        return SQLITE_OK;  // a file of the profile's own, or none yet: SQLite makes it
    }
    if (!S_ISLNK(info.st_mode))
        return SQLITE_CANTOPEN;
    return cSQLiteDbBase::linkProblem(path).empty() ? SQLITE_OK : SQLITE_CANTOPEN;
}

// The last failure of a statement on this thread, and whether one since `clear` was for want of room
// (SQLiteFailure.h).
thread_local int t_lastFailure = 0;
thread_local bool t_diskFullSinceClear = false;
thread_local unsigned long long t_failures = 0;

// The depth of transactions this thread runs (a held transaction counts as one): an inner one becomes
// a savepoint of the outer.
thread_local int t_transactionDepth = 0;
// Whether this thread holds a transaction open across calls (beginHeldTransaction).
thread_local bool t_holdsTransaction = false;
// The last failure of a statement on this thread was for a file moved under the connection.
thread_local bool t_movedFile = false;

// Another program holding the file (a write, or a read while it commits) makes a statement wait a
// moment and try again. The thread that draws the window waits at most kWindowWaitMs, a part of one
// frame, so the window always answers; its work fails then, and what needs it says so and tries again
// later. Other threads wait up to kOtherWaitMs.
constexpr int kWindowWaitMs = 10;
constexpr int kOtherWaitMs = 5000;
// How long such a thread sleeps between tries, without the statement lock.
constexpr int kOutsideWaitStepMs = 20;
std::atomic<std::thread::id> g_windowThread {};
// The waits of one locking attempt on this thread, added up; the longest of the window thread's.
thread_local int t_waitedMs = 0;
std::atomic<int> g_longestWindowWaitMs {0};
std::atomic<int> g_totalWindowWaitMs {0};
// Statements that failed for want of the lock, on any thread.
std::atomic<std::uint64_t> g_lockFailures {0};
// For tests: decides, statement by statement, whether another program holds the file.
std::function<bool(const char*)> g_lockFault;
// Whether the window thread's failure for want of the lock was said since a write last went through.
std::atomic<bool> g_busySaid {false};

// After the window thread gave up waiting, its statements fail without waiting for a moment: a
// go-to's many reads do not add their waits up while another program holds the file.
constexpr auto kWindowGiveUpSpell = std::chrono::milliseconds(500);
thread_local std::chrono::steady_clock::time_point t_gaveUpAt {};

// Another thread that holds the statement lock only for its own statement, outside a transaction,
// waits no longer than the window thread inside SQLite: exec lets go of the statement lock between
// its tries, so the window thread never waits behind it for long.
thread_local bool t_shortWait = false;
// How deep this thread holds the statement lock.
thread_local int t_statementDepth = 0;

bool isWindowThread()
{
    return std::this_thread::get_id() == g_windowThread.load();
}

int waitForLock(void*, int attempt)
{
    const bool window = isWindowThread();
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0) {
        t_waitedMs = 0;
        if (window && t_gaveUpAt != std::chrono::steady_clock::time_point {} && now - t_gaveUpAt < kWindowGiveUpSpell)
            return 0;
    }
    const bool shortWait = window || t_shortWait;
    const int limit = shortWait ? kWindowWaitMs : kOtherWaitMs;
    if (t_waitedMs >= limit) {
        if (window)
            t_gaveUpAt = now;
        return 0;
    }
    const int step = std::min({1 << std::min(attempt, 5), shortWait ? 2 : 25, limit - t_waitedMs});
    std::this_thread::sleep_for(std::chrono::milliseconds(step));
    t_waitedMs += step;
    if (window) {
        g_totalWindowWaitMs += step;
        int longest = g_longestWindowWaitMs.load();
        while (t_waitedMs > longest && !g_longestWindowWaitMs.compare_exchange_weak(longest, t_waitedMs)) { }
    }
    return 1;
}

void countLockFailure()
{
    connection().lockFailed = true;
    ++g_lockFailures;
}

// Takes the statement lock (cSQLiteDbBase::takeStatementLock).
bool takeStatements(std::unique_lock<cSQLiteStatementLock>& held)
{
    Connection& c = connection();
    if (!isWindowThread() || cSQLiteStatementLock::heldHere()) {
        held = std::unique_lock<cSQLiteStatementLock>(c.statementLock);
        return true;
    }
    const auto now = std::chrono::steady_clock::now();
    const bool giveUpAtOnce =
        t_gaveUpAt != std::chrono::steady_clock::time_point {} && now - t_gaveUpAt < kWindowGiveUpSpell;
    std::unique_lock<cSQLiteStatementLock> attempt(c.statementLock, std::defer_lock);
    if (!attempt.try_lock_for(std::chrono::milliseconds(giveUpAtOnce ? 0 : kWindowWaitMs))) {
        if (!giveUpAtOnce)
            t_gaveUpAt = now;
        countLockFailure();
        return false;
    }
    held = std::move(attempt);
    return true;
}

void noteFailure(int rc, bool movedFile = false)
{
    t_movedFile = movedFile;
    t_lastFailure = rc & 0xff;
    ++t_failures;
    if (t_lastFailure == SQLITE_FULL)
        t_diskFullSinceClear = true;
}

}  // namespace

void cSQLiteStatementLock::lock()
{
    m_mutex.lock();
    ++t_statementDepth;
}

void cSQLiteStatementLock::unlock()
{
    --t_statementDepth;
    m_mutex.unlock();
}

bool cSQLiteStatementLock::try_lock_for(std::chrono::milliseconds wait)
{
    if (!m_mutex.try_lock_for(wait))
        return false;
    ++t_statementDepth;
    return true;
}

bool cSQLiteStatementLock::heldHere()
{
    return t_statementDepth > 0;
}

bool cSQLiteDbBase::takeStatementLock(std::unique_lock<cSQLiteStatementLock>& held)
{
    if (takeStatements(held))
        return true;
    noteFailure(SQLITE_BUSY);
    return false;
}

int SQLiteFailure::lastOnThisThread()
{
    return t_lastFailure;
}

void SQLiteFailure::clear()
{
    t_lastFailure = 0;
    t_diskFullSinceClear = false;
}

unsigned long long SQLiteFailure::failuresOnThisThread()
{
    return t_failures;
}

bool SQLiteFailure::diskFullSinceClear()
{
    return t_diskFullSinceClear;
}

bool SQLiteFailure::lastWasDiskFull()
{
    return t_lastFailure == SQLITE_FULL;
}

bool SQLiteFailure::lastWasAnotherProgram()
{
    return t_lastFailure == SQLITE_BUSY || t_lastFailure == SQLITE_LOCKED || t_movedFile;
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

void cSQLiteDbBase::setWindowThread(std::thread::id id)
{
    g_windowThread.store(id);
}

int cSQLiteDbBase::longestWindowWaitMs()
{
    return g_longestWindowWaitMs.load();
}

void cSQLiteDbBase::resetLongestWindowWait()
{
    g_longestWindowWaitMs.store(0);
    g_totalWindowWaitMs.store(0);
}

std::uint64_t cSQLiteDbBase::lockFailures()
{
    return g_lockFailures.load();
}

bool cSQLiteDbBase::databaseAnswers()
{
    cSQLiteChangeMark mark;
    return changeMark(mark, true);
}

int cSQLiteDbBase::totalWindowWaitMs()
{
    return g_totalWindowWaitMs.load();
}

void cSQLiteDbBase::setLockFaultForTests(std::function<bool(const char* sql)> locked)
{
    std::lock_guard<cSQLiteStatementLock> guard(connection().statementLock);
    g_lockFault = std::move(locked);
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
            } else if (g_lockFault && g_lockFault(sql)) {
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

bool cSQLiteDbBase::reopenMovedFile()
{
    Connection& c = connection();
    std::lock_guard<cSQLiteStatementLock> guard(c.statementLock);
    static thread_local bool reopening = false;
    if (!c.moved || reopening || c.handle == nullptr || t_transactionDepth > 0 || c.path.isEmpty() ||
        sqlite3_get_autocommit(c.handle) == 0)
        return false;
    c.moved = false;
    const cLString8 utf8(c.path);
    const std::string path(utf8.chars(), static_cast<std::size_t>(utf8.length()));
    struct stat info { };
    const bool fileThere = ::stat(path.c_str(), &info) == 0;
    sqlite3* fresh = nullptr;
    int rc = claimDatabasePath(path);
    if (rc == SQLITE_OK)
        rc = sqlite3_open(path.c_str(), &fresh);
    if (rc != SQLITE_OK) {
        sqlite3_close(fresh);
        return false;  // the old handle stays: its statements say why they fail
    }
    sqlite3_busy_handler(fresh, &waitForLock, nullptr);
    NoteText::registerSqlFunction(fresh);
    sqlite3_finalize(c.dataVersion);
    c.dataVersion = nullptr;
    sqlite3_close_v2(c.handle);
    c.handle = fresh;
    ++c.openings;
    c.dataVersionRead = false;
    // A file made anew has none of the tables: the stores' tables are made again. The failure that
    // led here stays this thread's last.
    reopening = true;
    const int lastFailure = t_lastFailure;
    const bool movedFile = t_movedFile;
    const std::vector<TableSchema> schemas = c.schemas;
    for (const TableSchema& table : schemas)
        checkTable(table, false);
    t_lastFailure = lastFailure;
    t_movedFile = movedFile;
    reopening = false;
    const std::string words = fileThere ? "The file \"" + path +
            "\" was replaced by another file while Quillstead was running (another program or a sync service "
            "wrote it). Quillstead now reads and saves the file in its place: the notes, highlights and bookmarks "
            "shown are the ones it holds."
                                        : "The file \"" + path +
            "\" was moved or deleted while Quillstead was running. Quillstead has made a new, empty one in its "
            "place and saves there from now on. If the file was moved by mistake, quit Quillstead, put it back "
            "and start Quillstead again.";
    cMsgBox box;
    box.showDatabaseNotice(
        cLString16(fileThere ? "Your notes database was replaced while Quillstead was running."
                             : "Your notes database was moved or deleted while Quillstead was running."),
        cLString16(cLString8(words.c_str())));
    return true;
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

const char* cSQLiteDbBase::messageForCode(int code)
{
    if (code < -1 || code > 26)
        return kNoInformation;
    return kMessages[code + 1];
}

cLString16 cSQLiteDbBase::composeErrorReport(int code)
{
    Connection& c = connection();
    std::lock_guard<cSQLiteStatementLock> guard(c.statementLock);
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
    if (code == 0 && connectionHandle() != nullptr)
        code = sqlite3_errcode(connectionHandle());
    if ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED) {
        // Not the user's disk or file: another program has the database for the moment. A caller that
        // tells the user itself (a note being typed) takes these words as its reason; otherwise they
        // are said once until a write goes through again.
        cLString8 text("Quillstead could not read or save your notes, highlights and bookmarks just now, because "
                       "another program holds the database \"");
        text.append(cLString8(connection().path));
        text.appendCStr("\". Quillstead does not wait for it: a note being typed is kept and saved once the database "
                        "is free, and pages show your notes and highlights again then. A highlight, bookmark or "
                        "other change made meanwhile may need to be made again.");
        cMsgBox box;
        if (cDatabaseErrorCapture::isActive())
            box.showDatabaseError(cLString16(text));
        else if (!g_busySaid.exchange(true))
            box.showDatabaseNotice(cLString16("Another program is using your notes database."), cLString16(text));
        return;
    }
    const cLString16 text = composeErrorReport(code);
    if (text.isEmpty())
        return;
    cMsgBox box;
    box.showDatabaseError(text);
}

void cSQLiteDbBase::reportOpenFailure(const cLString16& path, int code)
{
    if (path.isEmpty())
        return;
    const cLString8 utf8(path);
    const std::string problem = linkProblem(std::string(utf8.chars(), static_cast<std::size_t>(utf8.length())));
    if (problem.empty() || connectionHandle() != nullptr) {
        reportError(code);
        return;
    }
    cLString8 text("Error ");
    text.formatInt32(code, 10, true);
    text.appendCStr(" accessing database \"");
    text.append(utf8);
    text.appendCStr("\"\r\n\r\n");
    text.appendCStr(problem.c_str());
    cMsgBox box;
    box.showDatabaseError(cLString16(text));
}

std::string cSQLiteDbBase::linkProblem(const std::string& path)
{
    struct stat info { };
    if (path.empty() || ::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return std::string();
    const std::string target = linkTarget(path);
    std::string what;
    struct stat named { };
    if (::stat(path.c_str(), &named) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR)
            what = "which does not exist (on a disk that is not connected, or moved or deleted)";
        else if (error == ELOOP)
            what = "which leads round a loop of links to no file";
        else
            what = std::string("which cannot be reached (") + std::strerror(error) + ")";
    } else if (S_ISDIR(named.st_mode)) {
        what = "which is a folder, not a database file";
    } else if (!S_ISREG(named.st_mode)) {
        what = "which is not a regular file";
    } else {
        what = whyNotADatabase(path);
        if (what.empty())
            return std::string();
    }
    return "\"" + path + "\" is a link to \"" + target + "\", " + what +
        ". Quillstead has changed neither the link nor what it names. Connect the disk that holds the database or "
        "correct the link; to start with a new, empty database instead, move the link out of its folder. Then "
        "start Quillstead again.";
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
