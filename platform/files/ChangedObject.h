// ChangedObject: a file or folder whose mode or owner a run changes and may have to give back,
// where other users can write. It is reached by the trusted walk (TrustedPath) without following a
// link at its last name, opened and judged there, and then read and changed through that one
// descriptor: the value kept to give back and the change belong to the object judged, whatever is
// put at its path meanwhile. A value is given back only to the object it was read from (the same
// device and inode), found at its path again the same way; nothing is held open in between, as a
// run changes the modes of thousands of files.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace platform {

class ChangedObject {
public:
    ChangedObject() = default;
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

    // The object's status when it was opened.
    const struct stat& Status() const { return status_; }

    // Give the object opened the mode (its twelve low bits), or the owner and group: 0 or the
    // errno value. Linux clears the set-user-id and set-group-id bits of a file whose owner
    // changes, even for root (Mac OS X keeps them when root changes the owner): ChangeOwner puts
    // the mode (receiving it) back, so that neither a change nor its giving back alters it;
    // modeKept is false where that failed, which is no failure of the change.
    int ChangeMode(mode_t mode);
    int ChangeOwner(uid_t owner, gid_t group, mode_t& mode, bool& modeKept);

private:
    void Close();

    int fd_ = -1;
    struct stat status_ = {};
};

// Give back the mode, or the owner and group (the mode kept as ChangeOwner keeps it), read before
// from the object of the device and inode to that object at the path (OpenChanged): 0, or the
// errno value (EPERM, the refusal reported, where another object is there now).
int GiveBackMode(const std::string& path, dev_t device, ino_t inode, mode_t mode);
int GiveBackOwner(const std::string& path, dev_t device, ino_t inode, uid_t owner, gid_t group, mode_t& mode,
                  bool& modeKept);

}  // namespace platform
