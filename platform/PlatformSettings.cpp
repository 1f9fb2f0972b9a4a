#include "platform/PlatformSettings.h"

#include "platform/SystemRoot.h"
#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace platform {

namespace {

int OptionalBoolean(const PropertyValue& entry, const char* key)
{
    ConstPropertyValuePtr value = entry.Get(key);
    if (!value || value->GetType() != PropertyValue::kBoolean)
        return -1;
    return value->BooleanValue() ? 1 : 0;
}

bool OptionalInteger(const PropertyValue& entry, const char* key, std::uint64_t& result)
{
    ConstPropertyValuePtr value = entry.Get(key);
    if (!value || value->GetType() != PropertyValue::kInteger || value->IntegerValue() < 0)
        return false;
    result = static_cast<std::uint64_t>(value->IntegerValue());
    return true;
}

// The folder a declared mount point names under the root, as it was when it was resolved: the
// resolution holds while the same folder (or nothing) is found there.
struct MountPointStamp {
    std::string path;
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;

    static MountPointStamp Of(const std::string& path)
    {
        MountPointStamp stamp;
        stamp.path = path;
        struct stat info;
        if (stat(path.c_str(), &info) == 0) {
            stamp.exists = true;
            stamp.device = info.st_dev;
            stamp.inode = info.st_ino;
        }
        return stamp;
    }

    bool StillHolds() const
    {
        const MountPointStamp now = Of(path);
        return now.exists == exists && now.device == device && now.inode == inode;
    }
};

std::vector<DeclaredVolume> ParseDeclaredVolumes(const std::string& bytes, std::vector<MountPointStamp>& stamps)
{
    std::vector<DeclaredVolume> volumes;
    PropertyValuePtr settings;
    if (!ParsePropertyList(bytes, settings))
        return volumes;
    ConstPropertyValuePtr list = settings->Get("volumes");
    if (!list || list->GetType() != PropertyValue::kArray)
        return volumes;
    for (const PropertyValuePtr& entry : list->ArrayItems()) {
        std::string mountPoint;
        if (!entry || !entry->GetString("mount-point", mountPoint) || mountPoint.empty() || mountPoint[0] != '/')
            continue;
        const std::string underRoot = SystemRoot::Resolve(mountPoint);
        stamps.push_back(MountPointStamp::Of(underRoot));
        char resolved[PATH_MAX];
        if (realpath(underRoot.c_str(), resolved) == nullptr)
            continue;
        DeclaredVolume volume;
        volume.mountPoint = resolved;
        if (entry->GetString("mounted-from", volume.mountedFrom) && !volume.mountedFrom.empty() &&
            volume.mountedFrom[0] == '/')
            volume.mountedFrom = SystemRoot::Resolve(volume.mountedFrom);
        entry->GetString("type", volume.typeName);
        entry->GetString("name", volume.name);
        volume.writable = OptionalBoolean(*entry, "writable");
        volume.caseSensitive = OptionalBoolean(*entry, "case-sensitive");
        volume.removable = OptionalBoolean(*entry, "removable");
        volume.hasCapacity = OptionalInteger(*entry, "capacity", volume.capacity);
        volume.hasFree = OptionalInteger(*entry, "free", volume.freeBytes);
        volumes.push_back(volume);
    }
    return volumes;
}

// What stat tells of a file, to see whether it was written since.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec changed = {0, 0};

    static FileStamp Of(const std::string& path)
    {
        FileStamp stamp;
        struct stat info;
        if (stat(path.c_str(), &info) == 0) {
            stamp.exists = true;
            stamp.device = info.st_dev;
            stamp.inode = info.st_ino;
            stamp.size = info.st_size;
            stamp.changed = info.st_ctim;
        }
        return stamp;
    }

    bool operator==(const FileStamp& other) const
    {
        return exists == other.exists && device == other.device && inode == other.inode && size == other.size &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }

