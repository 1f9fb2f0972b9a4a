// What the stand-in disk-image tool remembers of the images it attached under one system root:
// a record per image in "<root>/.tolk/hdiutil", the device entries that stand for it as files in
// "<root>/dev", how the image is shown (a view mounted over the mount point, or a copy laid out
// in it) and the list of what a copy laid out, so that the eject removes just that.
#pragma once

#include <string>
#include <vector>

namespace tools {

struct Attachment {
    std::string recordPath;
    std::string image;
    std::string mountPoint;  // with links resolved
    std::string requestedMountPoint;
    std::string disk;  // "disk3"
    bool readOnly = false;
    bool view = false;    // the image folder itself is mounted at the mount point
    bool sealed = false;  // a laid-out copy with a read-only mount of the mount point over it
    std::vector<std::string> entries;  // what a copy laid out below the mount point, parents first
};

class AttachedImages {
public:
    explicit AttachedImages(const std::string& root);

    std::vector<Attachment> Load() const;
    // False when the record cannot be written; error then says why.
    bool Save(const Attachment& attachment, std::string& error) const;

    // Takes the lowest free disk number for a new attachment (disk0 is the start-up disk) and
    // makes its device entries; sets the attachment's disk and record path.
    bool TakeDisk(Attachment& attachment) const;
    // Removes the attachment's device entries and its record.
    void Release(const Attachment& attachment) const;

    static std::string DevicePath(const std::string& disk, bool partition);

private:
    std::string UnderRoot(const std::string& systemPath) const;

    std::string root_;
};

// Everything below a folder, parents before children; links are not followed.
std::vector<std::string> ListBelow(const std::string& folder);
// Removes the listed entries below the mount point, children first. A folder that holds
// something else by now stays, and so does what is gone already. False when an entry could not
// be removed.
bool RemoveEntries(const std::string& mountPoint, const std::vector<std::string>& entries);
// Empties a folder, read-only entries included.
void RemoveEverythingBelow(const std::string& folder);

}  // namespace tools
