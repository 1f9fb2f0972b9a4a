#include "platform/files/TrustedFiles.h"

#include "platform/Folders.h"
#include "platform/files/AccessControlList.h"
#include "platform/files/TrustedPath.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>

namespace platform {

namespace {

// Names tried before giving up on a folder where each one is taken.
const int kUniqueNameAttempts = 100;

std::string RandomCharacters(int count)
{
    static const char kCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[16];
    if (count > static_cast<int>(sizeof(bytes)) ||
        getrandom(bytes, sizeof(bytes), 0) != static_cast<ssize_t>(sizeof(bytes)))
        return std::string(static_cast<std::size_t>(count), 'X');
    std::string text;
    for (int i = 0; i < count; ++i)
        text += kCharacters[bytes[i] % (sizeof(kCharacters) - 1)];
    return text;
}

// Renames the entry of the folder to "<name>.put-aside." and six random characters (aside receives
// that name): 0 or the errno value.
int PutAsideIn(int folder, const std::string& name, std::string& aside)
{
    int moved = EEXIST;
    for (int tries = 0; tries < kUniqueNameAttempts && moved == EEXIST; ++tries) {
        aside = name + ".put-aside." + RandomCharacters(6);
        moved = renameat2(folder, name.c_str(), folder, aside.c_str(), RENAME_NOREPLACE) == 0 ? 0 : errno;
    }
    return moved;
}

}  // namespace

bool IsOwnPlainFile(const struct stat& status)
{
    return S_ISREG(status.st_mode) && status.st_nlink == 1 && (status.st_uid == 0 || status.st_uid == geteuid());
}

namespace {

// The kept file's status, judged: 0, or EPERM with the refusal. others: who besides its owner can
// write it (OthersByMode, or OthersByAccess where its access control list may be read). A program
// to run may have more names than one: nobody else can write it through any of them.
int JudgeKeptFile(const TrustedPath& place, const std::string& path, const struct stat& status,
                  const std::string& others, std::string& refusal, bool program = false)
{
    std::string why;
    if (!program && !IsOwnPlainFile(status))
        why = "only a plain file with one name, of the super-user or of this process's user, is read";
    else if (program && (!S_ISREG(status.st_mode) || (status.st_uid != 0 && status.st_uid != geteuid())))
        why = "only a program of the super-user or of this process's user is run";
    else if (!others.empty())
        why = "it can be written by " + others;
    if (why.empty())
        return 0;
    refusal = std::string(program ? "Refused to run \"" : "Refused to read \"") + path + "\", " +
              DescribeObject(status) + " in \"" + place.FolderPath() + "\": " + why;
    return EPERM;
}

}  // namespace

namespace {

// CheckKeptFile, and with ownFolder CheckKeptFileInOwnFolder.
int CheckKept(const std::string& path, bool ownFolder, std::string& refusal)
{
    TrustedPath place;
    if (const int walked = place.WalkKept(path)) {
        refusal = place.Refusal();
        return walked;
    }
    struct stat status;
    const bool found = fstatat(place.Folder(), place.Name().c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    const int error = found ? 0 : errno;
    // Also before the file is made: what is made is read with what was put beside it.
    const std::string others = ownFolder ? OthersByAccess(place.Folder(), place.FolderStatus()) : std::string();
    if (!others.empty()) {
        refusal = "Refused to read \"" + path + "\"" + (found ? ", " + DescribeObject(status) : std::string()) +
                  ": the folder \"" + place.FolderPath() + "\" that holds it can be written by " + others +
                  ", who could put files beside it that are read with it";
        return EPERM;
    }
    return found ? JudgeKeptFile(place, path, status, OthersByAccessAt(place.Folder(), place.Name(), status), refusal)
                 : error;
}

}  // namespace

int CheckKeptFile(const std::string& path, std::string& refusal)
{
    return CheckKept(path, false, refusal);
}

int CheckKeptFileInOwnFolder(const std::string& path, std::string& refusal)
{
    return CheckKept(path, true, refusal);
}

namespace {

// As many links as the kernel follows in one path.
const int kMaxProgramLinks = 40;

// A refusal of the walk to a kept file, given for a program to run: the walk's words, the verb
// aside.
std::string RunRefusal(const std::string& readRefusal)
{
    static const std::string kRead = "Refused to read ";
    if (readRefusal.compare(0, kRead.size(), kRead) != 0)
        return readRefusal;
    return "Refused to run " + readRefusal.substr(kRead.size());
}

}  // namespace

int CheckProgramFile(const std::string& path, std::string& refusal)
{
    std::string reached = path;
    for (int links = 0; links <= kMaxProgramLinks; ++links) {
        TrustedPath place;
        if (const int walked = place.WalkKept(reached)) {
            refusal = RunRefusal(place.Refusal());
            return walked;
        }
        struct stat status;
        if (fstatat(place.Folder(), place.Name().c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return errno;
        if (S_ISLNK(status.st_mode) && (status.st_uid == 0 || status.st_uid == geteuid())) {
            char text[PATH_MAX + 1];
            const ssize_t length = readlinkat(place.Folder(), place.Name().c_str(), text, sizeof(text));
            if (length < 0)
                return errno;
            if (length == 0 || static_cast<std::size_t>(length) >= sizeof(text))
                return length == 0 ? ENOENT : ENAMETOOLONG;
            const std::string target(text, static_cast<std::size_t>(length));
            reached = target[0] == '/' ? target : place.InFolder(target);
            continue;
        }
        if (S_ISLNK(status.st_mode)) {
            refusal = "Refused to run \"" + path + "\": the symbolic link \"" + place.NamePath() +
                      "\" on its way belongs to user " + DescribeUser(status.st_uid);
            return EPERM;
        }
        return JudgeKeptFile(place, path, status, OthersByAccessAt(place.Folder(), place.Name(), status), refusal,
                             true);
    }
    return ELOOP;
}

int OpenKeptFile(const std::string& path, int flags, std::string& refusal)
{
    TrustedPath place;
    int error = place.WalkKept(path);
    struct stat status;
    if (error == 0 && fstatat(place.Folder(), place.Name().c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        error = errno;
    // Judged before it is opened (a pipe is never opened at all), and its access control list once
    // it is open.
    if (error == 0)
        error = JudgeKeptFile(place, path, status, OthersByMode(status), refusal);
    else
        refusal = place.Refusal();
    if (error != 0) {
        errno = error;
        return -1;
    }
    const int fd = openat(place.Folder(), place.Name().c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat opened;
    if (fstat(fd, &opened) != 0 || opened.st_dev != status.st_dev || opened.st_ino != status.st_ino ||
        JudgeKeptFile(place, path, opened, OthersByAccess(fd, opened), refusal) != 0 ||
        fcntl(fd, F_SETFL, flags & O_APPEND) != 0) {
        close(fd);
        errno = refusal.empty() ? EAGAIN : EPERM;
        return -1;
    }
    return fd;
}

namespace {

// The entry name of the open folder (path names it for messages) and, for a folder, everything
// in it, judged as CheckKeptTree judges them.
int JudgeKeptTree(int folder, const std::string& name, const std::string& path, std::string& refusal)
{
    struct stat status;
    if (fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    std::string why;
    if (status.st_uid != 0 && status.st_uid != geteuid())
        why = "only what the super-user or this process's user owns is read";
    else if (!S_ISLNK(status.st_mode) && !(why = OthersByAccessAt(folder, name, status)).empty())
        why = "it can be written by " + why;
    if (!why.empty()) {
        refusal = "Refused to read \"" + path + "\", " + DescribeObject(status) + ": " + why;
        return EPERM;
    }
    if (!S_ISDIR(status.st_mode))
        return 0;
    const int fd = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat opened;
    if (fd < 0 || fstat(fd, &opened) != 0 || opened.st_dev != status.st_dev || opened.st_ino != status.st_ino) {
        const int error = fd < 0 ? errno : EAGAIN;
        if (fd >= 0)
            close(fd);
        return error;
    }
    DIR* const entries = fdopendir(fd);
    if (entries == nullptr) {
        const int error = errno;
        close(fd);
        return error;
    }
    int error = 0;
    errno = 0;
    while (const struct dirent* entry = readdir(entries)) {
        const std::string child = entry->d_name;
        if (child == "." || child == "..")
            continue;
        error = JudgeKeptTree(dirfd(entries), child, path + "/" + child, refusal);
        // An entry gone since it was listed can come back only from whom the folder belongs to.
        if (error == ENOENT)
            error = 0;
        if (error != 0)
            break;
        errno = 0;
    }
    if (error == 0 && errno != 0)
        error = errno;
    closedir(entries);
    return error;
}

}  // namespace

int CheckKeptTree(const std::string& path, std::string& refusal)
{
    TrustedPath place;
    if (const int walked = place.WalkKept(path)) {
        refusal = place.Refusal();
        return walked;
    }
    return JudgeKeptTree(place.Folder(), place.Name(), path, refusal);
}

int ReadyForCopyOver(const std::string& source, const std::string& path, std::string& refusal)
{
    struct stat from;
    if (lstat(source.c_str(), &from) != 0)
        return errno;
    TrustedPath place;
    const int walked = place.Walk(path, false);
    if (walked == EPERM)
        refusal = place.Refusal();
    if (walked != 0)
        return walked == EPERM ? EPERM : 0;
    struct stat found;
    if (fstatat(place.Folder(), place.Name().c_str(), &found, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT ? 0 : errno;
    if (S_ISLNK(found.st_mode))
        return unlinkat(place.Folder(), place.Name().c_str(), 0) == 0 || errno == ENOENT ? 0 : errno;
    const mode_t setIds = S_ISUID | S_ISGID;
    if (!S_ISREG(found.st_mode) || !S_ISREG(from.st_mode) || (found.st_mode & setIds & ~from.st_mode) == 0)
        return 0;
    const int fd = place.OpenObject();
    if (fd < 0) {
        if (errno == EPERM)
            refusal = place.Refusal();
        return errno == ENOENT ? 0 : errno;
    }
    struct stat opened;
    int error = fstat(fd, &opened) == 0 ? 0 : errno;
    if (error == 0 && S_ISREG(opened.st_mode) && (opened.st_mode & setIds & ~from.st_mode) != 0 &&
        chmod(DescriptorPath(fd).c_str(), opened.st_mode & 07777 & ~(setIds & ~from.st_mode)) != 0)
        error = errno;
    close(fd);
    return error;
}

int MakeFolder(const std::string& path, mode_t mode, bool exact, std::string& refusal)
{
    TrustedPath place;
    const int walked = place.Walk(path, false);
    if (walked != 0) {
        refusal = place.Refusal();
        return walked == EINVAL ? EEXIST : walked;
    }
    // A folder made in another user's home, for that user, is that user's.
    const UserDomainIdentity identity(&place);
    if (!identity.Taken())
        return EPERM;
    if (mkdirat(place.Folder(), place.Name().c_str(), mode & 07777) != 0)
        return errno;
    // Not through a link that another user put in the new folder's place meanwhile.
    const int flags = OthersCanWrite(place.FolderStatus()) ? AT_SYMLINK_NOFOLLOW : 0;
    if (exact && fchmodat(place.Folder(), place.Name().c_str(), mode & 07777, flags) != 0) {
        const int error = errno;
        unlinkat(place.Folder(), place.Name().c_str(), AT_REMOVEDIR);
        return error;
    }
    return 0;
}

int MakeFolders(const std::string& path, mode_t mode)
{
    struct stat status;
    if (stat(path.c_str(), &status) == 0)
        return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
    const std::string::size_type slash = path.find_last_of('/');
    const std::string parent = slash == std::string::npos ? std::string() : path.substr(0, slash);
    if (!parent.empty()) {
        if (const int error = MakeFolders(parent, mode))
            return error;
    }
    std::string refusal;
    const int error = MakeFolder(path, mode, false, refusal);
    if (error == EPERM && !refusal.empty())
        ReportRefusal(refusal);
    if (error == EEXIST && stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
        return 0;
    return error;
}

int CreateUniqueFile(int folder, const std::string& prefix, std::string& name)
{
    for (int attempt = 0; attempt < kUniqueNameAttempts; ++attempt) {
        const std::string candidate = prefix + RandomCharacters(6);
        const int fd = openat(folder, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            name = candidate;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    errno = EEXIST;
    return -1;
}

int PutAside(const std::string& path, std::string& asidePath)
{
    TrustedPath place;
    if (const int walked = place.Walk(path, false)) {
        if (walked == EPERM)
            ReportRefusal(place.Refusal());
        return walked;
    }
    std::string aside;
    if (const int moved = PutAsideIn(place.Folder(), place.Name(), aside))
        return moved;
    asidePath = place.InFolder(aside);
    return 0;
}

int OpenLogForAppending(const std::string& path, mode_t mode, std::string& note, std::string& refusal)
{
    TrustedPath place;
    const int walked = place.Walk(path, false);
    if (walked != 0) {
        refusal = place.Refusal();
        errno = walked;
        return -1;
    }
    const char* const name = place.Name().c_str();
    for (int attempt = 0; attempt < kUniqueNameAttempts; ++attempt) {
        // Not blocking: a pipe in the log's place must not hold the program up.
        const int fd = openat(place.Folder(), name, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                              mode);
        struct stat status;
        if (fd >= 0 && fstat(fd, &status) == 0 && IsOwnPlainFile(status)) {
            fcntl(fd, F_SETFL, O_APPEND);
            return fd;
        }
        const int error = errno;
        if (fd >= 0)
            close(fd);
        else if (error != ELOOP && error != ENXIO && error != EISDIR && error != EACCES && error != EPERM)
            return -1;
        // Whatever stands there is renamed, never followed or written; a new file is made next.
        struct stat found;
        if (fstatat(place.Folder(), name, &found, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                continue;
            return -1;
        }
        std::string aside;
        const int moved = PutAsideIn(place.Folder(), place.Name(), aside);
        if (moved == ENOENT)
            continue;
        if (moved != 0) {
            errno = moved;
            return -1;
        }
        note = "\"" + place.NamePath() + "\" was " + DescribeObject(found) +
               ", no plain file of this user or the super-user: it was put aside as \"" + place.InFolder(aside) +
               "\", and a new file begun";
    }
    errno = EAGAIN;
    return -1;
}

}  // namespace platform
