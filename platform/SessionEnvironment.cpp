#include "platform/SessionEnvironment.h"

#include "platform/files/Files.h"
#include "platform/files/TrustedPath.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

extern char** environ;

namespace platform {

namespace {

const char kXAuthority[] = "XAUTHORITY";
const char kNoXAuthority[] = "/dev/null";
const off_t kMaxXAuthoritySize = 1024 * 1024;

std::mutex gXAuthorityMutex;  // guards gXAuthorityCopy
int gXAuthorityCopy = -1;     // the memory file that XAUTHORITY names, open for the process's life

// Whether the text is not empty and each of its characters a letter, a digit or one of others;
// ".." is never one.
bool MadeOf(const std::string& text, const char* others)
{
    if (text.empty() || text.size() > 255 || text.find("..") != std::string::npos)
        return false;
    for (char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!plain && std::strchr(others, c) == nullptr)
            return false;
    }
    return true;
}

// The X authority file's contents, read through the file that was judged: it is looked at without
// being opened (a device or a pipe at the path is never opened), and then opened as that object.
int ReadXAuthority(const std::string& path, uid_t user, std::string& bytes, std::string& problem)
{
    const int object = open(path.c_str(), O_PATH | O_CLOEXEC);
    struct stat status;
    if (object < 0 || fstat(object, &status) != 0) {
        const int error = errno;
        if (object >= 0)
            close(object);
        problem = "Refused to take the X authority \"" + path + "\": " + std::strerror(error);
        return error;
    }
    std::string why;
    if (!S_ISREG(status.st_mode) || status.st_uid != user)
        why = "it is " + DescribeObject(status) + ", not a file of user " + DescribeUser(user);
    else if (status.st_size > kMaxXAuthoritySize)
        why = "it is larger than an X authority file";
    int fd = -1;
    if (why.empty()) {
        fd = open(DescriptorPath(object).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        bytes.clear();
        if (fd < 0 || !ReadUntilEnd(fd, [&bytes](const char* piece, std::size_t size) {
                bytes.append(piece, size);
                return bytes.size() <= static_cast<std::size_t>(kMaxXAuthoritySize);
            }))
            why = std::strerror(errno);
    }
    if (fd >= 0)
        close(fd);
    close(object);
    if (why.empty())
        return 0;
    problem = "Refused to take the X authority \"" + path + "\": " + why;
    return EPERM;
}

int TakeXAuthority(const std::string& path, uid_t user, std::string& problem)
{
    if (path.empty() || path[0] != '/') {
        problem = "Refused to take the X authority \"" + path + "\": it is not an absolute path";
        return EINVAL;
    }
    std::string bytes;
    if (const int error = ReadXAuthority(path, user, bytes, problem))
        return error;
    const int copy = memfd_create("Xauthority", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (copy < 0 || write(copy, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
        fcntl(copy, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        problem = "Unable to keep the X authority \"" + path + "\": " + std::strerror(errno);
        if (copy >= 0)
            close(copy);
        return EIO;
    }
    std::lock_guard<std::mutex> lock(gXAuthorityMutex);
    if (gXAuthorityCopy >= 0)
        close(gXAuthorityCopy);
    gXAuthorityCopy = copy;
    // Named by the process: the helper processes of the web views open it too.
    const std::string named = "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(copy);
    setenv(kXAuthority, named.c_str(), 1);
    return 0;
}

}  // namespace

int TakeSessionValue(const std::string& name, const std::string& value, uid_t user, std::string& problem)
{
    problem.clear();
    if (name == kXAuthority)
        return TakeXAuthority(value, user, problem);
    const char* others = nullptr;
    if (name == "DISPLAY")
        others = ".:_-";
    else if (name == "LANG" || name == "LANGUAGE" || name == "LC_ALL")
        others = ".:_@-";
    if (others == nullptr) {
        problem = "Refused to take the variable " + name + ": it is none of the session's";
        return EINVAL;
    }
    if (!MadeOf(value, others)) {
        problem = "Refused to take " + name + "=\"" + value + "\": it is no " +
                  (name == "DISPLAY" ? "display name" : "language or locale name");
        return EINVAL;
    }
    setenv(name.c_str(), value.c_str(), 1);
    return 0;
}

void ForgetSessionValues()
{
    // Gathered first: unsetenv changes the environment under the loop.
    std::vector<std::string> names;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const std::string name = text.substr(0, text.find('='));
        if (name == "DISPLAY" || name == "LANG" || name == "LANGUAGE" || name == "LINGUAS" ||
            name.compare(0, 3, "LC_") == 0)
            names.push_back(name);
    }
    for (const std::string& name : names)
        unsetenv(name.c_str());
    setenv(kXAuthority, kNoXAuthority, 1);
}

}  // namespace platform
