// The half of NamedLock that asks the system: a System V semaphore set of one semaphore,
// value 1 when the lock is free and 0 while it is held.
#include "Common/source/xplat/NamedLock.h"

#include "platform/Semaphore.h"
#include "platform/SystemRoot.h"

namespace {

const int kSemaphorePermissions = 0600;

}  // namespace

NamedLock::NamedLockPlat::NamedLockPlat(const std::string& name)
{
    // The key file lies under the system root so that a test's own root gets locks of its own.
    if (!platform::MakeIPCKey(platform::SystemRoot::Resolve("/tmp"), static_cast<int>(NameChecksum(name)), key_))
        return;
    setId_ = platform::OpenSemaphoreSet(key_, kSemaphorePermissions);
    if (setId_ >= 0) {
        // A creator killed before giving the set its value would leave the lock taken for good.
        platform::TakeOverUninitialisedSemaphoreSet(setId_, 1);
        return;
    }
    // Only the process that creates the set gives it its first value; one that loses the race
    // to create it opens the winner's set instead.
    setId_ = platform::CreateSemaphoreSet(key_, kSemaphorePermissions, 1);
    if (setId_ < 0)
        setId_ = platform::OpenSemaphoreSet(key_, kSemaphorePermissions);
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
