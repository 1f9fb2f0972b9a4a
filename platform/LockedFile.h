// LockedFile: a file that one process appends records to while it holds the file's exclusive
// lock, a lock that goes with the process when it dies (flock). Whether another process can take
// the lock tells whether the writer of such a file still lives. Also the flushes a journal needs.
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
    // Opens an existing file and takes its lock without waiting: false when another open of it
    // holds the lock (its writer lives) or it cannot be opened.
    bool TakeOver(const std::string& path);

    bool IsOpen() const { return fd_ >= 0; }
    // Appends the bytes in one write, to the system's cache: a process that dies afterwards does
    // not lose them, a power cut may.
    bool Append(const std::string& bytes);
    // Makes what was appended durable.
    bool Sync();
    // The whole file as it is now.
    bool ReadAll(std::string& bytes);
    void Close();

private:
    int fd_ = -1;
};

// Renames from over to and makes the folder's change durable.
bool RenameDurably(const std::string& from, const std::string& to);

// Flushes the file systems that hold the given paths (each once, however many paths lie on it),
// so that what was written to them survives a power cut. Paths that cannot be looked at are
// passed over.
void FlushFileSystems(const std::vector<std::string>& paths);

}  // namespace platform
