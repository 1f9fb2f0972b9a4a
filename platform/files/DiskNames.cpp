#include "platform/files/DiskNames.h"

#include "platform/files/Rename.h"
#include "platform/files/TrustedPath.h"
#include "platform/files/Volumes.h"
#include "platform/formats/UnicodeText.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <limits>
#include <list>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace platform {

namespace {

const std::int64_t kTrustedForever = std::numeric_limits<std::int64_t>::max();

// The names of one folder by their case-folded key, as the folder was when last read or noted;
// valid while the folder is the same object with the same modification time, and only until
// trustedUntil (nanoseconds of the real-time clock): a time cannot tell a change made within
// the same tick of the file system's clock from none.
struct FolderNames {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
    struct timespec modified = {0, 0};
    std::int64_t trustedUntil = 0;
    std::unordered_map<std::string, std::string> byKey;
};

const std::size_t kKeptFolders = 16;

std::mutex gFoldersMutex;  // guards gFolders
std::list<FolderNames> gFolders;  // most recently used first

std::int64_t Nanoseconds(const struct timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

std::int64_t Now()
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    return Nanoseconds(now);
}

// How far apart two changes of a folder must lie for their times to differ surely: the tick of
// the clock the kernel stamps files with (some 4 ms on a kernel with 250 ticks a second), and,
// for a time of whole seconds, which may come from a file system that keeps no finer ones, the
// two seconds of the coarsest of them.
std::int64_t OneTick(const struct timespec& modified)
{
    static const std::int64_t tick = []() {
        struct timespec resolution;
        return clock_getres(CLOCK_REALTIME_COARSE, &resolution) == 0 ? Nanoseconds(resolution) : 10000000;
    }();
    return tick + (modified.tv_nsec == 0 ? 2000000000 : 0);
}

bool SameState(const FolderNames& names, const struct stat& info)
{
    return names.device == info.st_dev && names.inode == info.st_ino && names.modified.tv_sec == info.st_mtim.tv_sec &&
           names.modified.tv_nsec == info.st_mtim.tv_nsec;
}

bool StillTrusted(const FolderNames& names, const struct stat& info)
{
    return SameState(names, info) && (names.trustedUntil == kTrustedForever || Now() < names.trustedUntil);
}

void Remember(FolderNames& names, const struct stat& info)
{
    names.device = info.st_dev;
    names.inode = info.st_ino;
    names.modified = info.st_mtim;
}

// The entry of the folder whose status is info, read again when it changed since or cannot be
// trusted any more; null when it cannot be read. The folder is read through folderFd where one is held open, else by
// its path. gFoldersMutex must be held.
FolderNames* NamesOf(const std::string& folder, const struct stat& info, int folderFd)
{
    for (auto it = gFolders.begin(); it != gFolders.end(); ++it) {
        if (it->path != folder)
            continue;
        if (it != gFolders.begin())
            gFolders.splice(gFolders.begin(), gFolders, it);
        if (StillTrusted(gFolders.front(), info))
            return &gFolders.front();
        gFolders.pop_front();
        break;
    }
    // A change by another process within a tick of the folder's time as read here would leave
    // that time as it is: such names hold for this lookup only, and the next one reads again.
    const std::int64_t readAt = Now();
    DIR* directory = nullptr;
    if (folderFd < 0) {
        directory = opendir(folder.c_str());
    } else {
        const int readable = openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (readable >= 0 && (directory = fdopendir(readable)) == nullptr)
            close(readable);
    }
    if (directory == nullptr)
        return nullptr;
    struct stat read;
    if (fstat(dirfd(directory), &read) != 0)
        read = info;
    FolderNames names;
    names.path = folder;
    Remember(names, read);
    names.trustedUntil = Nanoseconds(read.st_mtim) + OneTick(read.st_mtim) <= readAt ? kTrustedForever : 0;
    while (struct dirent* entry = readdir(directory))
        names.byKey.emplace(UnicodeText::CaseFoldedKey(entry->d_name), entry->d_name);
    closedir(directory);
    gFolders.push_front(std::move(names));
    if (gFolders.size() > kKeptFolders)
        gFolders.pop_back();
    return &gFolders.front();
}

// The folder's entry by its path. gFoldersMutex must be held.
FolderNames* CurrentNames(const std::string& folder)
{
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return nullptr;
    return NamesOf(folder, info, -1);
}

// The entry of the folder whose name equals the given one ignoring case: 0 with its spelling,
// ESRCH when there is none, ENOENT when the folder cannot be read. The folder is looked up by its
// path, or through the descriptor that holds it open when its status is given.
int EntryIgnoringCase(const std::string& folder, const std::string& name, std::string& found,
                      const struct stat* info = nullptr, int folderFd = -1)
{
    std::lock_guard<std::mutex> lock(gFoldersMutex);
    const FolderNames* names = info != nullptr ? NamesOf(folder, *info, folderFd) : CurrentNames(folder);
    if (names == nullptr)
        return ENOENT;
    const auto entry = names->byKey.find(UnicodeText::CaseFoldedKey(name));
    if (entry == names->byKey.end())
        return ESRCH;
    found = entry->second;
    return 0;
}

bool FindEntryIgnoringCase(const std::string& folder, const std::string& name, std::string& found,
                           const struct stat* info = nullptr, int folderFd = -1)
{
    return EntryIgnoringCase(folder, name, found, info, folderFd) == 0;
}

bool FolderIsCaseSensitive(const std::string& folder)
{
    VolumeStatus status;
    VolumeParameters parameters;
    if (StatVolume(folder, status) != 0 || !GetVolumeParameters(status.mountPoint, parameters))
        return true;
    return parameters.caseSensitive;
}

void NoteChange(const std::string& folder, const std::string& name, bool exists, int folderFd);

// FindNameInFolder, of a folder looked up by its path or, when its status is given, through the
// descriptor that holds it open.
int FindName(const std::string& folder, const std::string& name, const struct stat* info, int folderFd)
{
    std::string found;
    if (const int error = EntryIgnoringCase(folder, name, found, info, folderFd))
        return error == ENOENT ? ENOENT : 0;
    return found == name || !FolderIsCaseSensitive(folder) ? EEXIST : 0;
}

std::string Join(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

}  // namespace

std::string OnDiskPath(const std::string& path)
{
    struct stat info;
    if (path.empty() || path[0] != '/' || lstat(path.c_str(), &info) == 0 || errno != ENOENT)
        return path;
    return OnDiskPathOfMissing(path);
}

int LookUpOnDisk(const std::string& path, std::string& onDisk, struct stat& info)
{
    onDisk = path;
    if (lstat(path.c_str(), &info) == 0)
        return 0;
    if (errno != ENOENT || path.empty() || path[0] != '/')
        return errno;
    std::string spelled = OnDiskPathOfMissing(path);
    if (spelled == path)
        return ENOENT;
    onDisk.swap(spelled);
    return lstat(onDisk.c_str(), &info) == 0 ? 0 : errno;
}

int FindNameInFolder(const std::string& folder, const std::string& name)
{
    return FindName(folder, name, nullptr, -1);
}

std::string OnDiskPathOfMissing(const std::string& path)
{
    struct stat info;
    if (path.empty() || path[0] != '/')
        return path;

    // Mostly only the last name is missing (a file about to be made in an existing folder): the
    // folder's names answer at once, without walking up.
    const std::string::size_type last = path.find_last_of('/');
    if (last + 1 < path.size()) {
        const std::string folder = last == 0 ? "/" : path.substr(0, last);
        const std::string name = path.substr(last + 1);
        bool read = false;
        std::string found;
        {
            std::lock_guard<std::mutex> lock(gFoldersMutex);
            if (const FolderNames* names = CurrentNames(folder)) {
                read = true;
                const auto entry = names->byKey.find(UnicodeText::CaseFoldedKey(name));
                if (entry != names->byKey.end())
                    found = entry->second;
            }
        }
        if (read) {
            if (found.empty() || (found != name && FolderIsCaseSensitive(folder)))
                return path;
            return Join(folder, found);
        }
    }

    // The nearest folder above that exists, and the names below it, nearest first.
    std::vector<std::string> missing;
    std::string existing = path;
    for (;;) {
        while (existing.size() > 1 && existing.back() == '/')
            existing.pop_back();
        const std::string::size_type slash = existing.find_last_of('/');
        if (slash == std::string::npos || existing.size() <= 1)
            return path;
        missing.push_back(existing.substr(slash + 1));
        existing = slash == 0 ? "/" : existing.substr(0, slash);
        if (lstat(existing.c_str(), &info) == 0)
            break;
        if (errno != ENOENT)
            return path;
    }

    // Down again: each missing name takes the spelling of an entry that matches it ignoring
    // case, where the volume says names match so. Only such a match asks the volume.
    std::string resolved = existing;
    while (!missing.empty()) {
        const std::string name = missing.back();
        std::string found;
        if (name.empty() || !FindEntryIgnoringCase(resolved, name, found) ||
            (found != name && FolderIsCaseSensitive(resolved)))
            break;
        resolved = Join(resolved, found);
        missing.pop_back();
    }
    if (resolved == existing)
        return path;
    while (!missing.empty()) {
        resolved = Join(resolved, missing.back());
        missing.pop_back();
    }
    return resolved;
}

void NoteNameChange(const std::string& path)
{
    struct stat entry;
    NoteNameChange(path, lstat(path.c_str(), &entry) == 0);
}

void NoteNameChange(const std::string& path, bool exists, int folderFd)
{
    const std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos || slash + 1 >= path.size())
        return;
    NoteChange(path.substr(0, slash == 0 ? 1 : slash), path.substr(slash + 1), exists, folderFd);
}

