// Why the last statement of this thread failed, for callers that are only told "false" and must say
// why to the user (a full disk is the user's to mend, a damaged file is not).
//
// Threads: each thread has its own.
#pragma once

namespace SQLiteFailure {

// The primary SQLite result code of the last statement that failed on this thread since `clear`
// (0 when none has).
int lastOnThisThread();
void clear();
// The last failure was for want of room on the disk (SQLITE_FULL).
bool lastWasDiskFull();
// The last failure was another program's doing: it holds the lock (SQLITE_BUSY or SQLITE_LOCKED), or
// it moved, replaced or deleted the file (opened again at its path, so the next try may succeed).
bool lastWasAnotherProgram();
// A failure since `clear` was for want of room, whatever failed after it (a full disk makes the
// statements after the first fail in other ways too).
bool diskFullSinceClear();

// How many statements have failed on this thread since it started (never goes back).
unsigned long long failuresOnThisThread();

// Whether a statement failed on this thread while it was alive: a read that answers "nothing" under
// a Watch that saw a failure could not read, and must not be taken for "there is none".
class Watch {
public:
    Watch() : m_start(failuresOnThisThread()) { }
    bool failed() const { return failuresOnThisThread() != m_start; }

private:
    unsigned long long m_start;
};

}  // namespace SQLiteFailure
