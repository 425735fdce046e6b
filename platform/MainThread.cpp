#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

bool isMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

namespace {
// Static initialisation runs on the thread that starts the process.
const std::thread::id g_startingThread = std::this_thread::get_id();
}  // namespace

bool checkMainThread(const char* where)
{
    const bool onMain =
        QCoreApplication::instance() != nullptr ? isMainThread() : std::this_thread::get_id() == g_startingThread;
    if (!onMain) {
        std::fprintf(stderr, "%s: called off the main thread\n", where != nullptr ? where : "?");
        std::fflush(stderr);
        std::abort();
    }
    return true;
}

bool runOnMainThread(std::function<void()> fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !fn)
        return false;
    // Workers post one at a time under a lock of ours. Qt's event queue takes a lock of its own, but
    // one that thread checkers do not see, and to them two workers growing the queue at once would
    // look like a race.
    static std::mutex posting;
    const std::lock_guard<std::mutex> lock(posting);
    return QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

bool runOnMainThreadAndWait(std::function<void()> fn)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !fn)
        return false;
    if (QThread::currentThread() == app->thread()) {
        fn();
        return true;
    }
    // The worker waits on our own mutex and condition rather than on Qt's blocking connection, so
    // that what the call wrote is visibly ordered before the worker goes on (to thread checkers too).
    struct Handoff {
        std::mutex mutex;
        std::condition_variable doneCondition;
        bool done = false;
    };
    auto handoff = std::make_shared<Handoff>();
    const bool posted = QMetaObject::invokeMethod(
        app,
        [fn = std::move(fn), handoff] {
            fn();
            std::lock_guard<std::mutex> lock(handoff->mutex);
            handoff->done = true;
            handoff->doneCondition.notify_one();
        },
        Qt::QueuedConnection);
    if (!posted)
        return false;
    std::unique_lock<std::mutex> lock(handoff->mutex);
    handoff->doneCondition.wait(lock, [&] { return handoff->done; });
    return true;
}

DelayedCall::DelayedCall() = default;

DelayedCall::~DelayedCall() = default;

void DelayedCall::start(int delayMs, std::function<void()> fn)
{
    if (!m_timer) {
        m_timer = std::make_unique<QTimer>();
        m_timer->setSingleShot(true);
        QObject::connect(m_timer.get(), &QTimer::timeout, [this] {
            // Taken out first: the call may start this DelayedCall again, or destroy its owner.
            std::function<void()> fn = std::move(m_fn);
            m_fn = nullptr;
            if (fn)
                fn();
        });
    }
    m_fn = std::move(fn);
    m_timer->start(delayMs < 0 ? 0 : delayMs);
}

void DelayedCall::cancel()
{
    if (m_timer)
        m_timer->stop();
    m_fn = nullptr;
}