bool OtherSpellingInFolder(int folderFd, const std::string& folder, const std::string& name, std::string& spelled)
{
    struct stat info;
    return fstat(folderFd, &info) == 0 && OtherSpellingInFolder(folderFd, folder, info, name, spelled);
}

bool OtherSpellingInFolder(int folderFd, const std::string& folder, const struct stat& status, const std::string& name,
                           std::string& spelled)
{
    std::string found;
    if (!S_ISDIR(status.st_mode) || !FindEntryIgnoringCase(folder, name, found, &status, folderFd) || found == name ||
        FolderIsCaseSensitive(folder))
        return false;
    spelled = found;
    return true;
}

void NoteNameChangeInFolder(int folderFd, const std::string& folder, const std::string& name, bool exists)
{
    NoteChange(folder, name, exists, folderFd);
}

namespace {

void NoteChange(const std::string& folder, const std::string& name, bool exists, int folderFd)
{
    std::lock_guard<std::mutex> lock(gFoldersMutex);
    for (FolderNames& names : gFolders) {
        if (names.path != folder)
            continue;
        struct stat info;
        const int looked = folderFd >= 0 ? fstat(folderFd, &info) : stat(folder.c_str(), &info);
        if (looked != 0 || info.st_dev != names.device || info.st_ino != names.inode) {
            names.modified = {0, 0};  // read again at the next lookup
            return;
        }
        // The folder's new time is this change's, and a change by another process within the
        // same tick would not show in it: the names are trusted for one tick (a folder filled
        // file by file is not read again for each file), then read again at the next lookup.
        Remember(names, info);
        names.trustedUntil = Now() + OneTick(info.st_mtim);
        const std::string key = UnicodeText::CaseFoldedKey(name);
        if (exists) {
            names.byKey.emplace(key, name);
        } else {
            // (A folder of a case-sensitive file system may hold another spelling of the same
            // name; it is seen again once the folder is read anew.)
            const auto known = names.byKey.find(key);
            if (known != names.byKey.end() && known->second == name)
                names.byKey.erase(known);
        }
        return;
    }
}

}  // namespace

