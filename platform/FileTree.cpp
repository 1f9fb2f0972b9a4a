#include "platform/FileTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace platform {

namespace {

// Counts below the open folder, which it closes. The entry types come with the names, so a tree
// costs a few reads per folder and none per file.
std::size_t CountBelow(int folder)
{
    DIR* listing = fdopendir(folder);
    if (listing == nullptr) {
        close(folder);
        return 0;
    }
    std::size_t count = 0;
    while (const dirent* entry = readdir(listing)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat info;
            if (fstatat(dirfd(listing), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISDIR(info.st_mode) ? DT_DIR : DT_REG;
        }
        if (type != DT_DIR) {
            ++count;
            continue;
        }
        const int child = openat(dirfd(listing), entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child >= 0)
            count += CountBelow(child);
    }
    closedir(listing);
    return count;
}

// The open regular file at the path, not through a link; -1 for anything else.
int OpenRegularFile(const std::string& path, struct stat& info)
{
    // Not blocking: a named pipe in place of the file is refused instead of waited on.
    const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads up to size bytes, fewer only at the end of the file; -1 on a read error.
ssize_t ReadFully(int fd, char* buffer, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t count = read(fd, buffer + done, size - done);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (count == 0)
            break;
        done += static_cast<std::size_t>(count);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

std::size_t CountFilesInTree(const std::string& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd < 0 ? 0 : CountBelow(fd);
}

bool CompareFileContents(const std::string& first, const std::string& second, bool& same)
{
    struct stat firstInfo;
    struct stat secondInfo;
    const int a = OpenRegularFile(first, firstInfo);
    if (a < 0)
        return false;
    const int b = OpenRegularFile(second, secondInfo);
    if (b < 0) {
        close(a);
        return false;
    }
    bool readable = true;
    bool equal = firstInfo.st_size == secondInfo.st_size;
    if (equal && !(firstInfo.st_dev == secondInfo.st_dev && firstInfo.st_ino == secondInfo.st_ino)) {
        std::vector<char> left(65536);
        std::vector<char> right(left.size());
        for (;;) {
            const ssize_t leftCount = ReadFully(a, left.data(), left.size());
            const ssize_t rightCount = ReadFully(b, right.data(), right.size());
            if (leftCount < 0 || rightCount < 0) {
                readable = false;
                break;
            }
            if (leftCount != rightCount ||
                std::memcmp(left.data(), right.data(), static_cast<std::size_t>(leftCount)) != 0) {
                equal = false;
                break;
            }
            if (leftCount == 0)
                break;
        }
    }
    close(a);
    close(b);
    if (!readable)
        return false;
    same = equal;
    return true;
}

}  // namespace platform
