#include "platform/Volumes.h"

#include "platform/Files.h"
#include "platform/PlatformSettings.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <sstream>

namespace platform {

namespace {

std::mutex gHookMutex;  // guards gMountTablePath, gBlockClassFolder
std::string gMountTablePath;
std::string gBlockClassFolder;

std::string MountTablePath()
{
    std::lock_guard<std::mutex> lock(gHookMutex);
    return gMountTablePath.empty() ? "/proc/self/mountinfo" : gMountTablePath;
}

std::string BlockClassFolder()
{
    std::lock_guard<std::mutex> lock(gHookMutex);
    return gBlockClassFolder.empty() ? "/sys/class/block" : gBlockClassFolder;
}

struct MountEntry {
    std::string mountPoint;
    std::string source;
    std::string type;
    bool declared = false;
    DeclaredVolume declaration;
};

bool IsOctal(const std::string& field, std::size_t start)
{
    if (start + 3 > field.size())
        return false;
    for (std::size_t i = start; i < start + 3; ++i) {
        if (field[i] < '0' || field[i] > '7')
            return false;
    }
    return true;
}

// mountinfo escapes blanks, tabs, newlines and backslashes as three octal digits.
std::string Unescape(const std::string& field)
{
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && IsOctal(field, i + 1)) {
            out += static_cast<char>(std::strtol(field.substr(i + 1, 3).c_str(), nullptr, 8));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

bool ReadMountTable(std::vector<MountEntry>& entries)
{
    std::string text;
    if (!ReadWholeFile(MountTablePath(), text)) {
        // /proc files report a size of 0, which ReadWholeFile handles; a missing table does not.
        return false;
    }
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional...] - type source super-options
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint, options;
        if (!(fields >> id >> parent >> device >> root >> mountPoint >> options))
            continue;
        std::string field;
        while (fields >> field && field != "-") {
        }
        MountEntry entry;
        if (!(fields >> entry.type >> entry.source))
            continue;
        entry.mountPoint = Unescape(mountPoint);
        entry.source = Unescape(entry.source);
        entries.push_back(entry);
    }
    for (const DeclaredVolume& volume : DeclaredVolumes()) {
        MountEntry entry;
        entry.mountPoint = volume.mountPoint;
        entry.source = volume.mountedFrom;
        entry.type = volume.typeName;
        entry.declared = true;
        entry.declaration = volume;
        entries.push_back(entry);
    }
    return true;
}

bool IsUnder(const std::string& path, const std::string& mountPoint)
{
    if (mountPoint == "/")
        return true;
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// The entry that holds a resolved path: the longest mount point above it; among equal ones the
// latest, which shadows the earlier mounts.
const MountEntry* FindEntry(const std::vector<MountEntry>& entries, const std::string& resolvedPath)
{
    const MountEntry* best = nullptr;
    for (const MountEntry& entry : entries) {
        if (IsUnder(resolvedPath, entry.mountPoint) && (best == nullptr || entry.mountPoint.size() >= best->mountPoint.size()))
            best = &entry;
    }
    return best;
}

bool CaseSensitiveByType(const std::string& type)
{
    static const char* const kInsensitive[] = {"vfat", "msdos", "exfat", "ntfs", "ntfs3", "hfsplus", "hfs",
                                               "cifs", "smb3", "smbfs", "iso9660", "udf"};
    for (const char* name : kInsensitive) {
        if (type == name)
            return false;
    }
    return true;
}

void FillStatus(const MountEntry& entry, const struct statvfs& info, VolumeStatus& status)
{
    status.mountPoint = entry.mountPoint;
    status.mountedFrom = entry.source;
    status.typeName = entry.type;
    status.blockSize = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
    status.totalBlocks = info.f_blocks;
    status.availableBlocks = info.f_bavail;
    status.readOnly = (info.f_flag & ST_RDONLY) != 0;
    if (entry.declared) {
        if (entry.declaration.hasCapacity || entry.declaration.hasFree) {
            const std::uint64_t capacity = status.blockSize * status.totalBlocks;
            const std::uint64_t available = status.blockSize * status.availableBlocks;
            status.blockSize = 1;
            status.totalBlocks = entry.declaration.hasCapacity ? entry.declaration.capacity : capacity;
            status.availableBlocks = entry.declaration.hasFree ? entry.declaration.freeBytes : available;
        }
        if (entry.declaration.writable >= 0)
            status.readOnly = entry.declaration.writable == 0;
    }
}

bool ReadFlag(const std::string& path, bool& value)
{
    std::string text;
    if (!ReadWholeFile(path, text) || text.empty() || (text[0] != '0' && text[0] != '1'))
        return false;
    value = text[0] == '1';
    return true;
}

}  // namespace

int StatVolume(const std::string& path, VolumeStatus& status)
{
    struct statvfs info;
    if (statvfs(path.c_str(), &info) != 0)
        return errno;
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr)
        return errno;
    std::vector<MountEntry> entries;
    if (!ReadMountTable(entries))
        return EIO;
    const MountEntry* entry = FindEntry(entries, resolved);
    if (entry == nullptr)
        return ENOENT;
    if (entry->mountPoint != resolved && statvfs(entry->mountPoint.c_str(), &info) != 0)
        return errno;
    FillStatus(*entry, info, status);
    return 0;
}

