#include "platform/files/LockedFile.h"

#include "platform/files/TrustedFiles.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

namespace platform {

namespace {

bool SyncPath(const std::string& path, int flags)
{
    const int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
}

std::string ParentOf(const std::string& path)
{
    const std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

LockedFile::~LockedFile()
{
    Close();
}

bool LockedFile::Create(const std::string& pattern, std::string& path)
{
    Close();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // Not O_APPEND: records written with write(2) after the mapping go where the records end,
    // which may be before the end of the space reserved.
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    // Nobody can have it yet: the name is new.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        unlink(name.data());
        return false;
    }
    fd_ = fd;
    path = name.data();
    return true;
}

bool LockedFile::TakeOver(const std::string& path, std::string& untrusted)
{
    Close();
    untrusted.clear();
    // Whatever but a plain file that nobody else could have written is no journal of ours.
    const int fd = OpenKeptFile(path, O_RDWR, untrusted);
    if (fd < 0)
        return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
    readOnly_ = true;
    return true;
}

bool LockedFile::Append(const std::string& bytes)
{
    // A NUL would end the records where it stands.
    if (fd_ < 0 || readOnly_ || std::memchr(bytes.data(), 0, bytes.size()) != nullptr)
        return false;
    const bool room = map_ != nullptr && mapped_ - end_ >= bytes.size();
    if (!room && (writeOnly_ || !Reserve(bytes.size())))
        return Write(bytes.data(), bytes.size());
    std::memcpy(map_ + end_, bytes.data(), bytes.size());
    end_ += bytes.size();
    // A run that records thousands of steps keeps only the last stretch of them in its memory.
    const std::size_t kHeld = std::size_t(1) << 18;
    if (end_ - held_ >= 2 * kHeld) {
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t upTo = (end_ - kHeld) / page * page;
        if (madvise(map_ + held_, upTo - held_, MADV_DONTNEED) == 0)
            held_ = upTo;
    }
    return true;
}

bool LockedFile::Reserve(std::size_t more)
{
    // Reserved before it is mapped, so that a store into the mapping never meets a full disk
    // (which would kill the process with SIGBUS); each step as large as all before it, up to a cap.
    const std::size_t step = mapped_ == 0 ? kFirstReserve : std::min(mapped_, kMostReserve);
    std::size_t size = mapped_ + step;
    while (size - end_ < more)
        size += step;
    void* map = MAP_FAILED;
    if (posix_fallocate(fd_, static_cast<off_t>(mapped_), static_cast<off_t>(size - mapped_)) == 0) {
        map = map_ == nullptr ? mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0)
                              : mremap(map_, mapped_, size, MREMAP_MAYMOVE);
    }
    if (map == MAP_FAILED) {
        // The records go on with write(2), from where they end, for the rest of the file's life.
        writeOnly_ = true;
        Unmap();
        return false;
    }
    map_ = static_cast<char*>(map);
    mapped_ = size;
    return true;
}

bool LockedFile::Write(const char* bytes, std::size_t size)
{
    std::size_t written = 0;
    while (written < size) {
        const ssize_t count = pwrite(fd_, bytes + written, size - written, static_cast<off_t>(end_ + written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += static_cast<std::size_t>(count);
    }
    end_ += size;
    return true;
}

bool LockedFile::Sync()
{
    if (fd_ < 0)
        return false;
    // The stores into a shared mapping are flushed through it; what went with write(2) (only
    // once the mapping is gone) through the file.
    if (map_ != nullptr) {
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        return msync(map_, std::min(mapped_, (end_ + page - 1) / page * page), MS_SYNC) == 0;
    }
    return fdatasync(fd_) == 0;
}

bool LockedFile::ReadAll(std::string& bytes)
{
    if (fd_ < 0)
        return false;
    std::string content;
    char buffer[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t count = pread(fd_, buffer, sizeof(buffer), offset);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        if (count == 0)
            break;
        // Past the records lies the zero-filled space reserved for more.
        const void* nul = std::memchr(buffer, 0, static_cast<std::size_t>(count));
        if (nul != nullptr) {
            content.append(buffer, static_cast<std::size_t>(static_cast<const char*>(nul) - buffer));
            break;
        }
        content.append(buffer, static_cast<std::size_t>(count));
        offset += count;
    }
    bytes.swap(content);
    return true;
}

void LockedFile::Unmap()
{
    if (map_ != nullptr)
        munmap(map_, mapped_);
    map_ = nullptr;
    mapped_ = 0;
    held_ = 0;
}

void LockedFile::Close()
{
    Unmap();
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    end_ = 0;
    writeOnly_ = false;
    readOnly_ = false;
}

bool RemoveIfAbandoned(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    // Removed while the lock is held, so that no writer can take it up in between.
    const bool removed = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() &&
                         flock(fd, LOCK_EX | LOCK_NB) == 0 && unlink(path.c_str()) == 0;
    close(fd);
    return removed;
}

bool RenameDurably(const std::string& from, const std::string& to)
{
    if (std::rename(from.c_str(), to.c_str()) != 0)
        return false;
    SyncPath(ParentOf(to), O_RDONLY | O_DIRECTORY);
    return true;
}

void FlushFileSystems(const std::vector<std::string>& paths)
{
    std::set<dev_t> flushed;
    for (const std::string& path : paths) {
        struct stat info;
        if (lstat(path.c_str(), &info) != 0 || flushed.count(info.st_dev) != 0)
            continue;
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (syncfs(fd) == 0)
            flushed.insert(info.st_dev);
        close(fd);
    }
}

}  // namespace platform
