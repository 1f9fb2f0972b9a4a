#include "platform/files/Volumes.h"

#include "platform/PlatformSettings.h"
#include "platform/files/Files.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
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

bool ParseMountTable(const std::string& text, std::vector<MountEntry>& entries)
{
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
    return true;
}

typedef std::shared_ptr<const std::vector<MountEntry> > MountTable;

// The kernel's mount table as last parsed. It is read again only after a mount or an unmount,
// which poll reports on the open table as a priority event; a table given by the test hook is
// read again whenever its bytes differ. Volume queries run for every file an install or
// uninstall touches.
class MountTableCache {
public:
    MountTable Get()
    {
        const std::string path = MountTablePath();
        std::lock_guard<std::mutex> lock(mutex_);
        const bool kernelTable = path == kKernelMountTable;
        std::string bytes;
        bool current = table_ && path == path_;
        if (current && kernelTable) {
            struct pollfd changes = {fd_, POLLPRI, 0};
            current = fd_ >= 0 && poll(&changes, 1, 0) == 0;
        } else if (current) {
            current = ReadWholeFile(path, bytes) && bytes == bytes_;
        }
        if (current)
            return table_;

        table_.reset();
        path_ = path;
        if (kernelTable) {
            // Opened once: each poll after a read of this descriptor tells whether the table
            // changed since (the read itself goes through a fresh open, as ReadWholeFile does).
            if (fd_ < 0)
                fd_ = open(kKernelMountTable, O_RDONLY | O_CLOEXEC);
            struct pollfd changes = {fd_, POLLPRI, 0};
            poll(&changes, 1, 0);
            if (!ReadWholeFile(path, bytes))
                return table_;
        } else if (bytes.empty() && !ReadWholeFile(path, bytes)) {
            // /proc files report a size of 0, which ReadWholeFile handles; a missing table does not.
            return table_;
        }
        std::shared_ptr<std::vector<MountEntry> > entries(new std::vector<MountEntry>);
        ParseMountTable(bytes, *entries);
        table_ = entries;
        bytes_.swap(bytes);
        return table_;
    }

    void Forget()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        table_.reset();
    }

private:
    static constexpr const char* kKernelMountTable = "/proc/self/mountinfo";

    std::mutex mutex_;  // guards everything below
    int fd_ = -1;
    std::string path_;
    std::string bytes_;  // what the table held when parsed (a hook's file only)
    MountTable table_;
};

MountTableCache& Cache()
{
    static MountTableCache* cache = new MountTableCache;
    return *cache;
}

// The volumes that the system root declares, as mount entries: made again only when the
// settings give another list.
class DeclaredEntriesCache {
public:
    MountTable Get()
    {
        DeclaredVolumeList volumes = SharedDeclaredVolumes();
        std::lock_guard<std::mutex> lock(mutex_);
        if (entries_ && volumes == volumes_)
            return entries_;
        std::shared_ptr<std::vector<MountEntry> > entries(new std::vector<MountEntry>);
        for (const DeclaredVolume& volume : *volumes) {
            MountEntry entry;
            entry.mountPoint = volume.mountPoint;
            entry.source = volume.mountedFrom;
            entry.type = volume.typeName;
            entry.declared = true;
            entry.declaration = volume;
            entries->push_back(entry);
        }
        volumes_.swap(volumes);
        entries_ = entries;
        return entries_;
    }

private:
    std::mutex mutex_;  // guards volumes_ and entries_
    DeclaredVolumeList volumes_;
    MountTable entries_;
};

DeclaredEntriesCache& DeclaredCache()
{
    static DeclaredEntriesCache* cache = new DeclaredEntriesCache;
    return *cache;
}

// The mounted file systems, then the volumes that the system root declares.
struct Mounts {
    MountTable kernel;
    MountTable declared;

    template <typename Visit>
    void ForEach(Visit visit) const
    {
        for (const MountEntry& entry : *kernel)
            visit(entry);
        for (const MountEntry& entry : *declared)
            visit(entry);
    }
};

