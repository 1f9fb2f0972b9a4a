#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    // Not blocking: a named pipe in place of the file is refused below instead of waiting for a
    // writer that never comes.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return false;
    }
    std::string content;
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof(buffer));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            close(fd);
            return false;
        }
        if (count == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(count));
    }
    close(fd);
    bytes.swap(content);
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes)
{
    std::string pattern = path + ".newXXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    const std::string temporary(name.data());

    mode_t mode = 0644;
    struct stat existing;
    if (stat(path.c_str(), &existing) == 0)
        mode = existing.st_mode & 07777;

    bool ok = fchmod(fd, mode) == 0;
    std::size_t written = 0;
    while (ok && written < bytes.size()) {
        const ssize_t count = write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            ok = false;
        else
            written += static_cast<std::size_t>(count);
    }
    if (ok && fsync(fd) != 0)
        ok = false;
    if (close(fd) != 0)
        ok = false;
    if (ok && rename(temporary.c_str(), path.c_str()) != 0)
        ok = false;
    if (!ok)
        unlink(temporary.c_str());
    return ok;
}

}  // namespace platform
