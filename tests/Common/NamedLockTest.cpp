#include "Common/source/xplat/NamedLock.h"

#include "platform/Semaphore.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/sem.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

extern char** environ;

namespace {

// named_lock_holder run as a second process, talked to through its standard input and output.
class HolderProcess {
public:
    HolderProcess(const std::string& mode, const std::string& name)
    {
        int input[2];
        int output[2];
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], 0);
        posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        std::vector<std::string> arguments = {TOLK_NAMED_LOCK_HOLDER, mode, name};
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(&argument[0]);
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(input[0]);
        close(output[1]);
        input_ = input[1];
        output_ = fdopen(output[0], "r");
    }

    ~HolderProcess()
    {
        CloseInput();
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            Wait();
        }
        if (output_ != nullptr)
            fclose(output_);
    }

    // The next line the helper printed, without its line feed; empty at its end.
    std::string ReadLine()
    {
        std::string line;
        int c;
        while (output_ != nullptr && (c = fgetc(output_)) != EOF && c != '\n')
            line.push_back(static_cast<char>(c));
        return line;
    }

    void CloseInput()
    {
        if (input_ >= 0)
            close(input_);
        input_ = -1;
    }

    void Kill() { kill(pid_, SIGKILL); }

    // The exit status as waitpid gives it.
    int Wait()
    {
        int status = -1;
        if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_)
            pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    FILE* output_ = nullptr;
};

// Semaphore sets outlive processes: every test removes those of its own root.
class NamedLockTest : public tolktest::SystemRootTest {
protected:
    std::string Use(const std::string& name)
    {
        names_.insert(name);
        return name;
    }

    int SetOf(const std::string& name)
    {
        key_t key;
        if (!platform::MakeIPCKey(sysroot_.Path("/tmp"), static_cast<int>(NamedLock::NameChecksum(name)), key))
            return -1;
        return platform::OpenSemaphoreSet(key, 0600);
    }

    void TearDown() override
    {
        for (const std::string& name : names_) {
            const int set = SetOf(name);
            if (set >= 0)
                platform::RemoveSemaphoreSet(set);
        }
    }

    std::set<std::string> names_;
};

TEST_F(NamedLockTest, NameChecksumIsTheStandardCrc32)
{
    EXPECT_EQ(NamedLock::NameChecksum("123456789"), 0xCBF43926u);
    EXPECT_EQ(NamedLock::NameChecksum(""), 0u);
}

TEST_F(NamedLockTest, TakeHoldsTheSemaphoreOfTheNameUnderTheSystemRoot)
{
    const std::string name = Use("TolkSetupLock");
    boost::shared_ptr<NamedLock> lock;
    ASSERT_TRUE(NamedLock::AcquireLock(name, lock));
    ASSERT_TRUE(lock);
    const int set = SetOf(name);
    ASSERT_GE(set, 0);
    EXPECT_EQ(platform::SemaphoreValue(set), 0);
    lock.reset();
    EXPECT_EQ(platform::SemaphoreValue(set), 1);
}

TEST_F(NamedLockTest, SecondTakeInTheSameProcessFailsAndLeavesTheHolderUntouched)
{
    const std::string name = Use("TolkBootstrapperLock");
    EXPECT_FALSE(NamedLock::IsLocked(name));
    EXPECT_FALSE(NamedLock::IsLocked(name));
    boost::shared_ptr<NamedLock> first;
    ASSERT_TRUE(NamedLock::AcquireLock(name, first));
    boost::shared_ptr<NamedLock> second;
    EXPECT_FALSE(NamedLock::AcquireLock(name, second));
    EXPECT_FALSE(second);
    EXPECT_TRUE(NamedLock::IsLocked(name));
    first.reset();
    EXPECT_TRUE(NamedLock::AcquireLock(name, second));
}

TEST_F(NamedLockTest, NamesWhoseChecksumsEndInTheSameByteShareOneLock)
{
    std::string first;
    std::string second;
    for (int i = 0; second.empty(); ++i) {
        const std::string candidate = "lock-" + std::to_string(i);
        if (i == 0)
            first = candidate;
        else if ((NamedLock::NameChecksum(candidate) & 0xFF) == (NamedLock::NameChecksum(first) & 0xFF))
            second = candidate;
    }
    Use(first);
    Use(second);
    boost::shared_ptr<NamedLock> lock;
    ASSERT_TRUE(NamedLock::AcquireLock(first, lock));
    EXPECT_TRUE(NamedLock::IsLocked(second));
}

