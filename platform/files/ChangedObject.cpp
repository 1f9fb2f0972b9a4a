#include "platform/files/ChangedObject.h"

#include "platform/files/TrustedPath.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace platform {

ChangedObject::~ChangedObject()
{
    Close();
}

void ChangedObject::Close()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

int ChangedObject::Open(const std::string& path)
{
    Close();
    const int fd = OpenForChange(path, false);
    if (fd < 0)
        return errno;
    if (fstat(fd, &status_) != 0) {
        const int error = errno;
        close(fd);
        return error;
    }
    if (S_ISLNK(status_.st_mode)) {
        close(fd);
        return ELOOP;
    }
    fd_ = fd;
    return 0;
}

int ChangedObject::OpenChanged(const std::string& path, dev_t device, ino_t inode, const std::string& value)
{
    if (const int error = Open(path))
        return error;
    if (status_.st_dev == device && status_.st_ino == inode)
        return 0;
    ReportRefusal("Refused to give back " + value + " of \"" + path + "\": it leads now to " + DescribeObject(status_) +
                  ", not to what that was read from");
    Close();
    return EPERM;
}

int ChangedObject::ChangeMode(mode_t mode)
{
    return fd_ < 0 ? EBADF : ChangeModeOf(fd_, mode & 07777);
}

int ChangedObject::ChangeOwner(uid_t owner, gid_t group, mode_t& mode, bool& modeKept)
{
    modeKept = true;
    struct stat before;
    if (fd_ < 0 || fstat(fd_, &before) != 0)
        return fd_ < 0 ? EBADF : errno;
    mode = before.st_mode & 07777;
    if (const int error = ChangeOwnerOf(fd_, owner, group))
        return error;
    struct stat after;
    if (fstat(fd_, &after) != 0 || (after.st_mode & 07777) != mode)
        modeKept = ChangeModeOf(fd_, mode) == 0;
    return 0;
}

int GiveBackMode(const std::string& path, dev_t device, ino_t inode, mode_t mode)
{
    char value[32];
    std::snprintf(value, sizeof(value), "the mode %04o", static_cast<unsigned>(mode & 07777));
    ChangedObject object;
    const int error = object.OpenChanged(path, device, inode, value);
    return error != 0 ? error : object.ChangeMode(mode);
}

int GiveBackOwner(const std::string& path, dev_t device, ino_t inode, uid_t owner, gid_t group, mode_t& mode,
                  bool& modeKept)
{
    modeKept = true;
    ChangedObject object;
    const int error = object.OpenChanged(path, device, inode,
                                         "the owner " + std::to_string(owner) + " and group " + std::to_string(group));
    return error != 0 ? error : object.ChangeOwner(owner, group, mode, modeKept);
}

}  // namespace platform