// ---- A folder held open for a run ----

namespace {

std::mutex gHeldMutex;  // guards gHeld
std::vector<std::weak_ptr<HeldFolder> > gHeld;

}  // namespace

HeldFolder::HeldFolder(const std::string& path, int fd, const struct stat& status)
    : path_(path), fd_(fd), device_(status.st_dev), inode_(status.st_ino)
{
}

std::shared_ptr<HeldFolder> HeldFolder::Open(const std::string& path,
                                             const std::function<bool(const struct stat&)>& trusted)
{
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISDIR(status.st_mode) || !trusted(status)) {
        close(fd);
        return nullptr;
    }
    std::shared_ptr<HeldFolder> held(new HeldFolder(path, fd, status));
    std::lock_guard<std::mutex> lock(gHeldMutex);
    gHeld.erase(std::remove_if(gHeld.begin(), gHeld.end(),
                               [](const std::weak_ptr<HeldFolder>& known) { return known.expired(); }),
                gHeld.end());
    gHeld.push_back(held);
    return held;
}

HeldFolder::~HeldFolder()
{
    close(fd_);
}

int HeldFolder::LookAtPath(struct stat& status) const
{
    if (stat(path_.c_str(), &status) != 0)
        return errno;
    return status.st_dev == device_ && status.st_ino == inode_ ? 0 : ESTALE;
}

