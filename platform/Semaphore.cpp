#include "platform/Semaphore.h"

#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace platform {

namespace {

// Linux leaves this union to the caller.
union SemaphoreArgument {
    int value;
    struct semid_ds* info;
    unsigned short* values;
};

bool ChangeSemaphore(int setId, short delta, short flags)
{
    struct sembuf operation;
    operation.sem_num = 0;
    operation.sem_op = delta;
    operation.sem_flg = flags;
    for (;;) {
        if (semop(setId, &operation, 1) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

// Sets the value of a set that holds 0 to value in one operation, which also marks the set as
// operated on (its sem_otime): false when the value is not 0 (or value is not positive).
bool RaiseFromZero(int setId, int value)
{
    if (value <= 0 || value > 32767)
        return false;
    struct sembuf operations[2];
    operations[0].sem_num = 0;
    operations[0].sem_op = 0;  // only while the value is 0
    operations[0].sem_flg = IPC_NOWAIT;
    operations[1].sem_num = 0;
    operations[1].sem_op = static_cast<short>(value);
    operations[1].sem_flg = 0;  // the value outlives this process
    for (;;) {
        if (semop(setId, operations, 2) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
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
    const int setId = semget(key, 1, IPC_CREAT | IPC_EXCL | permissions);
    if (setId < 0)
        return -1;
    // A new set holds 0 and has never been operated on; the first value is given by an
    // operation, so a set whose creator died before giving it stays recognisable (sem_otime 0).
    bool initialised = false;
    if (initialValue > 0) {
        initialised = RaiseFromZero(setId, initialValue);
    } else {
        SemaphoreArgument argument;
        argument.value = initialValue;
        initialised = semctl(setId, 0, SETVAL, argument) == 0;
    }
    if (!initialised) {
        semctl(setId, 0, IPC_RMID);
        return -1;
    }
    return setId;
}

bool TakeOverUninitialisedSemaphoreSet(int setId, int initialValue)
{
    struct semid_ds info;
    SemaphoreArgument argument;
    argument.info = &info;
    if (semctl(setId, 0, IPC_STAT, argument) != 0 || info.sem_otime != 0)
        return false;
    // A creator that is alive gives the value within microseconds of making the set.
    if (std::time(nullptr) - info.sem_ctime < gTakeOverAge.load())
        return false;
    return RaiseFromZero(setId, initialValue);
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
    return semctl(setId, 0, GETVAL);
}

bool RemoveSemaphoreSet(int setId)
{
    return semctl(setId, 0, IPC_RMID) == 0;
}

bool ReadSemaphoreSetOwners(int setId, SemaphoreSetOwners& owners)
{
    struct semid_ds info;
    SemaphoreArgument argument;
    argument.info = &info;
    if (semctl(setId, 0, IPC_STAT, argument) != 0)
        return false;
    owners.creator = info.sem_perm.cuid;
    owners.owner = info.sem_perm.uid;
    owners.mode = static_cast<mode_t>(info.sem_perm.mode & 0777);
    return true;
}

bool GiveSemaphoreSet(int setId, uid_t owner)
{
    struct semid_ds info;
    SemaphoreArgument argument;
    argument.info = &info;
    if (semctl(setId, 0, IPC_STAT, argument) != 0)
        return false;
    info.sem_perm.uid = owner;
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
