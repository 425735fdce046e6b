// cPlatformMutex: the engine's one lock primitive, a plain (non-recursive) POSIX
// mutex embedded in the object it protects. The constructor initialises it and the
// destructor destroys it, so `init` and `destroy` are only needed by code that
// re-creates a lock in place; calling them again is harmless. It satisfies the
// standard BasicLockable requirements, so std::lock_guard / std::unique_lock work on it.
// Locking a mutex the calling thread already holds deadlocks; locking a destroyed
// one is a programming error.
#pragma once

#include <pthread.h>

class cPlatformMutex {
public:
    cPlatformMutex();
    ~cPlatformMutex();
    cPlatformMutex(const cPlatformMutex&) = delete;
    cPlatformMutex& operator=(const cPlatformMutex&) = delete;

    // Initialises with default attributes; nothing when already initialised.
    void init();
    // Destroys; nothing when not initialised.
    void destroy();

    void lock();
    void unlock();

private:
    pthread_mutex_t m_mutex;
    bool m_initialised = false;
};
