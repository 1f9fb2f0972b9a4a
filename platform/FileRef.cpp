#include "platform/FileRef.h"

#include "platform/UnicodeText.h"
#include "platform/Volumes.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <vector>

namespace platform {

namespace {

bool FolderIsCaseSensitive(const std::string& folder)
{
    VolumeStatus status;
    VolumeParameters parameters;
    if (StatVolume(folder, status) != 0 || !GetVolumeParameters(status.mountPoint, parameters))
        return true;
    return parameters.caseSensitive;
}

// The entry of a folder whose name equals the given one ignoring case.
bool FindEntryIgnoringCase(const std::string& folder, const std::string& name, std::string& found)
{
    UnicodeText wanted;
    if (!UnicodeText::FromUTF8(name, wanted))
        return false;
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr)
        return false;
    bool matched = false;
    while (struct dirent* entry = readdir(directory)) {
        UnicodeText candidate;
        if (UnicodeText::FromUTF8(entry->d_name, candidate) && UnicodeText::Compare(candidate, wanted, true) == 0) {
            found = entry->d_name;
            matched = true;
            break;
        }
    }
    closedir(directory);
    return matched;
}

// Rebuilds the path component by component, matching missing names ignoring case on volumes
// that are not case-sensitive. False when some component still cannot be found.
bool ResolveIgnoringCase(const std::string& path, std::string& resolved)
{
    std::vector<std::string> components;
    std::string::size_type start = 0;
    while (start <= path.size()) {
        std::string::size_type end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            components.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    std::string current = "/";
    for (const std::string& component : components) {
        std::string next = current == "/" ? "/" + component : current + "/" + component;
        struct stat info;
        if (lstat(next.c_str(), &info) != 0) {
            std::string match;
            if (errno != ENOENT || FolderIsCaseSensitive(current) || !FindEntryIgnoringCase(current, component, match))
                return false;
            next = current == "/" ? "/" + match : current + "/" + match;
        }
        current = next;
    }
    resolved = current;
    return true;
}

}  // namespace

int FileManagerError(int error)
{
    switch (error) {
    case 0:
        return kNoErr;
    case ENOENT:
        return kFileNotFoundErr;
    case ENOTDIR:
        return kNotAFolderErr;
    case EACCES:
    case EPERM:
        return kPermissionErr;
    case ENAMETOOLONG:
        return kPathTooLongErr;
    default:
        return kIOErr;
    }
}

int MakeFileRef(const std::string& path, FileRef& ref)
{
    if (path.empty())
        return kFileNotFoundErr;
    struct stat info;
    std::string actual = path;
    if (stat(path.c_str(), &info) != 0) {
        const int error = errno;
        std::string resolved;
        if (error != ENOENT || path[0] != '/' || !ResolveIgnoringCase(path, resolved) || stat(resolved.c_str(), &info) != 0)
            return FileManagerError(error);
        actual = resolved;
    }
    ref.device = info.st_dev;
    ref.inode = info.st_ino;
    ref.path = actual;
    return kNoErr;
}

bool SameFileRef(const FileRef& a, const FileRef& b)
{
    return a.device == b.device && a.inode == b.inode;
}

}  // namespace platform
