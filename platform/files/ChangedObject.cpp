#include "platform/files/ChangedObject.h"

#include "platform/files/DiskNames.h"
#include "platform/files/TrustedPath.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace platform {

ChangedObject::ChangedObject() = default;

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
    return fd < 0 ? errno : Take(fd);
}

int ChangedObject::Take(int fd)
{
    const int error = fstat(fd, &status_) != 0 ? errno : S_ISLNK(status_.st_mode) ? ELOOP : 0;
    if (error != 0) {
        close(fd);
        return error;
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

int ChangedObject::WalkToName(const std::string& path)
{
    Close();
    path_ = path;
    place_.reset(new TrustedPath);
    const int error = place_->Walk(path, false);
    if (error == EPERM)
        ReportRefusal(place_->Refusal());
    if (error == 0)
        folderStatus_ = place_->FolderStatus();
    return error;
}

int ChangedObject::OpenToRemove(const std::string& path)
{
    if (const int error = WalkToName(path))
        return error;
    // Not judged as an object to write: removing a name is the business of the folders that hold it.
    const int fd = openat(place_->Folder(), place_->Name().c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    return fd < 0 ? errno : Take(fd);
}

int ChangedObject::RemoveFolder()
{
    if (fd_ < 0 || !place_)
        return EBADF;
    if (unlinkat(place_->Folder(), place_->Name().c_str(), AT_REMOVEDIR) != 0)
        return errno;
    NoteNameChange(path_, false, place_->Folder());
    // No name is left to a folder removed: one that still has a name is not what went.
    struct stat opened;
    if (fstat(fd_, &opened) == 0 && opened.st_nlink == 0)
        return 0;
    ReportRefusal("Refused to keep the mode and owner of \"" + path_ + "\", read from " + DescribeObject(status_) +
                  ", to give back: what was removed is another object, put at its name since");
    return EPERM;
}

int ChangedObject::MakeFolder(const std::string& path, dev_t device, ino_t inode, mode_t mode, uid_t owner, gid_t group)
{
    if (const int error = WalkToName(path))
        return error == EINVAL ? EEXIST : error;
    char value[96];
    std::snprintf(value, sizeof(value), "the mode %04o and the owner %u and group %u",
                  static_cast<unsigned>(mode & 07777), static_cast<unsigned>(owner), static_cast<unsigned>(group));
    if (inode != 0 && (folderStatus_.st_dev != device || folderStatus_.st_ino != inode)) {
        ReportRefusal("Refused to give back " + std::string(value) + " of \"" + path + "\": it leads now into \"" +
                      place_->FolderPath() + "\", " + DescribeObject(folderStatus_) +
                      ", not into the folder that held what that was read from");
        return EPERM;
    }
    // Nobody else may enter it before it has its owner and mode.
    if (mkdirat(place_->Folder(), place_->Name().c_str(), 0700) != 0)
        return errno;
    NoteNameChange(path, true, place_->Folder());
    const int fd = openat(place_->Folder(), place_->Name().c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    const int error = fd < 0 ? errno : Take(fd);
    if (error != 0 && error != ELOOP)
        return error;
    // Another user who can write the folder may have put his own there meanwhile; the folder just
    // made is this process's user's.
    if (error == ELOOP || !S_ISDIR(status_.st_mode) || status_.st_uid != geteuid()) {
        ReportRefusal("Refused to give back " + std::string(value) + " of \"" + path + "\": it leads now to " +
                      DescribeObject(status_) + ", not to the folder made for it");
        Close();
        return EPERM;
    }
    return 0;
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

int MakeFolderAgain(const std::string& path, dev_t device, ino_t inode, mode_t mode, uid_t owner, gid_t group)
{
    ChangedObject folder;
    mode_t kept = 0;
    bool modeKept = true;
    int error = folder.MakeFolder(path, device, inode, mode, owner, group);
    if (error == 0)
        error = folder.ChangeOwner(owner, group, kept, modeKept);
    return error != 0 ? error : folder.ChangeMode(mode);
}

}  // namespace platform
