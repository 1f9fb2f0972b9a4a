#include "platform/LockedFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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
    const int fd = mkostemp(name.data(), O_APPEND | O_CLOEXEC);
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

bool LockedFile::TakeOver(const std::string& path)
{
    Close();
    // Not blocking and regular files only: whatever else lies there is no journal of ours.
    const int fd = open(path.c_str(), O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool LockedFile::Append(const std::string& bytes)
{
    if (fd_ < 0)
        return false;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = write(fd_, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += static_cast<std::size_t>(count);
    }
    return true;
}

bool LockedFile::Sync()
{
    return fd_ >= 0 && fdatasync(fd_) == 0;
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
        content.append(buffer, static_cast<std::size_t>(count));
        offset += count;
    }
    bytes.swap(content);
    return true;
}

void LockedFile::Close()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
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
