#include "QENFileSnapshot.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include "platform/files/Files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace QENFileSnapshot {

bool Take(const FileSystemPath& path, Snapshot& snapshot)
{
    Snapshot taken;
    const std::string text = path.AsUTF8String();
    struct stat info;
    if (lstat(text.c_str(), &info) != 0 || (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode))) {
        snapshot = taken;
        return true;
    }
    if (S_ISLNK(info.st_mode)) {
        if (!FileSystemUtilsMac::GetSymlinkDestination(path, taken.linkText))
            return false;
        taken.wasLink = true;
        // A link that leads to no regular file keeps only its text.
        if (stat(text.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            snapshot = taken;
            return true;
        }
    }
    if (!platform::ReadWholeFile(text, taken.bytes))
        return false;
    taken.existed = true;
    taken.owner = info.st_uid;
    taken.group = info.st_gid;
    taken.mode = info.st_mode & 07777;
    snapshot = taken;
    return true;
}

bool Restore(const FileSystemPath& path, const Snapshot& snapshot)
{
    const std::string text = path.AsUTF8String();
    if (snapshot.wasLink) {
        std::string current;
        bool isLink = false;
        if (!FileSystemUtilsMac::IsSymlink(path, isLink) || !isLink ||
            !FileSystemUtilsMac::GetSymlinkDestination(path, current) || current != snapshot.linkText) {
            // Whatever took the link's place goes; the link comes back.
            if ((!FileSystemUtils::DeleteFile(path, false) && errno != ENOENT) ||
                !FileSystemUtilsMac::CreateSymlink(path, snapshot.linkText))
                return false;
        }
    }
    if (!snapshot.existed)
        return true;
    // The write keeps the owner and mode of a file it replaces; a file made anew gets them here,
    // through the link to the file (none that another user planted where others can write).
    if (!platform::WriteFileAtomically(text, snapshot.bytes, platform::LinkHandling::kWriteThrough))
        return false;
    struct stat info;
    if (stat(text.c_str(), &info) != 0)
        return false;
    if ((info.st_uid != snapshot.owner || info.st_gid != snapshot.group) &&
        !FileSystemUtilsMac::SetOwnerGroup(path, snapshot.owner, snapshot.group) && geteuid() == 0)
        return false;
    return (info.st_mode & 07777) == snapshot.mode ||
           FileSystemUtilsMac::SetMode(path, static_cast<unsigned short>(snapshot.mode));
}

}  // namespace QENFileSnapshot
