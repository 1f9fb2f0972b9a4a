#include "platform/Semaphore.h"

#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace platform {

namespace {

// The semaphores of a set made here: the one that the other calls use, and a mark that is 1 once
// the set was given its first value. The mark tells a set whose creator died before giving it,
// which holds 0 for good, from one that a holder keeps at 0; only a process that may change the
// set can set it. The set's times cannot tell: any process that tries an operation with SEM_UNDO
// on the set, even one refused for want of permission, leaves an undo record whose end, when the
// process exits, stamps sem_otime.
const unsigned short kValueSemaphore = 0;
const unsigned short kReadyMark = 1;
const int kSemaphores = 2;

// Linux leaves this union to the caller.
union SemaphoreArgument {
    int value;
    struct semid_ds* info;
    unsigned short* values;
};

// The set's status (IPC_STAT).
bool StatSet(int setId, struct semid_ds& info)
{
    SemaphoreArgument argument;
    argument.info = &info;
    return semctl(setId, 0, IPC_STAT, argument) == 0;
}

bool Operate(int setId, struct sembuf* operations, std::size_t count)
{
    for (;;) {
        if (semop(setId, operations, count) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

bool ChangeSemaphore(int setId, short delta, short flags)
{
    struct sembuf operation = {kValueSemaphore, delta, flags};
    return Operate(setId, &operation, 1);
}

// Gives a set that holds 0 its first value and, where it has one, its mark, in one operation:
// false when either is not 0 any more (another process gave them) or the value is out of range.
// An older set of one semaphore has no mark: the operation itself marked it (its sem_otime).
bool GiveFirstValue(int setId, int value, int semaphores)
{
    if (value < 0 || value > 32767)
        return false;
    // Each only while it is 0; what is given outlives this process.
    struct sembuf operations[4] = {
        {kValueSemaphore, 0, IPC_NOWAIT},
        {kValueSemaphore, static_cast<short>(value), 0},
        {kReadyMark, 0, IPC_NOWAIT},
        {kReadyMark, 1, 0},
    };
    return Operate(setId, operations, semaphores >= kSemaphores ? 4 : 2);
}

std::atomic<int> gTakeOverAge(2);  // seconds; see TakeOverUninitialisedSemaphoreSet

}  // namespace

bool MakeIPCKey(const std::string& path, int projectId, key_t& key)
{
    uid_t owner;
    return MakeIPCKey(path, projectId, key, owner);
}

bool MakeIPCKey(const std::string& path, int projectId, key_t& key, uid_t& pathOwner)
{
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return false;
    pathOwner = info.st_uid;
    // splitmix64's finaliser: every bit of the device and inode numbers moves the low 24 bits.
    std::uint64_t mixed = (static_cast<std::uint64_t>(info.st_dev) * 0x9E3779B97F4A7C15ULL) ^ info.st_ino;
    mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9ULL;
    mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBULL;
    mixed ^= mixed >> 31;
    std::uint32_t low = static_cast<std::uint32_t>(mixed & 0xFFFFFF);
    if (low == 0)
        low = 1;  // never the key 0, IPC_PRIVATE, which names no shared set
    key = static_cast<key_t>((static_cast<std::uint32_t>(projectId & 0xFF) << 24) | low);
    return true;
}

int OpenSemaphoreSet(key_t key, int permissions)
{
    return semget(key, 1, permissions);
}

int CreateSemaphoreSet(key_t key, int permissions, int initialValue)
{
    const int setId = semget(key, kSemaphores, IPC_CREAT | IPC_EXCL | permissions);
    if (setId < 0)
        return -1;
    // A new set holds 0 with its mark at 0, and so stays recognisable when this process dies
    // before the next call.
    if (!GiveFirstValue(setId, initialValue, kSemaphores)) {
        semctl(setId, 0, IPC_RMID);
        return -1;
    }
    return setId;
}

bool TakeOverUninitialisedSemaphoreSet(int setId, int initialValue)
{
    struct semid_ds info;
    if (!StatSet(setId, info))
        return false;
    const int semaphores = static_cast<int>(info.sem_nsems);
    const bool given = semaphores >= kSemaphores ? semctl(setId, kReadyMark, GETVAL) != 0 : info.sem_otime != 0;
    // A creator that is alive gives the value within microseconds of making the set.
    if (given || std::time(nullptr) - info.sem_ctime < gTakeOverAge.load())
        return false;
    return GiveFirstValue(setId, initialValue, semaphores);
}

void SetSemaphoreTakeOverAgeForTesting(int seconds)
{
    gTakeOverAge = seconds < 0 ? 2 : seconds;
}

bool TryDecrementSemaphore(int setId)
{
    return ChangeSemaphore(setId, -1, IPC_NOWAIT | SEM_UNDO);
}

bool IncrementSemaphore(int setId)
{
    return ChangeSemaphore(setId, 1, SEM_UNDO);
}

int SemaphoreValue(int setId)
{
    return semctl(setId, kValueSemaphore, GETVAL);
}

bool RemoveSemaphoreSet(int setId)
{
    return semctl(setId, 0, IPC_RMID) == 0;
}

bool ReadSemaphoreSetOwners(int setId, SemaphoreSetOwners& owners)
{
    struct semid_ds info;
    if (!StatSet(setId, info))
        return false;
    owners.creator = info.sem_perm.cuid;
    owners.owner = info.sem_perm.uid;
    owners.mode = static_cast<mode_t>(info.sem_perm.mode & 0777);
    return true;
}

bool GiveSemaphoreSet(int setId, uid_t owner)
{
    struct semid_ds info;
    if (!StatSet(setId, info))
        return false;
    info.sem_perm.uid = owner;
    SemaphoreArgument argument;
    argument.info = &info;
    return semctl(setId, 0, IPC_SET, argument) == 0;
}

bool FindSemaphoreSetCreator(key_t key, uid_t& creator)
{
    FILE* list = std::fopen("/proc/sysvipc/sem", "re");
    if (list == nullptr)
        return false;
    // "key semid perms nsems uid gid cuid cgid otime ctime", after a line of headings.
    char line[512];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, list) != nullptr) {
        long listedKey = 0;
        unsigned cuid = 0;
        found = std::sscanf(line, "%ld %*d %*o %*u %*u %*u %u", &listedKey, &cuid) == 2 &&
                static_cast<key_t>(listedKey) == key;
        if (found)
            creator = static_cast<uid_t>(cuid);
    }
    std::fclose(list);
    return found;
}

}  // namespace platform
