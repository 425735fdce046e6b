// The state the user-data connection's parts share, and what each part offers the others: the
// connection itself (cSQLiteDbBase.cpp), the waiting for other programs' locks (SQLiteWaiting.cpp),
// the opening again of a file moved under the connection and the refusal of a link that leads
// nowhere (SQLiteReopening.cpp), and what is said to the user (SQLiteUserWords.cpp). Internal to
// qs_userdata; the thread rules are those of cSQLiteDbBase.h.
#pragma once

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "userdata/cSQLiteDbBase.h"

namespace qs_sqlite {

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

Connection& connection();

// --- the state of the calling thread ---
// The last failure of a statement on this thread, and whether one since `clear` was for want of room
// (SQLiteFailure.h); how many have failed; whether the last was for a file moved under the connection.
extern thread_local int t_lastFailure;
extern thread_local bool t_diskFullSinceClear;
extern thread_local unsigned long long t_failures;
extern thread_local bool t_movedFile;
// The depth of transactions this thread runs (a held transaction counts as one): an inner one becomes
// a savepoint of the outer.
extern thread_local int t_transactionDepth;
// Whether this thread holds a transaction open across calls (beginHeldTransaction).
extern thread_local bool t_holdsTransaction;
// This thread's statement waits no longer than the window thread's (SQLiteWaiting.cpp).
extern thread_local bool t_shortWait;

// Notes a statement's failure as this thread's last.
void noteFailure(int rc, bool movedFile = false);

// --- waiting for locks (SQLiteWaiting.cpp) ---
// The longest another thread than the window's waits for another program's lock, and how long it
// sleeps between tries of a statement without the statement lock.
constexpr int kOtherWaitMs = 5000;
constexpr int kOutsideWaitStepMs = 20;
bool isWindowThread();
// SQLite's busy handler of the connection.
int waitForLock(void*, int attempt);
// A statement failed for want of the lock: the change serial moves and lockFailures counts it.
void countLockFailure();
// Takes the statement lock (cSQLiteDbBase::takeStatementLock, without noting a failure).
bool takeStatements(std::unique_lock<cSQLiteStatementLock>& held);
// For tests: whether the statement meets another program's lock (empty: none does).
std::function<bool(const char*)>& lockFault();
// Whether the window thread's failure for want of the lock was said since a write last went through.
extern std::atomic<bool> g_busySaid;

// --- the file at the path (SQLiteReopening.cpp) ---
// Whether the path may be opened as the database: SQLITE_OK, or the code the open fails with.
int claimDatabasePath(const std::string& path);

}  // namespace qs_sqlite
