#include "platform/MainThread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <thread>

namespace {

class MainThreadTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "platform_MainThread_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }

    // Runs the event loop until `done` or a generous limit, so a fault fails instead of hanging.
    static void spinUntil(const std::function<bool()>& done)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
};

TEST_F(MainThreadTest, WorkerResultsRunOnTheMainThreadInOrder)
{
    EXPECT_TRUE(isMainThread());
    std::vector<int> order;
    std::atomic<bool> allOnMain {true};
    std::thread worker([&] {
        EXPECT_FALSE(isMainThread());
        for (int i = 0; i < 3; ++i) {
            runOnMainThread([&, i] {
                allOnMain = allOnMain && isMainThread();
                order.push_back(i);
            });
        }
    });
    worker.join();
    spinUntil([&] { return order.size() == 3; });
    EXPECT_EQ(order, (std::vector<int> {0, 1, 2}));
    EXPECT_TRUE(allOnMain);
}

TEST_F(MainThreadTest, CallsFromTheMainThreadAreQueuedNotInline)
{
    bool ran = false;
    runOnMainThread([&] { ran = true; });
    EXPECT_FALSE(ran);
    spinUntil([&] { return ran; });
    EXPECT_TRUE(ran);

    bool inline_ = false;
    EXPECT_TRUE(runOnMainThreadAndWait([&] { inline_ = true; }));
    EXPECT_TRUE(inline_);
}

TEST_F(MainThreadTest, AndWaitBlocksTheWorkerUntilDone)
{
    std::atomic<bool> workerSaw {false};
    std::atomic<bool> finished {false};
    int value = 0;
    std::thread worker([&] {
        runOnMainThreadAndWait([&] { value = 7; });
        workerSaw = value == 7;
        finished = true;
    });
    spinUntil([&] { return finished.load(); });
    worker.join();
    EXPECT_TRUE(workerSaw);
}

TEST_F(MainThreadTest, DelayedCallsFireOnceAndCanBeCancelledOrReplaced)
{
    int fired = 0;
    DelayedCall call;
    call.start(1, [&] { fired += 1; });
    call.start(1, [&] { fired += 10; });  // replaces the first
    spinUntil([&] { return fired != 0; });
    EXPECT_EQ(fired, 10);

    call.start(1, [&] { fired += 100; });
    call.cancel();
    bool marker = false;
    DelayedCall later;
    later.start(20, [&] { marker = true; });
    spinUntil([&] { return marker; });
    EXPECT_EQ(fired, 10);

    {
        DelayedCall dropped;
        dropped.start(1, [&] { fired += 1000; });
    }
    marker = false;
    later.start(20, [&] { marker = true; });
    spinUntil([&] { return marker; });
    EXPECT_EQ(fired, 10);
}

TEST_F(MainThreadTest, ADelayedCallMayRescheduleItself)
{
    int runs = 0;
    DelayedCall call;
    std::function<void()> tick = [&] {
        if (++runs < 3)
            call.start(1, tick);
    };
    call.start(1, tick);
    spinUntil([&] { return runs == 3; });
    EXPECT_EQ(runs, 3);
}

}  // namespace
