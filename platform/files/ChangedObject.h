// ChangedObject: a file or folder whose mode or owner a run changes and may have to give back,
// where other users can write. It is reached by the trusted walk (TrustedPath) without following a
// link at its last name, opened and judged there, and then read and changed through that one
// descriptor: the value kept to give back and the change belong to the object judged, whatever is
// put at its path meanwhile. A value is given back only to the object it was read from: found
// again by the file system's handle of it where the file system gives one (whatever its path leads
// to by then, and never a new object that took its inode), else at its path again the same way,
// where the same device and inode must be found; nothing is held open in between, as a run changes
// the modes of thousands of files. A folder that a run removes is the same kind of object: its
// mode and owner are read from the folder that is removed, and they are given back only to a
// folder made again in the folder that held it, through the descriptor of the folder made.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class TrustedPath;

// An object as the file system finds it again: its device and inode, and as text its handle and
// the time it was made where the file system gives them (empty where neither is known, as in a
// journal of an earlier Setup; 0 and 0: nothing is known of it). Found by its path, an object is
// the same only where its birth time is the same too, so that one that took its inode is not.
struct ObjectIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::string handle;
};

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
    // The same, for giving back a value (a text such as "the mode 0644") read from the object:
    // EPERM, the refusal reported, where the object is gone, or where another object is found at
    // the path (when it is looked for there).
    int OpenChanged(const std::string& path, const ObjectIdentity& object, const std::string& value);

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
    // For giving back the mode, owner and group read from a folder removed from the folder held
    // (nothing known of it: wherever the path leads): makes a folder of the path's last name in
    // that folder, which only this process's user can enter, and opens it, for ChangeOwner and
    // ChangeMode to give it the value. 0; EEXIST when anything is at the name; EPERM, the refusal
    // reported, where the walk is refused, where the folder that held it is gone or the path leads
    // now into another folder (when it is looked for there), or where another object stands at the
    // name once the folder is made; else the errno value met.
    int MakeFolder(const std::string& path, const ObjectIdentity& holder, mode_t mode, uid_t owner, gid_t group);

    // The object's status when it was opened, and how it is found again (after Open).
    const struct stat& Status() const { return status_; }
    const ObjectIdentity& Identity() const { return identity_; }
    // The folder that holds it, and how that is found again (after OpenToRemove or MakeFolder).
    const struct stat& FolderStatus() const { return folderStatus_; }
    const ObjectIdentity& FolderIdentity() const { return folderIdentity_; }

    // Give the object opened the mode (its twelve low bits): 0 or the errno value.
    int ChangeMode(mode_t mode);
    // Give it the owner and group, then the mode: Linux clears the set-user-id and set-group-id
    // bits of a file whose owner changes, even for root, where Mac OS X keeps them when root
    // changes the owner. modeKept is false where the mode could not be given, which is no failure
    // of the change.
    int ChangeOwner(uid_t owner, gid_t group, mode_t mode, bool& modeKept);
    // The mode that the object opened keeps across a change of its owner: its own, but a file's
    // set-id bits only where it was root's: what another user's file holds is that user's to have
    // written, and must not become a set-id program of another owner.
    mode_t ModeKeptAcrossOwnerChange() const;

private:
    void Close();
    // Keeps the descriptor opened, with its status: 0; else it is closed, and the errno value
    // (ELOOP for a symbolic link, whose status is then Status()).
    int Take(int fd);
    // Walks to the folder of the path's last name, held open in place_: 0 or the errno value
    // (EPERM, the refusal reported).
    int WalkToName(const std::string& path);
    // Opens the object by its handle: 0; EPERM, the refusal reported, where it is gone; ENOTSUP
    // where it can only be looked for at its path (no handle, or none that can be used here).
    int OpenByHandle(const ObjectIdentity& object, const std::string& path, const std::string& value);

    int fd_ = -1;
    struct stat status_ = {};
    ObjectIdentity identity_;
    std::unique_ptr<TrustedPath> place_;
    int heldFolder_ = -1;  // the folder found by its handle, where MakeFolder makes the folder
    std::string path_;
    struct stat folderStatus_ = {};
    ObjectIdentity folderIdentity_;
};

// Give back the mode read before from the object, to that object (OpenChanged): 0, or the errno
// value (EPERM, the refusal reported, where it is gone or another object is there now). The
// set-id bits of a file are not given back where its mode lets others write it now, who could
// have written it meanwhile (setIdKept false then).
int GiveBackMode(const std::string& path, const ObjectIdentity& object, mode_t mode, bool& setIdKept);
// Give back the owner and group, and the mode, read from the object before its owner changed.
// The set-id bits of a file are not given back where it belongs now to a user other than root and
// the owner given back, or where its mode lets others write it (setIdKept false then).
int GiveBackOwner(const std::string& path, const ObjectIdentity& object, uid_t owner, gid_t group, mode_t mode,
                  bool& setIdKept, bool& modeKept);
// Makes a folder removed from the folder that held it again, with the mode, owner and group read
// from it (MakeFolder, then the owner and the mode given through its descriptor): 0 or the errno
// value (EPERM, the refusal reported, as MakeFolder refuses).
int MakeFolderAgain(const std::string& path, const ObjectIdentity& holder, mode_t mode, uid_t owner, gid_t group);

}  // namespace platform
