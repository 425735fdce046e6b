// Running work on the main thread, now or after a delay.
//
// runOnMainThread queues a call to the main thread's event loop (it never runs inline, even
// when called on the main thread, so a caller may hold locks or be mid-update). Worker threads
// hand their results to the user interface this way.
//
// DelayedCall is a cancellable one-shot call on the main thread's run loop: an object holds one
// per delayed action, schedules it with start() (which replaces a pending call) and cancels it
// with cancel() or by being destroyed. Create, start and cancel it on the main thread.
#pragma once

#include <functional>
#include <memory>

class QTimer;

bool isMainThread();

// The check behind QS_ASSERT_MAIN_THREAD: true on the application's thread, or, before there is an
// application object (tests and tools without one), on the thread that started the process.
// Otherwise it reports `where` and aborts.
bool checkMainThread(const char* where);

// In debug builds, stops the program when called off the main thread; classes whose header says
// "main thread only" call it in their entry points. Release builds (NDEBUG) compile it away.
#ifdef NDEBUG
#define QS_ASSERT_MAIN_THREAD() ((void)0)
#else
#define QS_ASSERT_MAIN_THREAD() ((void)checkMainThread(__func__))
#endif

// Queues `fn` to run on the main thread. Returns false (and drops `fn`) when there is no
// application object whose thread could run it.
bool runOnMainThread(std::function<void()> fn);

// Runs `fn` on the main thread and returns when it has run: at once when called there,
// otherwise by blocking until the main thread's event loop has run it.
bool runOnMainThreadAndWait(std::function<void()> fn);

class DelayedCall {
public:
    DelayedCall();
    ~DelayedCall();
    DelayedCall(const DelayedCall&) = delete;
    DelayedCall& operator=(const DelayedCall&) = delete;

    // Runs `fn` once after `delayMs` milliseconds, unless cancelled first. A pending call is
    // cancelled and replaced.
    void start(int delayMs, std::function<void()> fn);
    void cancel();

private:
    std::unique_ptr<QTimer> m_timer;
    std::function<void()> m_fn;
};
