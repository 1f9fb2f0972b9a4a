#include "platform/files/Rename.h"

#include "platform/FaultInjection.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

namespace {

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif
#ifndef RENAME_EXCHANGE
#define RENAME_EXCHANGE (1 << 1)
#endif

int Renameat2(const std::string& from, const std::string& to, unsigned int flags)
{
    const long result = syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), flags);
    return result == 0 ? 0 : errno;
}

}  // namespace

int RenameNoReplace(const std::string& from, const std::string& to)
{
    if (const int injected = InjectedFault("rename", from))
        return injected;
    const int error = Renameat2(from, to, RENAME_NOREPLACE);
    if (error != EINVAL && error != ENOSYS)
        return error;

    struct stat info;
    if (lstat(from.c_str(), &info) != 0)
        return errno;
    if (S_ISREG(info.st_mode)) {
        // link(2) refuses an existing target as the exclusive rename would.
        if (link(from.c_str(), to.c_str()) == 0) {
            if (unlink(from.c_str()) == 0)
                return 0;
            const int unlinkError = errno;
            unlink(to.c_str());
            return unlinkError;
        }
        if (errno == EEXIST || errno == ENOENT || errno == EXDEV || errno == EACCES || errno == ENAMETOOLONG ||
            errno == ENOTDIR || errno == EROFS || errno == ENOSPC)
            return errno;
    }
    if (lstat(to.c_str(), &info) == 0)
        return EEXIST;
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int RenameNoReplaceInto(const std::string& from, int folderFd, const std::string& folder, const std::string& name)
{
    return RenameNoReplaceInto(AT_FDCWD, from, from, folderFd, folder, name);
}

int RenameNoReplaceInto(int fromFolderFd, const std::string& fromName, const std::string& from, int folderFd,
                        const std::string& folder, const std::string& name)
{
    if (const int injected = InjectedFault("rename", from))
        return injected;
    const long result =
        syscall(SYS_renameat2, fromFolderFd, fromName.c_str(), folderFd, name.c_str(), RENAME_NOREPLACE);
    const int error = result == 0 ? 0 : errno;
    if (error != EINVAL && error != ENOSYS)
        return error;
    return RenameNoReplace(from, folder == "/" ? "/" + name : folder + "/" + name);
}

int ExchangePaths(const std::string& first, const std::string& second)
{
    if (const int injected = InjectedFault("exchange", first))
        return injected;
    return Renameat2(first, second, RENAME_EXCHANGE);
}

}  // namespace platform
