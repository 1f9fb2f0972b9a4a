#include "platform/files/FileRef.h"

#include "platform/files/DiskNames.h"

#include <sys/stat.h>

#include <cerrno>

namespace platform {

int FileManagerError(int error)
{
    switch (error) {
    case 0:
        return kNoErr;
    case ENOENT:
        return kFileNotFoundErr;
    case ENOTDIR:
        return kNotAFolderErr;
    case EACCES:
    case EPERM:
        return kPermissionErr;
    case ENAMETOOLONG:
        return kPathTooLongErr;
    default:
        return kIOErr;
    }
}

int MakeFileRef(const std::string& path, FileRef& ref)
{
    if (path.empty())
        return kFileNotFoundErr;
    struct stat info;
    std::string actual = path;
    if (stat(path.c_str(), &info) != 0) {
        const int error = errno;
        const std::string resolved = error == ENOENT ? OnDiskPath(path) : path;
        if (resolved == path || stat(resolved.c_str(), &info) != 0)
            return FileManagerError(error);
        actual = resolved;
    }
    ref.device = info.st_dev;
    ref.inode = info.st_ino;
    ref.path = actual;
    return kNoErr;
}

bool SameFileRef(const FileRef& a, const FileRef& b)
{
    return a.device == b.device && a.inode == b.inode;
}

}  // namespace platform
