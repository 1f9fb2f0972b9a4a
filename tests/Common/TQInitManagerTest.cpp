#include "Common/source/mac/TQInitManager.h"

#include "platform/script/Pelvo.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

// Constructs guards on several threads at once; answers how many threw.
int ConstructOnThreads(int count)
{
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&failures]() {
            try {
                TQInitManager guard;
            } catch (const std::runtime_error&) {
                ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    return failures;
}

}  // namespace

TEST(TQInitManagerTest, StartsTheFrameworksOnceAcrossThreads)
{
    const bool wasUp = Pelvo::InitTerm::isInitialized();
    const int before = Pelvo::InitTerm::initCountForTesting();
    EXPECT_EQ(ConstructOnThreads(8), 0);
    TQInitManager another;
    EXPECT_TRUE(Mivor::InitTerm::isInitialized());
    EXPECT_TRUE(Mivor::InitTerm::isMT());
    EXPECT_TRUE(Pelvo::InitTerm::isInitialized());
    EXPECT_EQ(Pelvo::InitTerm::initCountForTesting(), before + (wasUp ? 0 : 1));
    EXPECT_TRUE(Pelvo::Engine::createEngine(Pelvo::Engine::kTypeJavaScript));
}

// Runs in a fresh process: the frameworks of this one may be up already.
TEST(TQInitManagerDeathTest, FailedStartUpIsRetried)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Pelvo::InitTerm::setInitFailureForTesting(true);
            bool threwExpected = false;
            try {
                TQInitManager guard;
            } catch (const std::runtime_error& error) {
                threwExpected = std::strcmp(error.what(), "Unable to initialize Tessel") == 0;
            }
            const bool allThrew = ConstructOnThreads(4) == 4;
            const bool stayedDown = !Pelvo::InitTerm::isInitialized() && !Pelvo::Engine::createEngine(0x10000);
            Pelvo::InitTerm::setInitFailureForTesting(false);
            const bool startedOnce = ConstructOnThreads(4) == 0 && Pelvo::InitTerm::initCountForTesting() == 1;
            std::exit(threwExpected && allThrew && stayedDown && startedOnce ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
