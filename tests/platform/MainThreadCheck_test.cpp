// The main-thread check without an application object (tests and tools): the thread that started
// the process is the main thread. Kept apart from MainThread_test, which creates an application.
#include <gtest/gtest.h>

#include <thread>

#include "platform/MainThread.h"

namespace {

TEST(MainThreadCheck, TheStartingThreadPasses)
{
    EXPECT_TRUE(checkMainThread("test"));
    QS_ASSERT_MAIN_THREAD();
}

TEST(MainThreadCheckDeathTest, AnotherThreadStopsTheProgramNamingTheCaller)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            std::thread worker([] { checkMainThread("cLayoutThing::move"); });
            worker.join();
        },
        "cLayoutThing::move: called off the main thread");
}

}  // namespace