TEST_F(NamedLockTest, AnotherSystemRootHasLocksOfItsOwn)
{
    const std::string name = Use("TolkSetupLock");
    boost::shared_ptr<NamedLock> lock;
    ASSERT_TRUE(NamedLock::AcquireLock(name, lock));
    {
        tolktest::TempSystemRoot other;
        EXPECT_FALSE(NamedLock::IsLocked(name));
        key_t key;
        ASSERT_TRUE(platform::MakeIPCKey(other.Path("/tmp"), static_cast<int>(NamedLock::NameChecksum(name)), key));
        platform::RemoveSemaphoreSet(platform::OpenSemaphoreSet(key, 0600));
    }
    EXPECT_TRUE(NamedLock::IsLocked(name));
}

TEST(NamedLockSetTest, ASystemRootTakesTheSetsOfItsLocksAwayWithIt)
{
    int setId = -1;
    {
        tolktest::TempSystemRoot root;
        boost::shared_ptr<NamedLock> lock;
        ASSERT_TRUE(NamedLock::AcquireLock("TolkSetupLock", lock));
        lock.reset();
        key_t key;
        ASSERT_TRUE(platform::MakeIPCKey(root.Path("/tmp"), static_cast<int>(NamedLock::NameChecksum("TolkSetupLock")), key));
        setId = platform::OpenSemaphoreSet(key, 0600);
        ASSERT_GE(setId, 0);
    }
    // The set itself is gone (a set made later under the same key would have another id).
    EXPECT_EQ(platform::SemaphoreValue(setId), -1);
}

TEST_F(NamedLockTest, LockHeldByAnotherProcessIsRefusedUntilItIsGivenBack)
{
    const std::string name = Use("TolkSetupLock");
    HolderProcess holder("hold", name);
    ASSERT_EQ(holder.ReadLine(), "taken");

    boost::shared_ptr<NamedLock> lock;
    EXPECT_FALSE(NamedLock::AcquireLock(name, lock));
    EXPECT_TRUE(NamedLock::IsLocked(name));

    holder.CloseInput();
    EXPECT_EQ(holder.ReadLine(), "released");
    EXPECT_TRUE(NamedLock::AcquireLock(name, lock));

    // Now this process holds it, and another one is refused.
    HolderProcess second("hold", name);
    EXPECT_EQ(second.ReadLine(), "refused");
}

TEST_F(NamedLockTest, LockIsFreeAgainAfterTheHolderExitsWithoutGivingItBack)
{
    const std::string name = Use("TolkBootstrapperLock");
    HolderProcess holder("exit", name);
    ASSERT_EQ(holder.ReadLine(), "taken");
    EXPECT_TRUE(NamedLock::IsLocked(name));
    holder.CloseInput();
    const int status = holder.Wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_FALSE(NamedLock::IsLocked(name));
}

TEST_F(NamedLockTest, LockIsFreeAgainAfterTheHolderIsKilled)
{
    const std::string name = Use("TolkSetupLock");
    HolderProcess holder("hold", name);
    ASSERT_EQ(holder.ReadLine(), "taken");
    EXPECT_TRUE(NamedLock::IsLocked(name));
    holder.Kill();
    const int status = holder.Wait();
    ASSERT_TRUE(WIFSIGNALED(status));
    boost::shared_ptr<NamedLock> lock;
    EXPECT_TRUE(NamedLock::AcquireLock(name, lock));
}

TEST_F(NamedLockTest, ASetWhoseCreatorDiedBeforeGivingItsValueIsTakenOver)
{
    // The state a creator killed between making the set and giving its value leaves behind.
    const std::string name = Use("TolkSetupLock");
    key_t key;
    ASSERT_TRUE(platform::MakeIPCKey(sysroot_.Path("/tmp"), static_cast<int>(NamedLock::NameChecksum(name)), key));
    const int leftover = platform::OpenSemaphoreSet(key, 0600);  // another test's, sharing the key
    if (leftover >= 0)
        platform::RemoveSemaphoreSet(leftover);
    const int set = semget(key, 2, IPC_CREAT | IPC_EXCL | 0600);  // the value's and the mark's, both 0
    ASSERT_GE(set, 0);
    // Young, it may still be on its way: left alone. A process that tried it and ended leaves it
    // looking operated on (sem_otime), which tells nothing.
    EXPECT_TRUE(NamedLock::IsLocked(name));
    HolderProcess prober("exit", name);
    EXPECT_EQ(prober.ReadLine(), "refused");
    prober.CloseInput();
    prober.Wait();
    platform::SetSemaphoreTakeOverAgeForTesting(0);
    boost::shared_ptr<NamedLock> lock;
    EXPECT_TRUE(NamedLock::AcquireLock(name, lock));
    // Taken over once: held now, and a set in use is never taken over again.
    EXPECT_TRUE(NamedLock::IsLocked(name));
    platform::SetSemaphoreTakeOverAgeForTesting(-1);
    lock.reset();
    EXPECT_FALSE(NamedLock::IsLocked(name));
}

}  // namespace
