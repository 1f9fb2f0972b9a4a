// Mounted volumes: what statfs(2), getfsstat(2), the File Manager's volume parameters and Disk
// Arbitration's disk descriptions would answer, read from /proc/self/mountinfo, statvfs(3),
// /sys/class/block and the volumes declared by the system root's settings. The mount table is
// read again only after a mount or an unmount, and the settings only when their bytes change.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// What statfs tells of the file system that holds a path.
struct VolumeStatus {
    std::string mountPoint;   // the mounted-on folder
    std::string mountedFrom;  // the device or source it is mounted from
    std::string typeName;     // the file-system type
    std::uint64_t blockSize = 0;
    std::uint64_t totalBlocks = 0;
    std::uint64_t availableBlocks = 0;  // available to a non-privileged user
    bool readOnly = false;
};

// statfs: 0, or the errno value of the failure (ENOENT for a missing object).
int StatVolume(const std::string& path, VolumeStatus& status);

// The mounted-on folder of the volume that holds a path, as StatVolume finds it, without the
// capacity figures: 0, or the errno value of the failure (ENOENT for a missing object).
int FindVolumeMountPoint(const std::string& path, std::string& mountPoint);
// The same for an existing object that the caller has just found (lstat) not to be a symbolic
// link: it is not looked at again.
int FindVolumeMountPointOfNonLink(const std::string& path, std::string& mountPoint);
// The same for an object of a folder, given the statuses the caller has just taken of both (the
// folder's at its path): while the same folder is found at the same path and the object lies on
// its file system, the answer found last for that folder stands without a look at the mount
// table. A mount or unmount that changes the volume of the folder's objects changes the folder
// found at its path, or puts among them a mount point of another file system.
int FindVolumeMountPointInFolder(const std::string& path, const struct stat& folder, const struct stat& object,
                                 std::string& mountPoint);

// getfsstat: one entry per mounted file system, in mount order; false when the table cannot
// be read.
bool ListVolumes(std::vector<VolumeStatus>& volumes);

// The File Manager's parameters of the volume mounted at a mount point.
struct VolumeParameters {
    bool writable = true;
    bool caseSensitive = true;
    std::string displayName;
};
bool GetVolumeParameters(const std::string& mountPoint, VolumeParameters& parameters);

// Disk Arbitration's media-removable value of the disk a volume is mounted from (the
// partition, then its whole disk); false when no description carries one.
bool GetMediaRemovable(const VolumeStatus& volume, bool& removable);

// Test hooks: read the mount table from another file, and the block-device class from another
// folder, instead of /proc/self/mountinfo and /sys/class/block. An empty text restores the default.
void SetMountTableForTesting(const std::string& path);
void SetBlockClassFolderForTesting(const std::string& path);

}  // namespace platform
