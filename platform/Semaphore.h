// System V semaphore sets, the primitive behind locks that several processes share. Each
// operation is one system call (or two, for creation) and reports failure by its result.
#pragma once

#include <sys/types.h>

#include <string>

namespace platform {

// The IPC key of a file and a project identifier. As with ftok(3), only the low 8 bits of the
// identifier count, and they make the key's top byte; the other 24 bits mix the file's whole
// device and inode numbers, where ftok keeps only their low 8 and 16 bits, so that the tmp folders
// of two system roots on one disk cannot share the keys of their locks. False when the file
// cannot be examined.
bool MakeIPCKey(const std::string& path, int projectId, key_t& key);
// The same, with the owner of the file too.
bool MakeIPCKey(const std::string& path, int projectId, key_t& key, uid_t& pathOwner);

// Opens the existing set under the key; -1 when there is none or it may not be opened
// (permissions).
int OpenSemaphoreSet(key_t key, int permissions);

// Creates a new set under the key and sets its value; -1 when a set of that key exists already or
// when creation or the initial value fails (a half-made set is removed again). Only the creating
// process sets the value, so two processes that race to create the set can never reset a value
// that the winner has already taken. The set holds a second semaphore that is set to 1 with the
// value, in one operation: a set whose creator died in between is recognisable by it
// (TakeOverUninitialisedSemaphoreSet). The calls below use the first semaphore.
int CreateSemaphoreSet(key_t key, int permissions, int initialValue);

// A set whose creator died between making it and giving it its first value holds 0 for good,
// its mark 0 too. Such a set, made at least two seconds ago, gets initialValue (once: of several
// processes that try, one succeeds). False when the set was initialised, is younger, or cannot
// be read. A set of one semaphore, as earlier versions made, counts as initialised once it was
// operated on.
bool TakeOverUninitialisedSemaphoreSet(int setId, int initialValue);
// Test hook: the age in seconds from which a set counts as abandoned (negative: the default).
void SetSemaphoreTakeOverAgeForTesting(int seconds);

// Lowers the semaphore by one without waiting; the kernel undoes it when the process ends.
// False when the value is 0 or the set is gone.
bool TryDecrementSemaphore(int setId);

// Raises the semaphore by one, balancing the undo record of an earlier decrement.
bool IncrementSemaphore(int setId);

// The semaphore's current value, or -1 when the set cannot be read.
int SemaphoreValue(int setId);

// Removes the set from the system (sets outlive processes otherwise). False with errno set:
// EINVAL or EIDRM when the set is gone already.
bool RemoveSemaphoreSet(int setId);

// Who made a set and who owns it, and its permission bits. The creator and the owner may both
// use, change and remove the set; the permission bits let others use it.
struct SemaphoreSetOwners {
    uid_t creator = 0;
    uid_t owner = 0;
    mode_t mode = 0;
};

// False when the set cannot be read (gone, or this process may not read it).
bool ReadSemaphoreSetOwners(int setId, SemaphoreSetOwners& owners);

// Makes the user the set's owner (its creator stays); only the super-user, the set's creator or
// its owner may.
bool GiveSemaphoreSet(int setId, uid_t owner);

// The creator of the set under the key as the system lists every set to every user, so also of a
// set that this process may not open; false when no set of the key is listed.
bool FindSemaphoreSetCreator(key_t key, uid_t& creator);

}  // namespace platform
