// The kill sweep's step killer: preloaded (LD_PRELOAD) into a program under test, it counts the
// calls that change files (creating opens, writes to regular files, renames, removals, new
// folders and links, modes, owners, syncs, extended attributes) and kills the process, as
// kill -9 would, just before the N-th of them runs. SQLite's calls count too, so a sweep can stop
// a run inside a database commit. It lives only in the test build; the programs know nothing of it.
//
//   TOLK_STEP_KILL_AT=N    kill before the N-th step (1 is the first)
//   TOLK_STEP_TRACE=FILE   append "N call path" for every step (to pick the points of a sweep)
//   TOLK_STEP_DURABLE=1    after every sync of a run journal, keep a copy of what is on disk then,
//                          as ".durable-<inode>" beside it: a sweep that models a power cut puts
//                          it in the journal's place (what was not synced is lost)
//   TOLK_STEP_FAIL=CALL:TEXT[:N]  make the N-th (default the first) step of the call CALL ("rmdir",
//                          "open", "unlinkat"...) whose path holds TEXT fail with EIO, once, instead
//                          of running it (TOLK_STEP_FAIL_ERRNO=28 picks another error)
//
// Only the process that loaded it counts: a child between fork and exec, and the programs it
// starts (which get no environment of their own), do not.
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::atomic<long> gSteps(0);
long gKillAt = 0;
int gTraceFd = -1;
pid_t gOwner = 0;
bool gDurable = false;
// Plain data only: the constructor below may run before the strings of this file are made.
char gFailCall[32];
char gFailText[1024];
long gFailSkip = 0;  // matching steps still to let run before the one that fails
int gFailErrno = EIO;
bool gFailed = false;

template <typename Function>
Function Next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

