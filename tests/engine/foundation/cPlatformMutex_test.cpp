#include "engine/foundation/cPlatformMutex.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

TEST(cPlatformMutex, SerialisesThreads)
{
    cPlatformMutex mutex;
    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50000; ++i) {
                std::lock_guard<cPlatformMutex> guard(mutex);
                counter = counter + 1;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(counter, 200000);
}

TEST(cPlatformMutex, InitAndDestroyCanBeRepeated)
{
    cPlatformMutex mutex;
    mutex.init();  // already initialised: nothing
    mutex.lock();
    mutex.unlock();
    mutex.destroy();
    mutex.destroy();  // already destroyed: nothing
    mutex.init();
    long counter = 0;
    std::thread other([&] {
        for (int i = 0; i < 10000; ++i) {
            mutex.lock();
            ++counter;
            mutex.unlock();
        }
    });
    for (int i = 0; i < 10000; ++i) {
        mutex.lock();
        ++counter;
        mutex.unlock();
    }
    other.join();
    EXPECT_EQ(counter, 20000);
}  // destroyed by the destructor
