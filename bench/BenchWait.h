#pragma once
// The benchmarks that drive a window or a page wait on a condition while the event loop runs.
// Main thread only.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace BenchWait {

// Runs the event loop until the condition holds (true) or the time is up (false).
inline bool until(const std::function<bool()>& condition, int msecs = 30000)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > msecs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

}  // namespace BenchWait