__attribute__((constructor)) void Load()
{
    gOwner = getpid();
    if (const char* at = std::getenv("TOLK_STEP_KILL_AT"))
        gKillAt = std::strtol(at, nullptr, 10);
    gDurable = std::getenv("TOLK_STEP_DURABLE") != nullptr;
    if (const char* fail = std::getenv("TOLK_STEP_FAIL")) {
        const char* colon = std::strchr(fail, ':');
        const std::size_t callLength = colon != nullptr ? static_cast<std::size_t>(colon - fail) : std::strlen(fail);
        if (callLength < sizeof(gFailCall))
            std::memcpy(gFailCall, fail, callLength);
        if (colon != nullptr && std::strlen(colon + 1) < sizeof(gFailText)) {
            std::strcpy(gFailText, colon + 1);
            char* count = std::strrchr(gFailText, ':');
            if (count != nullptr && count[1] != '\0' &&
                std::strspn(count + 1, "0123456789") == std::strlen(count + 1)) {
                gFailSkip = std::strtol(count + 1, nullptr, 10) - 1;
                *count = '\0';
            }
        }
        if (const char* error = std::getenv("TOLK_STEP_FAIL_ERRNO"))
            gFailErrno = static_cast<int>(std::strtol(error, nullptr, 10));
    }
    if (const char* trace = std::getenv("TOLK_STEP_TRACE")) {
        using OpenFunction = int (*)(const char*, int, ...);
        static OpenFunction realOpen = Next<OpenFunction>("open");
        gTraceFd = realOpen(trace, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    }
}

std::string FdPath(int fd)
{
    char link[64];
    std::snprintf(link, sizeof(link), "/proc/self/fd/%d", fd);
    char target[4096];
    const ssize_t length = readlink(link, target, sizeof(target) - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string("?");
}

// One step: counted, traced, and the end of the process when it is the one asked for; true when
// it is the one to fail instead (errno is set).
bool Step(const char* call, const std::string& path)
{
    if (getpid() != gOwner)
        return false;
    const long number = ++gSteps;
    if (gTraceFd >= 0) {
        using WriteFunction = ssize_t (*)(int, const void*, size_t);
        static WriteFunction realWrite = Next<WriteFunction>("write");
        const std::string line = std::to_string(number) + " " + call + " " + path + "\n";
        realWrite(gTraceFd, line.data(), line.size());
    }
    if (number == gKillAt)
        raise(SIGKILL);
    if (gFailed || gFailCall[0] == '\0' || std::strcmp(gFailCall, call) != 0 ||
        path.find(gFailText) == std::string::npos)
        return false;
    if (gFailSkip-- > 0)
        return false;
    gFailed = true;
    errno = gFailErrno;
    return true;
}

bool StepAt(const char* call, int folderFd, const char* path)
{
    if (path != nullptr && path[0] != '/' && folderFd != AT_FDCWD)
        return Step(call, FdPath(folderFd) + "/" + path);
    return Step(call, path != nullptr ? path : "");
}

// The file that holds the mapped address, from the process's map of its mappings.
std::string MappedFile(const void* address)
{
    FILE* maps = std::fopen("/proc/self/maps", "r");
    if (maps == nullptr)
        return std::string();
    std::string found;
    char line[4096];
    const unsigned long wanted = reinterpret_cast<unsigned long>(address);
    while (std::fgets(line, sizeof(line), maps) != nullptr) {
        unsigned long from = 0;
        unsigned long to = 0;
        int offset = 0;
        if (std::sscanf(line, "%lx-%lx %*s %*s %*s %*s %n", &from, &to, &offset) < 2 || wanted < from || wanted >= to)
            continue;
        found = line + offset;
        while (!found.empty() && (found.back() == '\n' || found.back() == ' '))
            found.pop_back();
        break;
    }
    std::fclose(maps);
    return found;
}

// The folder of the run journals, once one was synced.
std::string gJournalFolder;

// After a sync of a run journal: what it holds now is what a power cut would leave of it.
void KeepDurable(const std::string& path)
{
    if (!gDurable || getpid() != gOwner)
        return;
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const bool journal = name.size() > 8 && name.compare(name.size() - 8, 8, ".journal") == 0;
    if (!journal && name.compare(0, 5, ".run-") != 0)
        return;
    gJournalFolder = path.substr(0, path.find_last_of('/'));
    using OpenFunction = int (*)(const char*, int, ...);
    using WriteFunction = ssize_t (*)(int, const void*, size_t);
    using RenameFunction = int (*)(const char*, const char*);
    static OpenFunction realOpen = Next<OpenFunction>("open");
    static WriteFunction realWrite = Next<WriteFunction>("write");
    static RenameFunction realRename = Next<RenameFunction>("rename");
    const int source = realOpen(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info;
    if (source < 0 || fstat(source, &info) != 0) {
        if (source >= 0)
            close(source);
        return;
    }
    const std::string folder = path.substr(0, path.find_last_of('/'));
    const std::string copy = folder + "/.durable-" + std::to_string(info.st_ino);
    const std::string partial = copy + ".part";
    const int target = realOpen(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    char block[65536];
    ssize_t count;
    while (target >= 0 && (count = read(source, block, sizeof(block))) > 0)
        realWrite(target, block, static_cast<size_t>(count));
    close(source);
    if (target >= 0) {
        close(target);
        realRename(partial.c_str(), copy.c_str());
    }
}

bool IsRegularFile(int fd)
{
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

bool Changes(int flags)
{
    return (flags & (O_CREAT | O_TRUNC)) != 0;
}

mode_t ModeArgument(int flags, va_list arguments)
{
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(arguments, int)) : 0;
}

}  // namespace

extern "C" {

#define TOLK_NEXT(name, type) static auto real = Next<type>(name)

int open(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    TOLK_NEXT("open", int (*)(const char*, int, ...));
    if (Changes(flags) && Step("open", path))
        return -1;
    return real(path, flags, mode);
}

int open64(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    TOLK_NEXT("open64", int (*)(const char*, int, ...));
    if (Changes(flags) && Step("open", path))
        return -1;
    return real(path, flags, mode);
}

int openat(int folder, const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    TOLK_NEXT("openat", int (*)(int, const char*, int, ...));
    if (Changes(flags) && StepAt("openat", folder, path))
        return -1;
    return real(folder, path, flags, mode);
}

int openat64(int folder, const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = ModeArgument(flags, arguments);
    va_end(arguments);
    TOLK_NEXT("openat64", int (*)(int, const char*, int, ...));
    if (Changes(flags) && StepAt("openat", folder, path))
        return -1;
    return real(folder, path, flags, mode);
}

int creat(const char* path, mode_t mode)
{
    TOLK_NEXT("creat", int (*)(const char*, mode_t));
    if (Step("creat", path))
        return -1;
    return real(path, mode);
}

ssize_t write(int fd, const void* bytes, size_t size)
{
    TOLK_NEXT("write", ssize_t (*)(int, const void*, size_t));
    if (IsRegularFile(fd) && Step("write", FdPath(fd)))
        return -1;
    return real(fd, bytes, size);
}

ssize_t pwrite(int fd, const void* bytes, size_t size, off_t offset)
{
    TOLK_NEXT("pwrite", ssize_t (*)(int, const void*, size_t, off_t));
    if (Step("pwrite", FdPath(fd)))
        return -1;
    return real(fd, bytes, size, offset);
}

ssize_t pwrite64(int fd, const void* bytes, size_t size, off64_t offset)
{
    TOLK_NEXT("pwrite64", ssize_t (*)(int, const void*, size_t, off64_t));
    if (Step("pwrite", FdPath(fd)))
        return -1;
    return real(fd, bytes, size, offset);
}

ssize_t writev(int fd, const struct iovec* vector, int count)
{
    TOLK_NEXT("writev", ssize_t (*)(int, const struct iovec*, int));
    if (IsRegularFile(fd) && Step("writev", FdPath(fd)))
        return -1;
    return real(fd, vector, count);
}

int rename(const char* from, const char* to)
{
    TOLK_NEXT("rename", int (*)(const char*, const char*));
    if (Step("rename", from))
        return -1;
    return real(from, to);
}

int renameat(int fromFolder, const char* from, int toFolder, const char* to)
{
    TOLK_NEXT("renameat", int (*)(int, const char*, int, const char*));
    if (StepAt("renameat", fromFolder, from))
        return -1;
    return real(fromFolder, from, toFolder, to);
}

int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags)
{
    TOLK_NEXT("renameat2", int (*)(int, const char*, int, const char*, unsigned));
    if (StepAt("renameat2", fromFolder, from))
        return -1;
    return real(fromFolder, from, toFolder, to, flags);
}

int unlink(const char* path)
{
    TOLK_NEXT("unlink", int (*)(const char*));
    if (Step("unlink", path))
        return -1;
    return real(path);
}

int unlinkat(int folder, const char* path, int flags)
{
    TOLK_NEXT("unlinkat", int (*)(int, const char*, int));
    if (StepAt("unlinkat", folder, path))
        return -1;
    return real(folder, path, flags);
}

int mkdir(const char* path, mode_t mode)
{
    TOLK_NEXT("mkdir", int (*)(const char*, mode_t));
    if (Step("mkdir", path))
        return -1;
    return real(path, mode);
}

int mkdirat(int folder, const char* path, mode_t mode)
{
    TOLK_NEXT("mkdirat", int (*)(int, const char*, mode_t));
    if (StepAt("mkdirat", folder, path))
        return -1;
    return real(folder, path, mode);
}

char* mkdtemp(char* pattern)
{
    TOLK_NEXT("mkdtemp", char* (*)(char*));
    if (Step("mkdtemp", pattern))
        return nullptr;
    return real(pattern);
}

int mkstemp(char* pattern)
{
    TOLK_NEXT("mkstemp", int (*)(char*));
    if (Step("mkstemp", pattern))
        return -1;
    return real(pattern);
}

int mkostemp(char* pattern, int flags)
{
    TOLK_NEXT("mkostemp", int (*)(char*, int));
    if (Step("mkostemp", pattern))
        return -1;
    return real(pattern, flags);
}

int rmdir(const char* path)
{
    TOLK_NEXT("rmdir", int (*)(const char*));
    if (Step("rmdir", path))
        return -1;
    return real(path);
}

int symlink(const char* target, const char* path)
{
    TOLK_NEXT("symlink", int (*)(const char*, const char*));
    if (Step("symlink", path))
        return -1;
    return real(target, path);
}

int symlinkat(const char* target, int folder, const char* path)
{
    TOLK_NEXT("symlinkat", int (*)(const char*, int, const char*));
    if (StepAt("symlinkat", folder, path))
        return -1;
    return real(target, folder, path);
}

int link(const char* from, const char* to)
{
    TOLK_NEXT("link", int (*)(const char*, const char*));
    if (Step("link", to))
        return -1;
    return real(from, to);
}

int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags)
{
    TOLK_NEXT("linkat", int (*)(int, const char*, int, const char*, int));
    if (StepAt("linkat", toFolder, to))
        return -1;
    return real(fromFolder, from, toFolder, to, flags);
}

int chmod(const char* path, mode_t mode)
{
    TOLK_NEXT("chmod", int (*)(const char*, mode_t));
    if (Step("chmod", path))
        return -1;
    return real(path, mode);
}

int fchmod(int fd, mode_t mode)
{
    TOLK_NEXT("fchmod", int (*)(int, mode_t));
    if (Step("fchmod", FdPath(fd)))
        return -1;
    return real(fd, mode);
}

int fchmodat(int folder, const char* path, mode_t mode, int flags)
{
    TOLK_NEXT("fchmodat", int (*)(int, const char*, mode_t, int));
    if (StepAt("fchmodat", folder, path))
        return -1;
    return real(folder, path, mode, flags);
}

int chown(const char* path, uid_t owner, gid_t group)
{
    TOLK_NEXT("chown", int (*)(const char*, uid_t, gid_t));
    if (Step("chown", path))
        return -1;
    return real(path, owner, group);
}

int lchown(const char* path, uid_t owner, gid_t group)
{
    TOLK_NEXT("lchown", int (*)(const char*, uid_t, gid_t));
    if (Step("lchown", path))
        return -1;
    return real(path, owner, group);
}

int fchown(int fd, uid_t owner, gid_t group)
{
    TOLK_NEXT("fchown", int (*)(int, uid_t, gid_t));
    if (Step("fchown", FdPath(fd)))
        return -1;
    return real(fd, owner, group);
}

int fchownat(int folder, const char* path, uid_t owner, gid_t group, int flags)
{
    TOLK_NEXT("fchownat", int (*)(int, const char*, uid_t, gid_t, int));
    if (StepAt("fchownat", folder, path))
        return -1;
    return real(folder, path, owner, group, flags);
}

int truncate(const char* path, off_t length)
{
    TOLK_NEXT("truncate", int (*)(const char*, off_t));
    if (Step("truncate", path))
        return -1;
    return real(path, length);
}

int ftruncate(int fd, off_t length)
{
    TOLK_NEXT("ftruncate", int (*)(int, off_t));
    if (Step("ftruncate", FdPath(fd)))
        return -1;
    return real(fd, length);
}

int ftruncate64(int fd, off64_t length)
{
    TOLK_NEXT("ftruncate64", int (*)(int, off64_t));
    if (Step("ftruncate", FdPath(fd)))
        return -1;
    return real(fd, length);
}

int fallocate(int fd, int mode, off_t offset, off_t length)
{
    TOLK_NEXT("fallocate", int (*)(int, int, off_t, off_t));
    if (Step("fallocate", FdPath(fd)))
        return -1;
    return real(fd, mode, offset, length);
}

int posix_fallocate(int fd, off_t offset, off_t length)
{
    TOLK_NEXT("posix_fallocate", int (*)(int, off_t, off_t));
    if (Step("posix_fallocate", FdPath(fd)))
        return -1;
    return real(fd, offset, length);
}

int fsync(int fd)
{
    TOLK_NEXT("fsync", int (*)(int));
    const std::string path = FdPath(fd);
    if (Step("fsync", path))
        return -1;
    const int result = real(fd);
    KeepDurable(path);
    return result;
}

int fdatasync(int fd)
{
    TOLK_NEXT("fdatasync", int (*)(int));
    const std::string path = FdPath(fd);
    if (Step("fdatasync", path))
        return -1;
    const int result = real(fd);
    KeepDurable(path);
    return result;
}

int syncfs(int fd)
{
    TOLK_NEXT("syncfs", int (*)(int));
    if (Step("syncfs", FdPath(fd)))
        return -1;
    const int result = real(fd);
    // A whole file system flushed: every journal in the folder is on disk as it is now.
    if (gDurable && !gJournalFolder.empty()) {
        if (DIR* folder = opendir(gJournalFolder.c_str())) {
            while (const struct dirent* entry = readdir(folder))
                KeepDurable(gJournalFolder + "/" + entry->d_name);
            closedir(folder);
        }
    }
    return result;
}

int msync(void* address, size_t length, int flags)
{
    TOLK_NEXT("msync", int (*)(void*, size_t, int));
    const std::string path = MappedFile(address);
    if (Step("msync", path))
        return -1;
    const int result = real(address, length, flags);
    if ((flags & MS_SYNC) != 0)
        KeepDurable(path);
    return result;
}

ssize_t copy_file_range(int from, loff_t* fromOffset, int to, loff_t* toOffset, size_t length, unsigned flags)
{
    TOLK_NEXT("copy_file_range", ssize_t (*)(int, loff_t*, int, loff_t*, size_t, unsigned));
    if (Step("copy_file_range", FdPath(to)))
        return -1;
    return real(from, fromOffset, to, toOffset, length, flags);
}

int setxattr(const char* path, const char* name, const void* value, size_t size, int flags)
{
    TOLK_NEXT("setxattr", int (*)(const char*, const char*, const void*, size_t, int));
    if (Step("setxattr", path))
        return -1;
    return real(path, name, value, size, flags);
}

int lsetxattr(const char* path, const char* name, const void* value, size_t size, int flags)
{
    TOLK_NEXT("lsetxattr", int (*)(const char*, const char*, const void*, size_t, int));
    if (Step("lsetxattr", path))
        return -1;
    return real(path, name, value, size, flags);
}

int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags)
{
    TOLK_NEXT("fsetxattr", int (*)(int, const char*, const void*, size_t, int));
    if (Step("fsetxattr", FdPath(fd)))
        return -1;
    return real(fd, name, value, size, flags);
}

int removexattr(const char* path, const char* name)
{
    TOLK_NEXT("removexattr", int (*)(const char*, const char*));
    if (Step("removexattr", path))
        return -1;
    return real(path, name);
}

int lremovexattr(const char* path, const char* name)
{
    TOLK_NEXT("lremovexattr", int (*)(const char*, const char*));
    if (Step("lremovexattr", path))
        return -1;
    return real(path, name);
}

int fremovexattr(int fd, const char* name)
{
    TOLK_NEXT("fremovexattr", int (*)(int, const char*));
    if (Step("fremovexattr", FdPath(fd)))
        return -1;
    return real(fd, name);
}

int utimensat(int folder, const char* path, const struct timespec times[2], int flags)
{
    TOLK_NEXT("utimensat", int (*)(int, const char*, const struct timespec*, int));
    if (StepAt("utimensat", folder, path))
        return -1;
    return real(folder, path, times, flags);
}

int futimens(int fd, const struct timespec times[2])
{
    TOLK_NEXT("futimens", int (*)(int, const struct timespec*));
    if (Step("futimens", FdPath(fd)))
        return -1;
    return real(fd, times);
}

}  // extern "C"
