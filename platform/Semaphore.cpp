#include "platform/Semaphore.h"

#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/stat.h>

#include <cerrno>

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

}  // namespace

bool MakeIPCKey(const std::string& path, int projectId, key_t& key)
{
    const key_t made = ftok(path.c_str(), projectId);
    if (made == static_cast<key_t>(-1))
        return false;
    key = made;
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
    SemaphoreArgument argument;
    argument.value = initialValue;
    if (semctl(setId, 0, SETVAL, argument) != 0) {
        semctl(setId, 0, IPC_RMID);
        return -1;
    }
    return setId;
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

}  // namespace platform
