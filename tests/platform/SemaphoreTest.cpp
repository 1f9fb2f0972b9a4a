#include "platform/Semaphore.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

namespace {

class SemaphoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tolk-semaphore-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        ASSERT_TRUE(platform::MakeIPCKey(folder_, 7, key_));
    }

    void TearDown() override
    {
        const int set = platform::OpenSemaphoreSet(key_, 0600);
        if (set >= 0)
            platform::RemoveSemaphoreSet(set);
        rmdir(folder_.c_str());
    }

    std::string folder_;
    key_t key_ = -1;
};

TEST_F(SemaphoreTest, KeyNeedsAnExistingFileAndCountsOnlyTheLowByteOfTheProject)
{
    key_t key;
    EXPECT_FALSE(platform::MakeIPCKey(folder_ + "/missing", 7, key));
    ASSERT_TRUE(platform::MakeIPCKey(folder_, 7 + 256, key));
    EXPECT_EQ(key, key_);
    ASSERT_TRUE(platform::MakeIPCKey(folder_, 8, key));
    EXPECT_NE(key, key_);
}

TEST_F(SemaphoreTest, CreationIsExclusiveAndOpeningFindsTheSet)
{
    EXPECT_LT(platform::OpenSemaphoreSet(key_, 0600), 0);
    const int set = platform::CreateSemaphoreSet(key_, 0600, 1);
    ASSERT_GE(set, 0);
    EXPECT_EQ(platform::SemaphoreValue(set), 1);
    EXPECT_LT(platform::CreateSemaphoreSet(key_, 0600, 1), 0);
    EXPECT_EQ(platform::OpenSemaphoreSet(key_, 0600), set);
}

TEST_F(SemaphoreTest, DecrementNeverWaitsAndIncrementGivesBack)
{
    const int set = platform::CreateSemaphoreSet(key_, 0600, 1);
    ASSERT_GE(set, 0);
    EXPECT_TRUE(platform::TryDecrementSemaphore(set));
    EXPECT_FALSE(platform::TryDecrementSemaphore(set));
    EXPECT_TRUE(platform::IncrementSemaphore(set));
    EXPECT_EQ(platform::SemaphoreValue(set), 1);
}

}  // namespace
