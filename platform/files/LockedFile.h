// LockedFile: a file that one process appends records to while it holds the file's exclusive
// lock, a lock that goes with the process when it dies (flock). Whether another process can take
// the lock tells whether the writer of such a file still lives. Also the flushes a journal needs.
//
// The writer's records go into a shared mapping of the file, space reserved ahead of them in
// large steps: a store into it is in the system's cache at once, as a write(2) would be, without
// a system call per record. The reserved space is zero-filled, so the records end at the first
// NUL byte (records never hold one). When space cannot be reserved or mapped, the records go on
// with write(2) after the last one.
#pragma once

#include <boost/noncopyable.hpp>

#include <string>
#include <vector>

namespace platform {

class LockedFile : private boost::noncopyable {
public:
    LockedFile() = default;
    // Closes the file, which gives up its lock.
    ~LockedFile();

    // Creates a new file from pattern (its last six characters "XXXXXX" are replaced), locked,
    // owner-only; path receives its name. False when it cannot be made.
    bool Create(const std::string& pattern, std::string& path);
    // Opens an existing file and takes its lock without waiting, to read it: false when another
    // open of it holds the lock (its writer lives) or it cannot be opened. Also false, with
    // untrusted saying why, for a file that somebody else could have written: one that
    // OpenKeptFile refuses (no plain file with one name of this user or the super-user, or in a
    // folder that another user can change).
    bool TakeOver(const std::string& path, std::string& untrusted);

    bool IsOpen() const { return fd_ >= 0; }
    // Appends the bytes (no NUL among them) to a file made by Create, whole, to the system's
    // cache: a process that dies afterwards does not lose them, a power cut may.
    bool Append(const std::string& bytes);
    // Makes what was appended durable.
    bool Sync();
    // What was appended to the file: its bytes up to the first NUL, if any.
    bool ReadAll(std::string& bytes);
    void Close();

    // The space reserved ahead of the records at first, and the most ever reserved in one step.
    static constexpr std::size_t kFirstReserve = std::size_t(1) << 20;
    static constexpr std::size_t kMostReserve = std::size_t(16) << 20;

private:
    // Reserves and maps space for at least `more` bytes after the records; false when it cannot.
    bool Reserve(std::size_t more);
    bool Write(const char* bytes, std::size_t size);
    void Unmap();

    int fd_ = -1;
    // Where the next record goes: the records' end.
    std::size_t end_ = 0;
    // The mapping of the file's first mapped_ bytes, all reserved; null when none.
    char* map_ = nullptr;
    std::size_t mapped_ = 0;
    // Where the mapping's pages that this process still holds begin: those of the records before
    // were handed back (they stay in the file, and syncing reaches them there).
    std::size_t held_ = 0;
    // Space could not be reserved or mapped once: write(2) from then on.
    bool writeOnly_ = false;
    // Taken over to be read: nothing is appended to it.
    bool readOnly_ = false;
};

// Removes a temporary file that its writer keeps locked (flock) for as long as it writes it, when
// nobody holds that lock: its writer died before the file got its place. True when it was
// removed; a file that is locked, no plain file or not this user's stays.
bool RemoveIfAbandoned(const std::string& path);

// Renames from over to and makes the folder's change durable.
bool RenameDurably(const std::string& from, const std::string& to);

// Flushes the file systems that hold the given paths (each once, however many paths lie on it),
// so that what was written to them survives a power cut. Paths that cannot be looked at are
// passed over.
void FlushFileSystems(const std::vector<std::string>& paths);

}  // namespace platform
