#include "Common/source/mac/ThreadUtils.h"

#include "platform/RunLoop.h"

#include "tests/support/Deadline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(ThreadUtilsTest, SleepRunsTasksQueuedForTheCallingThread)
{
    int ran = 0;
    platform::RunLoop::Current().Post([&ran]() { ++ran; });
    EXPECT_TRUE(ThreadUtils::ThreadSleep(0));
    EXPECT_EQ(ran, 1);
}

TEST(ThreadUtilsTest, MainThreadSleepServesWorkSentFromAnotherThread)
{
    ASSERT_TRUE(platform::RunLoop::IsMainThread());
    std::atomic<bool> done{false};
    std::atomic<bool> ranOnMain{false};
    std::thread worker([&]() {
        // Blocks until the main thread runs the task: only its sleep can do that here.
        platform::RunLoop::Main().PerformAndWait([&]() { ranOnMain = platform::RunLoop::IsMainThread(); });
        done = true;
    });
    tolktest::JoinWhenDone(
        worker,
        [&]() {
            if (done)
                return true;
            EXPECT_TRUE(ThreadUtils::ThreadSleep(1));
            return false;
        },
        "the main thread's sleep serving the worker's task");
    EXPECT_TRUE(ranOnMain);
}

TEST(ThreadUtilsTest, WorkerSleepServesItsOwnLoop)
{
    bool ran = false;
    bool ranOnMain = true;
    std::thread worker([&]() {
        platform::RunLoop::Current().Post([&]() {
            ran = true;
            ranOnMain = platform::RunLoop::IsMainThread();
        });
        ThreadUtils::ThreadSleep(0);
    });
    worker.join();
    EXPECT_TRUE(ran);
    EXPECT_FALSE(ranOnMain);
}

TEST(ThreadUtilsTest, SleepUntilEndsWhenAnotherThreadWakesItAndServesTasksMeanwhile)
{
    ASSERT_TRUE(platform::RunLoop::IsMainThread());
    std::atomic<bool> finished{false};
    bool served = false;
    std::thread worker([&]() {
        platform::RunLoop::Main().PerformAndWait([&]() { served = true; });
        finished = true;
        ThreadUtils::WakeMainThread();
    });
    // Only a broken sleep waits this long: in a working one the condition ends it.
    EXPECT_TRUE(ThreadUtils::ThreadSleepUntil(tolktest::kPatience, [&]() { return finished.load(); }));
    tolktest::JoinWhenDone(
        worker, [&]() { return finished.load(); }, "the worker's wake-up");
    EXPECT_TRUE(served);

    // A condition that never holds ends with the time, after a pass over the queue.
    int ran = 0;
    platform::RunLoop::Current().Post([&ran]() { ++ran; });
    EXPECT_FALSE(ThreadUtils::ThreadSleepUntil(0, []() { return false; }));
    EXPECT_EQ(ran, 1);
}

TEST(ThreadUtilsTest, PlatformStorageIsMadeAndReleased)
{
    ThreadUtils::ThreadPlatformStorage::ThreadPlatformStorageImpl* storage =
        ThreadUtils::ThreadPlatformStorage::MakeThreadPlatformStorageImpl();
    EXPECT_NE(storage, nullptr);
    ThreadUtils::ThreadPlatformStorage::ReleaseThreadPlatformStorageImpl(storage);
    ThreadUtils::ThreadPlatformStorage::ReleaseThreadPlatformStorageImpl(nullptr);
}
