// ChangedObject: a file or folder whose mode or owner a run changes and may have to give back,
// where other users can write. It is reached by the trusted walk (TrustedPath) without following a
// link at its last name, opened and judged there, and then read and changed through that one
// descriptor: the value kept to give back and the change belong to the object judged, whatever is
// put at its path meanwhile. A value is given back only to the object it was read from (the same
// device and inode), found at its path again the same way; nothing is held open in between, as a
// run changes the modes of thousands of files. A folder that a run removes is the same kind of
// object: its mode and owner are read from the folder that is removed, and they are given back
// only to a folder made again in the folder that held it, through the descriptor of the folder
// made.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <memory>
#include <string>

namespace platform {

class TrustedPath;

class ChangedObject {
public:
    ChangedObject();
    ~ChangedObject();
    ChangedObject(const ChangedObject&) = delete;
    ChangedObject& operator=(const ChangedObject&) = delete;

    // Walks to the object at the path and opens it: 0; ELOOP for a symbolic link there, whose own
    // mode and owner are not changed; EPERM, the refusal reported, where the walk or the object is
    // refused; else the errno value met.
    int Open(const std::string& path);
    // The same, for giving back a value (a text such as "the mode 0644") read from the object of
    // the device and inode: EPERM, the refusal reported, where another object is found there.
    int OpenChanged(const std::string& path, dev_t device, ino_t inode, const std::string& value);

    // For removing the folder at the path: walks to it as a name to remove (the folders on the way
    // judged, not what is at the name) and opens what is there, its folder held open: 0; ELOOP for
    // a symbolic link there; EPERM, the refusal reported, where the walk is refused; else the errno
    // value met. What is opened may be no folder; RemoveFolder tells.
    int OpenToRemove(const std::string& path);
    // Removes the folder opened by OpenToRemove, which must be empty, from the folder held open:
    // 0 when the folder removed is the one opened, whose Status() then tells what was removed;
    // EPERM, the refusal reported, where another object that was put at its name meanwhile was
    // removed instead; else the errno value of the removal (ENOTDIR, ENOTEMPTY).
    int RemoveFolder();
    // For giving back the mode, owner and group read from a folder removed from the folder of the
    // device and inode (0 and 0: from an unknown folder, any will do): walks to the path as a name
    // to make, makes a folder there that only this process's user can enter, and opens it, for
    // ChangeOwner and ChangeMode to give it the value. 0; EEXIST when anything is at the path;
    // EPERM, the refusal reported, where the walk is refused, where the path leads now into
    // another folder, or where another object stands at the name once the folder is made; else
    // the errno value met.
    int MakeFolder(const std::string& path, dev_t device, ino_t inode, mode_t mode, uid_t owner, gid_t group);

    // The object's status when it was opened.
    const struct stat& Status() const { return status_; }
    // The status of the folder that holds it (after OpenToRemove or MakeFolder).
    const struct stat& FolderStatus() const { return folderStatus_; }

    // Give the object opened the mode (its twelve low bits), or the owner and group: 0 or the
    // errno value. Linux clears the set-user-id and set-group-id bits of a file whose owner
    // changes, even for root (Mac OS X keeps them when root changes the owner): ChangeOwner puts
    // the mode (receiving it) back, so that neither a change nor its giving back alters it;
    // modeKept is false where that failed, which is no failure of the change.
    int ChangeMode(mode_t mode);
    int ChangeOwner(uid_t owner, gid_t group, mode_t& mode, bool& modeKept);

private:
    void Close();
    // Keeps the descriptor opened, with its status: 0; else it is closed, and the errno value
    // (ELOOP for a symbolic link, whose status is then Status()).
    int Take(int fd);
    // Walks to the folder of the path's last name, held open in place_: 0 or the errno value
    // (EPERM, the refusal reported).
    int WalkToName(const std::string& path);

    int fd_ = -1;
    struct stat status_ = {};
    std::unique_ptr<TrustedPath> place_;
    std::string path_;
    struct stat folderStatus_ = {};
};

// Give back the mode, or the owner and group (the mode kept as ChangeOwner keeps it), read before
// from the object of the device and inode to that object at the path (OpenChanged): 0, or the
// errno value (EPERM, the refusal reported, where another object is there now).
int GiveBackMode(const std::string& path, dev_t device, ino_t inode, mode_t mode);
int GiveBackOwner(const std::string& path, dev_t device, ino_t inode, uid_t owner, gid_t group, mode_t& mode,
                  bool& modeKept);
// Makes a folder removed from the folder of the device and inode again at the path, with the mode,
// owner and group read from it (MakeFolder, then the owner and the mode given through its
// descriptor): 0 or the errno value (EPERM, the refusal reported, as MakeFolder refuses).
int MakeFolderAgain(const std::string& path, dev_t device, ino_t inode, mode_t mode, uid_t owner, gid_t group);

}  // namespace platform