bool ListVolumes(std::vector<VolumeStatus>& volumes)
{
    std::vector<MountEntry> entries;
    if (!ReadMountTable(entries))
        return false;
    for (const MountEntry& entry : entries) {
        struct statvfs info;
        if (statvfs(entry.mountPoint.c_str(), &info) != 0)
            continue;
        VolumeStatus status;
        FillStatus(entry, info, status);
        volumes.push_back(status);
    }
    return true;
}

bool GetVolumeParameters(const std::string& mountPoint, VolumeParameters& parameters)
{
    VolumeStatus status;
    if (StatVolume(mountPoint, status) != 0)
        return false;
    std::vector<MountEntry> entries;
    if (!ReadMountTable(entries))
        return false;
    const MountEntry* entry = FindEntry(entries, status.mountPoint);
    VolumeParameters answer;
    answer.writable = !status.readOnly;
    answer.caseSensitive = CaseSensitiveByType(status.typeName);
    const std::string::size_type slash = status.mountPoint.find_last_of('/');
    answer.displayName = status.mountPoint == "/" ? "/" : status.mountPoint.substr(slash + 1);
    if (entry != nullptr && entry->declared) {
        if (entry->declaration.caseSensitive >= 0)
            answer.caseSensitive = entry->declaration.caseSensitive == 1;
        if (!entry->declaration.name.empty())
            answer.displayName = entry->declaration.name;
    }
    parameters = answer;
    return true;
}

bool GetMediaRemovable(const VolumeStatus& volume, bool& removable)
{
    std::vector<MountEntry> entries;
    if (ReadMountTable(entries)) {
        for (const MountEntry& entry : entries) {
            if (entry.declared && entry.mountPoint == volume.mountPoint) {
                if (entry.declaration.removable < 0)
                    return false;
                removable = entry.declaration.removable == 1;
                return true;
            }
        }
    }
    if (volume.mountedFrom.empty() || volume.mountedFrom[0] != '/')
        return false;
    char device[PATH_MAX];
    if (realpath(volume.mountedFrom.c_str(), device) == nullptr)
        return false;
    const std::string name = std::string(device).substr(std::string(device).find_last_of('/') + 1);
    const std::string classEntry = BlockClassFolder() + "/" + name;
    if (ReadFlag(classEntry + "/removable", removable))
        return true;
    // A partition has no flag of its own: its folder lies inside its whole disk's.
    char partition[PATH_MAX];
    if (realpath(classEntry.c_str(), partition) == nullptr)
        return false;
    const std::string disk(partition);
    return ReadFlag(disk.substr(0, disk.find_last_of('/')) + "/removable", removable);
}

void SetMountTableForTesting(const std::string& path)
{
    std::lock_guard<std::mutex> lock(gHookMutex);
    gMountTablePath = path;
}

void SetBlockClassFolderForTesting(const std::string& path)
{
    std::lock_guard<std::mutex> lock(gHookMutex);
    gBlockClassFolder = path;
}

}  // namespace platform
