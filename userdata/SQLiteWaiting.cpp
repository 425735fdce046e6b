// Waiting for another program's lock, and for the statement lock: the window thread waits a moment
// only, other threads longer (the rules are at the top of cSQLiteDbBase.h).
#include "userdata/SQLiteConnectionState.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

namespace qs_sqlite {

// Another program holding the file (a write, or a read while it commits) makes a statement wait a
// moment and try again. The thread that draws the window waits at most kWindowWaitMs, a part of one
// frame, so the window always answers; its work fails then, and what needs it says so and tries again
// later. Other threads wait up to kOtherWaitMs.
constexpr int kWindowWaitMs = 10;

namespace {

std::atomic<std::thread::id> g_windowThread {};
// The waits of one locking attempt on this thread, added up; the longest of the window thread's.
thread_local int t_waitedMs = 0;
std::atomic<int> g_longestWindowWaitMs {0};
std::atomic<int> g_totalWindowWaitMs {0};
// Statements that failed for want of the lock, on any thread.
std::atomic<std::uint64_t> g_lockFailures {0};

// After the window thread gave up waiting, its statements fail without waiting for a moment: a
// go-to's many reads do not add their waits up while another program holds the file.
constexpr auto kWindowGiveUpSpell = std::chrono::milliseconds(500);
thread_local std::chrono::steady_clock::time_point t_gaveUpAt {};

// How deep this thread holds the statement lock.
thread_local int t_statementDepth = 0;

}  // namespace

// Another thread that holds the statement lock only for its own statement, outside a transaction,
// waits no longer than the window thread inside SQLite: exec lets go of the statement lock between
// its tries, so the window thread never waits behind it for long.
thread_local bool t_shortWait = false;
std::atomic<bool> g_busySaid {false};

std::function<bool(const char*)>& lockFault()
{
    // For tests: decides, statement by statement, whether another program holds the file.
    static std::function<bool(const char*)> fault;
    return fault;
}

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

}  // namespace qs_sqlite

using namespace qs_sqlite;

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
    // Tries in short steps rather than through the mutex's own timed lock: that one goes through
    // pthread_mutex_clocklock, which the thread checker does not see, so that it takes the unlock that
    // follows for the unlock of a mutex nobody holds.
    const auto until = std::chrono::steady_clock::now() + wait;
    while (!m_mutex.try_lock()) {
        if (std::chrono::steady_clock::now() >= until)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
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
    lockFault() = std::move(locked);
}
