#include "platform/files/ChangedObject.h"

#include "platform/files/DiskNames.h"
#include "platform/files/TrustedPath.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace platform {

namespace {

const mode_t kSetIdBits = S_ISUID | S_ISGID;

// When the object was made, as text ("<seconds>.<nanoseconds>"); empty where the file system
// does not tell. Where no handle can be used, this tells an object from another that took its
// inode since.
std::string BirthOf(int fd)
{
    struct statx born;
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &born) != 0 || (born.stx_mask & STATX_BTIME) == 0)
        return std::string();
    return std::to_string(born.stx_btime.tv_sec) + "." + std::to_string(born.stx_btime.tv_nsec);
}

// How the object open as fd is found again, as the text that ObjectIdentity keeps: "B" and its
// birth time, where known, and "H", the handle's type, a colon and its bytes in hex, where the
// file system gives one, separated by a blank.
std::string FindingOf(int fd)
{
    std::string text;
    const std::string birth = BirthOf(fd);
    if (!birth.empty())
        text = "B" + birth;
    std::vector<unsigned char> storage(sizeof(struct file_handle) + MAX_HANDLE_SZ);
    struct file_handle* handle = reinterpret_cast<struct file_handle*>(storage.data());
    handle->handle_bytes = MAX_HANDLE_SZ;
    int mount = 0;
    if (name_to_handle_at(fd, "", handle, &mount, AT_EMPTY_PATH) != 0)
        return text;
    static const char kHex[] = "0123456789abcdef";
    text += (text.empty() ? "H" : " H") + std::to_string(handle->handle_type) + ":";
    for (unsigned i = 0; i < handle->handle_bytes; ++i)
        text += std::string{kHex[handle->f_handle[i] >> 4], kHex[handle->f_handle[i] & 0xF]};
    return text;
}

// The part of the text that begins with the letter; empty where there is none.
std::string FindingPart(const std::string& finding, char letter)
{
    for (std::string::size_type at = 0; at < finding.size();) {
        std::string::size_type end = finding.find(' ', at);
        if (end == std::string::npos)
            end = finding.size();
        if (finding[at] == letter)
            return finding.substr(at + 1, end - at - 1);
        at = end + 1;
    }
    return std::string();
}

// Whether the object open as fd was made when the identity says (or either does not tell).
bool SameBirth(int fd, const ObjectIdentity& object)
{
    const std::string kept = FindingPart(object.handle, 'B');
    if (kept.empty())
        return true;
    const std::string now = BirthOf(fd);
    return now.empty() || now == kept;
}

bool ParseHandle(const std::string& finding, std::vector<unsigned char>& storage)
{
    const std::string text = FindingPart(finding, 'H');
    const std::string::size_type colon = text.find(':');
    const std::string hex = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    if (colon == std::string::npos || colon == 0 || hex.empty() || hex.size() % 2 != 0 ||
        hex.size() / 2 > MAX_HANDLE_SZ || hex.find_first_not_of("0123456789abcdef") != std::string::npos)
        return false;
    storage.assign(sizeof(struct file_handle) + hex.size() / 2, 0);
    struct file_handle* handle = reinterpret_cast<struct file_handle*>(storage.data());
    handle->handle_bytes = static_cast<unsigned>(hex.size() / 2);
    handle->handle_type = std::atoi(text.substr(0, colon).c_str());
    for (std::size_t i = 0; i < hex.size() / 2; ++i)
        handle->f_handle[i] = static_cast<unsigned char>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    return true;
}

// A mount point's text as the mount table writes it: blanks and backslashes as octal escapes.
std::string Unescaped(const std::string& text)
{
    std::string plain;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\\' && at + 3 < text.size() && text.find_first_not_of("01234567", at + 1) >= at + 4) {
            plain += static_cast<char>(std::stoi(text.substr(at + 1, 3), nullptr, 8));
            at += 3;
        } else {
            plain += text[at];
        }
    }
    return plain;
}