bool ReadMounts(Mounts& mounts)
{
    mounts.kernel = Cache().Get();
    if (!mounts.kernel)
        return false;
    mounts.declared = DeclaredCache().Get();
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
const MountEntry* FindEntry(const Mounts& mounts, const std::string& resolvedPath)
{
    const MountEntry* best = nullptr;
    mounts.ForEach([&](const MountEntry& entry) {
        if (IsUnder(resolvedPath, entry.mountPoint) && (best == nullptr || entry.mountPoint.size() >= best->mountPoint.size()))
            best = &entry;
    });
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

// The folder whose resolved form was looked up last, kept while the same folder is found at its
// path: an uninstall asks for the volume of one file after another in the same folders. With it
// the mount point that holds its objects, while the mount tables it was found in are current.
struct ResolvedFolder {
    std::mutex mutex;  // guards everything below
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    std::string resolved;
    MountTable kernel;    // the tables that mountPoint was found in (none yet: null)
    MountTable declared;
    std::string mountPoint;  // empty where an object of the folder may be a mount point itself
};

ResolvedFolder& LastFolder()
{
    static ResolvedFolder* folder = new ResolvedFolder;
    return *folder;
}

int RealPath(const std::string& path, std::string& resolved)
{
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer) == nullptr)
        return errno;
    resolved = buffer;
    return 0;
}

// The entry of the mount table that holds a resolved path (mounts keeps it).
int MountEntryOf(const std::string& resolved, Mounts& mounts, const MountEntry*& entry)
{
    if (!ReadMounts(mounts))
        return EIO;
    entry = FindEntry(mounts, resolved);
    return entry == nullptr ? ENOENT : 0;
}

// The mount point that holds every object of a resolved folder, unless one of them is a mount
// point itself: empty then, or when no entry holds the folder.
std::string MountPointOfObjectsIn(const Mounts& mounts, const std::string& folder)
{
    const MountEntry* entry = FindEntry(mounts, folder);
    if (entry == nullptr)
        return std::string();
    bool below = false;
    mounts.ForEach([&](const MountEntry& other) {
        below = below || (other.mountPoint.size() > folder.size() && IsUnder(other.mountPoint, folder));
    });
    return below ? std::string() : entry->mountPoint;
}

// realpath(3), answered from the last folder's resolution for an object in it that is not
// itself a link (which the caller may know already: the object is not looked at again then).
// Given the mount tables, it also answers the object's mount point from that folder's where it
// can (else mountPoint is left empty).
int ResolvePath(const std::string& path, std::string& resolved, bool knownNotLink, const Mounts* mounts = nullptr,
                std::string* mountPoint = nullptr)
{
    const std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 == path.size())
        return RealPath(path, resolved);
    const std::string name = path.substr(slash + 1);
    if (name == "." || name == "..")
        return RealPath(path, resolved);
    if (!knownNotLink) {
        struct stat object;
        if (lstat(path.c_str(), &object) != 0)
            return errno;
        if (S_ISLNK(object.st_mode))
            return RealPath(path, resolved);
    }

    const std::string folder = path.substr(0, slash);
    struct stat folderInfo;
    if (stat(folder.c_str(), &folderInfo) != 0)
        return RealPath(path, resolved);
    ResolvedFolder& last = LastFolder();
    std::lock_guard<std::mutex> lock(last.mutex);
    if (last.path != folder || last.device != folderInfo.st_dev || last.inode != folderInfo.st_ino) {
        std::string resolvedFolder;
        if (const int error = RealPath(folder, resolvedFolder))
            return error;
        last.path = folder;
        last.device = folderInfo.st_dev;
        last.inode = folderInfo.st_ino;
        last.resolved.swap(resolvedFolder);
        last.kernel.reset();
        last.declared.reset();
    }
    resolved = last.resolved == "/" ? "/" + name : last.resolved + "/" + name;
    if (mounts != nullptr && mountPoint != nullptr) {
        if (last.kernel != mounts->kernel || last.declared != mounts->declared) {
            last.mountPoint = MountPointOfObjectsIn(*mounts, last.resolved);
            last.kernel = mounts->kernel;
            last.declared = mounts->declared;
        }
        *mountPoint = last.mountPoint;
    }
    return 0;
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
    Mounts mounts;
    const MountEntry* entry = nullptr;
    if (const int error = MountEntryOf(resolved, mounts, entry))
        return error;
    if (entry->mountPoint != resolved && statvfs(entry->mountPoint.c_str(), &info) != 0)
        return errno;
    FillStatus(*entry, info, status);
    return 0;
}

