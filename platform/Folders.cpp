#include "platform/Folders.h"

#include "platform/FileRef.h"
#include "platform/SystemRoot.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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

// mkdir -p: every missing folder of the path, parents first.
bool CreateFolders(const std::string& path)
{
    struct stat info;
    if (stat(path.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    const std::string::size_type slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !CreateFolders(path.substr(0, slash)))
        return false;
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

const char kVolumeTemporaryFolder[] = ".TemporaryItems";

}  // namespace

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
            folder = HomeFolder();
            if (folder == "/")
                folder.clear();
            folder += entry.path;
        } else {
            folder = SystemRoot::Resolve(entry.path);
        }
        struct stat info;
        const bool exists = stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        if (!exists && (!create || !CreateFolders(folder)))
            return kFileNotFoundErr;
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

    const std::string folder = (volumeRoot == "/" ? std::string() : volumeRoot) + "/" + kVolumeTemporaryFolder;
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0) {
        if (errno != ENOENT || !create)
            return kFileNotFoundErr;
        // The mode is set again after mkdir, which the umask narrows.
        if ((mkdir(folder.c_str(), 01777) != 0 && errno != EEXIST) || lstat(folder.c_str(), &info) != 0)
            return kFileNotFoundErr;
        if (S_ISDIR(info.st_mode) && (info.st_mode & 07777) != 01777)
            chmod(folder.c_str(), 01777);
    }
    // A link planted at a volume's root must not send files elsewhere.
    if (!S_ISDIR(info.st_mode))
        return kFileNotFoundErr;
    path = folder;
    return kNoErr;
}

}  // namespace platform