// A folder of the file system of the device, opened to find objects of it by their handles: -1
// where none is mounted here.
int OpenMountOf(std::uint64_t device)
{
    std::ifstream table("/proc/self/mountinfo");
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string id, parent, numbers, root, point;
        unsigned major = 0, minor = 0;
        if (!(fields >> id >> parent >> numbers >> root >> point) ||
            std::sscanf(numbers.c_str(), "%u:%u", &major, &minor) != 2 || makedev(major, minor) != device)
            continue;
        const int fd = open(Unescaped(point).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat status;
        if (fd >= 0 && fstat(fd, &status) == 0 && status.st_dev == device)
            return fd;
        if (fd >= 0)
            close(fd);
    }
    return -1;
}

// The object of the handle (O_PATH, a link itself): the descriptor, or -1 with errno (ESTALE
// where the object is gone; anything else where handles cannot be used here).
int OpenHandle(const ObjectIdentity& object)
{
    std::vector<unsigned char> storage;
    if (!ParseHandle(object.handle, storage)) {
        errno = EINVAL;
        return -1;
    }
    const int mount = OpenMountOf(object.device);
    if (mount < 0) {
        errno = ENODEV;
        return -1;
    }
    const int fd = open_by_handle_at(mount, reinterpret_cast<struct file_handle*>(storage.data()),
                                     O_PATH | O_NOFOLLOW | O_CLOEXEC);
    const int error = errno;
    close(mount);
    errno = error;
    return fd;
}

// The last name of a path, as the folder that holds it names it: empty where it has none.
std::string LastNameOf(const std::string& path)
{
    std::string::size_type end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return std::string();
    const std::string::size_type slash = path.rfind('/', end);
    const std::string::size_type begin = slash == std::string::npos ? 0 : slash + 1;
    const std::string name = path.substr(begin, end - begin + 1);
    return name == "." || name == ".." ? std::string() : name;
}

// Whether the folder opened holds nothing.
bool IsEmptyFolder(int fd)
{
    const int listing = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* entries = listing < 0 ? nullptr : fdopendir(listing);
    if (entries == nullptr) {
        if (listing >= 0)
            close(listing);
        return false;
    }
    bool empty = true;
    while (const struct dirent* entry = readdir(entries)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            empty = false;
    }
    closedir(entries);
    return empty;
}

// Whether the object was born at or after the time (where the file system tells when it was).
bool BornSince(int fd, const struct timespec& since)
{
    struct statx born;
    if (statx(fd, "", AT_EMPTY_PATH, STATX_BTIME, &born) != 0 || (born.stx_mask & STATX_BTIME) == 0)
        return true;
    return born.stx_btime.tv_sec > since.tv_sec ||
           (born.stx_btime.tv_sec == since.tv_sec &&
            born.stx_btime.tv_nsec >= static_cast<std::uint32_t>(since.tv_nsec));
}

}  // namespace

ChangedObject::ChangedObject() = default;

ChangedObject::~ChangedObject()
{
    Close();
    if (heldFolder_ >= 0)
        close(heldFolder_);
}

