#pragma once
// The benchmarks that drive a window or a page wait on a condition while the event loop runs.
// Main thread only.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

namespace BenchWait {

// Runs the event loop until the condition holds (true) or the time is up (false). The loop waits for
// events between them, as the reader's own loop does (what runs just before it waits runs here too);
// a timer wakes it every millisecond to look at the condition.
inline bool until(const std::function<bool()>& condition, int msecs = 30000)
{
    QElapsedTimer t;
    t.start();
    QTimer tick;
    tick.start(1);
    while (!condition()) {
        if (t.elapsed() > msecs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

}  // namespace BenchWait