namespace {

// The tables are read first, so that the folder's mount point found with its resolution is
// checked against the current ones.
int FindMountPoint(const std::string& path, bool knownNotLink, std::string& mountPoint)
{
    Mounts mounts;
    if (!ReadMounts(mounts))
        return EIO;
    std::string resolved;
    std::string found;
    if (const int error = ResolvePath(path, resolved, knownNotLink, &mounts, &found))
        return error;
    if (found.empty()) {
        const MountEntry* entry = FindEntry(mounts, resolved);
        if (entry == nullptr)
            return ENOENT;
        found = entry->mountPoint;
    }
    mountPoint.swap(found);
    return 0;
}

}  // namespace

int FindVolumeMountPoint(const std::string& path, std::string& mountPoint)
{
    return FindMountPoint(path, false, mountPoint);
}

int FindVolumeMountPointOfNonLink(const std::string& path, std::string& mountPoint)
{
    return FindMountPoint(path, true, mountPoint);
}

int FindVolumeMountPointInFolder(const std::string& path, const struct stat& folder, const struct stat& object,
                                 std::string& mountPoint)
{
    const std::string::size_type slash = path.find_last_of('/');
    if (object.st_dev == folder.st_dev && slash != std::string::npos && slash > 0 && !S_ISLNK(object.st_mode)) {
        const MountTable declared = DeclaredCache().Get();
        ResolvedFolder& last = LastFolder();
        std::lock_guard<std::mutex> lock(last.mutex);
        if (last.kernel && last.declared == declared && !last.mountPoint.empty() && last.path.size() == slash &&
            path.compare(0, slash, last.path) == 0 && last.device == folder.st_dev && last.inode == folder.st_ino) {
            mountPoint = last.mountPoint;
            return 0;
        }
    }
    return FindMountPoint(path, true, mountPoint);
}

bool ListVolumes(std::vector<VolumeStatus>& volumes)
{
    Mounts mounts;
    if (!ReadMounts(mounts))
        return false;
    mounts.ForEach([&](const MountEntry& entry) {
        struct statvfs info;
        if (statvfs(entry.mountPoint.c_str(), &info) != 0)
            return;
        VolumeStatus status;
        FillStatus(entry, info, status);
        volumes.push_back(status);
    });
    return true;
}

bool GetVolumeParameters(const std::string& mountPoint, VolumeParameters& parameters)
{
    VolumeStatus status;
    if (StatVolume(mountPoint, status) != 0)
        return false;
    Mounts mounts;
    if (!ReadMounts(mounts))
        return false;
    const MountEntry* entry = FindEntry(mounts, status.mountPoint);
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
    Mounts mounts;
    if (ReadMounts(mounts)) {
        for (const MountEntry& entry : *mounts.declared) {
            if (entry.mountPoint == volume.mountPoint) {
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
    {
        std::lock_guard<std::mutex> lock(gHookMutex);
        gMountTablePath = path;
    }
    Cache().Forget();
}

void SetBlockClassFolderForTesting(const std::string& path)
{
    std::lock_guard<std::mutex> lock(gHookMutex);
    gBlockClassFolder = path;
}

}  // namespace platform
