// Locks whose semaphore set another user made first: anyone can compute a lock's key, and make a
// set under it before any Setup does.
#include "Common/source/xplat/NamedLock.h"

#include "platform/Semaphore.h"
#include "tests/support/OtherUser.h"
#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <sys/ipc.h>
#include <sys/sem.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

const char kName[] = "TolkSetupLock";
const uid_t kThirdUser = 4242;  // neither root nor nobody, nor anyone the machine need know

class NamedLockFaultTest : public tolktest::SystemRootTest {
protected:
    void SetUp() override
    {
        if (!tolktest::CanRunAsNobody())
            GTEST_SKIP() << "needs root";
        ASSERT_TRUE(tolktest::LetOthersThrough(sysroot_.Base()));
        ASSERT_TRUE(
            platform::MakeIPCKey(sysroot_.Path("/tmp"), static_cast<int>(NamedLock::NameChecksum(kName)), key_));
        RemoveSet();  // another test's, sharing the key
    }

    void TearDown() override { RemoveSet(); }

    void RemoveSet() const
    {
        const int set = platform::OpenSemaphoreSet(key_, 0600);
        if (set >= 0)
            platform::RemoveSemaphoreSet(set);
    }

    // The set under the key, as the user makes it: with these permissions and, unless negative,
    // the value given by one operation (0: one that waits for 0, which marks it as operated on).
    int Plant(uid_t user, int mode, int value) const
    {
        const key_t key = key_;
        const bool planted = tolktest::RunAsUser(user, user, [key, mode, value]() {
                                 const int set = semget(key, 1, IPC_CREAT | IPC_EXCL | mode);
                                 struct sembuf raise = {0, static_cast<short>(value), IPC_NOWAIT};
                                 return set >= 0 && (value < 0 || semop(set, &raise, 1) == 0);
                             }) == tolktest::AsUser::kTrue;
        return planted ? platform::OpenSemaphoreSet(key_, 0600) : -1;
    }

    // Whether nobody can raise the set under the key: what would let a second Setup run.
    bool NobodyCanRaise() const
    {
        const key_t key = key_;
        return tolktest::RunAsNobody([key]() {
                   const int set = semget(key, 1, 0);
                   struct sembuf raise = {0, 1, IPC_NOWAIT};
                   return set >= 0 && semop(set, &raise, 1) == 0;
               }) == tolktest::AsUser::kTrue;
    }

    key_t key_ = -1;
};

}  // namespace

TEST_F(NamedLockFaultTest, TheSuperUserRemovesAnotherUsersSetAndUsesItsOwn)
{
    struct Shape {
        std::string what;
        int mode;
        int value;  // negative: never given one
    };
    const std::vector<Shape> plants = {
        {"held for good", 0666, 0},
        {"open to be raised", 0666, 1},
        {"of a plain run", 0600, 1},
        {"never given a value", 0666, -1},
    };
    for (const Shape& plant : plants) {
        const int planted = Plant(tolktest::NobodyUser(), plant.mode, plant.value);
        ASSERT_GE(planted, 0) << plant.what;
        boost::shared_ptr<NamedLock::NamedLockPlat> plat(new NamedLock::NamedLockPlat(kName));
        boost::shared_ptr<NamedLock> lock;
        EXPECT_TRUE(NamedLock::AcquireLock(plat, lock)) << plant.what;
        EXPECT_TRUE(plat->ReplacedStranger()) << plant.what;
        EXPECT_EQ(plat->Stranger(), tolktest::NobodyUser()) << plant.what;
        EXPECT_EQ(platform::SemaphoreValue(planted), -1) << plant.what;
        platform::SemaphoreSetOwners owners;
        ASSERT_TRUE(platform::ReadSemaphoreSetOwners(platform::OpenSemaphoreSet(key_, 0600), owners)) << plant.what;
        EXPECT_EQ(owners.creator, 0u) << plant.what;
        EXPECT_EQ(owners.owner, 0u) << plant.what;
        EXPECT_FALSE(NobodyCanRaise()) << plant.what;
        lock.reset();
        RemoveSet();
    }
}

TEST_F(NamedLockFaultTest, AnotherUsersSetIsRefusedToAUserWhoMayNotRemoveIt)
{
    const int planted = Plant(kThirdUser, 0666, 1);
    ASSERT_GE(planted, 0);
    const key_t key = key_;
    EXPECT_EQ(tolktest::RunAsNobody([key]() {
                  boost::shared_ptr<NamedLock::NamedLockPlat> plat(new NamedLock::NamedLockPlat(kName));
                  boost::shared_ptr<NamedLock> lock;
                  return !NamedLock::AcquireLock(plat, lock) &&
                         plat->GetRefusal() == NamedLock::NamedLockPlat::kNotTrusted &&
                         plat->Stranger() == kThirdUser && !plat->ReplacedStranger();
              }),
              tolktest::AsUser::kTrue);
    EXPECT_EQ(platform::SemaphoreValue(planted), 1);

    // The super-user's own set is one that nobody cannot open: no Setup that nobody could wait for.
    RemoveSet();
    boost::shared_ptr<NamedLock> lock;
    ASSERT_TRUE(NamedLock::AcquireLock(kName, lock));
    EXPECT_EQ(tolktest::RunAsNobody([]() {
                  NamedLock::NamedLockPlat plat(kName);
                  return plat.SetId() < 0 && plat.GetRefusal() == NamedLock::NamedLockPlat::kNotPermitted &&
                         plat.Stranger() == 0;
              }),
              tolktest::AsUser::kTrue);
}

TEST_F(NamedLockFaultTest, OnAUsersOwnRootTheLockStaysThatUsers)
{
    ASSERT_EQ(chown(sysroot_.Path("/private/tmp").c_str(), tolktest::NobodyUser(), tolktest::NobodyGroup()), 0);
    // A Setup run as root there leaves its set behind.
    {
        boost::shared_ptr<NamedLock> lock;
        ASSERT_TRUE(NamedLock::AcquireLock(kName, lock));
    }
    const auto take = []() {
        boost::shared_ptr<NamedLock> lock;
        return NamedLock::AcquireLock(kName, lock);
    };
    EXPECT_EQ(tolktest::RunAsNobody(take), tolktest::AsUser::kTrue);

    // And the user's own set is no stranger's there.
    RemoveSet();
    ASSERT_EQ(tolktest::RunAsNobody(take), tolktest::AsUser::kTrue);
    boost::shared_ptr<NamedLock::NamedLockPlat> plat(new NamedLock::NamedLockPlat(kName));
    boost::shared_ptr<NamedLock> lock;
    EXPECT_TRUE(NamedLock::AcquireLock(plat, lock));
    EXPECT_FALSE(plat->ReplacedStranger());
}
