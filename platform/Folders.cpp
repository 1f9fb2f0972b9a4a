#include "platform/Folders.h"

#include "platform/SystemRoot.h"
#include "platform/files/FileRef.h"
#include "platform/files/TrustedFiles.h"
#include "platform/files/TrustedPath.h"

#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform {

namespace {

struct FolderEntry {
    short domain;
    std::uint32_t type;
    const char* path;  // under the root (local and system domains) or the home folder (user)
};

const char kC4 = static_cast<char>(0xC4);

const FolderEntry kFolderTable[] = {
    {kLocalDomain, FourCharCode('a', 's', 'u', 'p'), "/Library/Application Support"},
    {kLocalDomain, FourCharCode('a', 'p', 'p', 's'), "/Applications"},
    {kLocalDomain, FourCharCode('s', 'd', 'a', 't'), "/Users/Shared"},
    {kLocalDomain, FourCharCode('u', 't', 'i', kC4), "/Applications/Utilities"},
    {kLocalDomain, FourCharCode('f', 'o', 'n', 't'), "/Library/Fonts"},
    {kLocalDomain, FourCharCode('d', 'l', 'i', 'b'), "/Library"},
    {kLocalDomain, FourCharCode(kC4, 's', 'c', 'r'), "/Library/ScriptingAdditions"},
    {kLocalDomain, FourCharCode(kC4, 'n', 'e', 't'), "/Library/Internet Plug-Ins"},
    {kLocalDomain, FourCharCode('p', 'r', 'o', 'f'), "/Library/ColorSync/Profiles"},
    {kLocalDomain, FourCharCode('p', 'r', 'e', 'f'), "/Library/Preferences"},
    {kLocalDomain, FourCharCode('l', 'o', 'g', 's'), "/Library/Logs"},
    {kLocalDomain, FourCharCode('c', 'a', 'c', 'h'), "/Library/Caches"},
    {kLocalDomain, FourCharCode('f', 'r', 'a', 'm'), "/Library/Frameworks"},
    {kLocalDomain, FourCharCode('f', 'l', 'n', 't'), "/tmp"},
    {kLocalDomain, FourCharCode('t', 'e', 'm', 'p'), "/tmp"},
    {kSystemDomain, FourCharCode('d', 'l', 'i', 'b'), "/System/Library"},
    {kSystemDomain, FourCharCode('f', 'r', 'a', 'm'), "/System/Library/Frameworks"},
    {kSystemDomain, FourCharCode('f', 'o', 'n', 't'), "/System/Library/Fonts"},
    {kUserDomain, FourCharCode('d', 'l', 'i', 'b'), "/Library"},
    {kUserDomain, FourCharCode('a', 's', 'u', 'p'), "/Library/Application Support"},
    {kUserDomain, FourCharCode(kC4, 'n', 'e', 't'), "/Library/Internet Plug-Ins"},
    {kUserDomain, FourCharCode('p', 'r', 'e', 'f'), "/Library/Preferences"},
    {kUserDomain, FourCharCode('f', 'o', 'n', 't'), "/Library/Fonts"},
    {kUserDomain, FourCharCode('l', 'o', 'g', 's'), "/Library/Logs"},
    {kUserDomain, FourCharCode('c', 'a', 'c', 'h'), "/Library/Caches"},
    {kUserDomain, FourCharCode('d', 'e', 's', 'k'), "/Desktop"},
    {kUserDomain, FourCharCode('d', 'o', 'c', 's'), "/Documents"},
};

const char kVolumeTemporaryFolder[] = ".TemporaryItems";
const std::uint32_t kChewableItemsType = FourCharCode('f', 'l', 'n', 't');

// A folder that other users share (a volume's temporary folder) can be trusted only when it is a
// folder, not a link, owned by the super-user or by this user, and, when others may write in it,
// sticky, so that nobody else can move or replace what this user keeps there.
bool IsSafeSharedFolder(const struct stat& info)
{
    if (!S_ISDIR(info.st_mode) || (info.st_uid != 0 && info.st_uid != geteuid()))
        return false;
    return (info.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (info.st_mode & S_ISVTX) != 0;
}

// This user's own folder inside a shared one ("folders.<uid>"), whose status the caller read: made
// owner-only when missing; an existing one must be a folder (not a link) owned by this user that
// nobody else may enter. With reclaim, anything else at its name (a link or folder another user
// planted there) is put aside, when the folder may be made, for a new one: the system root's own
// temporary folder is the last place inside the root that a file can be moved aside into.
int UserFolderIn(const std::string& shared, const struct stat& sharedInfo, bool create, bool reclaim,
                 std::string& path)
{
    if (!IsSafeSharedFolder(sharedInfo))
        return kFileNotFoundErr;
    struct stat info;
    const std::string folder = shared + "/folders." + std::to_string(geteuid());
    bool found = lstat(folder.c_str(), &info) == 0;
    if (!found && errno != ENOENT)
        return kFileNotFoundErr;
    std::string aside;
    if (found && create && reclaim && !IsPrivateFolderOfThisUser(info) && PutAside(folder, aside) == 0)
        found = false;
    if (!found &&
        (!create || (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) || lstat(folder.c_str(), &info) != 0))
        return kFileNotFoundErr;
    if (!IsPrivateFolderOfThisUser(info))
        return kFileNotFoundErr;
    path = folder;
    return kNoErr;
}

// Whether the existing folder lies inside the system root (the root itself included), links
// resolved on both sides.
bool IsUnderSystemRoot(const std::string& folder)
{
    char resolvedRoot[PATH_MAX];
    char resolvedFolder[PATH_MAX];
    if (realpath(SystemRoot::Path().c_str(), resolvedRoot) == nullptr ||
        realpath(folder.c_str(), resolvedFolder) == nullptr)
        return false;
    const std::string root(resolvedRoot);
    const std::string path(resolvedFolder);
    if (root == "/")
        return true;
    return path.compare(0, root.size(), root) == 0 && (path.size() == root.size() || path[root.size()] == '/');
}

// Where the user domain lies: this process's own home, or another user's (SetUserDomainHome).
struct UserDomain {
    bool own = true;
    bool usable = true;  // false after a home that was refused
    std::string home;
    uid_t user = 0;
    gid_t group = 0;
};

std::mutex gUserDomainMutex;  // guards gUserDomain
UserDomain gUserDomain;

UserDomain CurrentUserDomain()
{
    std::lock_guard<std::mutex> lock(gUserDomainMutex);
    return gUserDomain;
}

// Judges the home that another user's domain is to lie under: 0 with the domain, or an errno
// value with the problem.
int JudgeUserHome(const std::string& home, uid_t user, UserDomain& domain, std::string& problem)
{
    const std::string refused =
        "Refused to take \"" + home + "\" as the home folder of user " + DescribeUser(user) + ": ";
    if (home.empty() || home[0] != '/') {
        problem = refused + "it is not an absolute path";
        return EINVAL;
    }
    if (user != geteuid() && geteuid() != 0) {
        problem = refused + "only the super-user acts for another user";
        return EPERM;
    }
    TrustedPath place;
    int error = place.Walk(home, true);
    if (error == EPERM) {
        problem = place.Refusal();
        return error;
    }
    struct stat status;
    const int fd = error == 0 ? place.OpenObject() : -1;
    if (error == 0 && (fd < 0 || fstat(fd, &status) != 0))
        error = errno;
    if (fd >= 0)
        close(fd);
    if (error != 0) {
        problem = error == EPERM ? place.Refusal() : refused + std::strerror(error);
        return error;
    }
    const struct stat& folder = place.FolderStatus();
    std::string why;
    if (!S_ISDIR(status.st_mode) || status.st_uid != user)
        why = "it is " + DescribeObject(status);
    else if (!OthersByMode(status).empty())
        why = "it can be written by " + OthersByMode(status);
    else if (folder.st_uid != 0 && folder.st_uid != user)
        why = "the folder \"" + place.FolderPath() + "\" that holds it belongs to user " + DescribeUser(folder.st_uid);
    else if ((folder.st_mode & S_ISVTX) == 0 && !OthersByMode(folder).empty())
        why = "the folder \"" + place.FolderPath() + "\" that holds it can be written by " + OthersByMode(folder);
    if (!why.empty()) {
        problem = refused + why;
        return EPERM;
    }
    domain.own = false;
    domain.home = place.NamePath();
    domain.user = user;
    domain.group = status.st_gid;
    return 0;
}

}  // namespace

int SetUserDomainHome(const std::string& home, uid_t user, std::string& problem)
{
    UserDomain domain;
    problem.clear();
    const int error = JudgeUserHome(home, user, domain, problem);
    if (error != 0) {
        DropUserDomain();
        return error;
    }
    std::lock_guard<std::mutex> lock(gUserDomainMutex);
    gUserDomain = domain;
    return 0;
}

void DropUserDomain()
{
    UserDomain domain;
    domain.own = false;
    domain.usable = false;
    std::lock_guard<std::mutex> lock(gUserDomainMutex);
    gUserDomain = domain;
}

void ResetUserDomain()
{
    std::lock_guard<std::mutex> lock(gUserDomainMutex);
    gUserDomain = UserDomain();
}

UserDomainIdentity::UserDomainIdentity()
{
    Take(false, 0);
}

UserDomainIdentity::UserDomainIdentity(const TrustedPath* walked)
{
    Take(true, walked != nullptr ? walked->FolderStatus().st_uid : 0);
}

void UserDomainIdentity::Take(bool onlyInUsersFolder, uid_t folderOwner)
{
    const UserDomain domain = CurrentUserDomain();
    if (domain.own || domain.user == geteuid() || (onlyInUsersFolder && folderOwner != domain.user)) {
        taken_ = true;
        return;
    }
    // The file system identity is the thread's own (unlike the process's user IDs): the other
    // threads go on as they are. An ID that cannot be set is answered by the one that stays. The
    // one before is kept for the end, where an identity of the same user is taken within another.
    changed_ = true;
    previousGroup_ = static_cast<gid_t>(setfsgid(domain.group));
    previousUser_ = static_cast<uid_t>(setfsuid(domain.user));
    taken_ = static_cast<uid_t>(setfsuid(static_cast<uid_t>(-1))) == domain.user &&
             static_cast<gid_t>(setfsgid(static_cast<gid_t>(-1))) == domain.group;
}

UserDomainIdentity::~UserDomainIdentity()
{
    if (!changed_)
        return;
    setfsuid(previousUser_);
    setfsgid(previousGroup_);
}

namespace {

// Another user's folders are made as that user: they are that user's.
int MakeUserDomainFolders(const std::string& folder)
{
    const UserDomainIdentity identity;
    return identity.Taken() ? MakeFolders(folder, 0755) : EPERM;
}

}  // namespace

bool IsPrivateFolderOfThisUser(const struct stat& info)
{
    return S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof(buffer), &found) == 0 && found != nullptr && found->pw_dir != nullptr)
        return found->pw_dir;
    return "/";
}