    // Whether any later write must show in the change time: file times advance in coarse steps,
    // so a write within the same step as the last one could leave it as it was.
    bool SettledBefore(const struct timespec& now) const
    {
        const long long kStepNanoseconds = 100 * 1000 * 1000;
        const long long changedAt = static_cast<long long>(changed.tv_sec) * 1000000000LL + changed.tv_nsec;
        const long long nowAt = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
        return nowAt - changedAt > kStepNanoseconds;
    }
};

// The settings as last parsed, kept while neither the file's bytes nor a declared mount point
// change: volume queries run for every file an install or uninstall touches, and reading the
// small file costs far less than parsing it. Once its change time lies well in the past, an
// unchanged stat stands for unchanged bytes.
struct DeclaredVolumesCache {
    std::mutex mutex;  // guards everything below
    bool filled = false;
    std::string settingsPath;
    FileStamp settingsStamp;
    bool settled = false;
    bool settingsRead = false;
    std::string settingsBytes;
    std::vector<MountPointStamp> mountPoints;
    DeclaredVolumeList volumes;
    std::uint64_t heldIn = 0;  // the hold under which the list was last found current, 0 for none
};

std::mutex gHoldMutex;  // guards gHolds and gHoldNumber
int gHolds = 0;
std::uint64_t gHoldNumber = 0;  // counts the holds that began while none was alive

// The hold now alive, 0 for none.
std::uint64_t CurrentHold()
{
    std::lock_guard<std::mutex> lock(gHoldMutex);
    return gHolds > 0 ? gHoldNumber : 0;
}

DeclaredVolumesCache& Cache()
{
    static DeclaredVolumesCache* cache = new DeclaredVolumesCache;
    return *cache;
}

}  // namespace

std::vector<DeclaredVolume> DeclaredVolumes()
{
    return *SharedDeclaredVolumes();
}

DeclaredVolumeList SharedDeclaredVolumes()
{
    const std::string settingsPath = SystemRoot::SettingsFilePath();
    DeclaredVolumesCache& cache = Cache();
    const std::uint64_t hold = CurrentHold();
    std::lock_guard<std::mutex> lock(cache.mutex);
    if (hold != 0 && cache.filled && cache.heldIn == hold && cache.settingsPath == settingsPath)
        return cache.volumes;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    // Taken before the file is read: what is read is at least as new as this stamp.
    const FileStamp stamp = FileStamp::Of(settingsPath);
    const bool sameFile = cache.filled && cache.settingsPath == settingsPath;
    bool current = sameFile && cache.settled && cache.settingsStamp == stamp;
    for (std::size_t i = 0; current && i < cache.mountPoints.size(); ++i)
        current = cache.mountPoints[i].StillHolds();
    if (current) {
        cache.heldIn = hold;
        return cache.volumes;
    }

    std::string bytes;
    const bool read = ReadWholeFile(settingsPath, bytes);
    bool unchanged = sameFile && cache.settingsRead == read && cache.settingsBytes == bytes;
    for (std::size_t i = 0; unchanged && i < cache.mountPoints.size(); ++i)
        unchanged = cache.mountPoints[i].StillHolds();
    if (!unchanged) {
        cache.mountPoints.clear();
        cache.volumes = std::make_shared<const std::vector<DeclaredVolume> >(
            read ? ParseDeclaredVolumes(bytes, cache.mountPoints) : std::vector<DeclaredVolume>());
        cache.settingsPath = settingsPath;
        cache.settingsRead = read;
        cache.settingsBytes.swap(bytes);
        cache.filled = true;
    }
    cache.settingsStamp = stamp;
    cache.settled = stamp.SettledBefore(now);
    cache.heldIn = hold;
    return cache.volumes;
}

DeclaredVolumesHold::DeclaredVolumesHold()
{
    std::lock_guard<std::mutex> lock(gHoldMutex);
    if (gHolds++ == 0)
        ++gHoldNumber;
}

DeclaredVolumesHold::~DeclaredVolumesHold()
{
    std::lock_guard<std::mutex> lock(gHoldMutex);
    --gHolds;
}

}  // namespace platform
