// The half of NamedLock that asks the system: a System V semaphore set of one semaphore,
// value 1 when the lock is free and 0 while it is held.
#include "Common/source/xplat/NamedLock.h"

#include "platform/Semaphore.h"
#include "platform/SystemRoot.h"

#include <unistd.h>

#include <cerrno>

namespace {

const int kSemaphorePermissions = 0600;
// How often a set that is not trusted is removed before the super-user gives up: each time, the
// user who made it may have made another one in the moment between the removal and the creation.
const int kAttempts = 3;

// Whose sets may be used: the super-user's, this process's user's and those of the user whose
// system root it is (the owner of its temporary folder), on whose root the lock is that user's.
bool IsTrustedUser(uid_t user, uid_t rootOwner)
{
    return user == 0 || user == geteuid() || user == rootOwner;
}

bool IsTrusted(const platform::SemaphoreSetOwners& owners, uid_t rootOwner)
{
    return IsTrustedUser(owners.creator, rootOwner) && IsTrustedUser(owners.owner, rootOwner) &&
           (owners.mode & 077) == 0;
}

}  // namespace

NamedLock::NamedLockPlat::NamedLockPlat(const std::string& name)
{
    // The key file lies under the system root so that a test's own root gets locks of its own.
    uid_t rootOwner = 0;
    if (!platform::MakeIPCKey(platform::SystemRoot::Resolve("/tmp"), static_cast<int>(NameChecksum(name)), key_,
                              rootOwner))
        return;
    const bool superUser = geteuid() == 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        int setId = platform::OpenSemaphoreSet(key_, kSemaphorePermissions);
        if (setId < 0 && errno == EACCES) {
            refusal_ = kNotPermitted;
            platform::FindSemaphoreSetCreator(key_, stranger_);
            return;
        }
        if (setId < 0) {
            // Only the process that creates the set gives it its first value; one that loses the
            // race to create it judges the winner's set the next time round.
            setId = platform::CreateSemaphoreSet(key_, kSemaphorePermissions, 1);
            if (setId < 0)
                continue;
        }
        platform::SemaphoreSetOwners owners;
        if (!platform::ReadSemaphoreSetOwners(setId, owners))
            continue;  // removed meanwhile
        if (IsTrusted(owners, rootOwner)) {
            // On a root of a user's own, the super-user's set is that user's too, or the user's
            // own Setups would find it out of reach until the system restarts.
            if (superUser && owners.owner != rootOwner)
                platform::GiveSemaphoreSet(setId, rootOwner);
            // A creator killed before giving the set its value would leave the lock taken for good.
            platform::TakeOverUninitialisedSemaphoreSet(setId, 1);
            setId_ = setId;
            refusal_ = kNotRefused;
            return;
        }
        // Whoever may use or change the set could raise it while a Setup holds it, or keep it
        // taken for good.
        refusal_ = kNotTrusted;
        stranger_ = IsTrustedUser(owners.creator, rootOwner) ? owners.owner : owners.creator;
        if (!superUser)
            return;
        if (platform::RemoveSemaphoreSet(setId)) {
            replaced_ = true;
        } else if (errno != EINVAL && errno != EIDRM) {
            return;
        }
        // Gone already when it was not removed here: another of the super-user's Setups judged it
        // too and removed it first. What is under the key now is judged the next time round.
    }
}

bool NamedLock::NamedLockPlat::Take()
{
    return setId_ >= 0 && platform::TryDecrementSemaphore(setId_);
}

void NamedLock::NamedLockPlat::Release()
{
    // Balances the undo record of the take; a set removed meanwhile has nothing to give back.
    if (setId_ >= 0)
        platform::IncrementSemaphore(setId_);
}
