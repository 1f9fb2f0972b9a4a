#include "platform/files/Files.h"

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
    const char* const name = place.Name().c_str();
    struct stat existing;
    const bool exists = fstatat(folder, name, &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (through && place.FollowedLastLink() && (!exists || !S_ISREG(existing.st_mode)))
        return false;
    const bool replacing = exists && S_ISREG(existing.st_mode);

    std::string temporary;
    const int fd = CreateUniqueFile(folder, place.Name() + ".new", temporary);
    if (fd < 0)
        return false;
    // Locked until it has its place: a copy that nobody holds was left by a writer that died,
    // and the next run removes it (RemoveIfAbandoned).
    flock(fd, LOCK_EX | LOCK_NB);

    // The replaced file's owner and permission bits carry over (the owner first: changing it
    // clears set-id bits). Only the super-user may give a file away; anyone else's new file is
    // their own, as the old one could only be replaced by renaming in its folder anyway.
    mode_t mode = 0644;
    if (replacing) {
        mode = existing.st_mode & 07777;
        if (existing.st_uid != geteuid() || existing.st_gid != getegid()) {
            if (fchown(fd, existing.st_uid, existing.st_gid) != 0 && geteuid() == 0) {
                close(fd);
                unlinkat(folder, temporary.c_str(), 0);
                return false;
            }
        }
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
    bool produced = false;
    try {
        gathered.reserve(kGathered);
        produced = fchmod(fd, mode) == 0 && produce(sink);
    } catch (const std::exception&) {
        produced = false;  // out of memory, say: the new file goes, the old one stays
    }
    bool ok = produced && WriteAll(fd, gathered.data(), gathered.size());
    if (ok && fsync(fd) != 0)
        ok = false;
    if (ok && renameat(folder, temporary.c_str(), folder, name) != 0)
        ok = false;
    if (!ok)
        unlinkat(folder, temporary.c_str(), 0);
    if (close(fd) != 0)
        ok = false;
    return ok;
}

}  // namespace platform