int FindFolder(short domain, std::uint32_t folderType, bool create, std::string& path)
{
    for (const FolderEntry& entry : kFolderTable) {
        if (entry.domain != domain || entry.type != folderType)
            continue;
        std::string folder;
        if (domain == kUserDomain) {
            const UserDomain userDomain = CurrentUserDomain();
            if (!userDomain.usable)
                return kFileNotFoundErr;
            folder = userDomain.own ? HomeFolder() : userDomain.home;
            if (folder == "/")
                folder.clear();
            folder += entry.path;
        } else {
            folder = SystemRoot::Resolve(entry.path);
        }
        struct stat info;
        const bool exists = stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        if (!exists &&
            (!create || (domain == kUserDomain ? MakeUserDomainFolders(folder) : MakeFolders(folder, 0755)) != 0))
            return kFileNotFoundErr;
        // What is moved aside goes into a folder of this user's own, not the shared one.
        if (folderType == kChewableItemsType)
            return stat(folder.c_str(), &info) == 0 ? UserFolderIn(folder, info, create, true, path)
                                                    : kFileNotFoundErr;
        path = folder;
        return kNoErr;
    }
    return kFileNotFoundErr;
}

int FindVolumeFolder(const std::string& volumeRoot, std::uint32_t folderType, bool create, std::string& path)
{
    if (folderType != FourCharCode('f', 'l', 'n', 't') && folderType != FourCharCode('t', 'e', 'm', 'p'))
        return kFileNotFoundErr;
    FileRef volume;
    FileRef startup;
    if (MakeFileRef(volumeRoot, volume) != kNoErr)
        return kFileNotFoundErr;
    if (MakeFileRef(SystemRoot::Path(), startup) == kNoErr && SameFileRef(volume, startup))
        return FindFolder(kLocalDomain, folderType, create, path);

    // A volume outside the system root (the host's own "/", when the root is a folder of it) is
    // not this system's to write at.
    if (!IsUnderSystemRoot(volumeRoot))
        return kFileNotFoundErr;

    const std::string folder = (volumeRoot == "/" ? std::string() : volumeRoot) + "/" + kVolumeTemporaryFolder;
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0) {
        if (errno != ENOENT || !create)
            return kFileNotFoundErr;
        // The mode is set again after mkdir, which the umask narrows.
        if ((mkdir(folder.c_str(), 01777) != 0 && errno != EEXIST) || lstat(folder.c_str(), &info) != 0)
            return kFileNotFoundErr;
        if (S_ISDIR(info.st_mode) && info.st_uid == geteuid() && (info.st_mode & 07777) != 01777)
            chmod(folder.c_str(), 01777);
    }
    // A link planted at a volume's root, or a folder that others control, must not receive files.
    if (lstat(folder.c_str(), &info) != 0 || !IsSafeSharedFolder(info))
        return kFileNotFoundErr;
    if (folderType == kChewableItemsType)
        return UserFolderIn(folder, info, create, false, path);
    path = folder;
    return kNoErr;
}

}  // namespace platform