void ChangedObject::Close()
{
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

int ChangedObject::Open(const std::string& path)
{
    Close();
    const int fd = OpenForChange(path, false);
    if (fd < 0)
        return errno;
    if (const int error = Take(fd))
        return error;
    identity_ = ObjectIdentity{status_.st_dev, status_.st_ino, FindingOf(fd_)};
    return 0;
}

int ChangedObject::Take(int fd)
{
    const int error = fstat(fd, &status_) != 0 ? errno : S_ISLNK(status_.st_mode) ? ELOOP : 0;
    if (error != 0) {
        close(fd);
        return error;
    }
    fd_ = fd;
    return 0;
}

int ChangedObject::OpenByHandle(const ObjectIdentity& object, const std::string& path, const std::string& value)
{
    if (FindingPart(object.handle, 'H').empty())
        return ENOTSUP;
    const int fd = OpenHandle(object);
    if (fd < 0 && errno != ESTALE)
        return ENOTSUP;
    // A folder or file removed since has no name left; one that took its inode has another handle.
    struct stat status;
    if (fd >= 0 && fstat(fd, &status) == 0 && status.st_dev == object.device && status.st_ino == object.inode &&
        status.st_nlink > 0)
        return Take(fd);
    if (fd >= 0)
        close(fd);
    ReportRefusal("Refused to give back " + value + " of \"" + path + "\": what that was read from is gone");
    return EPERM;
}

int ChangedObject::OpenChanged(const std::string& path, const ObjectIdentity& object, const std::string& value)
{
    Close();
    const int found = OpenByHandle(object, path, value);
    if (found != ENOTSUP)
        return found;
    if (const int error = Open(path))
        return error;
    if (status_.st_dev == object.device && status_.st_ino == object.inode && SameBirth(fd_, object))
        return 0;
    ReportRefusal("Refused to give back " + value + " of \"" + path + "\": it leads now to " + DescribeObject(status_) +
                  ", not to what that was read from");
    Close();
    return EPERM;
}

int ChangedObject::WalkToName(const std::string& path)
{
    Close();
    path_ = path;
    place_.reset(new TrustedPath);
    const int error = place_->Walk(path, false);
    if (error == EPERM)
        ReportRefusal(place_->Refusal());
    if (error == 0)
        folderStatus_ = place_->FolderStatus();
    return error;
}

int ChangedObject::OpenToRemove(const std::string& path)
{
    if (const int error = WalkToName(path))
        return error;
    folderIdentity_ = ObjectIdentity{folderStatus_.st_dev, folderStatus_.st_ino, FindingOf(place_->Folder())};
    // Not judged as an object to write: removing a name is the business of the folders that hold it.
    const int fd = openat(place_->Folder(), place_->Name().c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    return fd < 0 ? errno : Take(fd);
}

int ChangedObject::RemoveFolder()
{
    if (fd_ < 0 || !place_)
        return EBADF;
    if (unlinkat(place_->Folder(), place_->Name().c_str(), AT_REMOVEDIR) != 0)
        return errno;
    NoteNameChange(path_, false, place_->Folder());
    // No name is left to a folder removed: one that still has a name is not what went.
    struct stat opened;
    if (fstat(fd_, &opened) == 0 && opened.st_nlink == 0)
        return 0;
    ReportRefusal("Refused to keep the mode and owner of \"" + path_ + "\", read from " + DescribeObject(status_) +
                  ", to give back: what was removed is another object, put at its name since");
    return EPERM;
}

int ChangedObject::MakeFolder(const std::string& path, const ObjectIdentity& holder, mode_t mode, uid_t owner,
                              gid_t group)
{
    char value[96];
    std::snprintf(value, sizeof(value), "the mode %04o and the owner %u and group %u",
                  static_cast<unsigned>(mode & 07777), static_cast<unsigned>(owner), static_cast<unsigned>(group));
    // The folder that held it, found by its handle whatever the path leads to now, else by the path.
    path_ = path;
    std::string name = LastNameOf(path);
    int folder = -1;
    const int found = OpenByHandle(holder, path, value);
    if (found == 0) {
        if (!S_ISDIR(status_.st_mode) || name.empty()) {
            Close();
            return name.empty() ? EEXIST : ENOTDIR;
        }
        folderStatus_ = status_;
        heldFolder_ = fd_;
        fd_ = -1;
        folder = heldFolder_;
    } else if (found != ENOTSUP) {
        return found;
    } else {
        if (const int error = WalkToName(path))
            return error == EINVAL ? EEXIST : error;
        if (holder.inode != 0 && (folderStatus_.st_dev != holder.device || folderStatus_.st_ino != holder.inode ||
                                  !SameBirth(place_->Folder(), holder))) {
            ReportRefusal("Refused to give back " + std::string(value) + " of \"" + path + "\": it leads now into \"" +
                          place_->FolderPath() + "\", " + DescribeObject(folderStatus_) +
                          ", not into the folder that held what that was read from");
            return EPERM;
        }
        folder = place_->Folder();
        name = place_->Name();
    }
    // Nobody else may enter it before it has its owner and mode.
    struct timespec before;
    clock_gettime(CLOCK_REALTIME_COARSE, &before);
    if (mkdirat(folder, name.c_str(), 0700) != 0)
        return errno;
    NoteNameChange(path, true, folder);
    const int fd = openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    const int error = fd < 0 ? errno : Take(fd);
    if (error != 0 && error != ELOOP)
        return error;
    // Another user who can write the folder may have put an object of his, or a folder he took
    // from elsewhere, at the name meanwhile: the folder just made is this process's user's, empty,
    // private, and born now.
    if (error == ELOOP || !S_ISDIR(status_.st_mode) || status_.st_uid != geteuid() ||
        (status_.st_mode & 07777) != 0700 || status_.st_nlink != 2 || !IsEmptyFolder(fd_) || !BornSince(fd_, before)) {
        ReportRefusal("Refused to give back " + std::string(value) + " of \"" + path + "\": it leads now to " +
                      DescribeObject(status_) + ", not to the folder made for it");
        Close();
        return EPERM;
    }
    return 0;
}

int ChangedObject::ChangeMode(mode_t mode)
{
    return fd_ < 0 ? EBADF : ChangeModeOf(fd_, mode & 07777);
}

int ChangedObject::ChangeOwner(uid_t owner, gid_t group, mode_t mode, bool& modeKept)
{
    modeKept = true;
    if (fd_ < 0)
        return EBADF;
    if (const int error = ChangeOwnerOf(fd_, owner, group))
        return error;
    struct stat after;
    if (fstat(fd_, &after) != 0 || (after.st_mode & 07777) != (mode & 07777))
        modeKept = ChangeModeOf(fd_, mode & 07777) == 0;
    return 0;
}

mode_t ChangedObject::ModeKeptAcrossOwnerChange() const
{
    const mode_t mode = status_.st_mode & 07777;
    return status_.st_uid == 0 || S_ISDIR(status_.st_mode) ? mode : mode & ~kSetIdBits;
}

namespace {

// The set-id bits of a file are given back only where nobody but its owner and root could have
// written what it holds since: not where it belongs now to another user than the one it is given
// back to, nor where its mode lets others write it.
mode_t SetIdKept(const struct stat& now, uid_t owner, mode_t mode, bool& setIdKept)
{
    setIdKept = true;
    if ((mode & kSetIdBits) == 0 || S_ISDIR(now.st_mode))
        return mode;
    if ((now.st_uid != 0 && now.st_uid != owner) || !OthersByMode(now).empty()) {
        setIdKept = false;
        mode &= ~kSetIdBits;
    }
    return mode;
}

}  // namespace

int GiveBackMode(const std::string& path, const ObjectIdentity& object, mode_t mode, bool& setIdKept)
{
    setIdKept = true;
    char value[32];
    std::snprintf(value, sizeof(value), "the mode %04o", static_cast<unsigned>(mode & 07777));
    ChangedObject changed;
    const int error = changed.OpenChanged(path, object, value);
    return error != 0 ? error
                      : changed.ChangeMode(SetIdKept(changed.Status(), changed.Status().st_uid, mode, setIdKept));
}

int GiveBackOwner(const std::string& path, const ObjectIdentity& object, uid_t owner, gid_t group, mode_t mode,
                  bool& setIdKept, bool& modeKept)
{
    setIdKept = true;
    modeKept = true;
    ChangedObject changed;
    const int error =
        changed.OpenChanged(path, object, "the owner " + std::to_string(owner) + " and group " + std::to_string(group));
    if (error != 0)
        return error;
    return changed.ChangeOwner(owner, group, SetIdKept(changed.Status(), owner, mode, setIdKept), modeKept);
}

int MakeFolderAgain(const std::string& path, const ObjectIdentity& holder, mode_t mode, uid_t owner, gid_t group)
{
    ChangedObject folder;
    bool modeKept = true;
    int error = folder.MakeFolder(path, holder, mode, owner, group);
    if (error == 0)
        error = folder.ChangeOwner(owner, group, mode, modeKept);
    return error == 0 && !modeKept ? folder.ChangeMode(mode) : error;
}

}  // namespace platform
