#include "platform/files/FileTree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
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
    // Streams read whole blocks (they go on after a short read), so blocks compare as they are.
    std::FILE* left = fdopen(a, "rb");
    std::FILE* right = left != nullptr ? fdopen(b, "rb") : nullptr;
    bool readable = left != nullptr && right != nullptr;
    bool equal = firstInfo.st_size == secondInfo.st_size;
    if (readable && equal && !(firstInfo.st_dev == secondInfo.st_dev && firstInfo.st_ino == secondInfo.st_ino)) {
        std::vector<char> leftBlock(65536);
        std::vector<char> rightBlock(leftBlock.size());
        for (;;) {
            const std::size_t leftCount = std::fread(leftBlock.data(), 1, leftBlock.size(), left);
            const std::size_t rightCount = std::fread(rightBlock.data(), 1, rightBlock.size(), right);
            if (std::ferror(left) || std::ferror(right)) {
                readable = false;
                break;
            }
            if (leftCount != rightCount || std::memcmp(leftBlock.data(), rightBlock.data(), leftCount) != 0) {
                equal = false;
                break;
            }
            if (leftCount < leftBlock.size())
                break;
        }
    }
    if (left != nullptr)
        std::fclose(left);
    else
        close(a);
    if (right != nullptr)
        std::fclose(right);
    else
        close(b);
    if (!readable)
        return false;
    same = equal;
    return true;
}

}  // namespace platform
