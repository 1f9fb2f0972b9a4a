// The platform settings of the system root: the volumes that the root declares, with the
// answers they give in place of what Linux would say. A file of the form
//   <dict><key>volumes</key><array>
//     <dict><key>mount-point</key><string>/</string>          (under the root; "/" is the root)
//           <key>mounted-from</key><string>/dev/disk0s2</string>  (under the root when absolute)
//           <key>type</key><string>hfs</string>  <key>name</key><string>Macintosh HD</string>
//           <key>writable</key>, <key>case-sensitive</key>, <key>removable</key>: booleans
//           <key>capacity</key>, <key>free</key>: integers (bytes)
//     </dict></array></dict>
// Every key but mount-point is optional. A volume counts as local when it is mounted from an
// existing device path, so a declared local volume names a file under the root as its device.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

struct DeclaredVolume {
    std::string mountPoint;   // resolved under the root, symbolic links resolved
    std::string mountedFrom;  // resolved under the root when absolute; empty when not given
    std::string typeName;     // empty when not given
    std::string name;         // empty when not given
    int writable = -1;        // -1 not given, else 0 or 1
    int caseSensitive = -1;
    int removable = -1;
    bool hasCapacity = false;
    std::uint64_t capacity = 0;
    bool hasFree = false;
    std::uint64_t freeBytes = 0;
};

// The volumes declared by the current system root's settings (none when there is no file or it
// cannot be read). Entries whose mount point does not exist are left out.
std::vector<DeclaredVolume> DeclaredVolumes();

typedef std::shared_ptr<const std::vector<DeclaredVolume> > DeclaredVolumeList;
// The same without a copy: the list stays the same object for as long as the settings and the
// declared mount points stay as they were, so a caller may keep what it derived from it.
DeclaredVolumeList SharedDeclaredVolumes();

// While one is alive, the declared volumes are read once and then taken as they were (no look
// at the settings file or the mount points on each query): what a run of file operations holds
// while it works, as nothing it does changes them.
class DeclaredVolumesHold {
public:
    DeclaredVolumesHold();
    ~DeclaredVolumesHold();
    DeclaredVolumesHold(const DeclaredVolumesHold&) = delete;
    DeclaredVolumesHold& operator=(const DeclaredVolumesHold&) = delete;
};

}  // namespace platform