bool HeldFolder::Linked() const
{
    struct stat status;
    return fstat(fd_, &status) == 0 && status.st_nlink > 0;
}

int HeldFolder::CheckedAtPath() const
{
    const std::uint64_t run = CurrentRunOfHeldFolders();
    if (run != 0 && checkedRun_.load() == run)
        return 0;
    struct stat status;
    if (const int error = LookAtPath(status))
        return error;
    checkedRun_.store(run);
    return 0;
}

int HeldFolder::FindName(const std::string& name) const
{
    const std::uint64_t run = CurrentRunOfHeldFolders();
    bool known = false;
    std::string found;
    if (run != 0 && namesRun_.load() == run) {
        std::lock_guard<std::mutex> lock(gFoldersMutex);
        for (const FolderNames& names : gFolders) {
            if (names.path != path_)
                continue;
            // Names of another folder at the path, or marked to be read again, are not these.
            known = names.device == device_ && names.inode == inode_ &&
                    (names.modified.tv_sec != 0 || names.modified.tv_nsec != 0);
            if (known) {
                const auto entry = names.byKey.find(UnicodeText::CaseFoldedKey(name));
                if (entry != names.byKey.end())
                    found = entry->second;
            }
            break;
        }
    }
    if (!known) {
        // Looked at by the folder's time once in each run (and at every call outside one).
        struct stat status;
        if (fstat(fd_, &status) != 0)
            return ENOENT;
        const int answer = platform::FindName(path_, name, &status, fd_);
        if (answer != ENOENT)
            namesRun_.store(run);
        return answer;
    }
    if (found.empty())
        return 0;
    return found == name || !FolderIsCaseSensitive(path_) ? EEXIST : 0;
}

int HeldFolder::MoveIn(const std::string& from, const std::string& name) const
{
    return MoveIn(AT_FDCWD, from, from, name);
}

int HeldFolder::MoveIn(int fromFolderFd, const std::string& fromName, const std::string& from,
                       const std::string& name) const
{
    if (const int error = RenameNoReplaceInto(fromFolderFd, fromName, from, fd_, path_, name))
        return error;
    NoteNameChange(from, false);
    // The new name joins the names FindName keeps; the folder's time is left as it was read, so
    // that a lookup by the folder's path reads the folder again.
    std::lock_guard<std::mutex> lock(gFoldersMutex);
    for (FolderNames& names : gFolders) {
        if (names.path == path_ && names.device == device_ && names.inode == inode_) {
            names.byKey.emplace(UnicodeText::CaseFoldedKey(name), name);
            break;
        }
    }
    return 0;
}

int HeldFolder::Remove(const std::string& name) const
{
    if (unlinkat(fd_, name.c_str(), 0) != 0 && (errno != EISDIR || unlinkat(fd_, name.c_str(), AT_REMOVEDIR) != 0))
        return errno;
    // Removals come one after another when a run ends, and no name is looked up among them: the
    // folder's names are read again at the next lookup instead of being kept up to date for each.
    std::lock_guard<std::mutex> lock(gFoldersMutex);
    for (FolderNames& names : gFolders) {
        if (names.path == path_)
            names.modified = {0, 0};
    }
    return 0;
}

std::shared_ptr<HeldFolder> FindHeldFolder(const std::string& path)
{
    std::lock_guard<std::mutex> lock(gHeldMutex);
    for (const std::weak_ptr<HeldFolder>& known : gHeld) {
        std::shared_ptr<HeldFolder> held = known.lock();
        if (held && held->Path() == path)
            return held;
    }
    return nullptr;
}

}  // namespace platform
