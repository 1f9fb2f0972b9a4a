#include "platform/files/Files.h"

#include "platform/FaultInjection.h"
#include "platform/Folders.h"
#include "platform/files/TrustedFiles.h"
#include "platform/files/TrustedPath.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>

namespace platform {

bool ReadUntilEnd(int fd, const ByteSink& sink)
{
    char buffer[65536];
    for (;;) {
        const ssize_t count = read(fd, buffer, sizeof(buffer));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        if (!sink(buffer, static_cast<std::size_t>(count)))
            return false;
    }
}

namespace {

// Reads what is left of the open file, and closes it; the bytes stay as they were on failure.
bool ReadToEnd(int fd, std::string& bytes)
{
    std::string content;
    const bool whole = ReadUntilEnd(fd, [&content](const char* piece, std::size_t size) {
        content.append(piece, size);
        return true;
    });
    close(fd);
    if (whole)
        bytes.swap(content);
    return whole;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& bytes)
{
    // Not blocking: a named pipe in place of the file is refused below instead of waiting for a
    // writer that never comes.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return false;
    }
    return ReadToEnd(fd, bytes);
}

bool ReadKeptFile(const std::string& path, std::string& bytes, std::string& refusal)
{
    const int fd = OpenKeptFile(path, O_RDONLY, refusal);
    return fd >= 0 && ReadToEnd(fd, bytes);
}

namespace {

// Writes all of the bytes: false when the file takes them no more.
bool WriteAll(int fd, const char* bytes, std::size_t size)
{
    std::size_t written = 0;
    while (written < size) {
        const ssize_t count = write(fd, bytes + written, size - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += static_cast<std::size_t>(count);
    }
    return true;
}

// What stands at the name in the walked folder instead of a file that this process made there
// (another user's doing, where others can write), for a refusal: "a symbolic link of user nobody
// (65534)", empty when nothing is there. It is removed when it is no folder (its name alone goes,
// never what a link leads to): removed says so.
std::string RemoveWhatTookName(const TrustedPath& place, const std::string& name, bool& removed)
{
    removed = false;
    struct stat found;
    if (fstatat(place.Folder(), name.c_str(), &found, AT_SYMLINK_NOFOLLOW) != 0)
        return std::string();
    removed = !S_ISDIR(found.st_mode) && unlinkat(place.Folder(), name.c_str(), 0) == 0;
    return DescribeObject(found);
}

// The refusal for the new file at the walked name when another object took its temporary name:
// before it was made there (made false), after, or (renamed) in the rename into place.
std::string RefusedTakenName(const TrustedPath& place, const std::string& temporary, bool made, bool renamed)
{
    bool removed = false;
    const std::string found = RemoveWhatTookName(place, renamed ? place.Name() : temporary, removed);
    std::string refusal = "Refused to put \"" + place.NamePath() + "\" in place: ";
    if (renamed)
        refusal += "the rename from \"" + place.InFolder(temporary) + "\" put " + (found.empty() ? "nothing" : found) +
                   " there, not the file made";
    else if (found.empty())
        refusal += "\"" + place.InFolder(temporary) + "\", where the new file was made, no longer names it";
    else
        refusal += "\"" + place.InFolder(temporary) + "\" is " + found + ", " +
                   (made ? "not the file made there" : "put there after the name was cleared");
    return removed ? refusal + "; it was removed" : refusal;
}

// Gives the new file (open as fd, made as temporary in the walked folder) the owner and the
// permission bits of the regular file it replaces (replaced, null for none: 0644 then) that
// keptBits keeps, fills it with what produce makes, syncs it and renames it over the walked name,
// while it is still a plain file with one name. 0, or the errno value of the step that failed
// (EMLINK for a file that got another name or is no plain file); the new file goes then. EPERM,
// with the refusal, when another user's object took the temporary name and was renamed (or was
// about to be) in the new file's place: it is removed. A file made as another user (asAnotherUser,
// see UserDomainIdentity) keeps that user as its owner.
int FillAndRename(const TrustedPath& place, int fd, const std::string& temporary, const struct stat* replaced,
                  mode_t keptBits, bool asAnotherUser, const std::function<bool(const ByteSink& write)>& produce,
                  std::string& refusal)
{
    const int folder = place.Folder();
    int error = 0;
    const auto failed = [&error]() { error = errno != 0 ? errno : EIO; };
    // The owner first: changing it clears set-id bits. Only the super-user may give a file away;
    // anyone else's new file is their own, as the old one could only be replaced by renaming in
    // its folder anyway.
    mode_t mode = 0644;
    if (replaced != nullptr) {
        mode = replaced->st_mode & keptBits;
        if (!asAnotherUser && (replaced->st_uid != geteuid() || replaced->st_gid != getegid()) &&
            fchown(fd, replaced->st_uid, replaced->st_gid) != 0 && geteuid() == 0)
            failed();
    }

    // Small pieces are gathered into larger writes; a large one goes to the file as it is.
    const std::size_t kGathered = 64 * 1024;
    std::string gathered;
    const ByteSink sink = [&](const char* bytes, std::size_t size) {
        if (gathered.size() + size <= kGathered) {
            gathered.append(bytes, size);
            return true;
        }
        if (!WriteAll(fd, gathered.data(), gathered.size()))
            return false;
        gathered.clear();
        if (size >= kGathered)
            return WriteAll(fd, bytes, size);
        gathered.append(bytes, size);
        return true;
    };
    try {
        errno = 0;
        if (error == 0 && (fchmod(fd, mode) != 0 || !produce(sink)))
            failed();
    } catch (const std::exception&) {
        error = ENOMEM;  // out of memory, say: the new file goes, the old one stays
    }
    errno = 0;
    if (error == 0 && (!WriteAll(fd, gathered.data(), gathered.size()) || fsync(fd) != 0))
        failed();
    // What is renamed into place is the file made here, not another name for something else.
    struct stat made;
    if (error == 0 && fstat(fd, &made) != 0) {
        failed();
    } else if (error == 0 && made.st_nlink == 0) {
        // Where others can write, another object was renamed over the new file since it was made.
        refusal = RefusedTakenName(place, temporary, true, false);
        close(fd);
        return EPERM;
    } else if (error == 0 && (!S_ISREG(made.st_mode) || made.st_nlink != 1)) {
        error = EMLINK;
    }
    if (error == 0) {
        errno = InjectedFault("put-in-place", place.InFolder(temporary));
        if (errno != 0 || renameat(folder, temporary.c_str(), folder, place.Name().c_str()) != 0)
            failed();
    }
    // The rename goes by name: what it put in place is looked at again, and must be the file made
    // here. Anything else took the temporary name after the checks above, and is no file of ours.
    struct stat placed;
    if (error == 0 && (fstatat(folder, place.Name().c_str(), &placed, AT_SYMLINK_NOFOLLOW) != 0 ||
                       placed.st_dev != made.st_dev || placed.st_ino != made.st_ino)) {
        refusal = RefusedTakenName(place, temporary, true, true);
        close(fd);
        return EPERM;
    }
    if (error != 0)
        unlinkat(folder, temporary.c_str(), 0);
    if (close(fd) != 0 && error == 0)
        failed();
    return error;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& bytes, LinkHandling links)
{
    return WriteFileAtomically(
        path, [&bytes](const ByteSink& write) { return write(bytes.data(), bytes.size()); }, links);
}

bool WriteFileAtomically(const std::string& path, const std::function<bool(const ByteSink& write)>& produce,
                         LinkHandling links)
{
    // Written through, a link stays and the file it leads to is the one replaced; a link that
    // leads nowhere, or to something that is no regular file, is refused rather than followed
    // into the unknown. Replaced, a link is a new file's place and gives it nothing of its own.
    // Either way the walk follows no link, and replaces no file, that another user planted where
    // others can write.
    const bool through = links == LinkHandling::kWriteThrough;
    TrustedPath place;
    int error = place.Walk(path, through);
    if (error == 0)
        error = place.CheckObject();
    if (error == EPERM)
        ReportRefusal(place.Refusal());
    if (error != 0)
        return false;
    const int folder = place.Folder();
    struct stat existing;
    const bool exists = fstatat(folder, place.Name().c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (through && place.FollowedLastLink() && (!exists || !S_ISREG(existing.st_mode)))
        return false;
    const bool replacing = exists && S_ISREG(existing.st_mode);

    // A file written in another user's home, for that user, is that user's.
    const UserDomainIdentity identity(&place);
    if (!identity.Taken())
        return false;
    std::string temporary;
    const int fd = CreateUniqueFile(folder, place.Name() + ".new", temporary);
    if (fd < 0)
        return false;
    // Locked until it has its place: a copy that nobody holds was left by a writer that died,
    // and the next run removes it (RemoveIfAbandoned).
    flock(fd, LOCK_EX | LOCK_NB);
    std::string refusal;
    error = FillAndRename(place, fd, temporary, replacing ? &existing : nullptr, 07777, identity.Changed(), produce,
                          refusal);
    if (!refusal.empty())
        ReportRefusal(refusal);
    return error == 0;
}

int WriteFileStaged(const std::string& path, const std::string& stagedName, const std::string& bytes,
                    std::string& refusal)
{
    TrustedPath place;
    int error = place.Walk(path, false);
    if (error == 0)
        error = place.CheckObject();
    if (error != 0) {
        if (error == EPERM)
            refusal = place.Refusal();
        return error;
    }
    const int folder = place.Folder();
    // The owner and mode come from the file replaced as it is opened, not from its name again.
    struct stat existing;
    const int replaced = place.OpenObject();
    if (replaced < 0 && errno != ENOENT)
        return errno;
    const bool replacing = replaced >= 0 && fstat(replaced, &existing) == 0 && S_ISREG(existing.st_mode);
    if (replaced >= 0)
        close(replaced);

    // Only the name of what a killed run left is removed: never what a link there leads to. A
    // folder there is no file of a run's: it is named, and stays.
    if (unlinkat(folder, stagedName.c_str(), 0) != 0 && errno != ENOENT) {
        error = errno;
        struct stat found;
        if (error != EISDIR || fstatat(folder, stagedName.c_str(), &found, AT_SYMLINK_NOFOLLOW) != 0)
            return error;
        refusal = "Refused to put \"" + place.NamePath() + "\" in place: \"" + place.InFolder(stagedName) +
                  "\", the name it is made by, is " + DescribeObject(found) + ", which stays there";
        return EPERM;
    }
    const int fd = openat(folder, stagedName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno;
        if (error != EEXIST && error != ELOOP)
            return error;
        // Something took the name since it was cleared: it is no file of this write's, and goes.
        refusal = RefusedTakenName(place, stagedName, false, false);
        return EPERM;
    }
    const mode_t kept = 07777 & ~static_cast<mode_t>(S_ISUID | S_ISGID);
    return FillAndRename(
        place, fd, stagedName, replacing ? &existing : nullptr, kept, false,
        [&bytes](const ByteSink& write) { return write(bytes.data(), bytes.size()); }, refusal);
}

}  // namespace platform
